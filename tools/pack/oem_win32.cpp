#include <windows.h>

#include "pack/oem.h"

namespace osin {

bool ToOemName(const std::filesystem::path& relative, int codePage, std::string& name) {
  std::wstring wide;
  for (const auto& part : relative) {
    if (!wide.empty()) wide += L'\\';
    wide += part.wstring();
  }
  if (wide.empty()) return false;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(UINT(codePage), WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), nullptr, 0,
                              nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(UINT(codePage), WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), out.data(), n,
                      nullptr, &usedDefault);
  if (usedDefault) return false;
  name = out;
  return true;
}

}  // namespace osin
