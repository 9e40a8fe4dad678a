// Text measuring with a real device context and font under Wine.
#include <windows.h>
#include "testing.h"

#include "platform/measure.h"
#include "platform/strutils.h"

using namespace osin;

namespace {

class Measure : public ::testing::Test {
 protected:
  void SetUp() override {
    dc_ = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc_, nullptr);
    font_ = CreateFontA(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    ASSERT_NE(font_, nullptr);
    old_ = SelectObject(dc_, font_);
  }
  void TearDown() override {
    SelectObject(dc_, old_);
    DeleteObject(font_);
    DeleteDC(dc_);
  }
  int Width(const String& s) { return TextExtent(dc_, s).cx; }

  HDC dc_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

TEST_F(Measure, ExtentGrowsWithTheText) {
  EXPECT_EQ(Width(""), 0);
  EXPECT_GT(Width("W"), 0);
  EXPECT_GT(Width("WW"), Width("W"));
  EXPECT_GT(TextExtent(dc_, "x").cy, 0);
}

TEST_F(Measure, WrapBreaksWhereTheFontSaysTheLineIsFull) {
  String text = "alpha beta gamma delta";
  int twoWords = Width("alpha beta");
  int width = twoWords > Width("gamma delta") ? twoWords : Width("gamma delta");
  ASSERT_GT(Width("alpha beta gamma"), width);
  EXPECT_EQ(WrapText(dc_, text, width, CP_ACP), "alpha beta\r\ngamma delta");
  // One pixel less and the second word no longer fits its line.
  EXPECT_EQ(WrapText(dc_, "alpha beta", twoWords - 1, CP_ACP), "alpha\r\nbeta");
  EXPECT_EQ(WrapText(dc_, text, 100000, CP_ACP), text);
}

TEST(WindowMeasure, UsesTheWindowsOwnFont) {
  HWND window = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  HFONT small = CreateFontA(-8, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  HFONT large = CreateFontA(-32, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(small), FALSE);
  SIZE a = WindowTextExtent(window, "Measure me");
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(large), FALSE);
  SIZE b = WindowTextExtent(window, "Measure me");
  EXPECT_GT(a.cx, 0);
  EXPECT_GT(b.cx, a.cx);
  EXPECT_GT(b.cy, a.cy);
  DestroyWindow(window);
  DeleteObject(small);
  DeleteObject(large);
}

}  // namespace
