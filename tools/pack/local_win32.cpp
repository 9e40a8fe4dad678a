#include <io.h>
#include <stdarg.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "pack/local.h"

namespace osin {

namespace {

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
  return wide;
}

// Wide text in code page CodePage; with Exact, false when a character has
// no equivalent there.
bool Narrow(const std::wstring& wide, UINT codePage, std::string& text, bool exact) {
  // A system set to use UTF-8 as its ANSI code page takes none of the
  // best-fit options below.
  if (codePage == CP_ACP && GetACP() == CP_UTF8) codePage = CP_UTF8;
  BOOL lost = FALSE;
  BOOL* lostFlag = codePage == CP_UTF8 ? nullptr : &lost;
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  int n = WideCharToMultiByte(codePage, flags, wide.data(), int(wide.size()), nullptr, 0, fallback, lostFlag);
  text.assign(size_t(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(codePage, flags, wide.data(), int(wide.size()), text.data(), n, fallback, lostFlag);
  return !(exact && lost) && (n > 0 || wide.empty());
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (!wide) {
    // Without the wide form the ANSI one is all there is.
    for (int i = 1; i < argc; ++i) {
      int n = MultiByteToWideChar(CP_ACP, 0, argv[i], -1, nullptr, 0);
      std::wstring w(size_t(n > 0 ? n : 1), L'\0');
      if (n > 0) MultiByteToWideChar(CP_ACP, 0, argv[i], -1, w.data(), n);
      w.pop_back();
      std::string utf8;
      Narrow(w, CP_UTF8, utf8, false);
      args.push_back(utf8);
    }
    return args;
  }
  for (int i = 1; i < count; ++i) {
    std::string utf8;
    Narrow(wide[i], CP_UTF8, utf8, false);
    args.push_back(utf8);
  }
  LocalFree(wide);
  return args;
}

std::filesystem::path ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n == 0) return std::filesystem::path();
    if (n < path.size()) return std::filesystem::path(path.substr(0, n));
    path.resize(path.size() * 2);
  }
}

bool SystemSpells(const std::filesystem::path& path, std::string& spelled) {
  return Narrow(path.wstring(), CP_ACP, spelled, true);
}

std::string ShortFormOf(const std::filesystem::path& path) {
  std::string ansi;
  DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return std::string();
  std::wstring shortPath(n, L'\0');
  n = GetShortPathNameW(path.c_str(), shortPath.data(), n);
  shortPath.resize(n);
  return n && Narrow(shortPath, CP_ACP, ansi, true) ? ansi : std::string();
}

void Print(FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (n <= 0) return;
  std::string text(size_t(n) + 1, '\0');
  va_start(args, format);
  vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  text.resize(size_t(n));
  std::wstring wide = Wide(text);
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0, written = 0;
  if (console != INVALID_HANDLE_VALUE && GetConsoleMode(console, &mode)) {
    fflush(stream);
    WriteConsoleW(console, wide.data(), DWORD(wide.size()), &written, nullptr);
    return;
  }
  std::string ansi;
  Narrow(wide, CP_ACP, ansi, false);
  fwrite(ansi.data(), 1, ansi.size(), stream);
}

}  // namespace osin
