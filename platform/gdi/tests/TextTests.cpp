#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Canvas.h"
#include "gdi/Gdi.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"

namespace {

LOGFONTW MakeLogFont(const char16_t* face, LONG height, LONG weight = FW_NORMAL, bool italic = false) {
    LOGFONTW logFont{};
    logFont.lfHeight = height;
    logFont.lfWeight = weight;
    logFont.lfItalic = italic ? 1 : 0;
    std::u16string name(face);
    std::memcpy(logFont.lfFaceName, name.c_str(), (name.size() + 1) * sizeof(char16_t));
    return logFont;
}

// A canvas with a font selected, white, with red text.
class TextCanvas : public Canvas {
public:
    TextCanvas(int width, int height, const LOGFONTW& logFont, CanvasFormat format = CanvasFormat::Rgb565)
        : Canvas(width, height, format), m_font(CreateFontIndirectW(&logFont)) {
        m_previous = SelectObject(Dc(), m_font);
        Fill(kWhite);
        SetTextColor(Dc(), kRed);
        SetBkColor(Dc(), kBlue);
        SetBkMode(Dc(), TRANSPARENT);
    }
    ~TextCanvas() {
        SelectObject(Dc(), m_previous);
        DeleteObject(m_font);
    }
    SIZE Extent(const std::u16string& text) const {
        SIZE size{};
        EXPECT_TRUE(GetTextExtentPoint32W(Dc(), text.c_str(), static_cast<int>(text.size()), &size));
        return size;
    }
    TEXTMETRICW Metrics() const {
        TEXTMETRICW tm{};
        EXPECT_TRUE(GetTextMetricsW(Dc(), &tm));
        return tm;
    }
    RECT Ink() const {
        return BoundsOf([](COLORREF c) { return c == kRed; });
    }
    RECT Cell() const {
        return BoundsOf([](COLORREF c) { return c != kWhite; });
    }

private:
    HFONT m_font;
    HGDIOBJ m_previous;
};

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

struct FaceCase {
    const char* name;
    const char16_t* face;
    LONG weight;
    bool italic;
    const char* file;
};

class FontMappingTest : public ::testing::TestWithParam<FaceCase> {};

TEST_P(FontMappingTest, FaceMapsToItsFile) {
    const FaceCase& c = GetParam();
    LOGFONTW logFont = MakeLogFont(c.face, -12, c.weight, c.italic);
    HFONT font = CreateFontIndirectW(&logFont);
    EXPECT_EQ(gdi::FontFileOf(font).filename().string(), c.file);
    DeleteObject(font);
}

INSTANTIATE_TEST_SUITE_P(
    Faces, FontMappingTest,
    ::testing::Values(FaceCase{"Arial", u"Arial", FW_NORMAL, false, "LiberationSans-Regular.ttf"},
                      FaceCase{"ArialLowerCaseBold", u"arial", FW_BOLD, false, "LiberationSans-Bold.ttf"},
                      FaceCase{"ArialSemiBoldItalic", u"Arial", 600, true, "LiberationSans-BoldItalic.ttf"},
                      FaceCase{"ShellDlgItalic", u"MS Shell Dlg", FW_NORMAL, true,
                               "LiberationSans-Italic.ttf"},
                      FaceCase{"ShellDlgMedium", u"MS Shell Dlg", 500, false, "LiberationSans-Regular.ttf"},
                      FaceCase{"Tahoma", u"Tahoma", FW_NORMAL, false, "DejaVuSans.ttf"},
                      FaceCase{"TahomaBold", u"Tahoma", FW_BOLD, false, "DejaVuSans-Bold.ttf"},
                      FaceCase{"CourierNewItalic", u"Courier New", FW_NORMAL, true, "DejaVuSans-Oblique.ttf"},
                      FaceCase{"NoFace", u"", FW_DONTCARE, false, "DejaVuSans.ttf"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FontTest, PositiveHeightsAreCellsNegativeOnesCharacters) {
    for (const char16_t* face : {u"Arial", u"Tahoma"}) {
        TextCanvas cell(8, 8, MakeLogFont(face, 20));
        EXPECT_EQ(cell.Metrics().tmHeight, 20);
        TextCanvas character(8, 8, MakeLogFont(face, -20));
        TEXTMETRICW tm = character.Metrics();
        EXPECT_GT(tm.tmHeight, 20);
        EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 20);
        EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
        EXPECT_EQ(character.Extent(u"Hg").cy, tm.tmHeight);
        // The bold face is wider.
        TextCanvas bold(8, 8, MakeLogFont(face, -20, FW_BOLD));
        EXPECT_GT(bold.Extent(u"Mississippi").cx, character.Extent(u"Mississippi").cx);
    }
    // The system font of a new DC renders too.
    Canvas plain(8, 8);
    SIZE size{};
    EXPECT_TRUE(GetTextExtentPoint32W(plain.Dc(), u"abc", 3, &size));
    EXPECT_GT(size.cx, 0);
}

struct InkCase {
    const char* name;
    const char16_t* face;
    LONG weight;
    CanvasFormat format;
};

class TextInkTest : public ::testing::TestWithParam<InkCase> {};

// Drawn text lies inside the extent that the DC reports and is exactly the text colour.
TEST_P(TextInkTest, PixelsLieInsideTheExtentInTheTextColour) {
    const InkCase& c = GetParam();
    TextCanvas canvas(160, 40, MakeLogFont(c.face, -14, c.weight), c.format);
    const std::u16string text = u"Hello, World 42";
    ASSERT_TRUE(TextOutW(canvas.Dc(), 5, 7, text.c_str(), static_cast<int>(text.size())));
    SIZE extent = canvas.Extent(text);
    RECT box{5, 7, 5 + extent.cx, 7 + extent.cy};
    RECT ink = canvas.Ink();
    EXPECT_GT(ink.right - ink.left, extent.cx / 2);
    EXPECT_TRUE(Inside(ink, box)) << ink.left << "," << ink.top << "," << ink.right << "," << ink.bottom;
    // Monochrome glyphs: every pixel is either the background or the text colour.
    EXPECT_EQ(canvas.Count(kWhite) + canvas.Count(kRed), 160 * 40);
}

INSTANTIATE_TEST_SUITE_P(Fonts, TextInkTest,
                         ::testing::Values(InkCase{"Arial565", u"Arial", FW_NORMAL, CanvasFormat::Rgb565},
                                           InkCase{"ArialBold565", u"Arial", FW_BOLD, CanvasFormat::Rgb565},
                                           InkCase{"Tahoma565", u"Tahoma", FW_NORMAL, CanvasFormat::Rgb565},
                                           InkCase{"Arial24", u"Arial", FW_NORMAL, CanvasFormat::Bgr24}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextTest, OpaqueModeFillsTheCell) {
    TextCanvas canvas(120, 30, MakeLogFont(u"Arial", -12));
    SetBkMode(canvas.Dc(), OPAQUE);
    TextOutW(canvas.Dc(), 3, 4, u"Opaque", 6);
    SIZE extent = canvas.Extent(u"Opaque");
    RECT cell{3, 4, 3 + extent.cx, 4 + extent.cy};
    EXPECT_EQ(canvas.Cell(), cell);
    EXPECT_EQ(canvas.Count(kRed) + canvas.Count(kBlue), extent.cx * extent.cy);
    // ETO_OPAQUE fills the given rectangle, ETO_CLIPPED keeps the text inside it.
    canvas.Fill(kWhite);
    SetBkMode(canvas.Dc(), TRANSPARENT);
    RECT rect{10, 5, 30, 25};
    ExtTextOutW(canvas.Dc(), 0, 5, ETO_OPAQUE | ETO_CLIPPED, &rect, u"WWWWWWWW", 8, nullptr);
    EXPECT_EQ(canvas.Cell(), rect);
    EXPECT_GT(canvas.Count(kRed), 0);
}

TEST(TextTest, CentredTextIsCentredWithinAPixel) {
    TextCanvas canvas(200, 60, MakeLogFont(u"Arial", -13, FW_BOLD));
    SetBkMode(canvas.Dc(), OPAQUE);
    for (const char16_t* text : {u"Loading, please wait...", u"OK", u"i"}) {
        canvas.Fill(kWhite);
        RECT rect{7, 3, 190, 50};
        DrawTextW(canvas.Dc(), text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        RECT cell = canvas.Cell();
        int leftGap = cell.left - rect.left;
        int rightGap = rect.right - cell.right;
        int topGap = cell.top - rect.top;
        int bottomGap = rect.bottom - cell.bottom;
        EXPECT_LE(std::abs(leftGap - rightGap), 1) << std::u16string(text).size();
        EXPECT_LE(std::abs(topGap - bottomGap), 1);
        // Right-aligned and bottom-aligned text ends at the edges.
        canvas.Fill(kWhite);
        DrawTextW(canvas.Dc(), text, -1, &rect, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
        cell = canvas.Cell();
        EXPECT_EQ(cell.right, rect.right);
        EXPECT_EQ(cell.bottom, rect.bottom);
    }
}

struct CalcCase {
    const char* name;
    const char16_t* text;
    UINT format;
    int width;
};

class CalcRectTest : public ::testing::TestWithParam<CalcCase> {};

// The rectangle that DT_CALCRECT reports is the one that drawing fills.
TEST_P(CalcRectTest, AgreesWithDrawing) {
    const CalcCase& c = GetParam();
    TextCanvas canvas(220, 120, MakeLogFont(u"Arial", -12));
    SetBkMode(canvas.Dc(), OPAQUE);
    RECT calc{4, 6, 4 + c.width, 6};
    int height = DrawTextW(canvas.Dc(), c.text, -1, &calc, c.format | DT_CALCRECT);
    EXPECT_EQ(height, calc.bottom - calc.top);
    EXPECT_EQ(canvas.Cell(), (RECT{0, 0, 0, 0})) << "DT_CALCRECT draws nothing";
    RECT draw{4, 6, 4 + c.width, 110};
    EXPECT_EQ(DrawTextW(canvas.Dc(), c.text, -1, &draw, c.format), height);
    RECT cell = canvas.Cell();
    EXPECT_EQ(cell.left, calc.left);
    EXPECT_EQ(cell.top, calc.top);
    EXPECT_EQ(cell.right, calc.right);
    EXPECT_EQ(cell.bottom, calc.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CalcRectTest,
    ::testing::Values(CalcCase{"SingleLine", u"Container size", DT_SINGLELINE, 200},
                      CalcCase{"Lines", u"first\nsecond line\r\nthird", 0, 200},
                      CalcCase{"WordBreak", u"the quick brown fox jumps over the lazy dog", DT_WORDBREAK, 90},
                      CalcCase{"Prefix", u"&Open && close", DT_SINGLELINE, 200},
                      CalcCase{"Tabs", u"a\tb\tc", DT_SINGLELINE | DT_EXPANDTABS, 200}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DrawTextTest, LinesBreakAtNewlinesAndBetweenWords) {
    TextCanvas canvas(10, 10, MakeLogFont(u"Arial", -12));
    int line = canvas.Metrics().tmHeight;
    RECT rect{0, 0, 500, 0};
    EXPECT_EQ(DrawTextW(canvas.Dc(), u"a\nb\r\nc\rd", -1, &rect, DT_CALCRECT), 4 * line);
    rect = RECT{0, 0, 500, 0};
    EXPECT_EQ(DrawTextW(canvas.Dc(), u"a\nb\r\nc", -1, &rect, DT_CALCRECT | DT_SINGLELINE), line);
    EXPECT_EQ(rect.right, canvas.Extent(u"abc").cx);

    // "one two" fits exactly; "three four" does not, so it breaks again.
    int width = canvas.Extent(u"one two").cx;
    rect = RECT{0, 0, width, 0};
    EXPECT_EQ(DrawTextW(canvas.Dc(), u"one two three four", -1, &rect, DT_CALCRECT | DT_WORDBREAK), 3 * line);
    EXPECT_EQ(rect.right, width);
    // A word longer than the line stands alone and widens the rectangle.
    rect = RECT{0, 0, 10, 0};
    EXPECT_EQ(DrawTextW(canvas.Dc(), u"a unbreakable b", -1, &rect, DT_CALCRECT | DT_WORDBREAK), 3 * line);
    EXPECT_EQ(rect.right, canvas.Extent(u"unbreakable").cx);
}

TEST(DrawTextTest, VerticalAlignmentNeedsASingleLine) {
    TextCanvas canvas(100, 60, MakeLogFont(u"Arial", -12));
    SetBkMode(canvas.Dc(), OPAQUE);
    RECT rect{0, 0, 100, 60};
    int line = canvas.Metrics().tmHeight;
    EXPECT_EQ(DrawTextW(canvas.Dc(), u"top", -1, &rect, DT_VCENTER), line);
    EXPECT_EQ(canvas.Cell().top, 0);
    canvas.Fill(kWhite);
    int bottom = DrawTextW(canvas.Dc(), u"middle", -1, &rect, DT_VCENTER | DT_SINGLELINE);
    EXPECT_EQ(canvas.Cell().top, (60 - line) / 2);
    EXPECT_EQ(bottom, (60 - line) / 2 + line);
}

TEST(DrawTextTest, PrefixesUnderlineTheirCharacter) {
    TextCanvas canvas(100, 30, MakeLogFont(u"Arial", -14));
    RECT rect{0, 0, 100, 30};
    RECT calc = rect;
    DrawTextW(canvas.Dc(), u"&File", -1, &calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(calc.right, canvas.Extent(u"File").cx);
    calc = rect;
    DrawTextW(canvas.Dc(), u"&File", -1, &calc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(calc.right, canvas.Extent(u"&File").cx);
    calc = rect;
    DrawTextW(canvas.Dc(), u"a&&b", -1, &calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(calc.right, canvas.Extent(u"a&b").cx);

    // The underline runs under the F only, below the baseline.
    DrawTextW(canvas.Dc(), u"&File", -1, &rect, DT_SINGLELINE);
    TEXTMETRICW tm = canvas.Metrics();
    int fWidth = canvas.Extent(u"F").cx;
    bool underlined = false;
    for (int y = tm.tmAscent + 1; y < tm.tmHeight && !underlined; ++y) {
        int run = 0;
        for (int x = 0; x < fWidth; ++x)
            run += canvas.At(x, y) == kRed;
        bool beyond = false;
        for (int x = fWidth + 1; x < 100; ++x)
            beyond |= canvas.At(x, y) == kRed;
        underlined = run == fWidth && !beyond;
    }
    EXPECT_TRUE(underlined);
}

TEST(DrawTextTest, TextOutsideTheRectangleIsClippedUnlessAsked) {
    TextCanvas canvas(200, 30, MakeLogFont(u"Arial", -14));
    RECT rect{0, 0, 20, 30};
    DrawTextW(canvas.Dc(), u"WWWWWWWWWW", -1, &rect, DT_SINGLELINE);
    EXPECT_LE(canvas.Ink().right, 20);
    canvas.Fill(kWhite);
    DrawTextW(canvas.Dc(), u"WWWWWWWWWW", -1, &rect, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(canvas.Ink().right, 20);
}

TEST(TextTest, TextPartlyOffTheBitmapIsCut) {
    TextCanvas canvas(30, 12, MakeLogFont(u"Arial", -16, FW_BOLD));
    TextOutW(canvas.Dc(), -7, -5, u"WMW", 3);
    TextOutW(canvas.Dc(), 20, 4, u"WMW", 3);
    // Ink reaches the edges (within the glyphs' own gaps) and nothing is drawn outside.
    RECT ink = canvas.Ink();
    EXPECT_LE(ink.left, 1);
    EXPECT_EQ(ink.top, 0);
    EXPECT_GE(ink.right, 29);
    EXPECT_EQ(ink.bottom, 12);
}

TEST(TextTest, ArgumentErrors) {
    TextCanvas canvas(10, 10, MakeLogFont(u"Arial", -12));
    SIZE size{};
    EXPECT_FALSE(GetTextExtentPoint32W(canvas.Dc(), u"a", -1, &size));
    EXPECT_FALSE(GetTextExtentPoint32W(canvas.Dc(), nullptr, 2, &size));
    EXPECT_TRUE(GetTextExtentPoint32W(canvas.Dc(), nullptr, 0, &size));
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(DrawTextW(canvas.Dc(), u"a", 1, nullptr, 0), 0);
    EXPECT_EQ(DrawTextW(canvas.Dc(), nullptr, 1, nullptr, 0), 0);
    EXPECT_FALSE(TextOutW(canvas.Dc(), 0, 0, u"a", -1));
    EXPECT_FALSE(GetTextMetricsW(canvas.Dc(), nullptr));
}

} // namespace
