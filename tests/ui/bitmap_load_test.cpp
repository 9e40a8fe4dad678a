// The forms of bitmap file whose palette or masks are rewritten for the
// system (the 3-byte palette of the core form, colour masks) or whose runs
// the system decodes, loaded as the
// background loads them and read back pixel by pixel. The end-to-end
// scenarios draw the common forms and the damaged files.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "testing.h"
#include "ui/bitmap.h"
#include "ui/bmp_build.h"

using namespace osin;

namespace {

class LoadBitmap : public ::testing::Test {
 protected:
  void TearDown() override { DeleteFileA(path_.c_str()); }

  HBITMAP Load(const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path_.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return LoadBitmapFile(path_.c_str());
  }

  // The bitmap's pixels as COLORREFs, rows from the top.
  static std::vector<COLORREF> Pixels(HBITMAP bitmap, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> raw(width * height);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, height, raw.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::vector<COLORREF> result;
    for (DWORD p : raw) result.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    return result;
  }

  std::string path_ = "osin-bitmap-test.bmp";
};

TEST_F(LoadBitmap, CoreHeaderOneBitAndMaskedSixteenBits) {
  BmpSpec core;
  core.headerSize = 12;
  core.width = 8;
  core.height = 1;
  core.bits = 1;
  core.paletteEntries = 2;  // black and (3, 2, 1)
  HBITMAP bitmap = Load(BuildBmp(core, [](uint32_t, uint32_t k) { return k == 0 ? 0x80 : 0; }));
  ASSERT_NE(bitmap, nullptr);
  std::vector<COLORREF> p = Pixels(bitmap, 8, 1);
  EXPECT_EQ(p[0], RGB(3, 2, 1));
  EXPECT_EQ(p[1], RGB(0, 0, 0));
  DeleteObject(bitmap);

  // 5-6-5 through masks: 0xF800 is full red.
  BmpSpec masked;
  masked.width = 1;
  masked.height = -1;
  masked.bits = 16;
  masked.compression = 3;
  masked.masks = true;
  masked.maskValues[0] = 0xF800;
  masked.maskValues[1] = 0x07E0;
  masked.maskValues[2] = 0x001F;
  bitmap = Load(BuildBmp(masked, [](uint32_t, uint32_t k) { return k == 1 ? 0xF8 : 0; }));
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(Pixels(bitmap, 1, 1)[0], RGB(255, 0, 0));
  DeleteObject(bitmap);
}

TEST_F(LoadBitmap, RunLengthEightAndFourBits) {
  // Palette entry i is RGB(3i, 2i, i).
  BmpSpec rle8;
  rle8.width = 10;
  rle8.height = 1;
  rle8.bits = 8;
  rle8.compression = 1;
  rle8.colorsUsed = rle8.paletteEntries = 16;
  // Three pixels of colour 1, then three given one by one (2, 3, 4), padded
  // to a word, and the end: the rest stays colour 0. As many bytes as the
  // uncompressed row.
  const uint8_t runs8[] = {3, 1, 0, 3, 2, 3, 4, 0, 0, 1, 0, 0};
  HBITMAP bitmap = Load(BuildBmp(rle8, [&](uint32_t, uint32_t k) { return runs8[k]; }));
  ASSERT_NE(bitmap, nullptr);
  std::vector<COLORREF> expected8 = {
      RGB(3, 2, 1), RGB(3, 2, 1), RGB(3, 2, 1), RGB(6, 4, 2), RGB(9, 6, 3), RGB(12, 8, 4), 0, 0, 0, 0};
  EXPECT_EQ(Pixels(bitmap, 10, 1), expected8);
  DeleteObject(bitmap);

  BmpSpec rle4 = rle8;
  rle4.bits = 4;
  rle4.compression = 2;
  // Four pixels alternating colours 1 and 2, then two of colour 5.
  const uint8_t runs4[] = {4, 0x12, 2, 0x55, 0, 1, 0, 0};
  bitmap = Load(BuildBmp(rle4, [&](uint32_t, uint32_t k) { return runs4[k]; }));
  ASSERT_NE(bitmap, nullptr);
  std::vector<COLORREF> expected4 = {
      RGB(3, 2, 1), RGB(6, 4, 2), RGB(3, 2, 1), RGB(6, 4, 2), RGB(15, 10, 5), RGB(15, 10, 5), 0, 0, 0, 0};
  EXPECT_EQ(Pixels(bitmap, 10, 1), expected4);
  DeleteObject(bitmap);
}

}  // namespace
