#include <windows.h>

#include "pack/oem.h"

namespace osin {

namespace {

bool Convert(const std::wstring& wide, int codePage, std::string& converted) {
  if (wide.empty()) return false;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(UINT(codePage), WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr, 0,
                              nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(UINT(codePage), WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), out.data(), n,
                      nullptr, &usedDefault);
  if (usedDefault) return false;
  converted = out;
  return true;
}

std::wstring Joined(const std::filesystem::path& relative) {
  std::wstring wide;
  for (const auto& part : relative) {
    if (!wide.empty()) wide += L'\\';
    wide += part.wstring();
  }
  return wide;
}

// Text in code page CodePage in UTF-16; empty when it holds a byte that
// is no character there (with MB_ERR_INVALID_CHARS in Flags).
std::wstring Widened(const std::string& text, int codePage, DWORD flags = 0) {
  int n = MultiByteToWideChar(UINT(codePage), flags, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(UINT(codePage), flags, text.data(), int(text.size()), wide.data(), n);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

// The ANSI code page of the names the reader gives.
int ReaderCodePage() {
  return NamesCodePage() ? AnsiCodePageOf(NamesCodePage()) : int(GetACP());
}

}  // namespace

bool ToOemName(const std::filesystem::path& relative, int codePage, std::string& name) {
  return Convert(Joined(relative), codePage, name);
}

bool ToAnsiName(const std::filesystem::path& relative, int oemCodePage, std::string& name) {
  return Convert(Joined(relative), AnsiCodePageOf(oemCodePage), name);
}

bool ToSetupText(const std::string& text, int oemCodePage, std::string& converted) {
  return text.empty() || Convert(Widened(text, CP_UTF8), AnsiCodePageOf(oemCodePage), converted);
}

bool Recode(const std::string& text, int from, int to, std::string& converted) {
  return Convert(Widened(text, from, MB_ERR_INVALID_CHARS), to, converted);
}

bool ToLocalName(const std::string& readerName, std::string& local) {
  int ansi = ReaderCodePage();
  local = readerName;
  if (ansi == int(GetACP()) || readerName.empty()) return true;
  std::wstring wide = Widened(readerName, ansi);
  if (Convert(wide, int(GetACP()), local)) return true;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  local.assign(size_t(n > 0 ? n : 0), '?');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), local.data(), n, "?",
                        nullptr);
  return false;
}

std::string OemToUtf8(const std::string& name, int codePage) {
  return Utf8(Widened(name, codePage));
}

std::string ToUtf8Name(const std::string& readerName) {
  return Utf8(Widened(readerName, ReaderCodePage()));
}

std::filesystem::path ToLocalPath(const std::string& readerName) {
  return std::filesystem::path(Widened(readerName, ReaderCodePage()));
}

}  // namespace osin
