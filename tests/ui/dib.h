// A 32-bit top-down drawing surface whose pixels the tests read directly.
#pragma once

#include <windows.h>

namespace osin {

class Dib {
 public:
  Dib(int width, int height, COLORREF fill) : width_(width) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<DWORD*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < width * height; ++i) bits_[i] = Pack(fill);
  }
  ~Dib() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  HDC dc() const { return dc_; }
  // Takes the bitmap out of the surface, so it can be drawn from: a bitmap
  // is selected into one surface at a time. The pixels stay readable.
  void Deselect() { SelectObject(dc_, old_); }
  HBITMAP bitmap() const { return bitmap_; }
  // The pixel as a COLORREF (red in the low byte).
  COLORREF At(int x, int y) const {
    GdiFlush();
    DWORD p = bits_[y * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  void Set(int x, int y, COLORREF c) {
    GdiFlush();
    bits_[y * width_ + x] = Pack(c);
  }

 private:
  static DWORD Pack(COLORREF c) { return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c); }
  int width_;
  HBITMAP bitmap_;
  DWORD* bits_;
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace osin
