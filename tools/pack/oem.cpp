#include "pack/oem.h"

#include "platform/text.h"

namespace osin {

namespace {

int namesCodePage = 0;

}  // namespace

void ReadNamesIn(int codePage) {
  static unsigned char table[128];
  int ansi = AnsiCodePageOf(codePage);
  for (int b = 0x80; b <= 0xFF; ++b) {
    // A double-byte page is its own pair: its bytes pass as they are.
    std::string converted;
    if (ansi == codePage) {
      converted.assign(1, char(b));
    } else if (!Recode(std::string(1, char(b)), codePage, ansi, converted) || converted.size() != 1) {
      converted = "?";
    }
    table[b - 0x80] = static_cast<unsigned char>(converted[0]);
  }
  SetOemTable(table);
  namesCodePage = codePage;
}

int NamesCodePage() {
  return namesCodePage;
}

}  // namespace osin
