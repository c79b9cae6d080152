#pragma once
// BeginPaint and EndPaint around a window's drawing, for the controls' WM_PAINT handlers.

#include "gdi/Scoped.h"
#include "user/Paint.h"
#include "user/Window.h"

namespace user {

// Begins a paint for its scope and ends it at the end, on every path. With a font, selects that font
// (the system font for NULL) in between and the previous one back before the paint ends.
class ScopedPaint {
public:
    explicit ScopedPaint(HWND hwnd) : m_hwnd(hwnd), m_hdc(BeginPaint(hwnd, &m_ps)) {
        if (m_hdc)
            GetClientRect(hwnd, &m_client);
    }
    ScopedPaint(HWND hwnd, HFONT font) : ScopedPaint(hwnd) {
        if (m_hdc)
            m_oldFont = SelectObject(m_hdc, gdi::FontOrSystem(font));
    }
    ~ScopedPaint() {
        if (!m_hdc)
            return;
        if (m_oldFont)
            SelectObject(m_hdc, m_oldFont);
        EndPaint(m_hwnd, &m_ps);
    }
    ScopedPaint(const ScopedPaint&) = delete;
    ScopedPaint& operator=(const ScopedPaint&) = delete;

    // False when BeginPaint failed; nothing is to be drawn then.
    explicit operator bool() const { return m_hdc != nullptr; }
    HDC Dc() const { return m_hdc; }
    const RECT& Client() const { return m_client; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps{};
    HDC m_hdc;
    RECT m_client{0, 0, 0, 0};
    HGDIOBJ m_oldFont = nullptr;
};

} // namespace user
