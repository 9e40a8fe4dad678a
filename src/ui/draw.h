// Drawing routines of the background (Windows only): gradient fills and
// bitmaps with a transparent colour.
//
// Colours are Windows colour values $BBGGRR (red in the low byte). Both
// routines resolve them with ResolveColor: a negative value stands for the
// system colour whose index is its low byte.
#pragma once

#include <stdint.h>

struct HDC__;
struct HBITMAP__;
struct HPALETTE__;
struct tagRECT;

namespace osin {

uint32_t ResolveColor(int32_t color);

enum GradientDirection {
  kTopToBottom = 0,
  kBottomToTop = 1,
  kLeftToRight = 2,
  kRightToLeft = 3,
};

// Fills Rect on Surface with Bands solid bands running from StartColor to
// EndColor in Direction (the start colour at the top, bottom, left or right
// edge respectively; other direction values are taken modulo 4).
//
// An empty rectangle draws nothing; fewer than 2 bands fill the rectangle
// with the start colour. Otherwise the count is limited to the rectangle's
// extent along the direction (at least 2) and each band is extent / count
// pixels (floating point) long, its edges rounded to the nearest pixel
// (halves to even) and drawn one pixel longer, so neighbours overlap by one
// pixel and later bands cover the shared pixel. Band i has, per channel,
// first + i x (last - first) / count, divided as the system's MulDiv
// divides (halves away from zero) and kept to its low 8 bits, where first
// is the colour at the band-0 edge.
void PaintGradient(HDC__* surface, const tagRECT& rect, int32_t startColor, int32_t endColor, int direction,
                   uint16_t bands);

// Copies the source rectangle of Source to Dest at (DestX, DestY),
// stretched to DestWidth x DestHeight, leaving the destination's pixels
// where the source has TransparentColor. With a palette it is selected and
// realized in every surface on the way (in the background in the
// destination and the work surface, in the foreground in the copies).
void DrawTransparentBitmap(HDC__* dest, int destX, int destY, int32_t transparentColor, HPALETTE__* palette,
                           HBITMAP__* source, int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                           int destWidth, int destHeight);

}  // namespace osin
