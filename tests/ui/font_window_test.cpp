// The system font description built from a configured one.
#include <windows.h>

#include "testing.h"
#include "ui/font.h"
#include "ui/msgwindow.h"

using namespace osin;

namespace {

TEST(BuildFont, SizeStylesFaceAndCharset) {
  TFontDescription font = ParseFontDescription("Arial,20,$0000FF,BIUS");
  font.Charset = 204;
  LOGFONTA lf;
  BuildFont(font, nullptr, lf);
  HDC dc = GetDC(nullptr);
  int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(lf.lfHeight, -MulDiv(20, dpi, 72));
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_EQ(lf.lfItalic, 1);
  EXPECT_EQ(lf.lfUnderline, 1);
  EXPECT_EQ(lf.lfStrikeOut, 1);
  EXPECT_EQ(lf.lfCharSet, 204);
  EXPECT_STREQ(lf.lfFaceName, "Arial");
  EXPECT_EQ(lf.lfWidth, 0);
  EXPECT_EQ(lf.lfQuality, 0);
}

TEST(BuildFont, RegularWeightWithoutBold) {
  LOGFONTA lf;
  BuildFont(ParseFontDescription("MS Sans Serif,8"), nullptr, lf);
  EXPECT_EQ(lf.lfWeight, 400);
  EXPECT_EQ(lf.lfItalic, 0);
  EXPECT_EQ(lf.lfCharSet, 1);
  HFONT made = CreateFontIndirectA(&lf);
  EXPECT_NE(made, nullptr);
  DeleteObject(made);
}

BOOL CALLBACK TakeVisible(HWND window, LPARAM found) {
  if (IsWindowVisible(window)) *reinterpret_cast<HWND*>(found) = window;
  return TRUE;
}

// The character set of the shown message's text control.
int ShownCharset() {
  HWND shown = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), TakeVisible, reinterpret_cast<LPARAM>(&shown));
  LOGFONTA lf = {};
  HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageA(shown, 101, WM_GETFONT, 0, 0));
  return GetObjectA(font, sizeof lf, &lf) ? lf.lfCharSet : -1;
}

// A message shown before the language page (a program run first) and one
// after a Russian choice there: the later one's font has the Cyrillic set,
// in whose code page its text is drawn.
TEST(MessageWindow, ItsFontFollowsTheLanguage) {
  TFontDescription font = ParseFontDescription("Arial,8");
  SetMessageWindowOwner(nullptr, &font);
  ShowMessageWindow("Starting", 0);
  EXPECT_EQ(ShownCharset(), 1);
  HideMessageWindow();
  font.Charset = 204;
  ShowMessageWindow("Reading", 0);
  EXPECT_EQ(ShownCharset(), 204);
  HideMessageWindow();
  SetMessageWindowOwner(nullptr, nullptr);
}

}  // namespace
