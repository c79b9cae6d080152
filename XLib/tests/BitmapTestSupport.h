#pragma once
// Files and canvases for the tests of the bitmap strips and the PNG loader.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "PngTestSupport.h"
#include "classlib/Gdi.h"
#include "gdi/Surface.h"
#include "testing/DeviceRootTest.h"

// An 8-bit PNG of colour type 2 (RGB) or 6 (RGBA), each pixel's samples from a function.
inline Bytes MakePng(uint32_t width, uint32_t height, int colorType,
                     const std::function<std::vector<uint8_t>(uint32_t x, uint32_t y)>& samples) {
    PngImage image;
    image.width = width;
    image.height = height;
    image.bitDepth = 8;
    image.colorType = colorType;
    for (uint32_t y = 0; y < height; ++y) {
        Bytes row;
        for (uint32_t x = 0; x < width; ++x) {
            std::vector<uint8_t> pixel = samples(x, y);
            row.insert(row.end(), pixel.begin(), pixel.end());
        }
        image.rows.push_back(row);
    }
    return EncodeWithLibpng(image);
}

inline uint16_t Pack565(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r / 8) << 11) | ((g / 4) << 5) | (b / 8));
}

// The 16-bit value of a pixel of a DC.
inline uint16_t ValueAt(HDC dc, int x, int y) {
    COLORREF c = GetPixel(dc, x, y);
    return Pack565(GetRValue(c), GetGValue(c), GetBValue(c));
}

// A device root whose store the test writes files into; checks that no handle and no GDI object is left.
class BitmapTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        m_objectsAtStart = gdi::OpenObjectCount();
    }
    void TearDown() override {
        CGdiObject::DeleteTempMap();
        CDC::DeleteTempMap();
        EXPECT_EQ(gdi::OpenObjectCount(), m_objectsAtStart) << "a GDI object was left behind";
        DeviceRootTest::TearDown();
    }
    // Writes a file into the store; returns its device path.
    std::u16string Write(const std::string& relative, const Bytes& bytes) {
        std::filesystem::path host = m_root.Store() / relative;
        std::filesystem::create_directories(host.parent_path());
        std::ofstream file(host, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        std::u16string device = u"\\";
        for (char c : relative)
            device.push_back(c == '/' ? u'\\' : static_cast<char16_t>(c));
        return device;
    }

    size_t m_objectsAtStart = 0;
};
