#include <errno.h>
#include <iconv.h>

#include <algorithm>

#include "pack/oem.h"

namespace osin {

namespace {

bool Convert(std::string text, int codePage, std::string& converted, bool toUtf8 = false) {
  std::string page = "CP" + std::to_string(codePage);
  iconv_t cd = toUtf8 ? iconv_open("UTF-8", page.c_str()) : iconv_open(page.c_str(), "UTF-8");
  if (cd == iconv_t(-1)) return false;
  std::string out(text.size() * 4 + 4, '\0');
  char* in = text.data();
  size_t inLeft = text.size();
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

bool Recode(const std::string& text, int from, int to, std::string& converted) {
  std::string utf8;
  return Convert(text, from, utf8, true) && Convert(utf8, to, converted);
}

bool ToLocalName(const std::string& readerName, std::string& local) {
  int oem = NamesCodePage() ? NamesCodePage() : 437;
  if (!Convert(readerName, AnsiCodePageOf(oem), local, true)) local = readerName;
  return true;
}

std::string OemToUtf8(const std::string& name, int codePage) {
  std::string utf8;
  return Convert(name, codePage, utf8, true) ? utf8 : name;
}

std::string ToUtf8Name(const std::string& readerName) {
  std::string local;
  ToLocalName(readerName, local);
  return local;
}

std::filesystem::path ToLocalPath(const std::string& readerName) {
  std::string local;
  ToLocalName(readerName, local);
  std::replace(local.begin(), local.end(), '\\', '/');
  return std::filesystem::u8path(local);
}

}  // namespace osin
