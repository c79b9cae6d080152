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

} // namespace

Region::Region(const RECT& rect) {
    SetRect(rect);
}

void Region::SetRect(const RECT& rect) {
    m_bands.clear();
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    m_bands.push_back({rect.top, rect.bottom, {{rect.left, rect.right}}});
}

int Region::Complexity() const {
    if (m_bands.empty())
        return NULLREGION;
    if (m_bands.size() == 1 && m_bands.front().spans.size() == 1)
        return SIMPLEREGION;
    return COMPLEXREGION;
}

RECT Region::Bounds() const {
    if (m_bands.empty())
        return RECT{0, 0, 0, 0};
    RECT bounds{INT_MAX, m_bands.front().top, INT_MIN, m_bands.back().bottom};
    for (const Band& band : m_bands) {
        bounds.left = std::min(bounds.left, band.spans.front().left);
        bounds.right = std::max(bounds.right, band.spans.back().right);
    }
    return bounds;
}

std::vector<RECT> Region::Rectangles() const {
    std::vector<RECT> rects;
    for (const Band& band : m_bands)
        for (const Span& span : band.spans)
            rects.push_back(RECT{span.left, band.top, span.right, band.bottom});
    return rects;
}

bool Region::Contains(int x, int y) const {
    for (const Band& band : m_bands) {
        if (y < band.top)
            return false;
        if (y >= band.bottom)
            continue;
        for (const Span& span : band.spans)
            if (x >= span.left && x < span.right)
                return true;
        return false;
    }
    return false;
}

bool Region::Intersects(const RECT& rect) const {
    for (const Band& band : m_bands) {
        if (band.bottom <= rect.top || band.top >= rect.bottom)
            continue;
        for (const Span& span : band.spans)
            if (span.left < rect.right && span.right > rect.left)
                return true;
    }
    return false;
}

void Region::Offset(int dx, int dy) {
    for (Band& band : m_bands) {
        band.top = ClampToInt(int64_t{band.top} + dy);
        band.bottom = ClampToInt(int64_t{band.bottom} + dy);
        for (Span& span : band.spans) {
            span.left = ClampToInt(int64_t{span.left} + dx);
            span.right = ClampToInt(int64_t{span.right} + dx);
        }
    }
    // Clamping at the limits of int can make bands or spans empty; drop those.
    std::erase_if(m_bands, [](Band& band) {
        std::erase_if(band.spans, [](const Span& span) { return span.left >= span.right; });
        return band.top >= band.bottom || band.spans.empty();
    });
}

Region Region::Combine(const Region& a, const Region& b, Operation operation) {
    std::vector<int> ys;
    for (const Region* region : {&a, &b})
        for (const Band& band : region->m_bands) {
            ys.push_back(band.top);
            ys.push_back(band.bottom);
        }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    static const std::vector<Span> kNoSpans;
    Region result;
    size_t bandA = 0;
    size_t bandB = 0;
    std::vector<int> xs;
    for (size_t k = 0; k + 1 < ys.size(); ++k) {
        int y0 = ys[k];
        int y1 = ys[k + 1];
        while (bandA < a.m_bands.size() && a.m_bands[bandA].bottom <= y0)
            ++bandA;
        while (bandB < b.m_bands.size() && b.m_bands[bandB].bottom <= y0)
            ++bandB;
        bool inBandA = bandA < a.m_bands.size() && a.m_bands[bandA].top <= y0;
        bool inBandB = bandB < b.m_bands.size() && b.m_bands[bandB].top <= y0;
        const std::vector<Span>& spansA = inBandA ? a.m_bands[bandA].spans : kNoSpans;
        const std::vector<Span>& spansB = inBandB ? b.m_bands[bandB].spans : kNoSpans;

        xs.clear();
        for (const auto* spans : {&spansA, &spansB})
            for (const Span& span : *spans) {
                xs.push_back(span.left);
                xs.push_back(span.right);
            }
        std::sort(xs.begin(), xs.end());
        xs.erase(std::unique(xs.begin(), xs.end()), xs.end());

        std::vector<Span> spans;
        size_t spanA = 0;
        size_t spanB = 0;
        for (size_t i = 0; i + 1 < xs.size(); ++i) {
            int x0 = xs[i];
            int x1 = xs[i + 1];
            while (spanA < spansA.size() && spansA[spanA].right <= x0)
                ++spanA;
            while (spanB < spansB.size() && spansB[spanB].right <= x0)
                ++spanB;
            bool inA = spanA < spansA.size() && spansA[spanA].left <= x0;
            bool inB = spanB < spansB.size() && spansB[spanB].left <= x0;
            if (!Applies(operation, inA, inB))
                continue;
            if (!spans.empty() && spans.back().right == x0)
                spans.back().right = x1;
            else
                spans.push_back({x0, x1});
        }
        if (spans.empty())
            continue;
        if (!result.m_bands.empty() && result.m_bands.back().bottom == y0 &&
            result.m_bands.back().spans == spans)
            result.m_bands.back().bottom = y1;
        else
            result.m_bands.push_back({y0, y1, std::move(spans)});
    }
    return result;
}

Region& Region::IntersectWith(const Region& other) {
    *this = Combine(*this, other, Operation::And);
    return *this;
}

Region& Region::Subtract(const Region& other) {
    *this = Combine(*this, other, Operation::Diff);
    return *this;
}

Region& Region::UniteWith(const Region& other) {
    *this = Combine(*this, other, Operation::Or);
    return *this;
}

} // namespace gdi
