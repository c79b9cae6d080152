#pragma once
// A memory DC with its own bitmap for drawing tests, and pixel helpers.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>

#include "gdi/Gdi.h"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const RECT& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

enum class CanvasFormat { Rgb565, Bgr24, Mono };

class Canvas {
public:
    Canvas(int width, int height, CanvasFormat format = CanvasFormat::Rgb565)
        : m_width(width), m_height(height), m_dc(CreateCompatibleDC(nullptr)) {
        if (format == CanvasFormat::Bgr24) {
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            info.bmiHeader.biWidth = width;
            info.bmiHeader.biHeight = height;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 24;
            info.bmiHeader.biCompression = BI_RGB;
            m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
        } else {
            m_bitmap = CreateBitmap(width, height, 1, format == CanvasFormat::Mono ? 1 : 16, nullptr);
        }
        m_previous = SelectObject(m_dc, m_bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        SelectObject(m_dc, m_previous);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }

    HDC Dc() const { return m_dc; }
    HBITMAP Bitmap() const { return m_bitmap; }
    void* Bits() const { return m_bits; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    void Fill(COLORREF color) {
        HBRUSH brush = CreateSolidBrush(color);
        RECT all{0, 0, m_width, m_height};
        FillRect(m_dc, &all, brush);
        DeleteObject(brush);
    }
    COLORREF At(int x, int y) const { return GetPixel(m_dc, x, y); }
    // The 16-bit value of a pixel of a 16-bit canvas.
    uint16_t Value(int x, int y) const {
        COLORREF c = GetPixel(m_dc, x, y);
        return static_cast<uint16_t>(((GetRValue(c) >> 3) << 11) | ((GetGValue(c) >> 2) << 5) |
                                     (GetBValue(c) >> 3));
    }
    // The smallest rectangle holding every pixel for which the predicate holds (empty when none).
    RECT BoundsOf(const std::function<bool(COLORREF)>& predicate) const {
        RECT box{m_width, m_height, 0, 0};
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                if (predicate(At(x, y))) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        if (box.left >= box.right)
            return RECT{0, 0, 0, 0};
        return box;
    }
    int Count(COLORREF color) const {
        int count = 0;
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                count += At(x, y) == color;
        return count;
    }

private:
    int m_width;
    int m_height;
    HDC m_dc;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    void* m_bits = nullptr;
};

// What a colour becomes in a 16-bit bitmap.
inline COLORREF In565(COLORREF c) {
    unsigned r = GetRValue(c) >> 3, g = GetGValue(c) >> 2, b = GetBValue(c) >> 3;
    return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

// Colours that survive the trip through RGB565 unchanged.
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kGreen = RGB(0, 255, 0);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);
