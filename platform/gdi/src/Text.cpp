// Text output: ExtTextOutW, TextOutW, DrawTextW, and the measuring calls. The usual short texts are laid
// out in buffers on the stack; only long ones take heap memory.

#include <algorithm>
#include <array>
#include <vector>

#include "DeviceContext.h"
#include "Fonts.h"
#include "Raster.h"
#include "crt/WideString.h"
#include "kernel/Errors.h"

namespace {

using gdi::DeviceContext;
using gdi::RealizedFont;

// Room for size elements: on the stack up to N, on the heap beyond.
template <typename T, size_t N>
class Buffer {
public:
    explicit Buffer(size_t size) {
        if (size > N) {
            m_heap.resize(size);
            m_data = m_heap.data();
        }
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    T* data() { return m_data; }
    T& operator[](size_t i) { return m_data[i]; }

private:
    std::array<T, N> m_local; // not cleared: every element is written before it is read
    std::vector<T> m_heap;
    T* m_data = m_local.data();
};

constexpr size_t kShortText = 128;

struct Cell {
    char32_t ch;
    bool underline;
};

// A line of a text: cells [start, start + count) of the text's cells.
struct Line {
    size_t start;
    size_t count;
};

// The parts of a DC that text drawing takes.
struct Writer {
    DeviceContext& dc;
    RealizedFont& font;
    int tabWidth = 0; // 0: tabs are ordinary characters
};

RealizedFont* FontOf(DeviceContext& dc) {
    RealizedFont* font = dc.font->Realized();
    if (!font)
        SetLastError(ERROR_FILE_NOT_FOUND);
    return font;
}

// Decodes count UTF-16 units into at most count code points in out; a lone surrogate becomes U+FFFD.
size_t Decode(const WCHAR* text, size_t count, Cell* out) {
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            out[n++] = Cell{0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00), false};
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out[n++] = Cell{0xFFFD, false};
        } else {
            out[n++] = Cell{unit, false};
        }
    }
    return n;
}

int Advance(const Writer& writer, char32_t ch, int x) {
    if (writer.tabWidth > 0 && ch == U'\t')
        return writer.tabWidth - x % writer.tabWidth;
    return writer.font.GlyphFor(ch).advance;
}

int Width(const Writer& writer, const Cell* cells, size_t count) {
    int x = 0;
    for (size_t i = 0; i < count; ++i)
        x += Advance(writer, cells[i].ch, x);
    return x;
}

// Draws cells with the top left of their cell at (x, top), in surface coordinates. dx, when given, holds
// each cell's advance.
void DrawCells(const Writer& writer, int x, int top, const Cell* cells, size_t count, const int* dx,
               const RECT* limit) {
    DeviceContext& dc = writer.dc;
    RealizedFont& font = writer.font;
    const std::vector<RECT>& dcClip = dc.ClipRects();
    Buffer<RECT, 16> limited(limit ? dcClip.size() : 0);
    gdi::ClipRects clip(dcClip);
    if (limit) {
        size_t kept = 0;
        for (const RECT& rect : dcClip) {
            RECT part;
            if (gdi::Intersect(rect, *limit, part))
                limited[kept++] = part;
        }
        clip = gdi::ClipRects(limited.data(), kept);
    }
    if (clip.empty())
        return;
    gdi::BitmapObject& surface = *dc.surface;
    // Each glyph is looked up once; tabs that expand have none.
    Buffer<const gdi::Glyph*, kShortText> glyphs(count);
    Buffer<int, kShortText> advances(count);
    int width = 0;
    for (size_t i = 0; i < count; ++i) {
        bool expands = writer.tabWidth > 0 && cells[i].ch == U'\t';
        glyphs[i] = expands ? nullptr : &font.GlyphFor(cells[i].ch);
        int own = expands ? writer.tabWidth - width % writer.tabWidth : glyphs[i]->advance;
        advances[i] = dx ? dx[i] : own;
        width += advances[i];
    }
    if (dc.bkMode == OPAQUE)
        gdi::FillPixels(surface, clip, RECT{x, top, x + width, top + font.Height()},
                        gdi::ColorToPixel(surface.format, dc.bkColor));
    uint32_t pixel = gdi::ColorToPixel(surface.format, dc.textColor);
    int baseline = top + font.Ascent();
    bool underlineAll = dc.font->logFont.lfUnderline != 0;
    int pen = x;
    for (size_t i = 0; i < count; ++i) {
        const gdi::Glyph* glyph = glyphs[i];
        if (glyph && !glyph->bits.empty())
            gdi::DrawMask(surface, clip, pen + glyph->left, baseline - glyph->top, glyph->bits.data(),
                          glyph->width, glyph->rows, glyph->pitch, pixel);
        if (underlineAll || cells[i].underline) {
            int lineTop = baseline + font.UnderlineOffset();
            gdi::FillPixels(surface, clip,
                            RECT{pen, lineTop, pen + advances[i], lineTop + font.UnderlineThickness()},
                            pixel);
        }
        pen += advances[i];
    }
}

// Splits the cells into lines at CR LF, LF or CR, in place; with single, CR and LF are dropped instead.
// Returns the number of cells kept and fills lines (room for count + 1).
size_t SplitLines(Cell* cells, size_t count, bool single, Line* lines, size_t& lineCount) {
    size_t kept = 0;
    lineCount = 1;
    lines[0] = Line{0, 0};
    for (size_t i = 0; i < count; ++i) {
        char32_t ch = cells[i].ch;
        if (ch != U'\r' && ch != U'\n') {
            cells[kept++] = cells[i];
            ++lines[lineCount - 1].count;
            continue;
        }
        if (single)
            continue;
        if (ch == U'\r' && i + 1 < count && cells[i + 1].ch == U'\n')
            ++i;
        lines[lineCount++] = Line{kept, 0};
    }
    return kept;
}

// "&x" underlines x, "&&" is "&", a last lone "&" is dropped; in place, the line's count shrinks.
void ApplyPrefixes(Cell* cells, Line& line) {
    Cell* text = cells + line.start;
    size_t kept = 0;
    for (size_t i = 0; i < line.count; ++i) {
        if (text[i].ch != U'&') {
            text[kept++] = Cell{text[i].ch, false};
            continue;
        }
        if (i + 1 >= line.count)
            break;
        ++i;
        text[kept++] = Cell{text[i].ch, text[i].ch != U'&'};
    }
    line.count = kept;
}

bool IsBreakSpace(char32_t ch) {
    return ch == U' ' || ch == U'\t';
}

// Greedy word wrap of one line into out (room for line.count + 1 lines): a line breaks at the last blank
// before the text passes maxWidth, and the blanks at a break are dropped. A word wider than the line stands
// alone on its line. Returns the number of lines.
size_t Wrap(const Writer& writer, const Cell* cells, const Line& whole, int maxWidth, Line* out) {
    const Cell* line = cells + whole.start;
    size_t produced = 0;
    size_t start = 0;
    size_t count = whole.count;
    while (true) {
        size_t end = count;
        size_t lastBlank = start;
        int x = 0;
        for (size_t i = start; i < count; ++i) {
            if (IsBreakSpace(line[i].ch))
                lastBlank = i;
            x += Advance(writer, line[i].ch, x);
            if (x <= maxWidth || i == start || IsBreakSpace(line[i].ch))
                continue;
            if (lastBlank > start) {
                end = lastBlank;
            } else {
                end = i;
                while (end < count && !IsBreakSpace(line[end].ch))
                    ++end;
            }
            break;
        }
        size_t last = end;
        while (last > start && IsBreakSpace(line[last - 1].ch) && end < count)
            --last;
        out[produced++] = Line{whole.start + start, last - start};
        if (end >= count)
            break;
        start = end;
        while (start < count && IsBreakSpace(line[start].ch))
            ++start;
        if (start >= count)
            break;
    }
    return produced;
}

} // namespace

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW metrics) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return FALSE;
    if (!metrics)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto font = FontOf(*dc);
    if (!font)
        return FALSE;
    *metrics = font->Metrics();
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return FALSE;
    if (!size || count < 0 || (count > 0 && !text))
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto font = FontOf(*dc);
    if (!font)
        return FALSE;
    Writer writer{*dc, *font};
    Buffer<Cell, kShortText> cells(static_cast<size_t>(count));
    size_t cellCount = Decode(text, static_cast<size_t>(count), cells.data());
    size->cx = Width(writer, cells.data(), cellCount);
    size->cy = font->Height();
    return TRUE;
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const int* dx) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return FALSE;
    if (count > 0 && !text)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto font = FontOf(*dc);
    if (!font)
        return FALSE;
    RECT surfaceRect{};
    if (rect)
        surfaceRect = dc->SurfaceRect(*rect);
    if ((options & ETO_OPAQUE) && rect)
        gdi::FillPixels(*dc->surface, dc->ClipRects(), surfaceRect,
                        gdi::ColorToPixel(dc->surface->format, dc->bkColor));
    if (count == 0)
        return TRUE;
    Writer writer{*dc, *font};
    Buffer<Cell, kShortText> cells(count);
    size_t cellCount = Decode(text, count, cells.data());
    // dx counts UTF-16 units; a surrogate pair takes the sum of its two.
    Buffer<int, kShortText> advances(dx ? count : 0);
    if (dx) {
        size_t n = 0;
        for (UINT i = 0; i < count; ++i) {
            bool pairTail = i > 0 && text[i] >= 0xDC00 && text[i] <= 0xDFFF && text[i - 1] >= 0xD800 &&
                            text[i - 1] <= 0xDBFF;
            if (pairTail)
                advances[n - 1] += dx[i];
            else
                advances[n++] = dx[i];
        }
        for (; n < cellCount; ++n)
            advances[n] = 0;
    }
    const RECT* limit = (options & ETO_CLIPPED) && rect ? &surfaceRect : nullptr;
    DrawCells(writer, dc->SurfaceX(x), dc->SurfaceY(y), cells.data(), cellCount, dx ? advances.data() : nullptr,
              limit);
    return TRUE;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
    if (count < 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    return ExtTextOutW(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    auto dc = gdi::FindDC(hdc);
    if (!dc)
        return 0;
    if (!rect || !text)
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    auto font = FontOf(*dc);
    if (!font)
        return 0;
    size_t length = count < 0 ? wcslen(text) : static_cast<size_t>(count);
    bool single = format & DT_SINGLELINE;
    Writer writer{*dc, *font};
    if (format & DT_EXPANDTABS)
        writer.tabWidth = std::max(1, 8 * static_cast<int>(font->Metrics().tmAveCharWidth));

    // The text's lines, then, with DT_WORDBREAK, the lines they wrap into: a text of n cells and m lines
    // wraps into at most n + m lines.
    Buffer<Cell, kShortText> cells(length);
    size_t cellCount = Decode(text, length, cells.data());
    Buffer<Line, 16> parts(cellCount + 1);
    size_t partCount = 0;
    cellCount = SplitLines(cells.data(), cellCount, single, parts.data(), partCount);
    bool wrap = (format & DT_WORDBREAK) && !single;
    Buffer<Line, 16> wrapped(wrap ? cellCount + partCount : 0);
    Line* lines = parts.data();
    size_t lineCount = partCount;
    int rectWidth = rect->right - rect->left;
    if (wrap) {
        lineCount = 0;
        for (size_t i = 0; i < partCount; ++i) {
            if (!(format & DT_NOPREFIX))
                ApplyPrefixes(cells.data(), parts[i]);
            lineCount += Wrap(writer, cells.data(), parts[i], rectWidth, wrapped.data() + lineCount);
        }
        lines = wrapped.data();
    } else if (!(format & DT_NOPREFIX)) {
        for (size_t i = 0; i < partCount; ++i)
            ApplyPrefixes(cells.data(), parts[i]);
    }

    int lineHeight = font->Height();
    int textHeight = lineHeight * static_cast<int>(lineCount);
    Buffer<int, 16> widths(lineCount);
    int widest = 0;
    for (size_t i = 0; i < lineCount; ++i) {
        widths[i] = Width(writer, cells.data() + lines[i].start, lines[i].count);
        widest = std::max(widest, widths[i]);
    }

    if (format & DT_CALCRECT) {
        rect->right = rect->left + widest;
        rect->bottom = rect->top + textHeight;
        return textHeight;
    }

    int top = rect->top;
    if (single && (format & DT_VCENTER))
        top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
    else if (single && (format & DT_BOTTOM))
        top = rect->bottom - lineHeight;

    RECT limit = dc->SurfaceRect(*rect);
    const RECT* clip = (format & DT_NOCLIP) ? nullptr : &limit;
    for (size_t i = 0; i < lineCount; ++i) {
        int left = rect->left;
        if (format & DT_CENTER)
            left = rect->left + (rectWidth - widths[i]) / 2;
        else if (format & DT_RIGHT)
            left = rect->right - widths[i];
        int lineTop = top + static_cast<int>(i) * lineHeight;
        DrawCells(writer, dc->SurfaceX(left), dc->SurfaceY(lineTop), cells.data() + lines[i].start, lines[i].count,
                  nullptr, clip);
    }
    if (single && (format & (DT_VCENTER | DT_BOTTOM)))
        return top - rect->top + textHeight;
    return textHeight;
}
