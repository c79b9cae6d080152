#include "gdi/Region.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "gdi/Gdi.h"

namespace gdi {

namespace {

bool Applies(Region::Operation operation, bool inA, bool inB) {
    switch (operation) {
    case Region::Operation::And:
        return inA && inB;
    case Region::Operation::Or:
        return inA || inB;
    case Region::Operation::Xor:
        return inA != inB;
    case Region::Operation::Diff:
        return inA && !inB;
    }
    return false;
}

int ClampToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

bool Overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Holds(const RECT& outer, const RECT& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

constexpr int64_t kNoEdge = INT64_MAX;

} // namespace

struct Region::View {
    const Band* bands = nullptr;
    size_t bandCount = 0;
    const Span* spans = nullptr;
};

Region::Region(const RECT& rect) {
    SetRect(rect);
}

void Region::Clear() {
    m_box = RECT{0, 0, 0, 0};
    m_bands.clear();
    m_spans.clear();
}

void Region::SetRect(const RECT& rect) {
    Clear();
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    m_box = rect;
}

Region::View Region::Flat(Band& bandStore, Span& spanStore) const {
    if (!m_bands.empty())
        return View{m_bands.data(), m_bands.size(), m_spans.data()};
    if (IsEmpty())
        return View{};
    bandStore = Band{m_box.top, m_box.bottom, 0, 1};
    spanStore = Span{m_box.left, m_box.right};
    return View{&bandStore, 1, &spanStore};
}

int Region::Complexity() const {
    if (IsEmpty())
        return NULLREGION;
    return m_bands.empty() ? SIMPLEREGION : COMPLEXREGION;
}

RECT Region::Bounds() const {
    return m_box;
}

std::vector<RECT> Region::Rectangles() const {
    std::vector<RECT> rects;
    Rectangles(rects);
    return rects;
}

void Region::Rectangles(std::vector<RECT>& out) const {
    out.clear();
    if (m_bands.empty()) {
        if (!IsEmpty())
            out.push_back(m_box);
        return;
    }
    out.reserve(m_spans.size());
    for (const Band& band : m_bands)
        for (uint32_t i = band.first; i < band.first + band.count; ++i)
            out.push_back(RECT{m_spans[i].left, band.top, m_spans[i].right, band.bottom});
}

bool Region::Contains(int x, int y) const {
    if (x < m_box.left || x >= m_box.right || y < m_box.top || y >= m_box.bottom)
        return false;
    if (m_bands.empty())
        return true;
    for (const Band& band : m_bands) {
        if (y < band.top)
            return false;
        if (y >= band.bottom)
            continue;
        for (uint32_t i = band.first; i < band.first + band.count; ++i)
            if (x >= m_spans[i].left && x < m_spans[i].right)
                return true;
        return false;
    }
    return false;
}

bool Region::Intersects(const RECT& rect) const {
    if (IsEmpty() || !Overlap(m_box, rect))
        return false;
    if (m_bands.empty())
        return true;
    for (const Band& band : m_bands) {
        if (band.bottom <= rect.top)
            continue;
        if (band.top >= rect.bottom)
            return false;
        for (uint32_t i = band.first; i < band.first + band.count; ++i)
            if (m_spans[i].left < rect.right && m_spans[i].right > rect.left)
                return true;
    }
    return false;
}

void Region::CloseBand(int top, int bottom, uint32_t first) {
    auto count = static_cast<uint32_t>(m_spans.size() - first);
    if (count == 0)
        return;
    if (!m_bands.empty()) {
        Band& above = m_bands.back();
        if (above.bottom == top && above.count == count &&
            std::equal(m_spans.begin() + above.first, m_spans.begin() + above.first + count,
                       m_spans.begin() + first)) {
            above.bottom = bottom;
            m_spans.resize(first);
            return;
        }
    }
    m_bands.push_back(Band{top, bottom, first, count});
}

void Region::Finish() {
    if (m_bands.empty()) {
        m_spans.clear();
        m_box = RECT{0, 0, 0, 0};
        return;
    }
    if (m_bands.size() == 1 && m_bands.front().count == 1) {
        m_box = RECT{m_spans.front().left, m_bands.front().top, m_spans.front().right, m_bands.front().bottom};
        m_bands.clear();
        m_spans.clear();
        return;
    }
    m_box = RECT{INT_MAX, m_bands.front().top, INT_MIN, m_bands.back().bottom};
    for (const Band& band : m_bands) {
        m_box.left = std::min(m_box.left, m_spans[band.first].left);
        m_box.right = std::max(m_box.right, m_spans[band.first + band.count - 1].right);
    }
}

void Region::Offset(int dx, int dy) {
    if (IsEmpty())
        return;
    bool clamped = false;
    auto move = [&clamped](int& value, int delta) {
        int64_t moved = int64_t{value} + delta;
        value = ClampToInt(moved);
        clamped |= value != moved;
    };
    if (m_bands.empty()) {
        move(m_box.left, dx);
        move(m_box.right, dx);
        move(m_box.top, dy);
        move(m_box.bottom, dy);
        if (m_box.left >= m_box.right || m_box.top >= m_box.bottom)
            Clear();
        return;
    }
    for (Band& band : m_bands) {
        move(band.top, dy);
        move(band.bottom, dy);
    }
    for (Span& span : m_spans) {
        move(span.left, dx);
        move(span.right, dx);
    }
    if (!clamped) {
        move(m_box.left, dx);
        move(m_box.right, dx);
        move(m_box.top, dy);
        move(m_box.bottom, dy);
        return;
    }
    // Clamping at the limits of int can make bands or spans empty, and bands that differed equal; build
    // the bands again from what is left.
    std::vector<Band> bands = std::move(m_bands);
    std::vector<Span> spans = std::move(m_spans);
    m_bands.clear();
    m_spans.clear();
    for (const Band& band : bands) {
        if (band.top >= band.bottom)
            continue;
        auto first = static_cast<uint32_t>(m_spans.size());
        for (uint32_t i = band.first; i < band.first + band.count; ++i)
            if (spans[i].left < spans[i].right)
                m_spans.push_back(spans[i]);
        CloseBand(band.top, band.bottom, first);
    }
    Finish();
}

// Sets this region to a op b, band by band: a sweep over the bands' edges, and in each band a sweep over
// the spans' edges.
void Region::Assign(const View& a, Operation operation, const View& b) {
    m_bands.clear();
    m_spans.clear();
    size_t bandA = 0;
    size_t bandB = 0;
    if (a.bandCount == 0 && b.bandCount == 0) {
        Finish();
        return;
    }
    int64_t y = kNoEdge;
    if (a.bandCount)
        y = a.bands[0].top;
    if (b.bandCount)
        y = std::min<int64_t>(y, b.bands[0].top);
    while (bandA < a.bandCount || bandB < b.bandCount) {
        const Band* ba = bandA < a.bandCount ? &a.bands[bandA] : nullptr;
        const Band* bb = bandB < b.bandCount ? &b.bands[bandB] : nullptr;
        bool inBandA = ba && ba->top <= y;
        bool inBandB = bb && bb->top <= y;
        int64_t next = kNoEdge;
        if (ba)
            next = std::min<int64_t>(next, inBandA ? ba->bottom : ba->top);
        if (bb)
            next = std::min<int64_t>(next, inBandB ? bb->bottom : bb->top);
        if (inBandA || inBandB) {
            const Span* spansA = inBandA ? a.spans + ba->first : nullptr;
            const Span* spansB = inBandB ? b.spans + bb->first : nullptr;
            size_t countA = inBandA ? ba->count : 0;
            size_t countB = inBandB ? bb->count : 0;
            auto first = static_cast<uint32_t>(m_spans.size());
            size_t i = 0;
            size_t j = 0;
            bool inA = false;
            bool inB = false;
            bool open = false;
            int start = 0;
            while (i < countA || j < countB) {
                int64_t edgeA = i < countA ? (inA ? spansA[i].right : spansA[i].left) : kNoEdge;
                int64_t edgeB = j < countB ? (inB ? spansB[j].right : spansB[j].left) : kNoEdge;
                int64_t x = std::min(edgeA, edgeB);
                if (edgeA == x) {
                    if (inA)
                        ++i;
                    inA = !inA;
                }
                if (edgeB == x) {
                    if (inB)
                        ++j;
                    inB = !inB;
                }
                bool now = Applies(operation, inA, inB);
                if (now && !open) {
                    start = static_cast<int>(x);
                    open = true;
                } else if (!now && open) {
                    m_spans.push_back(Span{start, static_cast<int>(x)});
                    open = false;
                }
            }
            CloseBand(static_cast<int>(y), static_cast<int>(next), first);
        }
        y = next;
        if (ba && ba->bottom <= y)
            ++bandA;
        if (bb && bb->bottom <= y)
            ++bandB;
    }
    Finish();
}

// Sets this region to source AND rect; source is not this region.
void Region::ClipTo(const Region& source, const RECT& rect) {
    m_bands.clear();
    m_spans.clear();
    for (const Band& band : source.m_bands) {
        if (band.bottom <= rect.top)
            continue;
        if (band.top >= rect.bottom)
            break;
        auto first = static_cast<uint32_t>(m_spans.size());
        for (uint32_t i = band.first; i < band.first + band.count; ++i) {
            int left = std::max(source.m_spans[i].left, static_cast<int>(rect.left));
            int right = std::min(source.m_spans[i].right, static_cast<int>(rect.right));
            if (left < right)
                m_spans.push_back(Span{left, right});
        }
        CloseBand(std::max(band.top, static_cast<int>(rect.top)), std::min(band.bottom, static_cast<int>(rect.bottom)),
                  first);
    }
    Finish();
}

Region Region::Combine(const Region& a, const Region& b, Operation operation) {
    switch (operation) {
    case Operation::And:
        if (a.IsEmpty() || b.IsEmpty() || !Overlap(a.m_box, b.m_box))
            return Region();
        if (b.IsRectangle())
            return Region(a).IntersectWith(b.m_box);
        if (a.IsRectangle())
            return Region(b).IntersectWith(a.m_box);
        break;
    case Operation::Or:
        if (b.IsEmpty() || (a.IsRectangle() && Holds(a.m_box, b.m_box)))
            return a;
        if (a.IsEmpty() || (b.IsRectangle() && Holds(b.m_box, a.m_box)))
            return b;
        break;
    case Operation::Xor:
        if (b.IsEmpty())
            return a;
        if (a.IsEmpty())
            return b;
        break;
    case Operation::Diff:
        if (a.IsEmpty() || (b.IsRectangle() && Holds(b.m_box, a.m_box)))
            return Region();
        if (b.IsEmpty() || !Overlap(a.m_box, b.m_box))
            return a;
        break;
    }
    Band bandA;
    Band bandB;
    Span spanA;
    Span spanB;
    Region result;
    result.Assign(a.Flat(bandA, spanA), operation, b.Flat(bandB, spanB));
    return result;
}

Region& Region::IntersectWith(const RECT& rect) {
    if (IsEmpty())
        return *this;
    if (!Overlap(m_box, rect)) {
        Clear();
        return *this;
    }
    if (m_bands.empty()) {
        m_box = RECT{std::max(m_box.left, rect.left), std::max(m_box.top, rect.top),
                     std::min(m_box.right, rect.right), std::min(m_box.bottom, rect.bottom)};
        return *this;
    }
    if (Holds(rect, m_box))
        return *this;
    Region source = std::move(*this);
    ClipTo(source, rect);
    return *this;
}

Region& Region::IntersectWith(const Region& other) {
    if (other.IsRectangle())
        return IntersectWith(other.m_box);
    *this = Combine(*this, other, Operation::And);
    return *this;
}

Region& Region::Subtract(const Region& other) {
    if (other.IsEmpty() || IsEmpty() || !Overlap(m_box, other.m_box))
        return *this;
    *this = Combine(*this, other, Operation::Diff);
    return *this;
}

Region& Region::UniteWith(const Region& other) {
    if (other.IsEmpty() || (IsRectangle() && Holds(m_box, other.m_box)))
        return *this;
    *this = Combine(*this, other, Operation::Or);
    return *this;
}

bool Region::operator==(const Region& other) const {
    if (m_bands.size() != other.m_bands.size() || m_spans != other.m_spans)
        return false;
    if (m_box.left != other.m_box.left || m_box.top != other.m_box.top || m_box.right != other.m_box.right ||
        m_box.bottom != other.m_box.bottom)
        return false;
    for (size_t i = 0; i < m_bands.size(); ++i)
        if (m_bands[i].top != other.m_bands[i].top || m_bands[i].bottom != other.m_bands[i].bottom ||
            m_bands[i].count != other.m_bands[i].count)
            return false;
    return true;
}

} // namespace gdi
