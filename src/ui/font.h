// Font descriptions of the configuration and the character set of a
// language.
//
// A description is one text of four comma-separated fields, split with the
// quote-aware field splitter:
//   face     font face name; longer than 31 characters it is cut to fit
//   size     point size, an integer; 8 when empty or not a number
//   colour   text colour $BBGGRR (red in the low byte), decimal or "$"
//            hexadecimal ("0x" is no prefix here); 0 (black) when empty or
//            not a number
//   styles   upper-case letters B bold, I italic, U underline, S strike-out;
//            any other character (lower-case letters included) is ignored
// for example "Times New Roman,30,$FF0000,B".
//
// The character set starts as DEFAULT_CHARSET (1); whenever a language is
// set, the three fonts of the run take the set of that language (see
// CharsetForLanguage).
#pragma once

#include <stdint.h>

#include "platform/str.h"

struct tagLOGFONTA;
struct HWND__;
struct HFONT__;

namespace osin {

enum FontStyle : uint8_t {
  kFontBold = 1,
  kFontItalic = 2,
  kFontUnderline = 4,
  kFontStrikeOut = 8,
};

struct TFontDescription {
  // Zero-terminated; the system's face-name field holds 32 bytes.
  char Face[32] = {};
  int Size = 8;
  int32_t Color = 0;
  uint8_t Styles = 0;  // FontStyle bits
  uint8_t Charset = 1;
};

TFontDescription ParseFontDescription(const String& text);

// Windows only. The system's font description for Font: the point size
// turned into a height in pixels of Window's display (the screen's when
// Window is none, as before the background window exists), weight 700 for
// bold and 400 otherwise, the style flags, the character set and the face;
// everything else 0.
void BuildFont(const TFontDescription& font, HWND__* window, tagLOGFONTA& result);
// The font BuildFont describes, made; the caller deletes it.
HFONT__* MakeFont(const TFontDescription& font, HWND__* window);

// The character set of an upper-case language code: Cyrillic, Greek,
// Turkish, Baltic, Central European or East Asian for the codes that need
// one, else DEFAULT_CHARSET (1). The comparison is exact, so callers
// upper-case first.
uint8_t CharsetForLanguage(const String& code);

// Gives the run's three fonts the character set of Code, which is
// upper-cased first.
void ApplyLanguageCharset(const String& code, TFontDescription& mainTitle, TFontDescription& dialog,
                          TFontDescription& dialogTitle);

}  // namespace osin
