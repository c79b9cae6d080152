#include <gtest/gtest.h>

#include "BitmapTestSupport.h"
#include "BmpWriter.h"
#include "XBitmap.h"
#include "XMemDC.h"
#include "kernel/Resources.h"

namespace {

constexpr COLORREF kBackground = RGB(0, 0, 255);

// A target DC with its own 16-bit bitmap, filled with the background colour.
class Target {
public:
    Target(int width, int height) {
        m_dc.CreateCompatibleDC(nullptr);
        m_bitmap.CreateBitmap(width, height, 1, 16, nullptr);
        m_previous = m_dc.SelectObject(&m_bitmap);
        CRect all(0, 0, width, height);
        CBrush brush(kBackground);
        m_dc.FillRect(&all, &brush);
    }
    ~Target() { m_dc.SelectObject(m_previous); }
    CDC* Dc() { return &m_dc; }
    COLORREF At(int x, int y) { return m_dc.GetPixel(x, y); }

private:
    CDC m_dc;
    CBitmap m_bitmap;
    CBitmap* m_previous = nullptr;
};

// A strip of 100 x 10 RGBA pixels: column x has red x, alpha 255 in even columns and 0 in odd ones.
Bytes StripPng() {
    return MakePng(100, 10, 6, [](uint32_t x, uint32_t) {
        return std::vector<uint8_t>{static_cast<uint8_t>(x * 2 + 40), 0, 0,
                                    static_cast<uint8_t>(x % 2 ? 0 : 255)};
    });
}

using XBitmapTest = BitmapTest;

TEST_F(XBitmapTest, StripGeometry) {
    std::u16string path = Write("skin/strip.png", StripPng());
    CXBitmap strip;
    EXPECT_EQ(strip.GetFrameCount(), 0u);
    strip.SetFrameCount(4); // never loaded: no effect
    EXPECT_EQ(strip.GetFrameCount(), 0u);
    strip.LoadFromFile(path.c_str(), 3, false);
    EXPECT_EQ(strip.GetFrameCount(), 3u);
    EXPECT_EQ(strip.GetFrameWidth(), 33u) << "100 / 3, the last column left over";
    EXPECT_EQ(strip.GetFrameHeight(), 10) << "the alpha channel made a mask half";
    strip.SetFrameCount(4);
    EXPECT_EQ(strip.GetFrameWidth(), 25u);
    strip.SetFrameCount(0); // ignored: it would divide by zero
    EXPECT_EQ(strip.GetFrameCount(), 4u);

    // Without an alpha channel the mask flag goes, whatever the caller said.
    std::u16string plain = Write("plain.png", MakePng(8, 6, 2, [](uint32_t, uint32_t) {
                                     return std::vector<uint8_t>{1, 2, 3};
                                 }));
    strip.LoadFromFile(plain.c_str(), 2, true);
    EXPECT_EQ(strip.GetFrameWidth(), 4u);
    EXPECT_EQ(strip.GetFrameHeight(), 6);
}

TEST_F(XBitmapTest, MaskedFramesShowTheBackgroundExactlyWhereTransparent) {
    CXBitmap strip;
    strip.LoadFromFile(Write("strip.png", StripPng()).c_str(), 3, false);
    Target target(40, 12);
    strip.DrawFrame(target.Dc(), 1, 2, 1);
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 12; ++y) {
            bool inFrame = x >= 2 && x < 35 && y >= 1 && y < 11;
            int column = 33 + x - 2; // the strip column drawn at x
            COLORREF expected = kBackground;
            if (inFrame && column % 2 == 0) {
                uint8_t red = static_cast<uint8_t>(column * 2 + 40);
                expected = RGB((red >> 3) << 3 | (red >> 5), 0, 0);
            }
            EXPECT_EQ(target.At(x, y), expected) << x << "," << y;
        }
}

// A strip of 30 x 8 RGB pixels, no alpha: column x has red 8x, row y green 32y, and no blue.
Bytes GradientPng() {
    return MakePng(30, 8, 2, [](uint32_t x, uint32_t y) {
        return std::vector<uint8_t>{static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 32), 0};
    });
}

// The gradient's pixel as a 16-bit bitmap shows it.
COLORREF GradientAt(int x, int y) {
    const int red = x * 8;
    const int green = y * 32;
    return RGB((red >> 3) << 3 | (red >> 5), (green >> 2) << 2 | (green >> 6), 0);
}

TEST_F(XBitmapTest, UnmaskedStripsAreCopiedOverWhatWasThere) {
    CXBitmap strip;
    strip.LoadFromFile(Write("gradient.png", GradientPng()).c_str(), 3, true);
    ASSERT_EQ(strip.GetFrameWidth(), 10u);
    ASSERT_EQ(strip.GetFrameHeight(), 8) << "no alpha channel, so no mask half";

    // Frame 2 from its own columns and the top row on; black pixels replace the background too.
    Target frame(14, 10);
    strip.DrawFrame(frame.Dc(), 2, 1, 2);
    for (int x = 0; x < 14; ++x)
        for (int y = 0; y < 10; ++y) {
            const bool inFrame = x >= 1 && x < 11 && y >= 2;
            EXPECT_EQ(frame.At(x, y), inFrame ? GradientAt(20 + x - 1, y - 2) : kBackground) << x << "," << y;
        }

    // A part from a source point across a frame's edge: whole-bitmap columns, not a frame's.
    Target part(12, 8);
    strip.Draw(part.Dc(), 2, 1, 5, 3, 7, 4);
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 8; ++y) {
            const bool inPart = x >= 2 && x < 7 && y >= 1 && y < 4;
            EXPECT_EQ(part.At(x, y), inPart ? GradientAt(7 + x - 2, 4 + y - 1) : kBackground)
                << x << "," << y;
        }
}

TEST_F(XBitmapTest, FramesOutsideTheStripDrawNothing) {
    CXBitmap strip;
    strip.LoadFromFile(Write("strip.png", StripPng()).c_str(), 3, false);
    Target target(120, 25);
    strip.DrawFrame(target.Dc(), -1, 0, 0);
    strip.DrawFrame(target.Dc(), 3, 0, 0);
    strip.DrawFrame(nullptr, 0, 0, 0);
    for (int x = 0; x < 120; x += 7)
        EXPECT_EQ(target.At(x, 5), kBackground);
    // The last frame ends before column 99.
    strip.DrawFrame(target.Dc(), 2, 0, 0);
    EXPECT_NE(target.At(32, 0), kBackground);
    EXPECT_EQ(target.At(33, 0), kBackground);
    // Draw copies no more than the bitmap, mask half included.
    Target whole(120, 25);
    strip.Draw(whole.Dc(), 0, 0, 500, 500, 0, 0);
    EXPECT_NE(whole.At(99, 15), kBackground) << "the mask half is drawn too";
    EXPECT_EQ(whole.At(100, 0), kBackground);
    EXPECT_EQ(whole.At(0, 20), kBackground);
    Target all(120, 25);
    strip.DrawAll(all.Dc(), 1, 1);
    EXPECT_EQ(all.At(0, 0), kBackground);
    EXPECT_NE(all.At(100, 20), kBackground);
}

TEST_F(XBitmapTest, PathsChooseTheirLoader) {
    // BMP content under names that are not PNG paths goes to the shell's loader.
    Bytes bmp = BmpOf(6, 4, RGB(0, 255, 0));
    struct Case {
        const char* file;
        bool loads;
    };
    for (const Case& c : {Case{"upper.PNG", true}, Case{"folder.png/strip", true}, Case{"noextension", true},
                          Case{"fake.png", false}}) {
        CXBitmap strip;
        strip.LoadFromFile(Write(c.file, bmp).c_str(), 2, true);
        EXPECT_EQ(strip.GetFrameWidth(), c.loads ? 3u : 0u) << c.file;
        // The shell's loader keeps the caller's mask flag.
        EXPECT_EQ(strip.GetFrameHeight(), c.loads ? 2 : 0) << c.file;
    }
}

TEST_F(XBitmapTest, FailedLoadsLeaveNoFrames) {
    CXBitmap strip;
    strip.LoadFromFile(Write("strip.png", StripPng()).c_str(), 3, false);
    ASSERT_EQ(strip.GetFrameWidth(), 33u);
    strip.LoadFromFile(u"\\missing.png", 3, false);
    EXPECT_EQ(strip.GetFrameWidth(), 0u) << "no frame size from the earlier load";
    EXPECT_EQ(strip.GetFrameHeight(), 0);
    EXPECT_EQ(strip.GetFrameCount(), 1u);
    Target target(10, 10);
    strip.DrawFrame(target.Dc(), 0, 0, 0);
    strip.DrawAll(target.Dc(), 0, 0);
    EXPECT_EQ(target.At(0, 0), kBackground);
    strip.LoadFromFile(nullptr, 3, false);
    EXPECT_EQ(strip.GetFrameWidth(), 0u);
    // A frame count of 0 loads the bitmap but gives it no frames.
    strip.LoadFromFile(Write("strip.png", StripPng()).c_str(), 0, false);
    EXPECT_EQ(strip.GetFrameWidth(), 0u);
    strip.DrawFrame(target.Dc(), 0, 0, 0);
    EXPECT_EQ(target.At(0, 0), kBackground);
    strip.Free();
    EXPECT_EQ(strip.GetFrameCount(), 1u);
}

const Bytes kResourceDib = PackedDibOf(4, 2, RGB(255, 0, 0));
const kernel::ResourceEntry kResources[] = {
    {RT_BITMAP, MAKEINTRESOURCE(101), kResourceDib.data(), kResourceDib.size()}};
const kernel::ResourceTable kTable(kResources);

TEST_F(XBitmapTest, LoadsResourcesWithEitherLoader) {
    for (bool plain : {true, false}) {
        CXBitmap strip;
        strip.LoadFromResource(nullptr, 0x10000 + 101, 2, false, plain); // the id is taken as 16 bits
        EXPECT_EQ(strip.GetFrameWidth(), 2u) << plain;
        EXPECT_EQ(strip.GetFrameHeight(), 2) << plain;
        strip.LoadFromResource(nullptr, 102, 2, false, plain);
        EXPECT_EQ(strip.GetFrameWidth(), 0u) << plain;
        strip.LoadFromResource(nullptr, 101, 2, true, plain);
        EXPECT_EQ(strip.GetFrameWidth(), 2u) << plain;
        EXPECT_EQ(strip.GetFrameHeight(), 1) << plain;
        Target target(4, 4);
        strip.DrawFrame(target.Dc(), 1, 0, 0);
        // Taken as masked: the red mask row ANDed on the blue background leaves black, the red image row
        // ORed over it leaves red.
        EXPECT_EQ(target.At(0, 0), RGB(255, 0, 0));
        EXPECT_EQ(target.At(2, 0), kBackground);
    }
}

TEST_F(XBitmapTest, MemDcReachesTheTargetOnlyOnRelease) {
    Target target(20, 10);
    {
        CXMemDC buffer(target.Dc(), 20, 10);
        CDC* dc = buffer.GetDC();
        ASSERT_NE(dc, nullptr);
        CRect all(0, 0, 20, 10);
        CBrush brush(RGB(255, 0, 0));
        dc->FillRect(&all, &brush);
        EXPECT_EQ(target.At(5, 5), kBackground);
    }
    EXPECT_EQ(target.At(5, 5), RGB(255, 0, 0));
    EXPECT_EQ(target.At(19, 9), RGB(255, 0, 0));

    CXMemDC buffer(target.Dc(), 5, 5);
    CRect small(0, 0, 5, 5);
    CBrush green(RGB(0, 255, 0));
    buffer.GetDC()->FillRect(&small, &green);
    // A second Create releases the first buffer, which reaches the target.
    buffer.Create(target.Dc(), 3, 3);
    EXPECT_EQ(target.At(4, 4), RGB(0, 255, 0));
    buffer.Release();
    EXPECT_EQ(buffer.GetDC(), nullptr);
    buffer.Release(); // nothing held: nothing happens
    EXPECT_EQ(buffer.Create(nullptr, 3, 3), nullptr);
}

} // namespace
