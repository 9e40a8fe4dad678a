// The bitmap file check on arbitrary bytes. An accepted file's parts (the
// masks, the palette, every row) lie inside the input: each is read end to
// end, so AddressSanitizer reports a part that reaches past it. The rows
// hold exactly what the width, depth and height need; runs (8 bits in 8-bit
// runs, 4 in 4-bit ones) hold what the header's image size says, never none.
#include <stdint.h>
#include <stdlib.h>

#include "ui/bitmap.h"

using namespace osin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TBitmapLayout layout;
  if (CheckBitmapFile(data, size, layout) != BitmapCheck::kOk) return 0;
  volatile uint8_t sink = 0;
  const uint8_t* palette = data + layout.PaletteOffset;
  for (uint32_t i = 0; i < layout.PaletteCount * layout.PaletteEntrySize; ++i) sink = sink + palette[i];
  const uint8_t* bits = data + layout.BitsOffset;
  for (uint32_t i = 0; i < layout.BitsSize; ++i) sink = sink + bits[i];
  uint64_t rows = layout.Height < 0 ? -static_cast<int64_t>(layout.Height) : layout.Height;
  uint64_t stride = (static_cast<uint64_t>(layout.Width) * layout.BitCount + 31) / 32 * 4;
  if (layout.Width <= 0 || rows == 0) abort();
  if (layout.Compression == 1 || layout.Compression == 2) {
    if (layout.BitCount != (layout.Compression == 1 ? 8 : 4) || layout.BitsSize == 0) abort();
  } else if (stride * rows != layout.BitsSize) {
    abort();
  }
  return 0;
}
