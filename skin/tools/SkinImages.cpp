// Draws the installation's skin images and writes them as PNG files into the folder named on the command
// line: the form backgrounds, the button and check box strips, the pictures of the message box, the
// password dialog and the about box, and the splash image.
//
// Shapes are drawn here with sub-pixel coverage. Text goes through the platform's GDI at three times its
// size and is averaged down, so labels come out smooth although the platform draws glyphs without
// anti-aliasing. A strip that sits over a known colour is drawn over that colour and then given an alpha
// channel that is either 0 or 255: the toolkit turns alpha into an AND mask, which only blends cleanly
// for those two values, so the soft edges are blended into the known colour instead.

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "gdi/Gdi.h"

namespace {

struct Colour {
    uint8_t r;
    uint8_t g;
    uint8_t b;
};

constexpr Colour Hex(uint32_t rgb) {
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb)};
}

// The palette. Colours here are 0xRRGGBB; the skin files give the same ones as 0x00BBGGRR.
constexpr Colour kWhite = Hex(0xFFFFFF);
constexpr Colour kPage = Hex(0xF3F6F9);
constexpr Colour kFooter = Hex(0xE1E8EE);
constexpr Colour kLine = Hex(0xC5D0DA);
constexpr Colour kAccent = Hex(0x1F6F8B);
constexpr Colour kAccentTop = Hex(0x2C86A6);
constexpr Colour kAccentDark = Hex(0x15506A);
constexpr Colour kAccentDeep = Hex(0x0F3D51);
constexpr Colour kAccentLight = Hex(0xD3E6EE);
constexpr Colour kAccentPale = Hex(0xCFE3EC);
constexpr Colour kGold = Hex(0xE0A526);
constexpr Colour kMuted = Hex(0x5D6D7E);

// Layout facts the skin files rely on.
constexpr int kFormWidth = 240;
constexpr int kLargeHeight = 294;
constexpr int kSmallHeight = 214;
constexpr int kLargeFooterTop = 258;
constexpr int kSmallFooterTop = 186;
constexpr int kMessageWidth = 200;
constexpr int kMessageHeight = 140;
constexpr int kMessageFooterTop = 104;
constexpr int kAmountWidth = 210;
constexpr int kAmountHeight = 162;
constexpr int kAmountFooterTop = 126;
constexpr int kBandHeight = 24;
constexpr int kAboutWidth = 196;
constexpr int kAboutHeight = 112;
constexpr int kAboutFooterTop = 88;
constexpr int kSplashWidth = 200;
constexpr int kSplashHeight = 120;
constexpr int kSplashStripTop = 101;

// An RGB image with coverage-based drawing. Colour channels are 0..255, alpha 0..1.
class Image {
public:
    // A transparent image starts as the colour it will be shown over, with alpha 0.
    Image(int width, int height, Colour under, bool transparent)
        : m_width(width), m_height(height), m_transparent(transparent),
          m_pixels(static_cast<size_t>(width) * static_cast<size_t>(height),
                   Pixel{float(under.r), float(under.g), float(under.b), transparent ? 0.0f : 1.0f}) {}

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Transparent() const { return m_transparent; }

    void Blend(int x, int y, Colour colour, float coverage) {
        if (x < 0 || y < 0 || x >= m_width || y >= m_height || coverage <= 0.0f)
            return;
        coverage = std::min(coverage, 1.0f);
        Pixel& p = At(x, y);
        p.r += (float(colour.r) - p.r) * coverage;
        p.g += (float(colour.g) - p.g) * coverage;
        p.b += (float(colour.b) - p.b) * coverage;
        p.a += (1.0f - p.a) * coverage;
    }

    // Fills what inside(x, y) holds for, sampled 4 x 4 per pixel within the box (x, y, w, h); the colour
    // may vary over the image.
    void Shape(float x, float y, float w, float h, const std::function<bool(float, float)>& inside,
               const std::function<Colour(float, float)>& colour) {
        constexpr int kSamples = 4;
        const int left = std::max(0, int(std::floor(x)));
        const int top = std::max(0, int(std::floor(y)));
        const int right = std::min(m_width, int(std::ceil(x + w)));
        const int bottom = std::min(m_height, int(std::ceil(y + h)));
        for (int py = top; py < bottom; ++py)
            for (int px = left; px < right; ++px) {
                int hits = 0;
                for (int sy = 0; sy < kSamples; ++sy)
                    for (int sx = 0; sx < kSamples; ++sx)
                        hits += inside(px + (sx + 0.5f) / kSamples, py + (sy + 0.5f) / kSamples);
                if (hits > 0)
                    Blend(px, py, colour(px + 0.5f, py + 0.5f), float(hits) / (kSamples * kSamples));
            }
    }
    void Shape(float x, float y, float w, float h, const std::function<bool(float, float)>& inside,
               Colour colour) {
        Shape(x, y, w, h, inside, [colour](float, float) { return colour; });
    }

    void Fill(int x, int y, int w, int h, Colour colour) {
        for (int py = y; py < y + h; ++py)
            for (int px = x; px < x + w; ++px)
                Blend(px, py, colour, 1.0f);
    }

    // RGBA rows, alpha 0 or 255.
    std::vector<uint8_t> Rgba() const {
        std::vector<uint8_t> bytes;
        bytes.reserve(m_pixels.size() * 4);
        for (const Pixel& p : m_pixels) {
            const bool shown = p.a >= 0.5f;
            bytes.push_back(shown ? Channel(p.r) : 0);
            bytes.push_back(shown ? Channel(p.g) : 0);
            bytes.push_back(shown ? Channel(p.b) : 0);
            bytes.push_back(shown ? 255 : 0);
        }
        return bytes;
    }
    std::vector<uint8_t> Rgb() const {
        std::vector<uint8_t> bytes;
        bytes.reserve(m_pixels.size() * 3);
        for (const Pixel& p : m_pixels) {
            bytes.push_back(Channel(p.r));
            bytes.push_back(Channel(p.g));
            bytes.push_back(Channel(p.b));
        }
        return bytes;
    }

private:
    struct Pixel {
        float r;
        float g;
        float b;
        float a;
    };
    Pixel& At(int x, int y) { return m_pixels[static_cast<size_t>(y) * static_cast<size_t>(m_width) + x]; }
    static uint8_t Channel(float value) {
        return static_cast<uint8_t>(std::clamp(value + 0.5f, 0.0f, 255.0f));
    }

    int m_width;
    int m_height;
    bool m_transparent;
    std::vector<Pixel> m_pixels;
};

// ---- Shapes
// ------------------------------------------------------------------------------------------------

std::function<bool(float, float)> RoundRect(float x, float y, float w, float h, float radius) {
    return [=](float px, float py) {
        if (px < x || py < y || px > x + w || py > y + h)
            return false;
        const float cx = std::clamp(px, x + radius, x + w - radius);
        const float cy = std::clamp(py, y + radius, y + h - radius);
        return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= radius * radius;
    };
}

std::function<bool(float, float)> Circle(float cx, float cy, float radius) {
    return
        [=](float px, float py) { return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= radius * radius; };
}

// A stroke of halfWidth on each side of the segment, with round ends.
std::function<bool(float, float)> Stroke(float x0, float y0, float x1, float y1, float halfWidth) {
    return [=](float px, float py) {
        const float dx = x1 - x0;
        const float dy = y1 - y0;
        const float length = dx * dx + dy * dy;
        const float t =
            length > 0 ? std::clamp(((px - x0) * dx + (py - y0) * dy) / length, 0.0f, 1.0f) : 0.0f;
        const float ex = x0 + t * dx - px;
        const float ey = y0 + t * dy - py;
        return ex * ex + ey * ey <= halfWidth * halfWidth;
    };
}

// Even-odd fill of a closed polygon.
std::function<bool(float, float)> Polygon(std::vector<std::pair<float, float>> points) {
    return [points = std::move(points)](float px, float py) {
        bool inside = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const auto [xi, yi] = points[i];
            const auto [xj, yj] = points[j];
            if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi)
                inside = !inside;
        }
        return inside;
    };
}

Colour Mix(Colour a, Colour b, float t) {
    auto channel = [t](uint8_t from, uint8_t to) {
        return static_cast<uint8_t>(std::lround(from + (to - from) * std::clamp(t, 0.0f, 1.0f)));
    };
    return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

std::function<Colour(float, float)> VerticalGradient(float top, float height, Colour from, Colour to) {
    return [=](float, float py) { return Mix(from, to, (py - top) / height); };
}

// ---- Text through GDI
// --------------------------------------------------------------------------------------

struct Font {
    const char16_t* face;
    int size; // character height in pixels
    bool bold;
};

constexpr Font kLabelFont{u"Arial", 12, true};

// Draws the text into the box as DrawTextW places it with the format, rendered at three times the size
// and averaged down to coverage.
void Text(Image& image, RECT box, const std::u16string& text, const Font& font, Colour colour, UINT format) {
    constexpr int kScale = 3;
    const int width = (box.right - box.left) * kScale;
    const int height = (box.bottom - box.top) * kScale;
    if (width <= 0 || height <= 0)
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    LOGFONTW logFont{};
    logFont.lfHeight = -font.size * kScale;
    logFont.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    std::char_traits<char16_t>::copy(
        logFont.lfFaceName, font.face,
        std::min<size_t>(std::char_traits<char16_t>::length(font.face), LF_FACESIZE - 1));
    HFONT gdiFont = CreateFontIndirectW(&logFont);
    if (dc == nullptr || bitmap == nullptr || bits == nullptr || gdiFont == nullptr) {
        std::fprintf(stderr, "SkinImages: cannot draw text\n");
        std::exit(1);
    }
    HGDIOBJ previousBitmap = SelectObject(dc, bitmap);
    HGDIOBJ previousFont = SelectObject(dc, gdiFont);
    RECT all{0, 0, width, height};
    HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
    FillRect(dc, &all, black);
    DeleteObject(black);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &all, format | DT_NOPREFIX);

    const auto* rows = static_cast<const uint8_t*>(bits);
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    for (int y = 0; y < height / kScale; ++y)
        for (int x = 0; x < width / kScale; ++x) {
            int sum = 0;
            for (int sy = 0; sy < kScale; ++sy)
                for (int sx = 0; sx < kScale; ++sx)
                    sum += rows[static_cast<size_t>(y * kScale + sy) * stride +
                                static_cast<size_t>(x * kScale + sx) * 3 + 1];
            image.Blend(box.left + x, box.top + y, colour, float(sum) / (255.0f * kScale * kScale));
        }
    SelectObject(dc, previousFont);
    SelectObject(dc, previousBitmap);
    DeleteObject(gdiFont);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

constexpr UINT kCentred = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr UINT kLeft = DT_LEFT | DT_VCENTER | DT_SINGLELINE;

// ---- PNG
// ---------------------------------------------------------------------------------------------------

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// Format notes: a chunk is its data length, a four-letter type, the data and a CRC-32 over type and data.
void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutU32(out, static_cast<uint32_t>(data.size()));
    const size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutU32(out, static_cast<uint32_t>(
                    crc32(0L, out.data() + typeStart, static_cast<uInt>(out.size() - typeStart))));
}

// An 8-bit RGBA image (colour type 6) when it is transparent, else RGB (colour type 2).
void WritePng(const std::filesystem::path& file, const Image& image) {
    const bool alpha = image.Transparent();
    const std::vector<uint8_t> pixels = alpha ? image.Rgba() : image.Rgb();
    const size_t rowBytes = static_cast<size_t>(image.Width()) * (alpha ? 4 : 3);
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * static_cast<size_t>(image.Height()));
    for (int y = 0; y < image.Height(); ++y) {
        raw.push_back(0); // filter type 0 (none)
        const auto row = pixels.begin() + static_cast<ptrdiff_t>(rowBytes * static_cast<size_t>(y));
        raw.insert(raw.end(), row, row + static_cast<ptrdiff_t>(rowBytes));
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
        std::fprintf(stderr, "SkinImages: cannot compress %s\n", file.c_str());
        std::exit(1);
    }
    packed.resize(packedSize);

    std::vector<uint8_t> header;
    PutU32(header, static_cast<uint32_t>(image.Width()));
    PutU32(header, static_cast<uint32_t>(image.Height()));
    header.insert(header.end(), {8, static_cast<uint8_t>(alpha ? 6 : 2), 0, 0, 0});
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", {});

    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!stream) {
        std::fprintf(stderr, "SkinImages: cannot write %s\n", file.c_str());
        std::exit(1);
    }
}

// ---- Buttons and check boxes
// -------------------------------------------------------------------------------

enum class ButtonStyle { Primary, Secondary };
enum class ButtonState { Normal, Pressed, Disabled };

struct ButtonLook {
    Colour border;
    Colour fillTop;
    Colour fillBottom;
    Colour label;
};

ButtonLook LookOf(ButtonStyle style, ButtonState state) {
    if (style == ButtonStyle::Primary) {
        switch (state) {
        case ButtonState::Normal:
            return {kAccentDark, kAccentTop, kAccent, kWhite};
        case ButtonState::Pressed:
            return {kAccentDeep, kAccentDark, kAccentDark, kWhite};
        case ButtonState::Disabled:
            return {Hex(0xB4BEC8), Hex(0xC9D2DA), Hex(0xC9D2DA), Hex(0xF5F7F9)};
        }
    }
    switch (state) {
    case ButtonState::Normal:
        return {Hex(0xAEBBC7), kWhite, Hex(0xEDF1F5), kAccentDark};
    case ButtonState::Pressed:
        return {kAccent, kAccentLight, kAccentLight, kAccentDark};
    case ButtonState::Disabled:
        break;
    }
    return {Hex(0xD3DAE0), Hex(0xEEF1F4), Hex(0xEEF1F4), Hex(0xA7B2BC)};
}

// A strip of normal, pressed and disabled frames of a rounded button with its label.
Image ButtonStrip(int width, int height, const std::u16string& label, ButtonStyle style, Colour under) {
    Image image(width * 3, height, under, true);
    const float radius = height >= 24 ? 5.0f : 4.0f;
    const ButtonState states[] = {ButtonState::Normal, ButtonState::Pressed, ButtonState::Disabled};
    for (int frame = 0; frame < 3; ++frame) {
        const ButtonLook look = LookOf(style, states[frame]);
        const float x = float(frame * width);
        image.Shape(x, 0, float(width), float(height), RoundRect(x, 0, float(width), float(height), radius),
                    look.border);
        image.Shape(x + 1, 1, float(width - 2), float(height - 2),
                    RoundRect(x + 1, 1, float(width - 2), float(height - 2), radius - 1),
                    VerticalGradient(1, float(height - 2), look.fillTop, look.fillBottom));
        // The pressed label sinks by a pixel.
        const int shift = states[frame] == ButtonState::Pressed ? 1 : 0;
        const RECT box{frame * width + 2 + shift, 1 + shift, (frame + 1) * width - 2 + shift,
                       height - 1 + shift};
        Text(image, box, label, kLabelFont, look.label, kCentred);
    }
    return image;
}

// Six 16 x 16 frames: unchecked, checked and pressed, each enabled and disabled.
Image CheckStrip(Colour under) {
    constexpr int kSize = 16;
    Image image(kSize * 6, kSize, under, true);
    struct Look {
        Colour border;
        Colour fill;
        bool tick;
    };
    const Look looks[] = {
        {Hex(0x7D8E9C), kWhite, false}, {Hex(0xC5CED6), Hex(0xEEF1F4), false},
        {kAccentDark, kAccent, true},   {Hex(0xB4BEC8), Hex(0xC9D2DA), true},
        {kAccent, kAccentLight, false}, {Hex(0xC5CED6), Hex(0xE1E6EA), false},
    };
    for (int frame = 0; frame < 6; ++frame) {
        const float x = float(frame * kSize);
        const Look& look = looks[frame];
        image.Shape(x + 1, 1, 14, 14, RoundRect(x + 1, 1, 14, 14, 3), look.border);
        image.Shape(x + 2, 2, 12, 12, RoundRect(x + 2, 2, 12, 12, 2), look.fill);
        if (look.tick) {
            image.Shape(x, 0, kSize, kSize, Stroke(x + 4.5f, 8.5f, x + 7, 11, 1.2f), kWhite);
            image.Shape(x, 0, kSize, kSize, Stroke(x + 7, 11, x + 11.5f, 5, 1.2f), kWhite);
        }
    }
    return image;
}

// ---- Pictures
// ----------------------------------------------------------------------------------------------

// The program's mark: a folder with a padlock on it, in a 40 x 40 box at (x, y) scaled by scale.
void Logo(Image& image, float x, float y, float scale, Colour folder, Colour lock, Colour keyhole) {
    auto at = [&](float v) { return v * scale; };
    image.Shape(x, y, at(40), at(40), RoundRect(x + at(3), y + at(6), at(15), at(8), at(2)), folder);
    image.Shape(x, y, at(40), at(40), RoundRect(x + at(3), y + at(10), at(34), at(25), at(3)), folder);
    const float cx = x + at(20);
    const float cy = y + at(20);
    auto shackle = [=](float px, float py) {
        const float d = (px - cx) * (px - cx) + (py - cy) * (py - cy);
        return py <= cy + at(1) && d <= at(5.5f) * at(5.5f) && d >= at(3.2f) * at(3.2f);
    };
    auto sides = [=](float px, float py) {
        return py > cy && py < cy + at(3) &&
               ((px >= cx - at(5.5f) && px <= cx - at(3.2f)) || (px >= cx + at(3.2f) && px <= cx + at(5.5f)));
    };
    image.Shape(x, y, at(40), at(40), shackle, lock);
    image.Shape(x, y, at(40), at(40), sides, lock);
    image.Shape(x, y, at(40), at(40), RoundRect(cx - at(7.5f), cy + at(2), at(15), at(11), at(2)), lock);
    image.Shape(x, y, at(40), at(40), Circle(cx, cy + at(6.5f), at(1.7f)), keyhole);
    image.Shape(x, y, at(40), at(40), Stroke(cx, cy + at(7), cx, cy + at(10), at(0.8f)), keyhole);
}

Image LogoStrip() {
    constexpr int kSize = 40;
    Image image(kSize * 3, kSize, kWhite, true);
    Logo(image, 0, 0, 1, kAccent, kWhite, kAccent);
    Logo(image, kSize, 0, 1, kAccentDeep, kAccentLight, kAccentDeep);
    Logo(image, 2 * kSize, 0, 1, Hex(0xC9D2DA), kWhite, Hex(0xC9D2DA));
    return image;
}

Image Star() {
    constexpr int kSize = 16;
    Image image(kSize, kSize, kPage, true);
    std::vector<std::pair<float, float>> points;
    for (int i = 0; i < 10; ++i) {
        const float radius = i % 2 == 0 ? 7.5f : 3.2f;
        const float angle = float(-M_PI / 2 + i * M_PI / 5);
        points.emplace_back(8 + radius * std::cos(angle), 8.3f + radius * std::sin(angle));
    }
    image.Shape(0, 0, kSize, kSize, Polygon(std::move(points)), kGold);
    return image;
}

// The round "i" badge on the message box's title band: normal, pressed, disabled.
Image InfoBadge() {
    constexpr int kSize = 20;
    Image image(kSize * 3, kSize, kAccent, true);
    const Colour discs[] = {kWhite, kAccentLight, Hex(0x9FB7C3)};
    for (int frame = 0; frame < 3; ++frame) {
        const float cx = float(frame * kSize) + 10;
        image.Shape(cx - 10, 0, kSize, kSize, Circle(cx, 10, 8), discs[frame]);
        image.Shape(cx - 10, 0, kSize, kSize, Circle(cx, 6, 1.4f), kAccent);
        image.Shape(cx - 10, 0, kSize, kSize, Stroke(cx, 9, cx, 14, 1.2f), kAccent);
    }
    return image;
}

// A page: the form colour, a thin accent line on top and a footer band for the bottom buttons.
Image FormBackground(int height, int footerTop) {
    Image image(kFormWidth, height, kPage, false);
    image.Fill(0, 0, kFormWidth, 3, kAccent);
    image.Fill(0, footerTop, kFormWidth, height - footerTop, kFooter);
    image.Fill(0, footerTop, kFormWidth, 1, kLine);
    return image;
}

// A small box: a title band with the program's name, a white body and a footer band for the buttons.
Image BoxBackground(int width, int height, int footerTop, const std::u16string& title, int titleLeft) {
    Image image(width, height, kWhite, false);
    image.Fill(0, 0, width, kBandHeight, kAccent);
    Text(image, RECT{titleLeft, 0, width - 6, kBandHeight}, title, kLabelFont, kWhite, kLeft);
    image.Fill(0, footerTop, width, height - footerTop, kFooter);
    image.Fill(0, footerTop, width, 1, kLine);
    return image;
}

// The about box's texts are part of its picture, not labels: a tap on a label would not reach the box,
// and every tap on the box closes it.
Image AboutBackground() {
    Image image(kAboutWidth, kAboutHeight, kWhite, false);
    Text(image, RECT{60, 22, 192, 46}, u"Ferrovane", Font{u"Arial", 18, true}, kAccent, kLeft);
    Text(image, RECT{60, 46, 192, 64}, u"Encrypted folders", Font{u"Arial", 12, false}, kMuted, kLeft);
    image.Fill(0, kAboutFooterTop, kAboutWidth, kAboutHeight - kAboutFooterTop, kPage);
    image.Fill(0, kAboutFooterTop, kAboutWidth, 1, kFooter);
    Text(image, RECT{0, kAboutFooterTop + 1, kAboutWidth, kAboutHeight}, u"Tap anywhere to close",
         Font{u"Arial", 11, false}, kMuted, kCentred);
    return image;
}

// The splash: the mark and the name over an accent gradient, and a light strip at the bottom for the
// black status line that the program draws there.
Image Splash() {
    Image image(kSplashWidth, kSplashHeight, kWhite, false);
    image.Shape(0, 0, kSplashWidth, kSplashStripTop, RoundRect(0, 0, kSplashWidth, kSplashStripTop, 0),
                VerticalGradient(0, kSplashStripTop, kAccentTop, kAccentDark));
    Logo(image, 12, 22, 1.4f, kWhite, kAccent, kWhite);
    Text(image, RECT{76, 26, 196, 56}, u"Ferrovane", Font{u"Arial", 24, true}, kWhite, kLeft);
    Text(image, RECT{77, 56, 196, 74}, u"Encrypted folders", Font{u"Arial", 12, false}, kAccentPale, kLeft);
    image.Fill(0, kSplashStripTop, kSplashWidth, kSplashHeight - kSplashStripTop, kPage);
    image.Fill(0, kSplashStripTop, kSplashWidth, 1, kLine);
    return image;
}

struct ButtonSpec {
    const char* file;
    int width;
    int height;
    const char16_t* label;
    ButtonStyle style;
    Colour under;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: SkinImages <output folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    auto write = [&](const char* name, const Image& image) { WritePng(folder / name, image); };

    constexpr auto kPrimary = ButtonStyle::Primary;
    constexpr auto kSecondary = ButtonStyle::Secondary;
    const ButtonSpec buttons[] = {
        // The main panel's column beside the folder list, and the footers, on both form sizes.
        {"l_new.png", 85, 26, u"New", kPrimary, kPage},
        {"l_open.png", 85, 26, u"Open", kPrimary, kPage},
        {"l_unmount.png", 85, 26, u"Unmount", kSecondary, kPage},
        {"l_unmount_all.png", 85, 26, u"Unmount all", kSecondary, kPage},
        {"l_automount.png", 85, 26, u"Auto-mount", kSecondary, kPage},
        {"l_resize.png", 85, 26, u"Resize", kSecondary, kPage},
        {"l_password.png", 85, 26, u"Password", kSecondary, kPage},
        {"l_about.png", 72, 26, u"About", kSecondary, kFooter},
        {"l_hide.png", 72, 26, u"Hide", kSecondary, kFooter},
        {"l_exit.png", 72, 26, u"Exit", kSecondary, kFooter},
        {"l_back.png", 110, 26, u"Back", kSecondary, kFooter},
        {"l_ok.png", 110, 26, u"OK", kPrimary, kFooter},
        {"s_new.png", 85, 21, u"New", kPrimary, kPage},
        {"s_open.png", 85, 21, u"Open", kPrimary, kPage},
        {"s_unmount.png", 85, 21, u"Unmount", kSecondary, kPage},
        {"s_unmount_all.png", 85, 21, u"Unmount all", kSecondary, kPage},
        {"s_automount.png", 85, 21, u"Auto-mount", kSecondary, kPage},
        {"s_resize.png", 85, 21, u"Resize", kSecondary, kPage},
        {"s_password.png", 85, 21, u"Password", kSecondary, kPage},
        {"s_about.png", 72, 24, u"About", kSecondary, kFooter},
        {"s_hide.png", 72, 24, u"Hide", kSecondary, kFooter},
        {"s_exit.png", 72, 24, u"Exit", kSecondary, kFooter},
        {"s_back.png", 110, 24, u"Back", kSecondary, kFooter},
        {"s_ok.png", 110, 24, u"OK", kPrimary, kFooter},
        {"browse.png", 41, 20, u"...", kSecondary, kPage},
        // The message box and the password dialog.
        {"mb_ok.png", 80, 24, u"OK", kPrimary, kFooter},
        {"mb_yes.png", 80, 24, u"Yes", kPrimary, kFooter},
        {"mb_no.png", 80, 24, u"No", kSecondary, kFooter},
        {"am_ok.png", 88, 24, u"Mount", kPrimary, kFooter},
        {"am_cancel.png", 88, 24, u"Cancel", kSecondary, kFooter},
    };
    for (const ButtonSpec& button : buttons)
        write(button.file,
              ButtonStrip(button.width, button.height, button.label, button.style, button.under));

    write("check.png", CheckStrip(kPage));
    write("form240x320.png", FormBackground(kLargeHeight, kLargeFooterTop));
    write("form240x240.png", FormBackground(kSmallHeight, kSmallFooterTop));
    write("mb_back.png", BoxBackground(kMessageWidth, kMessageHeight, kMessageFooterTop, u"Ferrovane", 30));
    write("mb_info.png", InfoBadge());
    write("am_back.png", BoxBackground(kAmountWidth, kAmountHeight, kAmountFooterTop, u"Mount container", 8));
    write("about_back.png", AboutBackground());
    write("about_logo.png", LogoStrip());
    write("about_star.png", Star());
    write("about.png", Splash());
    return 0;
}
