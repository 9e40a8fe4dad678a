#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "platform/array.h"
#include "platform/file.h"
#include "ui/bitmap.h"

namespace osin {

namespace {

// A background of 4096 x 4096 at 32 bits; anything larger is no background.
const int64_t kMaxBitmapFile = 64 << 20;

// The whole file in a buffer the caller frees; none when it cannot be read.
uint8_t* ReadWholeFile(const String& path, size_t& size) {
  FileHandle file = OpenFileHandle(path, kFileRead, kShareRead, 0, kOpenExisting);
  if (!IsOpenFile(file)) return nullptr;
  int64_t length = FileHandleSize(file);
  uint8_t* data = nullptr;
  if (length > 0 && length <= kMaxBitmapFile) {
    data = static_cast<uint8_t*>(CheckedRealloc(nullptr, static_cast<size_t>(length)));
    if (FileRead(file, data, static_cast<int>(length)) != length) {
      free(data);
      data = nullptr;
    }
  }
  CloseFileHandle(file);
  size = static_cast<size_t>(length);
  return data;
}

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
  size_t size = 0;
  uint8_t* data = ReadWholeFile(path, size);
  if (!data) return nullptr;
  HBITMAP bitmap = nullptr;
  TBitmapLayout layout;
  if (CheckBitmapFile(data, size, layout) == BitmapCheck::kOk) {
    DibHeader dib;
    FillHeader(data, layout, dib);
    HDC screen = GetDC(nullptr);
    bitmap = CreateDIBitmap(screen, &dib.header, CBM_INIT, data + layout.BitsOffset,
                            reinterpret_cast<BITMAPINFO*>(&dib), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
  }
  free(data);
  return bitmap;
}

}  // namespace osin
