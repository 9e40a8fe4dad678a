#include "uninstall/guard.h"

#include "install/log.h"
#include "platform/file.h"
#include "platform/text.h"

namespace osin {

const char kUninstallRoot[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

namespace {

// Keys of the system below a root that installations add their entries to;
// these and every key above them stay unless empty. They are the same under
// every root (HKLM and HKCU both have SOFTWARE\Microsoft\...).
const char* const kSystemKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "SOFTWARE\\Classes\\CLSID",
    "SOFTWARE\\Classes\\Interface",
    "SOFTWARE\\Classes\\TypeLib",
    "SOFTWARE\\Classes\\AppID",
    "SYSTEM\\CurrentControlSet\\Control",
    "SYSTEM\\CurrentControlSet\\Services",
    ".DEFAULT\\Software\\Microsoft",
};
const char* const kRootWords[] = {"HKCR", "HKCU", "HKLM", "HKU"};

String WithoutTrailingBackslash(const String& path) {
  return !path.IsEmpty() && LastBackslash(path) == path.Length() ? path.Copy(1, path.Length() - 1) : path;
}

// The length of the root part of a full path: "C:" or "\\server\share";
// 0 when the path has neither form.
int RootLength(const String& path) {
  char d = path.Length() >= 3 ? path[0] : 0;
  if (((d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z')) && path[1] == ':' && path[2] == '\\') return 2;
  if (path.Length() < 5 || path[0] != '\\' || path[1] != '\\') return 0;
  int server = NextBackslash(path, 3);
  if (server <= 3) return 0;
  int share = NextBackslash(path, server + 1);
  if (share == 0) return path.Length();
  return share > server + 1 ? share - 1 : 0;
}

bool ValidElement(const String& element) {
  if (element.IsEmpty() || element == "." || element == "..") return false;
  for (int i = 0; i < element.Length(); ++i) {
    // The second byte of a double-byte character may have the code of "|".
    if (IsLeadByte(element[i])) {
      ++i;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(element[i]);
    if (c < 32 || c == '*' || c == '?' || c == ':' || c == '"' || c == '<' || c == '>' || c == '|')
      return false;
  }
  return true;
}

}  // namespace

bool IsFullPath(const String& path) {
  int root = RootLength(path);
  if (root == 0 || root >= path.Length() - 1) return false;
  // Each element after the root, between one "\" and the next.
  int start = root + 2;
  while (start <= path.Length() + 1) {
    int end = NextBackslash(path, start);
    if (end == 0) end = path.Length() + 1;
    if (!ValidElement(path.Copy(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

bool IsBelow(const String& path, const String& ancestor) {
  String p = WithoutTrailingBackslash(path), a = WithoutTrailingBackslash(ancestor);
  return !a.IsEmpty() && p.Length() > a.Length() + 1 && p[a.Length()] == '\\' &&
         SameText(p.Copy(1, a.Length()), a);
}

bool IsProtectedFolder(const String& path, const StringList& systemFolders) {
  String folder = WithoutTrailingBackslash(path);
  if (!IsFullPath(folder) || RootLength(folder) >= folder.Length()) return true;
  for (int i = 0; i < systemFolders.Count(); ++i) {
    String system = WithoutTrailingBackslash(systemFolders[i]);
    if (system.IsEmpty()) continue;
    if (SameText(folder, system) || IsBelow(system, folder)) return true;
  }
  return false;
}

bool IsProtectedKey(const String& path) {
  String key = WithoutTrailingBackslash(path);
  int slash = NextBackslash(key, 1);
  String root = slash ? key.Copy(1, slash - 1) : key;
  bool known = false;
  for (const char* word : kRootWords) known = known || root == word;
  if (!known || slash == 0) return true;
  String below = key.Copy(slash + 1, key.Length());
  // A key right below a root: SOFTWARE, SYSTEM, CLSID, .DEFAULT...
  if (below.IsEmpty() || NextBackslash(below, 1) == 0) return true;
  for (const char* system : kSystemKeys) {
    if (SameText(below, system) || IsBelow(system, below)) return true;
  }
  return false;
}

bool IsClassKey(const String& path) {
  String key = WithoutTrailingBackslash(path);
  return key.StartsWith("HKCR\\") && key.Length() > 5 && NextBackslash(key, 6) == 0;
}

bool ParseLogLine(int kind, const String& line, TLogRecord& record) {
  int equals = line.Pos('=');
  if (equals <= 1) return false;
  if (kind != kLogAddReg && kind != kLogAddIni) {
    // The writer leaves these values empty, so the line ends in its "=".
    if (line.Last() != '=') return false;
    record.Key = line.Copy(1, line.Length() - 1);
    record.Value = String();
    return true;
  }
  if (kind == kLogAddReg) {
    // A value name in apostrophes may hold "=" and "\"; the key ends after
    // the apostrophe that closes it (a doubled one stands for itself).
    int open = line.Pos("\\'");
    if (open > 0 && open < equals) {
      int i = open + 1;  // 0-based, just after the opening apostrophe
      for (;;) {
        if (i >= line.Length()) return false;
        if (line[i] == '\'' && i + 1 < line.Length() && line[i + 1] == '\'') {
          i += 2;
        } else if (line[i] == '\'') {
          break;
        } else {
          ++i;
        }
      }
      if (i + 1 >= line.Length() || line[i + 1] != '=') return false;
      equals = i + 2;
    }
  } else {
    // The INI file's path may hold "=" (its key never does): the record's
    // key ends at the first "=" before which it reads as file, section and
    // key.
    String file, section, key;
    for (int at = equals; at; at = line.Pos('=', at + 1)) {
      if (SplitIniRecord(line.Copy(1, at - 1), file, section, key)) {
        equals = at;
        break;
      }
    }
  }
  record.Key = line.Copy(1, equals - 1);
  record.Value = line.Copy(equals + 1, line.Length());
  return true;
}

bool SplitIniRecord(const String& record, String& file, String& section, String& key) {
  int last = record.LastPos(',');
  if (last <= 1) return false;
  String head = record.Copy(1, last - 1);
  int middle = head.LastPos(',');
  if (middle <= 1) return false;
  file = head.Copy(1, middle - 1);
  section = head.Copy(middle + 1, head.Length());
  key = record.Copy(last + 1, record.Length());
  return IsFullPath(file) && !key.IsEmpty();
}

bool NeedsAdministrator(int kind, const String& key, const StringList& machineFolders) {
  if (kind == kLogRegServers || kind == kLogRegFonts || kind == kLogSharedFiles) return true;
  if (kind == kLogAddReg || kind == kLogCreateKeys) {
    String root = UpperCase(key.Copy(1, key.Pos('\\') - 1));
    return root == "HKLM" || root == "HKCR";
  }
  String path = key, section, name;
  if (kind == kLogAddIni && !SplitIniRecord(key, path, section, name)) return false;
  for (int i = 0; i < machineFolders.Count(); ++i) {
    const String& folder = machineFolders[i];
    if (!folder.IsEmpty() &&
        (SameText(WithoutTrailingBackslash(path), WithoutTrailingBackslash(folder)) || IsBelow(path, folder)))
      return true;
  }
  return false;
}

}  // namespace osin
