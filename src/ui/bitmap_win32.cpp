#include <string.h>
#include <windows.h>

#include "config/language.h"
#include "ui/bitmap.h"

namespace osin {

namespace {

// A plain information header with its palette or masks, made from the
// checked layout: the system sees only values that were checked.
struct DibHeader {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

void FillHeader(const uint8_t* data, const TBitmapLayout& layout, DibHeader& dib) {
  memset(&dib, 0, sizeof dib);
  BITMAPINFOHEADER& h = dib.header;
  h.biSize = sizeof h;
  h.biWidth = layout.Width;
  h.biHeight = layout.Height;
  h.biPlanes = 1;
  h.biBitCount = layout.BitCount;
  h.biCompression = layout.Compression;
  h.biSizeImage = layout.BitsSize;
  h.biClrUsed = layout.PaletteCount;
  if (layout.Compression == BI_BITFIELDS) memcpy(dib.colors, layout.Masks, sizeof layout.Masks);
  const uint8_t* entry = data + layout.PaletteOffset;
  for (uint32_t i = 0; i < layout.PaletteCount; ++i, entry += layout.PaletteEntrySize) {
    dib.colors[i].rgbBlue = entry[0];
    dib.colors[i].rgbGreen = entry[1];
    dib.colors[i].rgbRed = entry[2];
  }
}

}  // namespace

HBITMAP LoadBitmapFile(const String& path) {
  String file;
  ReadTextFile(path, file);
  const uint8_t* data = reinterpret_cast<const uint8_t*>(file.Data());
  HBITMAP bitmap = nullptr;
  TBitmapLayout layout;
  if (CheckBitmapFile(data, file.Length(), layout) == BitmapCheck::kOk) {
    DibHeader dib;
    FillHeader(data, layout, dib);
    HDC screen = GetDC(nullptr);
    bitmap = CreateDIBitmap(screen, &dib.header, CBM_INIT, data + layout.BitsOffset,
                            reinterpret_cast<BITMAPINFO*>(&dib), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
  }
  return bitmap;
}

}  // namespace osin
