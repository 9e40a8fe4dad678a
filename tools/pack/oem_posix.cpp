#include <errno.h>
#include <iconv.h>

#include "pack/oem.h"

namespace osin {

namespace {

bool Convert(std::string utf8, int codePage, std::string& converted) {
  iconv_t cd = iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-8");
  if (cd == iconv_t(-1)) return false;
  std::string out(utf8.size() * 4 + 4, '\0');
  char* in = utf8.data();
  size_t inLeft = utf8.size();
  char* o = out.data();
  size_t outLeft = out.size();
  size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (r == size_t(-1) || r != 0) return false;  // invalid, or converted only approximately
  out.resize(out.size() - outLeft);
  converted = out;
  return true;
}

std::string Joined(const std::filesystem::path& relative) {
  std::string utf8;
  for (const auto& part : relative) {
    if (!utf8.empty()) utf8 += '\\';
    utf8 += part.string();
  }
  return utf8;
}

}  // namespace

bool ToOemName(const std::filesystem::path& relative, int codePage, std::string& name) {
  return Convert(Joined(relative), codePage, name);
}

bool ToAnsiName(const std::filesystem::path& relative, int oemCodePage, std::string& name) {
  return Convert(Joined(relative), AnsiCodePageOf(oemCodePage), name);
}

bool ToSetupText(const std::string& text, int oemCodePage, std::string& converted) {
  return Convert(text, AnsiCodePageOf(oemCodePage), converted);
}

}  // namespace osin
