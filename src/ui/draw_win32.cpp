#include <windows.h>

#include "ui/draw.h"

namespace osin {

namespace {

// The nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4),
// as the band edges are rounded.
// Coordinates are far inside LONG's range, so the floor is the truncation
// corrected below zero, without the C runtime's floor.
LONG Nearest(double x) {
  LONG n = static_cast<LONG>(x);
  if (n > x) --n;
  double fraction = x - n;
  if (fraction > 0.5 || (fraction == 0.5 && (n & 1))) ++n;
  return n;
}

void FillSolid(HDC surface, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(surface, &rect, brush);
  DeleteObject(brush);
}

// First + I x (Last - First) / Count per channel, the division rounded as
// MulDiv rounds it, each channel cut to 8 bits.
COLORREF BandColor(COLORREF first, COLORREF last, int i, int count) {
  COLORREF color = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int from = (first >> shift) & 0xFF;
    int delta = static_cast<int>((last >> shift) & 0xFF) - from;
    color |= static_cast<COLORREF>((from + MulDiv(i, delta, count)) & 0xFF) << shift;
  }
  return color;
}

}  // namespace

uint32_t ResolveColor(int32_t color) {
  return color < 0 ? GetSysColor(color & 0xFF) : static_cast<uint32_t>(color);
}

void PaintGradient(HDC surface, const RECT& rect, int32_t startColor, int32_t endColor, int direction,
                   uint16_t bands) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  COLORREF start = ResolveColor(startColor);
  if (bands < 2) {
    FillSolid(surface, rect, start);
    return;
  }
  COLORREF end = ResolveColor(endColor);
  direction &= 3;
  bool vertical = direction == kTopToBottom || direction == kBottomToTop;
  bool reversed = direction == kBottomToTop || direction == kRightToLeft;
  COLORREF first = reversed ? end : start;
  COLORREF last = reversed ? start : end;
  LONG origin = vertical ? rect.top : rect.left;
  LONG extent = vertical ? rect.bottom - rect.top : rect.right - rect.left;
  int count = bands < extent ? bands : extent;
  if (count < 2) count = 2;
  double step = static_cast<double>(extent) / count;
  if (step <= 0) return;
  for (int i = 0; i < count; ++i) {
    RECT band = rect;
    LONG& low = vertical ? band.top : band.left;
    LONG& high = vertical ? band.bottom : band.right;
    low = Nearest(step * i + origin);
    high = Nearest(step + low) + 1;
    FillSolid(surface, band, BandColor(first, last, i, count));
  }
}

void DrawTransparentBitmap(HDC dest, int destX, int destY, int32_t transparentColor, HPALETTE palette,
                           HBITMAP source, int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                           int destWidth, int destHeight) {
  // Memory surfaces like the destination, each with its bitmap: the source
  // itself, a colour copy of it, the mask and its inverse (monochrome) and
  // the work surface of the destination's size.
  enum { kFrom, kCopy, kMask, kInverse, kWork, kSurfaces };
  HBITMAP bitmaps[kSurfaces] = {source, CreateCompatibleBitmap(dest, sourceWidth, sourceHeight),
                                CreateBitmap(sourceWidth, sourceHeight, 1, 1, nullptr),
                                CreateBitmap(sourceWidth, sourceHeight, 1, 1, nullptr),
                                CreateCompatibleBitmap(dest, destWidth, destHeight)};
  HDC dc[kSurfaces];
  HGDIOBJ old[kSurfaces];
  for (int i = 0; i < kSurfaces; ++i) {
    dc[i] = CreateCompatibleDC(dest);
    old[i] = SelectObject(dc[i], bitmaps[i]);
  }
  // The destination and the work surface realize the palette in the
  // background, the copies in the foreground.
  HDC realized[] = {dest, dc[kWork], dc[kCopy], dc[kMask]};
  HPALETTE oldPalettes[4] = {};
  for (int i = 0; palette && i < 4; ++i) {
    oldPalettes[i] = SelectPalette(realized[i], palette, i < 2);
    RealizePalette(realized[i]);
  }
  int mapMode = GetMapMode(dest);
  SetMapMode(dc[kFrom], mapMode);
  SetMapMode(dc[kCopy], mapMode);

  BitBlt(dc[kCopy], 0, 0, sourceWidth, sourceHeight, dc[kFrom], sourceX, sourceY, SRCCOPY);
  // Colour to monochrome: pixels of the background colour become white.
  COLORREF oldBack = SetBkColor(dc[kCopy], ResolveColor(transparentColor));
  BitBlt(dc[kMask], 0, 0, sourceWidth, sourceHeight, dc[kCopy], 0, 0, SRCCOPY);
  SetBkColor(dc[kCopy], oldBack);
  BitBlt(dc[kInverse], 0, 0, sourceWidth, sourceHeight, dc[kMask], 0, 0, NOTSRCCOPY);

  BitBlt(dc[kWork], 0, 0, destWidth, destHeight, dest, destX, destY, SRCCOPY);
  StretchBlt(dc[kWork], 0, 0, destWidth, destHeight, dc[kMask], 0, 0, sourceWidth, sourceHeight, SRCAND);
  BitBlt(dc[kCopy], 0, 0, sourceWidth, sourceHeight, dc[kInverse], 0, 0, SRCAND);
  StretchBlt(dc[kWork], 0, 0, destWidth, destHeight, dc[kCopy], 0, 0, sourceWidth, sourceHeight, SRCPAINT);
  BitBlt(dest, destX, destY, destWidth, destHeight, dc[kWork], 0, 0, SRCCOPY);

  for (int i = 0; palette && i < 4; ++i) SelectPalette(realized[i], oldPalettes[i], TRUE);
  for (int i = 0; i < kSurfaces; ++i) {
    SelectObject(dc[i], old[i]);
    DeleteDC(dc[i]);
    if (i != kFrom) DeleteObject(bitmaps[i]);
  }
}

}  // namespace osin
