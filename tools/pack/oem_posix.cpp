#include <errno.h>
#include <iconv.h>

#include <algorithm>

#include "pack/oem.h"
#include "platform/text.h"

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

namespace {

// The OEM code page the reader reads names in.
int readCodePage = 437;

}  // namespace

void ReadNamesIn(int codePage) {
  static unsigned char table[128];
  int ansi = AnsiCodePageOf(codePage);
  for (int b = 0x80; b <= 0xFF; ++b) {
    // A double-byte page is its own pair: its bytes pass as they are.
    std::string utf8, converted;
    if (ansi == codePage) {
      table[b - 0x80] = static_cast<unsigned char>(b);
    } else if (Convert(std::string(1, char(b)), codePage, utf8, true) && Convert(utf8, ansi, converted) &&
               converted.size() == 1) {
      table[b - 0x80] = static_cast<unsigned char>(converted[0]);
    } else {
      table[b - 0x80] = '?';
    }
  }
  SetOemTable(table);
  readCodePage = codePage;
}

bool ToLocalName(const std::string& readerName, std::string& local) {
  if (!Convert(readerName, AnsiCodePageOf(readCodePage), local, true)) local = readerName;
  return true;
}

std::filesystem::path ToLocalPath(const std::string& readerName) {
  std::string local;
  ToLocalName(readerName, local);
  std::replace(local.begin(), local.end(), '\\', '/');
  return std::filesystem::u8path(local);
}

}  // namespace osin
