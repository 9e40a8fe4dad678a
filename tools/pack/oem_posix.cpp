#include <errno.h>
#include <iconv.h>

#include "pack/oem.h"

namespace osin {

bool ToOemName(const std::filesystem::path& relative, int codePage, std::string& name) {
  iconv_t cd = iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-8");
  if (cd == iconv_t(-1)) return false;
  std::string utf8;
  for (const auto& part : relative) {
    if (!utf8.empty()) utf8 += '\\';
    utf8 += part.string();
  }
  std::string out(utf8.size() * 4 + 4, '\0');
  char* in = utf8.data();
  size_t inLeft = utf8.size();
  char* o = out.data();
  size_t outLeft = out.size();
  size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (r == size_t(-1) || r != 0) return false;  // invalid, or converted only approximately
  out.resize(out.size() - outLeft);
  name = out;
  return true;
}

}  // namespace osin
