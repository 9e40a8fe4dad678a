// Font descriptions and the character set of a language.
#include "ui/font.h"
#include "testing.h"

using namespace osin;

namespace {

TEST(FontDescription, AllFourFields) {
  TFontDescription f = ParseFontDescription("Arial,20,$0000FF,BI");
  EXPECT_STREQ(f.Face, "Arial");
  EXPECT_EQ(f.Size, 20);
  EXPECT_EQ(f.Color, 0xFF);
  EXPECT_EQ(f.Styles, kFontBold | kFontItalic);
  EXPECT_EQ(f.Charset, 1);
}

TEST(FontDescription, MissingOrBadFieldsTakeDefaults) {
  TFontDescription f = ParseFontDescription("Arial");
  EXPECT_STREQ(f.Face, "Arial");
  EXPECT_EQ(f.Size, 8);
  EXPECT_EQ(f.Color, 0);
  EXPECT_EQ(f.Styles, 0);
  f = ParseFontDescription(",big,red,");
  EXPECT_STREQ(f.Face, "");
  EXPECT_EQ(f.Size, 8);
  EXPECT_EQ(f.Color, 0);
  // "0x" is no prefix in the configuration: the colour keeps its default
  // instead of turning red.
  f = ParseFontDescription("Arial,0x10,0xFF");
  EXPECT_EQ(f.Size, 8);
  EXPECT_EQ(f.Color, 0);
}

TEST(FontDescription, StylesAreUpperCaseLettersOnly) {
  EXPECT_EQ(ParseFontDescription("A,8,0,bius").Styles, 0);
  EXPECT_EQ(ParseFontDescription("A,8,0,UxS").Styles, kFontUnderline | kFontStrikeOut);
  EXPECT_EQ(ParseFontDescription("A,8,0,BBB").Styles, kFontBold);
}

TEST(FontDescription, QuotedFaceAndLongFaceCut) {
  // A face in apostrophes may hold a comma; the apostrophes go.
  TFontDescription f = ParseFontDescription("'Odd, Face',12,16711680,B");
  EXPECT_STREQ(f.Face, "Odd, Face");
  EXPECT_EQ(f.Size, 12);
  EXPECT_EQ(f.Color, 0xFF0000);
  f = ParseFontDescription("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789,9");
  EXPECT_STREQ(f.Face, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
  EXPECT_EQ(f.Size, 9);
}

TEST(LanguageCharset, TheTableInItsOrder) {
  EXPECT_EQ(CharsetForLanguage("RUS"), 204);
  EXPECT_EQ(CharsetForLanguage("UKR"), 204);
  EXPECT_EQ(CharsetForLanguage("BGR"), 204) << "Bulgarian is written in Cyrillic";
  EXPECT_EQ(CharsetForLanguage("JPN"), 128);
  EXPECT_EQ(CharsetForLanguage("ELL"), 161);
  EXPECT_EQ(CharsetForLanguage("TRK"), 162);
  EXPECT_EQ(CharsetForLanguage("LTH"), 186);
  EXPECT_EQ(CharsetForLanguage("SRL"), 238);
  EXPECT_EQ(CharsetForLanguage("ENU"), 1);
  EXPECT_EQ(CharsetForLanguage("rus"), 1) << "the comparison is exact";
  EXPECT_EQ(CharsetForLanguage(""), 1);
}

TEST(LanguageCharset, AppliesUpperCasedToTheThreeFonts) {
  TFontDescription mainTitle, dialog, dialogTitle;
  ApplyLanguageCharset("rus", mainTitle, dialog, dialogTitle);
  EXPECT_EQ(mainTitle.Charset, 204);
  EXPECT_EQ(dialog.Charset, 204);
  EXPECT_EQ(dialogTitle.Charset, 204);
  ApplyLanguageCharset("ENU", mainTitle, dialog, dialogTitle);
  EXPECT_EQ(mainTitle.Charset, 1);
  EXPECT_EQ(dialog.Charset, 1);
  EXPECT_EQ(dialogTitle.Charset, 1);
}

}  // namespace
