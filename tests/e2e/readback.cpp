// Reads back, under Wine, what an installation changed on the system, the
// way Windows programs see it: the registry, INI files through the
// profile functions, shortcuts through the shell's own link object, fonts
// through GDI, windows of programs the setup started. Built for each
// Windows build, so it sees the registry view of the setup program of the
// same build.
//
//   osin-e2e-readback QUERIES RESULTS
//     QUERIES holds one query per line, its fields separated by tabs; for
//     each, RESULTS gets one line: a JSON array of strings (UTF-8).
//
//       value ROOT SUBKEY NAME   ["REG_SZ", data], ["REG_DWORD", "12"],
//                                [type number, ""] or ["missing"]; an empty
//                                NAME is the key's default value
//       key ROOT SUBKEY          ["present"] or ["missing"]
//       ini FILE SECTION KEY     ["value", text] or ["missing"]
//       link FILE                [target, arguments, working folder, icon
//                                file, icon index, hot key, show command,
//                                description] or ["failed", step, HRESULT]
//       font FACE                ["present"] or ["missing"]
//       window CLASS MS          waits up to MS for a top-level window of
//                                CLASS, closes it: ["closed", its title] or
//                                ["none"]
//       delete-key ROOT SUBKEY   deletes the key and all below: ["done"]
//       delete-value ROOT SUBKEY NAME                        ["done"]
//       drop-renames FOLDER      removes the delayed renames whose source
//                                lies in FOLDER: [number removed]
//
//   osin-e2e-readback --hold FILE READY STOP
//     keeps FILE open without letting anyone delete or write it, as a
//     running program holds its library; creates READY once it holds it and
//     lets go when STOP exists (at most ten minutes).
//   osin-e2e-readback --hold-alone FILE READY STOP
//     the same, letting no one even read it, as a program that has the file
//     open for its own writing does.
//   osin-e2e-readback --run READY STOP
//     creates READY and runs until STOP exists (at most ten minutes): a copy
//     of it placed where a program's file lies is that program running,
//     whose file no one may replace meanwhile.
#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Fields = std::vector<std::string>;

std::string Utf8(const std::string& ansi) {
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()), &wide[0], n);
  int m = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), n, nullptr, 0, nullptr, nullptr);
  std::string out(m, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), n, &out[0], m, nullptr, nullptr);
  return out;
}

std::string Json(const Fields& fields) {
  std::string out = "[";
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) out += ", ";
    out += '"';
    for (unsigned char c : Utf8(fields[i])) {
      if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
      } else if (c < 0x20) {
        char escape[8];
        wsprintfA(escape, "\\u%04x", c);
        out += escape;
      } else {
        out += static_cast<char>(c);
      }
    }
    out += '"';
  }
  return out + "]";
}

HKEY Root(const std::string& name) {
  if (name == "HKCU") return HKEY_CURRENT_USER;
  if (name == "HKLM") return HKEY_LOCAL_MACHINE;
  if (name == "HKCR") return HKEY_CLASSES_ROOT;
  return HKEY_USERS;
}

Fields Value(const Fields& q) {
  HKEY key;
  if (RegOpenKeyExA(Root(q[1]), q[2].c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {"missing"};
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExA(key, q[3].c_str(), nullptr, &type, nullptr, &size);
  std::vector<BYTE> data(size + 2, 0);
  if (rc == ERROR_SUCCESS) rc = RegQueryValueExA(key, q[3].c_str(), nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return {"missing"};
  if (type == REG_SZ) {
    // The stored length counts the terminating zero; a string written
    // without it would read back shorter here.
    std::string text(reinterpret_cast<char*>(data.data()), size);
    if (text.empty() || text.back() != '\0') return {"REG_SZ unterminated", text};
    return {"REG_SZ", text.substr(0, text.size() - 1)};
  }
  if (type == REG_DWORD && size == 4)
    return {"REG_DWORD", std::to_string(*reinterpret_cast<DWORD*>(data.data()))};
  return {std::to_string(type), ""};
}

Fields Key(const Fields& q) {
  HKEY key;
  if (RegOpenKeyExA(Root(q[1]), q[2].c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {"missing"};
  RegCloseKey(key);
  return {"present"};
}

Fields Ini(const Fields& q) {
  const char sentinel[] = "\x01missing\x01";
  char text[4096];
  GetPrivateProfileStringA(q[2].c_str(), q[3].c_str(), sentinel, text, sizeof(text), q[1].c_str());
  if (std::string(text) == sentinel) return {"missing"};
  return {"value", text};
}

std::string Hex(HRESULT hr) {
  char text[16];
  wsprintfA(text, "%08lX", static_cast<unsigned long>(hr));
  return text;
}

Fields Link(const Fields& q) {
  IShellLinkA* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  if (FAILED(hr)) return {"failed", "create", Hex(hr)};
  IPersistFile* file = nullptr;
  hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(hr)) {
    link->Release();
    return {"failed", "persist", Hex(hr)};
  }
  std::wstring name(MAX_PATH, L'\0');
  name.resize(MultiByteToWideChar(CP_ACP, 0, q[1].c_str(), -1, &name[0], MAX_PATH));
  hr = file->Load(name.c_str(), STGM_READ);
  Fields out;
  if (FAILED(hr)) {
    out = {"failed", "load", Hex(hr)};
  } else {
    char target[MAX_PATH] = "", arguments[1024] = "", folder[MAX_PATH] = "", icon[MAX_PATH] = "",
         description[1024] = "";
    int index = 0, show = 0;
    WORD hotKey = 0;
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, sizeof(arguments));
    link->GetWorkingDirectory(folder, MAX_PATH);
    link->GetIconLocation(icon, MAX_PATH, &index);
    link->GetHotkey(&hotKey);
    link->GetShowCmd(&show);
    link->GetDescription(description, sizeof(description));
    out = {target,
           arguments,
           folder,
           icon,
           std::to_string(index),
           std::to_string(hotKey),
           std::to_string(show),
           description};
  }
  file->Release();
  link->Release();
  return out;
}

int CALLBACK FaceFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

Fields Font(const Fields& q) {
  LOGFONTA wanted = {};
  lstrcpynA(wanted.lfFaceName, q[1].c_str(), LF_FACESIZE);
  wanted.lfCharSet = DEFAULT_CHARSET;
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExA(dc, &wanted, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return {found ? "present" : "missing"};
}

Fields Window(const Fields& q) {
  DWORD until = GetTickCount() + static_cast<DWORD>(std::stoul(q[2]));
  do {
    HWND window = FindWindowA(q[1].c_str(), nullptr);
    if (window) {
      char title[512] = "";
      GetWindowTextA(window, title, sizeof(title));
      PostMessageA(window, WM_CLOSE, 0, 0);
      return {"closed", title};
    }
    Sleep(100);
  } while (static_cast<LONG>(GetTickCount() - until) < 0);
  return {"none"};
}

Fields DeleteKey(const Fields& q) {
  RegDeleteTreeA(Root(q[1]), q[2].c_str());
  RegDeleteKeyA(Root(q[1]), q[2].c_str());
  return {"done"};
}

Fields DeleteValue(const Fields& q) {
  RegDeleteKeyValueA(Root(q[1]), q[2].c_str(), q[3].c_str());
  return {"done"};
}

bool StartsWithNoCase(const std::string& text, const std::string& start) {
  return text.size() >= start.size() &&
         CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text.c_str(), static_cast<int>(start.size()),
                        start.c_str(), static_cast<int>(start.size())) == CSTR_EQUAL;
}

// The pending renames are pairs of strings in one multi-string value, the
// source marked "\??\".
Fields DropRenames(const Fields& q) {
  const char key[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  const char name[] = "PendingFileRenameOperations";
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &k) != ERROR_SUCCESS) {
    return {"0"};
  }
  DWORD type = 0, size = 0;
  std::vector<char> data;
  if (RegQueryValueExA(k, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    data.resize(size + 2, 0);
    RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  }
  Fields strings;
  // The delete of a pair has an empty second name: the size, not an empty
  // string, ends the list.
  for (size_t i = 0; i + 1 < size;) {
    strings.push_back(data.data() + i);
    i += strings.back().size() + 1;
  }
  std::string kept;
  int removed = 0;
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    std::string source = strings[i];
    if (source.rfind("\\??\\", 0) == 0) source.erase(0, 4);
    if (StartsWithNoCase(source, q[1])) {
      ++removed;
      continue;
    }
    kept += strings[i] + '\0' + strings[i + 1] + '\0';
  }
  if (removed) {
    if (kept.empty()) {
      RegDeleteValueA(k, name);
    } else {
      kept += '\0';
      RegSetValueExA(k, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                     static_cast<DWORD>(kept.size()));
    }
  }
  RegCloseKey(k);
  return {std::to_string(removed)};
}

Fields Answer(const Fields& q) {
  const std::string& verb = q[0];
  size_t n = q.size();
  if (verb == "value" && n == 4) return Value(q);
  if (verb == "key" && n == 3) return Key(q);
  if (verb == "ini" && n == 4) return Ini(q);
  if (verb == "link" && n == 2) return Link(q);
  if (verb == "font" && n == 2) return Font(q);
  if (verb == "window" && n == 3) return Window(q);
  if (verb == "delete-key" && n == 3) return DeleteKey(q);
  if (verb == "delete-value" && n == 4) return DeleteValue(q);
  if (verb == "drop-renames" && n == 2) return DropRenames(q);
  return {"bad query"};
}

// Without FILE only the program's own file is held, by its running.
int Hold(const char* file, const char* ready, const char* stop, DWORD share) {
  HANDLE held = file ? CreateFileA(file, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr) : nullptr;
  if (held == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(CreateFileA(ready, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  for (int i = 0; i < 6000 && GetFileAttributesA(stop) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  if (held) CloseHandle(held);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--hold") return Hold(argv[2], argv[3], argv[4], FILE_SHARE_READ);
  if (argc == 5 && std::string(argv[1]) == "--hold-alone") return Hold(argv[2], argv[3], argv[4], 0);
  if (argc == 4 && std::string(argv[1]) == "--run") return Hold(nullptr, argv[2], argv[3], 0);
  if (argc != 3) return 2;
  std::ifstream queries(argv[1], std::ios::binary);
  std::ofstream results(argv[2], std::ios::binary);
  if (!queries || !results) return 2;
  CoInitialize(nullptr);
  std::string line;
  while (std::getline(queries, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Fields q;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '\t')) q.push_back(field);
    if (line.empty()) continue;
    // A trailing empty field (the default value's name) is not read by getline.
    if (line.back() == '\t') q.push_back("");
    results << Json(Answer(q)) << "\n";
  }
  CoUninitialize();
  return 0;
}
