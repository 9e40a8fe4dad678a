#include <windows.h>

#include "pack/oem.h"
#include "platform/text.h"

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

namespace {

// The OEM code page the reader reads names in; 0 while it reads them
// through the system's own table, in the system's ANSI code page.
int readCodePage = 0;

std::wstring Widened(const std::string& text, int codePage) {
  int n = MultiByteToWideChar(UINT(codePage), 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(UINT(codePage), 0, text.data(), int(text.size()), wide.data(), n);
  return wide;
}

}  // namespace

void ReadNamesIn(int codePage) {
  static unsigned char table[128];
  int ansi = AnsiCodePageOf(codePage);
  for (int b = 0x80; b <= 0xFF; ++b) {
    // A double-byte page is its own pair: its bytes pass as they are.
    char byte = char(b);
    wchar_t wide;
    std::string converted;
    if (ansi == codePage) {
      table[b - 0x80] = static_cast<unsigned char>(b);
    } else if (MultiByteToWideChar(UINT(codePage), MB_ERR_INVALID_CHARS, &byte, 1, &wide, 1) == 1 &&
               Convert(std::wstring(1, wide), ansi, converted) && converted.size() == 1) {
      table[b - 0x80] = static_cast<unsigned char>(converted[0]);
    } else {
      table[b - 0x80] = '?';
    }
  }
  SetOemTable(table);
  readCodePage = codePage;
}

bool ToLocalName(const std::string& readerName, std::string& local) {
  int ansi = readCodePage ? AnsiCodePageOf(readCodePage) : int(GetACP());
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

std::filesystem::path ToLocalPath(const std::string& readerName) {
  return std::filesystem::path(Widened(readerName, readCodePage ? AnsiCodePageOf(readCodePage) : CP_ACP));
}

}  // namespace osin
