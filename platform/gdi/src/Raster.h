#pragma once
// Pixel work on bitmaps: fills, blits with ternary raster operations, and one-bit masks (glyphs). Every
// call takes the clip as rectangles in the bitmap's coordinates and touches nothing outside them.

#include <cstdint>
#include <span>

#include "Objects.h"

namespace gdi {

// The colours that format conversions between monochrome and colour take: a monochrome source's 0 bits
// become the destination's text colour and its 1 bits the destination's background colour; a colour
// source's pixels equal to its DC's background colour become 1 in a monochrome destination, others 0.
struct BlitColors {
    COLORREF destText = RGB(0, 0, 0);
    COLORREF destBk = RGB(255, 255, 255);
    COLORREF sourceBk = RGB(255, 255, 255);
};

// The ternary code of a raster operation (bits 16-23).
inline uint8_t RopCode(DWORD rop) {
    return static_cast<uint8_t>(rop >> 16);
}
bool RopUsesSource(uint8_t code);
bool RopUsesPattern(uint8_t code);
// One ternary operation on pixel values, bit by bit: result bit = code bit number (P << 2 | S << 1 | D).
uint32_t Rop3(uint8_t code, uint32_t pattern, uint32_t source, uint32_t dest);

// Intersects two rectangles; false when the result is empty.
inline bool Intersect(const RECT& a, const RECT& b, RECT& result) {
    result.left = a.left > b.left ? a.left : b.left;
    result.top = a.top > b.top ? a.top : b.top;
    result.right = a.right < b.right ? a.right : b.right;
    result.bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
    return result.left < result.right && result.top < result.bottom;
}

// The clip of a drawing call: disjoint rectangles in the bitmap's coordinates.
using ClipRects = std::span<const RECT>;

void FillPixels(BitmapObject& dest, ClipRects clip, const RECT& rect, uint32_t pixel);
// An operation without a source over rect.
void RopFill(BitmapObject& dest, ClipRects clip, const RECT& rect, uint32_t pattern,
             uint8_t code);
// Copies the source area whose top left is (sourceX, sourceY) onto destRect with the operation. Parts of
// the area outside the source bitmap are left alone in the destination. Source and destination may be
// the same bitmap.
void Blit(BitmapObject& dest, ClipRects clip, const RECT& destRect, const BitmapObject& source,
          int sourceX, int sourceY, uint32_t pattern, uint8_t code, const BlitColors& colors);
// Inverts the pixel at (x, y) when the clip holds it.
void InvertPixel(BitmapObject& dest, ClipRects clip, int x, int y);
// Sets the pixels of a one-bit mask (rows of pitch bytes, most significant bit first) whose top left is
// at (x, y).
void DrawMask(BitmapObject& dest, ClipRects clip, int x, int y, const uint8_t* bits, int width, int rows, int pitch,
              uint32_t pixel);

} // namespace gdi
