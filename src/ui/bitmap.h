// Bitmap files (.bmp) of the project: the tiled background and the static
// bitmaps drawn on it.
//
// The files come from the publisher's project and are read as untrusted
// bytes. CheckBitmapFile accepts exactly what the background can draw:
//   - the file header "BM" (14 bytes) and an information header of 12
//     bytes (the old core form: 16-bit width and height, 3-byte palette
//     entries), or 40, 52, 56, 108 or 124 bytes (4-byte palette entries);
//   - one plane; width > 0; height not 0 (negative: rows stored top-down);
//   - 1, 4, 8 or 24 bits per pixel uncompressed, 16 or 32 bits uncompressed
//     or with colour masks (BI_BITFIELDS); the core form has no 16 and 32;
//   - 8 bits run-length encoded (BI_RLE8) and 4 bits so (BI_RLE4), whose
//     runs take the header's image size in bytes (not 0); the system draws
//     them only bottom-up;
//   - a palette for 1, 4 and 8 bits: as many entries as the header's
//     colours-used field says, or all 2^bits when it is 0 or larger;
//   - the palette, the masks and every pixel row (rows padded to 4 bytes)
//     or the runs inside the file, at the offset the file header gives,
//     after the headers.
// Embedded JPEG or PNG data are not drawn. Extra bytes after
// the rows are allowed (writers pad files).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/str.h"

struct HBITMAP__;

namespace osin {

enum class BitmapCheck {
  kOk,
  kNotBitmap,    // no "BM" file header, or an information header of no known size
  kTruncated,    // a header, the palette, the masks or the rows reach past the end
  kUnsupported,  // a depth, compression, plane count or size the background does not draw
};

// Where the parts of an accepted file lie; offsets from the file's start.
struct TBitmapLayout {
  int32_t Width = 0;
  // Negative for rows stored top-down.
  int32_t Height = 0;
  uint16_t BitCount = 0;
  // 0 (BI_RGB), 1 (BI_RLE8), 2 (BI_RLE4) or 3 (BI_BITFIELDS).
  uint32_t Compression = 0;
  // Red, green and blue masks with BI_BITFIELDS.
  uint32_t Masks[3] = {};
  uint32_t PaletteOffset = 0;
  // 0 for 16, 24 and 32 bits.
  uint32_t PaletteCount = 0;
  // 3 for the core form (blue, green, red), else 4 (blue, green, red, 0).
  uint32_t PaletteEntrySize = 4;
  uint32_t BitsOffset = 0;
  // Bytes of all rows, each padded to a multiple of 4, or of the runs.
  uint32_t BitsSize = 0;
};

// Checks Size bytes of a file; on kOk Layout tells where its parts are,
// all within the Size bytes.
BitmapCheck CheckBitmapFile(const uint8_t* data, size_t size, TBitmapLayout& layout);

// Windows only. The bitmap of the file Path as a bitmap compatible with the
// screen, or none when the file is missing, unreadable, not accepted by
// CheckBitmapFile or refused by the system. The caller deletes it.
HBITMAP__* LoadBitmapFile(const String& path);

}  // namespace osin
