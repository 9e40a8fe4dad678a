#include <string.h>
#include <windows.h>

#include "ui/font.h"

namespace osin {

void BuildFont(const TFontDescription& font, HWND window, LOGFONTA& result) {
  memset(&result, 0, sizeof(result));
  HDC dc = GetDC(window);
  result.lfHeight = -MulDiv(font.Size, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(window, dc);
  result.lfWeight = (font.Styles & kFontBold) ? FW_BOLD : FW_NORMAL;
  result.lfItalic = (font.Styles & kFontItalic) != 0;
  result.lfUnderline = (font.Styles & kFontUnderline) != 0;
  result.lfStrikeOut = (font.Styles & kFontStrikeOut) != 0;
  result.lfCharSet = font.Charset;
  static_assert(sizeof(result.lfFaceName) == sizeof(font.Face), "face fields agree");
  memcpy(result.lfFaceName, font.Face, sizeof(result.lfFaceName));
}

HFONT MakeFont(const TFontDescription& font, HWND window) {
  LOGFONTA description;
  BuildFont(font, window, description);
  return CreateFontIndirectA(&description);
}

}  // namespace osin
