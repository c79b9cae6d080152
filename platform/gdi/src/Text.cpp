// Text output: ExtTextOutW, TextOutW, DrawTextW, and the measuring calls.

#include <algorithm>
#include <string>
#include <vector>

#include "DeviceContext.h"
#include "Fonts.h"
#include "Raster.h"
#include "crt/WideString.h"
#include "kernel/Errors.h"

namespace {

using gdi::DeviceContext;
using gdi::RealizedFont;

struct Cell {
    char32_t ch;
    bool underline;
};
using Line = std::vector<Cell>;

// The parts of a DC that text drawing takes.
struct Writer {
    DeviceContext& dc;
    RealizedFont& font;
    int tabWidth = 0; // 0: tabs are ordinary characters
};

std::shared_ptr<RealizedFont> FontOf(DeviceContext& dc) {
    auto font = dc.font->Realized();
    if (!font)
        SetLastError(ERROR_FILE_NOT_FOUND);
    return font;
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

int Width(const Writer& writer, const Line& line) {
    return Width(writer, line.data(), line.size());
}

std::vector<RECT> Clipped(const std::vector<RECT>& clip, const RECT* limit) {
    if (!limit)
        return clip;
    std::vector<RECT> result;
    for (const RECT& rect : clip) {
        RECT part;
        if (gdi::Intersect(rect, *limit, part))
            result.push_back(part);
    }
    return result;
}

// Draws cells with the top left of their cell at (x, top), in surface coordinates. dx, when given, holds
// each cell's advance.
void DrawCells(const Writer& writer, int x, int top, const Cell* cells, size_t count, const int* dx,
               const RECT* limit) {
    DeviceContext& dc = writer.dc;
    RealizedFont& font = writer.font;
    std::vector<RECT> clip = Clipped(dc.ClipRects(), limit);
    if (clip.empty())
        return;
    gdi::BitmapObject& surface = *dc.surface;
    // Each glyph is looked up once; tabs that expand have none.
    std::vector<const gdi::Glyph*> glyphs(count, nullptr);
    std::vector<int> advances(count);
    int width = 0;
    for (size_t i = 0; i < count; ++i) {
        bool expands = writer.tabWidth > 0 && cells[i].ch == U'\t';
        if (!expands)
            glyphs[i] = &font.GlyphFor(cells[i].ch);
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

Line CellsOf(const std::u32string& text) {
    Line line;
    line.reserve(text.size());
    for (char32_t ch : text)
        line.push_back(Cell{ch, false});
    return line;
}

// Splits text into lines at CR LF, LF or CR; with single, CR and LF are dropped instead.
std::vector<std::u32string> SplitLines(const std::u32string& text, bool single) {
    std::vector<std::u32string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t ch = text[i];
        if (ch != U'\r' && ch != U'\n') {
            lines.back().push_back(ch);
            continue;
        }
        if (single)
            continue;
        if (ch == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
            ++i;
        lines.emplace_back();
    }
    return lines;
}

// "&x" underlines x, "&&" is "&", a last lone "&" is dropped.
Line ApplyPrefixes(const std::u32string& text) {
    Line line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != U'&') {
            line.push_back(Cell{text[i], false});
            continue;
        }
        if (i + 1 >= text.size())
            break;
        ++i;
        line.push_back(Cell{text[i], text[i] != U'&'});
    }
    return line;
}

bool IsBreakSpace(char32_t ch) {
    return ch == U' ' || ch == U'\t';
}

// Greedy word wrap: a line breaks at the last blank before the text passes maxWidth, and the blanks at a
// break are dropped. A word wider than the line stands alone on its line.
std::vector<Line> Wrap(const Writer& writer, const Line& line, int maxWidth) {
    std::vector<Line> lines;
    size_t start = 0;
    size_t count = line.size();
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
        lines.emplace_back(line.begin() + static_cast<ptrdiff_t>(start),
                           line.begin() + static_cast<ptrdiff_t>(last));
        if (end >= count)
            break;
        start = end;
        while (start < count && IsBreakSpace(line[start].ch))
            ++start;
        if (start >= count)
            break;
    }
    return lines;
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
    Line line = CellsOf(gdi::DecodeUtf16(text, static_cast<size_t>(count)));
    size->cx = Width(writer, line);
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
    std::u32string decoded = gdi::DecodeUtf16(text, count);
    Line line = CellsOf(decoded);
    // dx counts UTF-16 units; a surrogate pair takes the sum of its two.
    std::vector<int> advances;
    if (dx) {
        for (UINT i = 0; i < count; ++i) {
            bool pairTail = i > 0 && text[i] >= 0xDC00 && text[i] <= 0xDFFF && text[i - 1] >= 0xD800 &&
                            text[i - 1] <= 0xDBFF;
            if (pairTail)
                advances.back() += dx[i];
            else
                advances.push_back(dx[i]);
        }
        advances.resize(line.size(), 0);
    }
    const RECT* limit = (options & ETO_CLIPPED) && rect ? &surfaceRect : nullptr;
    DrawCells(writer, dc->SurfaceX(x), dc->SurfaceY(y), line.data(), line.size(),
              dx ? advances.data() : nullptr, limit);
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

    std::vector<Line> lines;
    int rectWidth = rect->right - rect->left;
    for (const std::u32string& part : SplitLines(gdi::DecodeUtf16(text, length), single)) {
        Line line = (format & DT_NOPREFIX) ? CellsOf(part) : ApplyPrefixes(part);
        if ((format & DT_WORDBREAK) && !single) {
            for (Line& wrapped : Wrap(writer, line, rectWidth))
                lines.push_back(std::move(wrapped));
        } else {
            lines.push_back(std::move(line));
        }
    }

    int lineHeight = font->Height();
    int textHeight = lineHeight * static_cast<int>(lines.size());
    std::vector<int> widths;
    int widest = 0;
    for (const Line& line : lines) {
        widths.push_back(Width(writer, line));
        widest = std::max(widest, widths.back());
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
    for (size_t i = 0; i < lines.size(); ++i) {
        int left = rect->left;
        if (format & DT_CENTER)
            left = rect->left + (rectWidth - widths[i]) / 2;
        else if (format & DT_RIGHT)
            left = rect->right - widths[i];
        int lineTop = top + static_cast<int>(i) * lineHeight;
        DrawCells(writer, dc->SurfaceX(left), dc->SurfaceY(lineTop), lines[i].data(), lines[i].size(),
                  nullptr, clip);
    }
    if (single && (format & (DT_VCENTER | DT_BOTTOM)))
        return top - rect->top + textHeight;
    return textHeight;
}
