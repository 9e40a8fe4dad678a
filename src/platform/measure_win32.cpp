#include "platform/measure.h"

#include "platform/strutils.h"

namespace osin {

SIZE TextExtent(HDC dc, const String& s) {
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, s.c_str(), s.Length(), &size);
  return size;
}

SIZE WindowTextExtent(HWND window, const String& s) {
  HDC dc = GetDC(window);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SIZE size = TextExtent(dc, s);
  if (old) SelectObject(dc, old);
  ReleaseDC(window, dc);
  return size;
}

namespace {

int MeasureInContext(void* context, const String& text) {
  return TextExtent(static_cast<HDC>(context), text).cx;
}

}  // namespace

String WrapText(HDC dc, const String& s, int width, UINT codePage) {
  return WrapTextWith(s, width, MeasureInContext, dc, codePage);
}

}  // namespace osin
