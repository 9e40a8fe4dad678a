#include "ui/font.h"

#include <string.h>

#include "config/inifile.h"
#include "platform/strutils.h"
#include "platform/text.h"

namespace osin {

namespace {

struct CharsetRow {
  char code[4];
  uint8_t charset;
};

// Languages whose texts need a character set other than the default. The
// table is searched in this order and the first equal code wins. Bulgarian
// is written in Cyrillic (code page 1251): with the Central European set its
// titles, and on the NT line all its texts, showed Latin letters. Japanese,
// Chinese and Korean name theirs so that they read right on a Western
// system too.
const CharsetRow kCharsets[] = {
    {"RUS", 204}, {"BEL", 204}, {"SRB", 204}, {"UKR", 204}, {"ELL", 161}, {"TRK", 162},
    {"ETI", 186}, {"LTH", 186}, {"LVI", 186}, {"BGR", 204}, {"CSY", 238}, {"HRV", 238},
    {"HUN", 238}, {"PLK", 238}, {"ROM", 238}, {"SKY", 238}, {"SLV", 238}, {"SQI", 238},
    {"SRL", 238}, {"JPN", 128}, {"CHS", 134}, {"CHT", 136}, {"KOR", 129},
};

const uint8_t kDefaultCharset = 1;

uint8_t StyleBit(char letter) {
  switch (letter) {
    case 'B':
      return kFontBold;
    case 'I':
      return kFontItalic;
    case 'U':
      return kFontUnderline;
    case 'S':
      return kFontStrikeOut;
    default:
      return 0;
  }
}

}  // namespace

TFontDescription ParseFontDescription(const String& text) {
  // Copied from a constant: a default-constructed description is built from
  // a writable template, which alone would cost the program a data section.
  static const TFontDescription kDefault;
  TFontDescription font = kDefault;
  String face = GetField(1, text, kCommaSet);
  int faceLength = face.Length() < 31 ? face.Length() : 31;
  memcpy(font.Face, face.c_str(), faceLength);
  // Decimal or "$" hexadecimal, as every number of the configuration.
  font.Size = IniStrToInt(GetField(2, text, kCommaSet), 8);
  font.Color = IniStrToInt(GetField(3, text, kCommaSet), 0);
  String styles = GetField(4, text, kCommaSet);
  for (int i = 0; i < styles.Length(); ++i) font.Styles |= StyleBit(styles[i]);
  return font;
}

uint8_t CharsetForLanguage(const String& code) {
  for (const CharsetRow& row : kCharsets) {
    if (code == row.code) return row.charset;
  }
  return kDefaultCharset;
}

void ApplyLanguageCharset(const String& code, TFontDescription& mainTitle, TFontDescription& dialog,
                          TFontDescription& dialogTitle) {
  uint8_t charset = CharsetForLanguage(UpperCase(code));
  mainTitle.Charset = charset;
  dialog.Charset = charset;
  dialogTitle.Charset = charset;
}

}  // namespace osin
