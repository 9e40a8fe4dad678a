// Bitmap files built in memory for the tests, field by field, so a test can
// break exactly one field.
#pragma once

#include <stdint.h>

#include <vector>

namespace osin {

struct BmpSpec {
  int32_t width = 4;
  int32_t height = 3;  // negative: rows top-down
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t headerSize = 40;  // 12 for the core form
  uint32_t colorsUsed = 0;
  uint32_t paletteEntries = 0;  // written after the header (and masks)
  bool masks = false;           // three masks after a 40-byte header
  uint32_t maskValues[3] = {0x7C00, 0x03E0, 0x001F};
};

// The file: "BM" header, information header, masks, palette (entry i =
// blue i, green 2i, red 3i), then the rows, whose byte k is Pixel(row, k).
template <typename Pixel>
std::vector<uint8_t> BuildBmp(const BmpSpec& s, Pixel pixel) {
  std::vector<uint8_t> f;
  auto put16 = [&f](uint32_t v) {
    f.push_back(v & 0xFF);
    f.push_back((v >> 8) & 0xFF);
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  uint32_t rows = s.height < 0 ? -s.height : s.height;
  uint32_t stride = (static_cast<uint32_t>(s.width) * s.bits + 31) / 32 * 4;
  uint32_t entrySize = s.headerSize == 12 ? 3 : 4;
  uint32_t offset = 14 + s.headerSize + (s.masks ? 12 : 0) + s.paletteEntries * entrySize;
  f.push_back('B');
  f.push_back('M');
  put32(offset + stride * rows);  // file size
  put32(0);                       // reserved
  put32(offset);                  // where the rows start
  put32(s.headerSize);
  if (s.headerSize == 12) {
    put16(s.width);
    put16(s.height);
    put16(1);  // planes
    put16(s.bits);
  } else {
    put32(s.width);
    put32(s.height);
    put16(1);  // planes
    put16(s.bits);
    put32(s.compression);
    put32(stride * rows);  // image size
    put32(2835);           // pixels per metre
    put32(2835);
    put32(s.colorsUsed);
    put32(0);  // important colours
    // A longer header carries its masks first, then zeros.
    for (uint32_t i = 40; i < s.headerSize; i += 4) put32(i < 52 ? s.maskValues[(i - 40) / 4] : 0);
  }
  if (s.masks) {
    for (uint32_t m : s.maskValues) put32(m);
  }
  for (uint32_t i = 0; i < s.paletteEntries; ++i) {
    f.push_back(static_cast<uint8_t>(i));
    f.push_back(static_cast<uint8_t>(2 * i));
    f.push_back(static_cast<uint8_t>(3 * i));
    if (entrySize == 4) f.push_back(0);
  }
  for (uint32_t r = 0; r < rows; ++r) {
    for (uint32_t k = 0; k < stride; ++k) f.push_back(pixel(r, k));
  }
  return f;
}

inline std::vector<uint8_t> BuildBmp(const BmpSpec& s) {
  return BuildBmp(s, [](uint32_t row, uint32_t k) { return static_cast<uint8_t>(row * 16 + k); });
}

}  // namespace osin
