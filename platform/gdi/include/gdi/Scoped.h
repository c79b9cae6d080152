#pragma once
// Scoped GDI objects and the small drawing helpers that the window system's controls share.

#include "gdi/Gdi.h"

namespace gdi {

// Selects an object into a DC for a scope and selects the previous one back at its end. A NULL object
// selects nothing, and so does one that cannot be selected.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object)
        : m_dc(dc), m_previous(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    template <GdiObjectHandle H>
    SelectedObject(HDC dc, H object) : SelectedObject(dc, reinterpret_cast<HGDIOBJ>(object)) {}
    ~SelectedObject() {
        if (m_previous)
            SelectObject(m_dc, m_previous);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// A solid brush of one colour for a scope.
class SolidBrush {
public:
    explicit SolidBrush(COLORREF color) : m_brush(CreateSolidBrush(color)) {}
    ~SolidBrush() {
        if (m_brush)
            DeleteObject(m_brush);
    }
    SolidBrush(const SolidBrush&) = delete;
    SolidBrush& operator=(const SolidBrush&) = delete;
    HBRUSH Get() const { return m_brush; }

private:
    HBRUSH m_brush;
};

void FillSolid(HDC dc, const RECT& rect, COLORREF color);

// A filled triangle of `depth` rows pointing in direction, centred in box: the tip row is one pixel
// wide and each row after it one pixel wider on each side.
enum class Arrow { Up, Down, Left, Right };
void DrawArrow(HDC dc, const RECT& box, Arrow direction, int depth, HBRUSH brush);

// The font a control draws with: the one it was given, else the system font.
HFONT FontOrSystem(HFONT font);
// The cell height of a font (of the system font when font is NULL).
int FontLineHeight(HFONT font);

} // namespace gdi
