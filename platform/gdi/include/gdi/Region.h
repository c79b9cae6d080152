#pragma once
// A set of pixels made of rectangles, the value behind an HRGN and behind every DC's clipping. It is kept
// in bands: rows of equal horizontal spans, top to bottom, each band's spans left to right, disjoint and
// not touching, and no two touching bands with the same spans, so equal sets have equal representations.
// Rectangles are half-open: (left, top, right, bottom) holds x in [left, right) and y in [top, bottom).

#include <vector>

#include "crt/Types.h"

namespace gdi {

class Region {
public:
    enum class Operation { And, Or, Xor, Diff };

    Region() = default;
    explicit Region(const RECT& rect);

    bool IsEmpty() const { return m_bands.empty(); }
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int Complexity() const;
    RECT Bounds() const;
    // The region as disjoint rectangles, top to bottom and left to right.
    std::vector<RECT> Rectangles() const;
    bool Contains(int x, int y) const;
    bool Intersects(const RECT& rect) const;

    void SetRect(const RECT& rect);
    void Offset(int dx, int dy);
    static Region Combine(const Region& a, const Region& b, Operation operation);
    Region& IntersectWith(const Region& other);
    Region& Subtract(const Region& other);
    Region& UniteWith(const Region& other);

    bool operator==(const Region& other) const = default;

private:
    struct Span {
        int left;
        int right;
        bool operator==(const Span&) const = default;
    };
    struct Band {
        int top;
        int bottom;
        std::vector<Span> spans;
        bool operator==(const Band&) const = default;
    };

    std::vector<Band> m_bands;
};

} // namespace gdi
