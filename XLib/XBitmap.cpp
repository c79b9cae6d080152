#include "XBitmap.h"

#include <algorithm>

#include "PngBitmap.h"
#include "crt/WideString.h"
#include "gdi/Dib.h"
#include "shell/Images.h"

namespace {

// The text from the last '.' on is exactly ".png".
bool IsPngPath(LPCWSTR path) {
    const WCHAR* dot = wcsrchr(path, u'.');
    return dot && wcscmp(dot, u".png") == 0;
}

// A temporary memory DC holding a bitmap, for copying from it.
class SourceDc {
public:
    SourceDc(CDC* target, HBITMAP bitmap) {
        if (!m_dc.CreateCompatibleDC(target))
            return;
        m_previous = ::SelectObject(m_dc.GetSafeHdc(), bitmap);
    }
    ~SourceDc() {
        if (m_previous)
            ::SelectObject(m_dc.GetSafeHdc(), m_previous);
    }
    SourceDc(const SourceDc&) = delete;
    SourceDc& operator=(const SourceDc&) = delete;
    // False when the bitmap could not be selected (it is selected into another DC).
    bool IsReady() const { return m_previous != nullptr; }
    CDC* Dc() { return &m_dc; }

private:
    CDC m_dc;
    HGDIOBJ m_previous = nullptr;
};

} // namespace

CXBitmap::~CXBitmap() {
    Free();
}

void CXBitmap::LoadFromFile(LPCWSTR path, UINT frameCount, bool hasMask) {
    Free();
    if (!path) {
        Adopt(nullptr, frameCount, hasMask);
        return;
    }
    HBITMAP bitmap = nullptr;
    if (IsPngPath(path)) {
        bool hasAlpha = false;
        bitmap = LoadPngBitmap(path, true, hasAlpha);
        hasMask = hasAlpha;
    } else {
        bitmap = SHLoadDIBitmap(path);
    }
    Adopt(bitmap, frameCount, hasMask);
}

void CXBitmap::LoadFromResource(HINSTANCE instance, UINT resourceId, UINT frameCount, bool hasMask,
                                bool plainLoader) {
    Free();
    HBITMAP bitmap = plainLoader ? LoadBitmapW(instance, MAKEINTRESOURCE(resourceId & 0xFFFF))
                                 : SHLoadImageResource(instance, resourceId);
    Adopt(bitmap, frameCount, hasMask);
}

void CXBitmap::Adopt(HBITMAP bitmap, UINT frameCount, bool hasMask) {
    BITMAP record{};
    if (!bitmap || !GetObjectW(bitmap, sizeof record, &record)) {
        if (bitmap)
            DeleteObject(bitmap);
        // No stale frame size from an earlier load: callers take frame width 0 for "not loaded".
        m_frameWidth = 0;
        m_frameHeight = 0;
        return;
    }
    m_bitmap = bitmap;
    m_width = record.bmWidth;
    m_height = record.bmHeight;
    m_hasMask = hasMask;
    m_frameCount = frameCount;
    // A frame count of 0 would divide by zero; such a strip has no frame to draw.
    m_frameWidth = frameCount ? static_cast<UINT>(m_width) / frameCount : 0;
    m_frameHeight = hasMask ? m_height / 2 : m_height;
}

void CXBitmap::Free() {
    if (m_bitmap) {
        DeleteObject(m_bitmap);
        m_bitmap = nullptr;
    }
    m_width = 0;
    m_height = 0;
    m_frameCount = 1;
    m_hasMask = false;
}

void CXBitmap::SetFrameCount(UINT frameCount) {
    if (m_frameCount == 0 || frameCount == 0)
        return;
    m_frameCount = frameCount;
    m_frameWidth = static_cast<UINT>(m_width) / frameCount;
}

void CXBitmap::DrawFrame(CDC* dc, int index, int x, int y) {
    if (!m_bitmap || !dc || index < 0 || static_cast<UINT>(index) >= m_frameCount)
        return;
    SourceDc source(dc, m_bitmap);
    if (!source.IsReady())
        return;
    int width = static_cast<int>(m_frameWidth);
    int sourceX = index * width;
    if (m_hasMask) {
        dc->BitBlt(x, y, width, m_frameHeight, source.Dc(), sourceX, m_frameHeight, SRCAND);
        dc->BitBlt(x, y, width, m_frameHeight, source.Dc(), sourceX, 0, SRCPAINT);
    } else {
        dc->BitBlt(x, y, width, m_frameHeight, source.Dc(), sourceX, 0, SRCCOPY);
    }
}

void CXBitmap::Draw(CDC* dc, int x, int y, int cx, int cy, int sourceX, int sourceY) {
    if (!m_bitmap || !dc)
        return;
    SourceDc source(dc, m_bitmap);
    if (!source.IsReady())
        return;
    dc->BitBlt(x, y, std::min<int>(cx, m_width), std::min<int>(cy, m_height), source.Dc(), sourceX, sourceY,
               SRCCOPY);
}

void CXBitmap::DrawAll(CDC* dc, int x, int y) {
    Draw(dc, x, y, m_width, m_height, 0, 0);
}
