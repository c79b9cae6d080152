#pragma once
// The class library's point, size and rectangle values: CPoint, CSize and CRect are the platform's POINT,
// SIZE and RECT with the class library's members. Rectangles are half-open, as everywhere: a point is in
// a rectangle when left <= x < right and top <= y < bottom; a rectangle whose width or height is not
// positive is empty.

#include <algorithm>

#include "crt/Types.h"

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int x, int y) : SIZE{x, y} {}
    CSize(SIZE size) : SIZE(size) {}
    explicit CSize(POINT point) : SIZE{point.x, point.y} {}

    bool operator==(SIZE other) const { return cx == other.cx && cy == other.cy; }
    bool operator!=(SIZE other) const { return !(*this == other); }
    void operator+=(SIZE other) {
        cx += other.cx;
        cy += other.cy;
    }
    void operator-=(SIZE other) {
        cx -= other.cx;
        cy -= other.cy;
    }
    CSize operator+(SIZE other) const { return CSize(cx + other.cx, cy + other.cy); }
    CSize operator-(SIZE other) const { return CSize(cx - other.cx, cy - other.cy); }
    CSize operator-() const { return CSize(-cx, -cy); }
};

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int x, int y) : POINT{x, y} {}
    CPoint(POINT point) : POINT(point) {}
    explicit CPoint(SIZE size) : POINT{size.cx, size.cy} {}
    // x in the low word and y in the high word, as mouse messages carry them (both signed).
    explicit CPoint(LPARAM packed)
        : POINT{static_cast<SHORT>(LOWORD(packed)), static_cast<SHORT>(HIWORD(packed))} {}

    void Offset(int dx, int dy) {
        x += dx;
        y += dy;
    }
    void Offset(POINT point) { Offset(point.x, point.y); }
    void Offset(SIZE size) { Offset(size.cx, size.cy); }
    bool operator==(POINT other) const { return x == other.x && y == other.y; }
    bool operator!=(POINT other) const { return !(*this == other); }
    void operator+=(SIZE size) { Offset(size); }
    void operator-=(SIZE size) { Offset(-size.cx, -size.cy); }
    void operator+=(POINT point) { Offset(point); }
    void operator-=(POINT point) { Offset(-point.x, -point.y); }
    CPoint operator+(SIZE size) const { return CPoint(x + size.cx, y + size.cy); }
    CPoint operator-(SIZE size) const { return CPoint(x - size.cx, y - size.cy); }
    CPoint operator+(POINT point) const { return CPoint(x + point.x, y + point.y); }
    CSize operator-(POINT point) const { return CSize(x - point.x, y - point.y); }
    CPoint operator-() const { return CPoint(-x, -y); }
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& rect) : RECT(rect) {}
    CRect(LPCRECT rect) : RECT(rect ? *rect : RECT{0, 0, 0, 0}) {}
    CRect(POINT topLeft, SIZE size) : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}
    CRect(POINT topLeft, POINT bottomRight) : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    bool IsRectEmpty() const { return Width() <= 0 || Height() <= 0; }
    bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool PtInRect(POINT point) const {
        return point.x >= left && point.x < right && point.y >= top && point.y < bottom;
    }

    void SetRect(int l, int t, int r, int b) {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    void CopyRect(LPCRECT rect) { *this = CRect(rect); }
    bool EqualRect(LPCRECT rect) const {
        return rect && left == rect->left && top == rect->top && right == rect->right &&
               bottom == rect->bottom;
    }
    void InflateRect(int dx, int dy) { InflateRect(dx, dy, dx, dy); }
    void InflateRect(SIZE size) { InflateRect(size.cx, size.cy); }
    void InflateRect(int l, int t, int r, int b) {
        left -= l;
        top -= t;
        right += r;
        bottom += b;
    }
    void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
    void DeflateRect(SIZE size) { InflateRect(-size.cx, -size.cy); }
    void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }
    void OffsetRect(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    void OffsetRect(POINT point) { OffsetRect(point.x, point.y); }
    void OffsetRect(SIZE size) { OffsetRect(size.cx, size.cy); }
    void NormalizeRect() {
        if (left > right)
            std::swap(left, right);
        if (top > bottom)
            std::swap(top, bottom);
    }
    // The overlap of two rectangles; an empty result leaves (0, 0, 0, 0) and false.
    bool IntersectRect(LPCRECT a, LPCRECT b) {
        CRect first(a);
        CRect second(b);
        SetRect(std::max(first.left, second.left), std::max(first.top, second.top),
                std::min(first.right, second.right), std::min(first.bottom, second.bottom));
        if (!first.IsRectEmpty() && !second.IsRectEmpty() && !IsRectEmpty())
            return true;
        SetRectEmpty();
        return false;
    }
    // The smallest rectangle holding both; empty rectangles add nothing.
    bool UnionRect(LPCRECT a, LPCRECT b) {
        CRect first(a);
        CRect second(b);
        if (first.IsRectEmpty()) {
            *this = second.IsRectEmpty() ? CRect() : second;
            return !second.IsRectEmpty();
        }
        if (second.IsRectEmpty()) {
            *this = first;
            return true;
        }
        SetRect(std::min(first.left, second.left), std::min(first.top, second.top),
                std::max(first.right, second.right), std::max(first.bottom, second.bottom));
        return true;
    }

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    bool operator==(const RECT& rect) const { return EqualRect(&rect); }
    bool operator!=(const RECT& rect) const { return !EqualRect(&rect); }
    void operator+=(POINT point) { OffsetRect(point); }
    void operator+=(SIZE size) { OffsetRect(size); }
    void operator-=(POINT point) { OffsetRect(-point.x, -point.y); }
    void operator-=(SIZE size) { OffsetRect(-size.cx, -size.cy); }
    void operator&=(const RECT& rect) { IntersectRect(this, &rect); }
    void operator|=(const RECT& rect) { UnionRect(this, &rect); }
    CRect operator+(POINT point) const {
        CRect result(*this);
        result.OffsetRect(point);
        return result;
    }
    CRect operator-(POINT point) const {
        CRect result(*this);
        result.OffsetRect(-point.x, -point.y);
        return result;
    }
    CRect operator&(const RECT& rect) const {
        CRect result;
        result.IntersectRect(this, &rect);
        return result;
    }
    CRect operator|(const RECT& rect) const {
        CRect result;
        result.UnionRect(this, &rect);
        return result;
    }
};
