// Measuring and breaking text in a device context's font (Win32 only).
#pragma once

#include <windows.h>

#include "platform/str.h"

namespace osin {

// Width and height of S in the context's current font.
SIZE TextExtent(HDC dc, const String& s);
// The same in the window's own font (WM_GETFONT; the system font when the
// window has none).
SIZE WindowTextExtent(HWND window, const String& s);
// S, drawn in CodePage (CP_ACP for the system's), broken into CR LF
// separated lines no wider than Width where the words allow (see
// WrapTextWith).
String WrapText(HDC dc, const String& s, int width, UINT codePage);

}  // namespace osin
