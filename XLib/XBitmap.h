#pragma once
// CXBitmap: a bitmap strip, one bitmap of equal frames side by side, optionally with a mask half below
// the image half for transparent drawing (white where the background shows, black where the image
// covers it; the image is black where it is transparent). Frame i is columns i * frame width to
// (i + 1) * frame width - 1; the columns that the division leaves over at the right are never drawn.
//
// The object owns its bitmap. A load first frees what is held; a load that brings no bitmap leaves the
// object empty with frame width and height 0. Drawing without a bitmap or DC does nothing.

#include "classlib/Gdi.h"
#include "crt/Types.h"

class CXBitmap {
public:
    CXBitmap() = default;
    ~CXBitmap();
    CXBitmap(const CXBitmap&) = delete;
    CXBitmap& operator=(const CXBitmap&) = delete;

    // A path ending in exactly ".png" is read by the toolkit's PNG loader, whose alpha channel decides the
    // mask; every other path goes to the shell's image loader and keeps the caller's mask flag.
    void LoadFromFile(LPCWSTR path, UINT frameCount, bool hasMask);
    // The bitmap resource with the id (16 bits) of a module, through LoadBitmapW with plainLoader, else
    // through the shell's image-resource loader.
    void LoadFromResource(HINSTANCE instance, UINT resourceId, UINT frameCount, bool hasMask,
                          bool plainLoader);
    // Deletes the bitmap; the frame count becomes 1, so that SetFrameCount works again.
    void Free();
    // Only after a load or Free, and only for a count of 1 or more.
    void SetFrameCount(UINT frameCount);
    UINT GetFrameWidth() const { return m_frameWidth; }
    LONG GetFrameHeight() const { return m_frameHeight; }
    UINT GetFrameCount() const { return m_frameCount; }

    // One frame at (x, y): with a mask, the mask ANDed on and the image ORed over it; else copied.
    void DrawFrame(CDC* dc, int index, int x, int y);
    // min(cx, width) x min(cy, height) pixels from (sourceX, sourceY) of the whole bitmap, copied.
    void Draw(CDC* dc, int x, int y, int cx, int cy, int sourceX, int sourceY);
    // The whole bitmap, a mask half included.
    void DrawAll(CDC* dc, int x, int y);

private:
    void Adopt(HBITMAP bitmap, UINT frameCount, bool hasMask);

    HBITMAP m_bitmap = nullptr;
    LONG m_width = 0;
    LONG m_height = 0;
    bool m_hasMask = false;
    UINT m_frameCount = 0;
    UINT m_frameWidth = 0;
    LONG m_frameHeight = 0;
};
