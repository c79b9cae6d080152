#pragma once
// CXMemDC: the off-screen buffer of a paint. Drawing goes into a memory DC with a bitmap compatible with
// the target; Release (and the destructor) copies the whole buffer to (0, 0) of the target in one
// SRCCOPY and frees the buffer. A paint handler keeps its CXMemDC as a local, so the picture reaches the
// screen when the local goes out of scope, before the paint ends.

#include <memory>

#include "classlib/Gdi.h"

class CXMemDC {
public:
    CXMemDC(CDC* target, int width, int height);
    ~CXMemDC();
    CXMemDC(const CXMemDC&) = delete;
    CXMemDC& operator=(const CXMemDC&) = delete;

    // Releases any buffer held, then makes a new one of width x height for the target and returns its DC
    // (NULL without a target).
    CDC* Create(CDC* target, int width, int height);
    // The DC to draw into; NULL when no buffer is held.
    CDC* GetDC() { return m_memoryDc.get(); }
    void Release();

private:
    CDC* m_target = nullptr;
    std::unique_ptr<CDC> m_memoryDc;
    std::unique_ptr<CBitmap> m_bitmap;
    HGDIOBJ m_previousBitmap = nullptr;
    int m_width = 0;
    int m_height = 0;
};
