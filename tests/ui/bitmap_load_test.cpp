// Bitmap files loaded as the background loads them, read back pixel by
// pixel; damaged files load nothing.
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

TEST_F(LoadBitmap, PalettedRowsBottomUp) {
  // 2 x 2 at 8 bits: the palette's entry i is (3i, 2i, i); the file's first
  // row is the bottom one.
  BmpSpec spec;
  spec.width = 2;
  spec.height = 2;
  spec.bits = 8;
  spec.paletteEntries = 256;
  HBITMAP bitmap = Load(BuildBmp(spec, [](uint32_t row, uint32_t k) { return row == 0 ? 10 + k : 20 + k; }));
  ASSERT_NE(bitmap, nullptr);
  std::vector<COLORREF> p = Pixels(bitmap, 2, 2);
  EXPECT_EQ(p[0], RGB(60, 40, 20));
  EXPECT_EQ(p[1], RGB(63, 42, 21));
  EXPECT_EQ(p[2], RGB(30, 20, 10));
  DeleteObject(bitmap);
}

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

TEST_F(LoadBitmap, DamagedOrMissingFilesLoadNothing) {
  BmpSpec spec;
  std::vector<uint8_t> good = BuildBmp(spec);
  std::vector<uint8_t> truncated(good.begin(), good.end() - 1);
  EXPECT_EQ(Load(truncated), nullptr);
  EXPECT_EQ(Load(std::vector<uint8_t>{'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'}), nullptr);
  spec.bits = 8;
  spec.compression = 1;
  spec.paletteEntries = 256;
  EXPECT_EQ(Load(BuildBmp(spec)), nullptr) << "run-length data are not drawn";
  EXPECT_EQ(Load(std::vector<uint8_t>{}), nullptr);
  EXPECT_EQ(LoadBitmapFile("osin-no-such-file.bmp"), nullptr);
  HBITMAP bitmap = Load(good);
  EXPECT_NE(bitmap, nullptr);
  DeleteObject(bitmap);
}

}  // namespace
