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

}  // namespace

bool ToOemName(const std::filesystem::path& relative, int codePage, std::string& name) {
  return Convert(Joined(relative), codePage, name);
}

bool ToAnsiName(const std::filesystem::path& relative, int oemCodePage, std::string& name) {
  return Convert(Joined(relative), AnsiCodePageOf(oemCodePage), name);
}

bool ToSetupText(const std::string& text, int oemCodePage, std::string& converted) {
  if (text.empty()) return true;
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), n);
  return Convert(wide, AnsiCodePageOf(oemCodePage), converted);
}

void ReadNamesIn(int) {}

std::string ToLocalName(const std::string& readerName, int) {
  return readerName;
}

}  // namespace osin
