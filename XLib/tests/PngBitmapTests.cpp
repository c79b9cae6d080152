#include <gtest/gtest.h>

#include "BitmapTestSupport.h"
#include "PngBitmap.h"
#include "PngInfo.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"

namespace {

using PngBitmapTest = BitmapTest;

// A DC holding a bitmap for reading its pixels.
class Reader {
public:
    explicit Reader(HBITMAP bitmap) : m_bitmap(bitmap) {
        m_dc.CreateCompatibleDC(nullptr);
        m_previous = ::SelectObject(m_dc.GetSafeHdc(), bitmap);
    }
    ~Reader() {
        ::SelectObject(m_dc.GetSafeHdc(), m_previous);
        DeleteObject(m_bitmap);
    }
    HDC Dc() const { return m_dc.GetSafeHdc(); }
    BITMAP Record() const {
        BITMAP record{};
        GetObjectW(m_bitmap, sizeof record, &record);
        return record;
    }

private:
    HBITMAP m_bitmap;
    CDC m_dc;
    HGDIOBJ m_previous = nullptr;
};

TEST_F(PngBitmapTest, RgbPixelsInBothForms) {
    // Two rows, so that the 24-bit section shows it stands upright.
    std::u16string path = Write("rgb.png", MakePng(3, 2, 2, [](uint32_t x, uint32_t y) {
                                    if (y == 0 && x == 0)
                                        return std::vector<uint8_t>{255, 128, 0};
                                    return std::vector<uint8_t>{0, 0, static_cast<uint8_t>(10 * (x + 3 * y))};
                                }));
    bool hasAlpha = true;
    HBITMAP shallow = LoadPngBitmap(path.c_str(), true, hasAlpha);
    ASSERT_NE(shallow, nullptr);
    EXPECT_FALSE(hasAlpha);
    {
        Reader reader(shallow);
        EXPECT_EQ(reader.Record().bmBitsPixel, 16);
        EXPECT_EQ(reader.Record().bmHeight, 2);
        EXPECT_EQ(ValueAt(reader.Dc(), 0, 0), 0xFC00);
        EXPECT_EQ(ValueAt(reader.Dc(), 2, 1), Pack565(0, 0, 50));
    }
    hasAlpha = true;
    HBITMAP deep = LoadPngBitmap(path.c_str(), false, hasAlpha);
    ASSERT_NE(deep, nullptr);
    EXPECT_FALSE(hasAlpha);
    Reader reader(deep);
    BITMAP record = reader.Record();
    EXPECT_EQ(record.bmBitsPixel, 24);
    EXPECT_EQ(record.bmWidthBytes, 12) << "3 pixels take 9 bytes and 3 of padding";
    ASSERT_NE(record.bmBits, nullptr);
    // The section is bottom-up: the top row (255, 128, 0 first) is the second in memory.
    const auto* bytes = static_cast<const uint8_t*>(record.bmBits);
    EXPECT_EQ(bytes[12], 0x00);
    EXPECT_EQ(bytes[13], 0x80);
    EXPECT_EQ(bytes[14], 0xFF);
    EXPECT_EQ(GetPixel(reader.Dc(), 0, 0), RGB(255, 128, 0));
    EXPECT_EQ(GetPixel(reader.Dc(), 2, 1), RGB(0, 0, 50));
}

TEST_F(PngBitmapTest, AlphaGivesAColourHalfAboveAMaskHalf) {
    std::u16string path = Write("alpha.png", MakePng(2, 2, 6, [](uint32_t x, uint32_t y) {
                                    if (x == 0 && y == 0)
                                        return std::vector<uint8_t>{200, 100, 50, 128};
                                    if (x == 1 && y == 0)
                                        return std::vector<uint8_t>{90, 80, 70, 0};
                                    return std::vector<uint8_t>{255, 255, 255, 255};
                                }));
    for (bool want16Bit : {true, false}) {
        bool hasAlpha = false;
        HBITMAP bitmap = LoadPngBitmap(path.c_str(), want16Bit, hasAlpha);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_TRUE(hasAlpha);
        Reader reader(bitmap);
        EXPECT_EQ(reader.Record().bmWidth, 2);
        EXPECT_EQ(reader.Record().bmHeight, 4);
        if (want16Bit) {
            EXPECT_EQ(ValueAt(reader.Dc(), 0, 0), Pack565(100, 50, 25));
            EXPECT_EQ(ValueAt(reader.Dc(), 0, 2), Pack565(127, 127, 127));
            EXPECT_EQ(ValueAt(reader.Dc(), 1, 0), 0);
            EXPECT_EQ(ValueAt(reader.Dc(), 1, 2), 0xFFFF);
            EXPECT_EQ(ValueAt(reader.Dc(), 0, 3), 0) << "opaque: black mask";
        } else {
            EXPECT_EQ(GetPixel(reader.Dc(), 0, 0), RGB(100, 50, 25));
            EXPECT_EQ(GetPixel(reader.Dc(), 0, 2), RGB(127, 127, 127));
            EXPECT_EQ(GetPixel(reader.Dc(), 1, 2), RGB(255, 255, 255));
        }
    }
}

TEST_F(PngBitmapTest, OtherColourTypesGiveBlackBitmapsOfTheirSize) {
    PngImage grey;
    grey.width = 4;
    grey.height = 3;
    grey.colorType = 0;
    grey.rows.assign(3, Bytes(4, 200));
    std::u16string path = Write("grey.png", EncodeWithLibpng(grey));
    bool hasAlpha = true;
    HBITMAP bitmap = LoadPngBitmap(path.c_str(), true, hasAlpha);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_FALSE(hasAlpha);
    Reader reader(bitmap);
    EXPECT_EQ(reader.Record().bmWidth, 4);
    EXPECT_EQ(reader.Record().bmHeight, 3);
    EXPECT_EQ(GetPixel(reader.Dc(), 3, 2), RGB(0, 0, 0));
}

TEST_F(PngBitmapTest, FailuresGiveNullAndLeaveTheFlag) {
    // tRNS in an RGBA image is a decode error.
    Bytes file = PngStart(1, 1, 8, 6);
    Append(file, PngChunk("tRNS", {0, 0}));
    Append(file, PngChunk("IDAT", ZlibCompress({0, 1, 2, 3, 4}, 6, 0)));
    Append(file, PngChunk("IEND", {}));
    std::u16string bad = Write("bad.png", file);
    std::u16string empty = Write("empty.png", {});
    for (const std::u16string& path : {bad, empty, std::u16string(u"\\missing.png")}) {
        bool hasAlpha = true;
        EXPECT_EQ(LoadPngBitmap(path.c_str(), true, hasAlpha), nullptr);
        EXPECT_TRUE(hasAlpha) << "not written on failure";
    }
    EXPECT_EQ(GetPngError(), static_cast<uint32_t>(kPngTransparencyWithAlpha))
        << "the empty file never reached the decoder, which would have reported an empty input";
    // The files were closed: they can be deleted.
    EXPECT_TRUE(DeleteFileW(empty.c_str()));
    EXPECT_TRUE(DeleteFileW(bad.c_str()));
    bool hasAlpha = true;
    EXPECT_EQ(LoadPngBitmap(nullptr, true, hasAlpha), nullptr);
}

} // namespace
