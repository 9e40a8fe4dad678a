// The system font description built from a configured one.
#include <windows.h>

#include "testing.h"
#include "ui/font.h"

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

}  // namespace
