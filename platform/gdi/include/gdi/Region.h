#pragma once
// A set of pixels made of rectangles, the value behind an HRGN and behind every DC's clipping. It is kept
// in bands: rows of equal horizontal spans, top to bottom, each band's spans left to right, disjoint and
// not touching, and no two touching bands with the same spans, so equal sets have equal representations.
// Rectangles are half-open: (left, top, right, bottom) holds x in [left, right) and y in [top, bottom).
// An empty region or a single rectangle takes no heap memory, and copying one allocates nothing.

#include <cstdint>
#include <vector>

#include "crt/Types.h"

namespace gdi {

class Region {
public:
    enum class Operation { And, Or, Xor, Diff };

    Region() = default;
    explicit Region(const RECT& rect);

    bool IsEmpty() const { return m_bands.empty() && m_box.left >= m_box.right; }
    // True when the region is exactly one rectangle (SIMPLEREGION).
    bool IsRectangle() const { return m_bands.empty() && m_box.left < m_box.right; }
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int Complexity() const;
    RECT Bounds() const;
    // The region as disjoint rectangles, top to bottom and left to right.
    std::vector<RECT> Rectangles() const;
    // The same into a vector the caller keeps (its contents are replaced, its memory reused).
    void Rectangles(std::vector<RECT>& out) const;
    bool Contains(int x, int y) const;
    bool Intersects(const RECT& rect) const;

    void SetRect(const RECT& rect);
    void Offset(int dx, int dy);
    static Region Combine(const Region& a, const Region& b, Operation operation);
    Region& IntersectWith(const Region& other);
    // The same with a rectangle, without building a region for it.
    Region& IntersectWith(const RECT& rect);
    Region& Subtract(const Region& other);
    Region& UniteWith(const Region& other);

    bool operator==(const Region& other) const;

private:
    struct Span {
        int left;
        int right;
        bool operator==(const Span&) const = default;
    };
    // A band's spans are m_spans[first, first + count).
    struct Band {
        int top;
        int bottom;
        uint32_t first;
        uint32_t count;
    };
    // The bands and spans of a region, also of a single rectangle, for the algorithms.
    struct View;

    View Flat(Band& bandStore, Span& spanStore) const;
    void Assign(const View& view, Operation operation, const View& other);
    void ClipTo(const Region& source, const RECT& rect);
    // Turns the bands into a single rectangle when that is what they hold, and sets the bounds.
    void Finish();
    // Appends a band of the spans from m_spans[first] on, merging it into the band above it when that
    // touches it and has the same spans.
    void CloseBand(int top, int bottom, uint32_t first);
    void Clear();

    // The rectangle itself when there are no bands; otherwise the bounds of the bands.
    RECT m_box{0, 0, 0, 0};
    std::vector<Band> m_bands;
    std::vector<Span> m_spans;
};

} // namespace gdi
