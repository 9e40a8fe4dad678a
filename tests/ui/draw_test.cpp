// The gradient's bands and the transparent copy, painted into memory.
// Expected values are worked out by hand from the band rule: edges at
// nearest(step x i) (halves to even) and one pixel past the next edge,
// channels first + MulDiv(i, last - first, bands) (halves away from zero).
#include <windows.h>

#include "testing.h"
#include "ui/dib.h"
#include "ui/draw.h"

using namespace osin;

namespace {

const COLORREF kUntouched = RGB(0x12, 0x34, 0x56);

TEST(PaintGradient, TopToBottomEdgesRoundHalvesToEven) {
  // 5 rows in 2 bands: step 2.5. Band 0 rows 0..2, band 1 from nearest(2.5)
  // = 2 to nearest(4.5) = 4, plus one: rows 2..4. Red 255 -> 0: band 1 is
  // 255 + MulDiv(1, -255, 2) = 255 - 128.
  Dib dib(3, 7, kUntouched);
  RECT rect = {0, 0, 3, 5};
  PaintGradient(dib.dc(), rect, RGB(255, 0, 0), RGB(0, 0, 0), kTopToBottom, 2);
  const COLORREF rows[] = {RGB(255, 0, 0), RGB(255, 0, 0), RGB(127, 0, 0),
                           RGB(127, 0, 0), RGB(127, 0, 0), kUntouched};
  for (int y = 0; y < 6; ++y) EXPECT_EQ(dib.At(1, y), rows[y]) << "row " << y;
}

TEST(PaintGradient, BottomToTopStartsFromTheEndColour) {
  // The same bands; band 0 (top) has the end colour, band 1 the end colour
  // + MulDiv(1, start - end, 2) = 0 + 128 (127.5 rounds up).
  Dib dib(3, 7, kUntouched);
  RECT rect = {0, 0, 3, 5};
  PaintGradient(dib.dc(), rect, RGB(255, 0, 0), RGB(0, 0, 0), kBottomToTop, 2);
  EXPECT_EQ(dib.At(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(dib.At(0, 2), RGB(128, 0, 0));
  EXPECT_EQ(dib.At(0, 4), RGB(128, 0, 0));
}

TEST(PaintGradient, LeftToRightOverlapsOnePixelPastTheRectangle) {
  // 7 columns in 3 bands: step 7/3. Edges 0, nearest(2.33) = 2,
  // nearest(4.67) = 5; each band ends at nearest(step + left) + 1, so the
  // last one covers column 7, outside the rectangle, as the rule is written.
  Dib dib(10, 2, kUntouched);
  RECT rect = {0, 0, 7, 2};
  PaintGradient(dib.dc(), rect, RGB(0, 0, 0), RGB(0, 144, 0), kLeftToRight, 3);
  const COLORREF columns[] = {
      0,         0, RGB(0, 48, 0), RGB(0, 48, 0), RGB(0, 48, 0), RGB(0, 96, 0), RGB(0, 96, 0), RGB(0, 96, 0),
      kUntouched};
  for (int x = 0; x < 9; ++x) EXPECT_EQ(dib.At(x, 1), columns[x]) << "column " << x;
}

TEST(PaintGradient, RightToLeftWithMoreBandsThanColumns) {
  // 300 bands on 4 columns become 4 bands of one column (each drawn two
  // wide). Band 0 (left) has the end colour; blue MulDiv(i, 255, 4) = 0,
  // 64, 128, 191.
  Dib dib(6, 1, kUntouched);
  RECT rect = {0, 0, 4, 1};
  PaintGradient(dib.dc(), rect, RGB(0, 0, 255), RGB(0, 0, 0), kRightToLeft, 300);
  const COLORREF columns[] = {0, RGB(0, 0, 64), RGB(0, 0, 128), RGB(0, 0, 191), RGB(0, 0, 191), kUntouched};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(dib.At(x, 0), columns[x]) << "column " << x;
}

TEST(PaintGradient, OneBandFillsWithTheStartColourAndSystemColoursResolve) {
  Dib dib(4, 4, kUntouched);
  RECT rect = {1, 1, 3, 3};
  // A negative colour names the system colour of its low byte.
  const int32_t highlight = static_cast<int32_t>(0x80000000u | COLOR_HIGHLIGHT);
  PaintGradient(dib.dc(), rect, highlight, RGB(1, 2, 3), kTopToBottom, 1);
  EXPECT_EQ(dib.At(1, 1), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(dib.At(2, 2), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(dib.At(3, 3), kUntouched) << "no overlap with a single fill";
  RECT empty = {2, 2, 2, 4};
  PaintGradient(dib.dc(), empty, 0, 0, kTopToBottom, 100);
  EXPECT_EQ(dib.At(2, 3), kUntouched) << "an empty rectangle draws nothing";
}

// A 4 x 2 source: magenta (transparent) at the left half of row 0, colours
// elsewhere.
class TransparentCopy : public ::testing::Test {
 protected:
  TransparentCopy() : source_(4, 2, RGB(10, 20, 30)), dest_(12, 8, RGB(0, 200, 0)) {
    source_.Set(0, 0, kMagenta);
    source_.Set(1, 0, kMagenta);
    source_.Set(3, 1, RGB(250, 250, 5));
    source_.Deselect();
  }
  static constexpr COLORREF kMagenta = RGB(255, 0, 255);
  Dib source_;
  Dib dest_;
};

TEST_F(TransparentCopy, TheTransparentColourLetsTheDestinationThrough) {
  DrawTransparentBitmap(dest_.dc(), 3, 2, kMagenta, nullptr, source_.bitmap(), 0, 0, 4, 2, 4, 2);
  EXPECT_EQ(dest_.At(3, 2), RGB(0, 200, 0));
  EXPECT_EQ(dest_.At(4, 2), RGB(0, 200, 0));
  EXPECT_EQ(dest_.At(5, 2), RGB(10, 20, 30));
  EXPECT_EQ(dest_.At(6, 3), RGB(250, 250, 5));
  EXPECT_EQ(dest_.At(7, 2), RGB(0, 200, 0)) << "nothing beside the copy";
  EXPECT_EQ(dest_.At(3, 4), RGB(0, 200, 0)) << "nothing below it";
}

TEST_F(TransparentCopy, StretchedAndWithAPaletteTheSame) {
  LOGPALETTE palette = {0x300, 1, {{255, 0, 255, 0}}};
  HPALETTE handle = CreatePalette(&palette);
  HGDIOBJ before = GetCurrentObject(dest_.dc(), OBJ_PAL);
  // Twice the size: every source pixel becomes a 2 x 2 block.
  DrawTransparentBitmap(dest_.dc(), 2, 2, kMagenta, handle, source_.bitmap(), 0, 0, 4, 2, 8, 4);
  EXPECT_EQ(GetCurrentObject(dest_.dc(), OBJ_PAL), before) << "the palette is taken out again";
  DeleteObject(handle);
  EXPECT_EQ(dest_.At(2, 2), RGB(0, 200, 0));
  EXPECT_EQ(dest_.At(5, 3), RGB(0, 200, 0));
  EXPECT_EQ(dest_.At(6, 2), RGB(10, 20, 30));
  EXPECT_EQ(dest_.At(9, 5), RGB(250, 250, 5));
  EXPECT_EQ(dest_.At(8, 4), RGB(250, 250, 5));
  EXPECT_EQ(dest_.At(10, 5), RGB(0, 200, 0));
}

}  // namespace
