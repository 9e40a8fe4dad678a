// Which bitmap files the background accepts, and where their parts lie.
#include "ui/bitmap.h"

#include "testing.h"
#include "ui/bmp_build.h"

using namespace osin;

namespace {

BitmapCheck Check(const std::vector<uint8_t>& file) {
  TBitmapLayout layout;
  return CheckBitmapFile(file.data(), file.size(), layout);
}

BitmapCheck Check(const BmpSpec& spec) {
  return Check(BuildBmp(spec));
}

TEST(BitmapFile, EveryDrawnDepthWithItsLayout) {
  BmpSpec spec;
  spec.width = 5;
  spec.bits = 8;
  spec.paletteEntries = 256;
  std::vector<uint8_t> file = BuildBmp(spec);
  TBitmapLayout layout;
  ASSERT_EQ(CheckBitmapFile(file.data(), file.size(), layout), BitmapCheck::kOk);
  EXPECT_EQ(layout.Width, 5);
  EXPECT_EQ(layout.Height, 3);
  EXPECT_EQ(layout.PaletteOffset, 54u);
  EXPECT_EQ(layout.PaletteCount, 256u);
  EXPECT_EQ(layout.BitsOffset, 54u + 1024u);
  EXPECT_EQ(layout.BitsSize, 8u * 3u) << "rows padded to 4 bytes";

  for (uint16_t bits : {1, 4, 24}) {
    BmpSpec s;
    s.bits = bits;
    s.paletteEntries = bits <= 8 ? 1u << bits : 0;
    EXPECT_EQ(Check(s), BitmapCheck::kOk) << bits;
  }
  BmpSpec masked;
  masked.bits = 16;
  masked.compression = 3;
  masked.masks = true;
  EXPECT_EQ(Check(masked), BitmapCheck::kOk);
  masked.bits = 32;
  EXPECT_EQ(Check(masked), BitmapCheck::kOk);
  BmpSpec v5;
  v5.headerSize = 124;
  v5.bits = 32;
  v5.compression = 3;
  std::vector<uint8_t> v5file = BuildBmp(v5);
  ASSERT_EQ(CheckBitmapFile(v5file.data(), v5file.size(), layout), BitmapCheck::kOk);
  EXPECT_EQ(layout.Masks[0], 0x7C00u) << "masks inside the longer header";
  EXPECT_EQ(layout.BitsOffset, 14u + 124u);
  BmpSpec core;
  core.headerSize = 12;
  core.bits = 4;
  core.paletteEntries = 16;
  ASSERT_EQ(CheckBitmapFile(BuildBmp(core).data(), BuildBmp(core).size(), layout), BitmapCheck::kOk);
  EXPECT_EQ(layout.PaletteEntrySize, 3u);
  BmpSpec topDown;
  topDown.height = -3;
  EXPECT_EQ(Check(topDown), BitmapCheck::kOk);
}

TEST(BitmapFile, AShortPaletteCountsOnlyTheColoursUsed) {
  BmpSpec spec;
  spec.bits = 8;
  spec.colorsUsed = 2;
  spec.paletteEntries = 2;
  TBitmapLayout layout;
  std::vector<uint8_t> file = BuildBmp(spec);
  ASSERT_EQ(CheckBitmapFile(file.data(), file.size(), layout), BitmapCheck::kOk);
  EXPECT_EQ(layout.PaletteCount, 2u);
  // More colours than the depth holds count as all of them.
  spec.colorsUsed = 300;
  spec.paletteEntries = 256;
  file = BuildBmp(spec);
  ASSERT_EQ(CheckBitmapFile(file.data(), file.size(), layout), BitmapCheck::kOk);
  EXPECT_EQ(layout.PaletteCount, 256u);
}

TEST(BitmapFile, EveryCutOfAGoodFileIsTruncated) {
  BmpSpec spec;
  spec.bits = 4;
  spec.paletteEntries = 16;
  std::vector<uint8_t> file = BuildBmp(spec);
  for (size_t size = 2; size < file.size(); ++size) {
    TBitmapLayout layout;
    EXPECT_EQ(CheckBitmapFile(file.data(), size, layout), BitmapCheck::kTruncated) << size;
  }
}

TEST(BitmapFile, WhatIsNoBitmapOrNotDrawn) {
  EXPECT_EQ(Check(std::vector<uint8_t>{}), BitmapCheck::kNotBitmap);
  EXPECT_EQ(Check(std::vector<uint8_t>{'[', 'D', 'i', 's', 'p', 'l', 'a', 'y', ']'}),
            BitmapCheck::kNotBitmap);
  BmpSpec s;
  s.headerSize = 64;  // the OS/2 2.x header
  EXPECT_EQ(Check(s), BitmapCheck::kNotBitmap);

  std::vector<uint8_t> offsetInsideHeader = BuildBmp(BmpSpec());
  offsetInsideHeader[10] = 20;  // the rows would start inside the header
  EXPECT_EQ(Check(offsetInsideHeader), BitmapCheck::kNotBitmap);

  auto unsupported = [](void (*change)(BmpSpec&)) {
    BmpSpec spec;
    change(spec);
    return Check(spec);
  };
  EXPECT_EQ(unsupported([](BmpSpec& b) { b.bits = 2; }), BitmapCheck::kUnsupported);
  EXPECT_EQ(unsupported([](BmpSpec& b) { b.bits = 64; }), BitmapCheck::kUnsupported);
  EXPECT_EQ(unsupported([](BmpSpec& b) { b.bits = 0; }), BitmapCheck::kUnsupported);
  EXPECT_EQ(unsupported([](BmpSpec& b) {
              b.bits = 4;
              b.compression = 1;  // runs of 8-bit pixels
              b.paletteEntries = 16;
            }),
            BitmapCheck::kUnsupported);
  EXPECT_EQ(unsupported([](BmpSpec& b) { b.compression = 3; }), BitmapCheck::kUnsupported)
      << "masks only with 16 and 32 bits";
  EXPECT_EQ(unsupported([](BmpSpec& b) { b.compression = 4; }), BitmapCheck::kUnsupported) << "JPEG";
  EXPECT_EQ(unsupported([](BmpSpec& b) { b.width = 0; }), BitmapCheck::kUnsupported);
  EXPECT_EQ(unsupported([](BmpSpec& b) { b.height = 0; }), BitmapCheck::kUnsupported);
  EXPECT_EQ(unsupported([](BmpSpec& b) {
              b.headerSize = 12;
              b.bits = 32;
            }),
            BitmapCheck::kUnsupported)
      << "the core form has no 32 bits";
  std::vector<uint8_t> negativeWidth = BuildBmp(BmpSpec());
  negativeWidth[21] = 0xFF;  // width 0xFF000004, negative
  EXPECT_EQ(Check(negativeWidth), BitmapCheck::kUnsupported);
  std::vector<uint8_t> twoPlanes = BuildBmp(BmpSpec());
  twoPlanes[26] = 2;
  EXPECT_EQ(Check(twoPlanes), BitmapCheck::kUnsupported);
}

TEST(BitmapFile, RunsTakeTheImageSizeOfTheHeader) {
  auto runs = [](uint16_t bits, uint32_t compression, uint32_t imageSize, TBitmapLayout& layout) {
    BmpSpec spec;
    spec.bits = bits;
    spec.compression = compression;
    spec.colorsUsed = spec.paletteEntries = 16;
    std::vector<uint8_t> file = BuildBmp(spec);
    for (int i = 0; i < 4; ++i) file[34 + i] = static_cast<uint8_t>(imageSize >> 8 * i);
    return CheckBitmapFile(file.data(), file.size(), layout);
  };
  TBitmapLayout layout;
  ASSERT_EQ(runs(8, 1, 5, layout), BitmapCheck::kOk);
  EXPECT_EQ(layout.BitsSize, 5u) << "fewer bytes than uncompressed rows";
  EXPECT_EQ(layout.Compression, 1u);
  ASSERT_EQ(runs(4, 2, 8, layout), BitmapCheck::kOk);
  EXPECT_EQ(layout.BitsSize, 8u);
  EXPECT_EQ(runs(8, 2, 8, layout), BitmapCheck::kUnsupported) << "4-bit runs of 8-bit pixels";
  EXPECT_EQ(runs(24, 1, 8, layout), BitmapCheck::kUnsupported);
  EXPECT_EQ(runs(8, 1, 0, layout), BitmapCheck::kUnsupported) << "no size: the runs have no end";
  EXPECT_EQ(runs(8, 1, 13, layout), BitmapCheck::kTruncated) << "one byte past the file's end";
}

TEST(BitmapFile, HugeDimensionsDoNotWrapPastTheFileEnd) {
  // 0x7FFFFFFF x 0x7FFFFFFF at 32 bits is far beyond any 32-bit sum; the
  // checks are 64-bit, so the rows are found missing, not tiny.
  std::vector<uint8_t> file = BuildBmp(BmpSpec());
  for (int i : {18, 22}) {
    file[i] = 0xFF;
    file[i + 1] = 0xFF;
    file[i + 2] = 0xFF;
    file[i + 3] = 0x7F;
  }
  file[28] = 32;
  EXPECT_EQ(Check(file), BitmapCheck::kTruncated);
  file[22 + 3] = 0x80;  // height INT32_MIN: no row count
  file[22] = file[23] = file[24] = 0;
  EXPECT_EQ(Check(file), BitmapCheck::kUnsupported);
}

}  // namespace
