#include "ui/bitmap.h"

namespace osin {

namespace {

const uint32_t kFileHeaderSize = 14;
const uint32_t kCoreHeaderSize = 12;
const uint32_t kInfoHeaderSize = 40;
const uint32_t kMasksSize = 12;
const uint32_t kBiRgb = 0;
const uint32_t kBiRle8 = 1;
const uint32_t kBiRle4 = 2;
const uint32_t kBiBitfields = 3;

// Information header sizes of the Windows family: the plain header, the two
// with masks that image editors write, version 4 and version 5.
const uint32_t kInfoHeaderSizes[] = {40, 52, 56, 108, 124};
static_assert(sizeof(kInfoHeaderSizes) / sizeof(kInfoHeaderSizes[0]) == 5, "five known header sizes");

// Forced inline: the byte-wise forms look dearer than a call to the
// inliner, which does not see that they become one load.
[[gnu::always_inline]] inline uint16_t Word(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

[[gnu::always_inline]] inline uint32_t Dword(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// The one form every range check of the file takes: Length bytes from
// Offset lie inside the Size bytes. 64-bit sums, so no field can wrap.
bool Inside(uint64_t offset, uint64_t length, size_t size) {
  return offset + length <= size;
}

bool KnownInfoHeader(uint32_t headerSize) {
  for (uint32_t known : kInfoHeaderSizes) {
    if (headerSize == known) return true;
  }
  return false;
}

bool DrawnDepth(uint16_t bits, uint32_t compression, bool core) {
  switch (bits) {
    case 4:
    case 8:
      return compression == kBiRgb || compression == (bits == 8 ? kBiRle8 : kBiRle4);
    case 1:
    case 24:
      return compression == kBiRgb;
    case 16:
    case 32:
      return !core && (compression == kBiRgb || compression == kBiBitfields);
    default:
      return false;
  }
}

}  // namespace

BitmapCheck CheckBitmapFile(const uint8_t* data, size_t size, TBitmapLayout& layout) {
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return BitmapCheck::kNotBitmap;
  // The file header and the information header's size field.
  if (!Inside(0, kFileHeaderSize + 4, size)) return BitmapCheck::kTruncated;
  const uint8_t* header = data + kFileHeaderSize;
  uint32_t headerSize = Dword(header);
  bool core = headerSize == kCoreHeaderSize;
  if (!core && !KnownInfoHeader(headerSize)) return BitmapCheck::kNotBitmap;
  if (!Inside(kFileHeaderSize, headerSize, size)) return BitmapCheck::kTruncated;

  TBitmapLayout l;
  uint16_t planes;
  uint32_t colorsUsed = 0;
  if (core) {
    l.Width = Word(header + 4);
    l.Height = Word(header + 6);
    planes = Word(header + 8);
    l.BitCount = Word(header + 10);
    l.PaletteEntrySize = 3;
  } else {
    l.Width = static_cast<int32_t>(Dword(header + 4));
    l.Height = static_cast<int32_t>(Dword(header + 8));
    planes = Word(header + 12);
    l.BitCount = Word(header + 14);
    l.Compression = Dword(header + 16);
    colorsUsed = Dword(header + 32);
  }
  // INT32_MIN has no positive row count.
  if (planes != 1 || l.Width <= 0 || l.Height == 0 || l.Height == INT32_MIN) return BitmapCheck::kUnsupported;
  if (!DrawnDepth(l.BitCount, l.Compression, core)) return BitmapCheck::kUnsupported;

  uint64_t after = kFileHeaderSize + headerSize;
  if (l.Compression == kBiBitfields) {
    // The masks follow the plain header; the longer headers hold them at
    // the same place, inside.
    uint32_t masks = kFileHeaderSize + kInfoHeaderSize;
    if (!Inside(masks, kMasksSize, size)) return BitmapCheck::kTruncated;
    for (int i = 0; i < 3; ++i) l.Masks[i] = Dword(data + masks + 4 * i);
    if (headerSize == kInfoHeaderSize) after += kMasksSize;
  }
  if (l.BitCount <= 8) {
    uint32_t all = 1u << l.BitCount;
    l.PaletteCount = colorsUsed != 0 && colorsUsed < all ? colorsUsed : all;
    l.PaletteOffset = static_cast<uint32_t>(after);
    if (!Inside(after, static_cast<uint64_t>(l.PaletteCount) * l.PaletteEntrySize, size)) {
      return BitmapCheck::kTruncated;
    }
  }

  l.BitsOffset = Dword(data + 10);
  uint64_t rows = l.Height < 0 ? -static_cast<int64_t>(l.Height) : l.Height;
  uint64_t stride = (static_cast<uint64_t>(l.Width) * l.BitCount + 31) / 32 * 4;
  uint64_t bitsSize = stride * rows;
  if (l.Compression == kBiRle8 || l.Compression == kBiRle4) {
    // Runs have no row length to count from: the header's image size says
    // how many bytes they take. The system decodes them, keeping to those
    // bytes and the image, and refuses runs stored top-down itself.
    bitsSize = Dword(header + 20);
    if (bitsSize == 0) return BitmapCheck::kUnsupported;
  }
  if (l.BitsOffset < kFileHeaderSize + headerSize) return BitmapCheck::kNotBitmap;
  if (!Inside(l.BitsOffset, bitsSize, size)) return BitmapCheck::kTruncated;
  if (bitsSize > UINT32_MAX) return BitmapCheck::kUnsupported;
  l.BitsSize = static_cast<uint32_t>(bitsSize);
  layout = l;
  return BitmapCheck::kOk;
}

}  // namespace osin
