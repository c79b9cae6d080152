#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "gdi/Gdi.h"
#include "gdi/Surface.h"
#include "kernel/Errors.h"
#include "kernel/Resources.h"
#include "shell/Images.h"
#include "testing/BmpBuilder.h"
#include "testing/DeviceRootTest.h"

namespace {

std::vector<uint8_t> Picture() {
    BmpSpec spec;
    spec.width = 5;
    spec.height = 3;
    spec.bits = 8;
    spec.palette = {0xFF0000, 0x0000FF};
    spec.value = [](int x, int y) { return static_cast<uint32_t>((x + y) % 2); };
    return PackedDib(spec);
}
const std::vector<uint8_t> kPicture = Picture();
const kernel::ResourceEntry kResources[] = {
    {RT_BITMAP, MAKEINTRESOURCE(300), kPicture.data(), kPicture.size()}};
const kernel::ResourceTable kTable(kResources);

COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    COLORREF color = GetPixel(dc, x, y);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return color;
}

class ImageLoaderTest : public testing_support::DeviceRootTest {
protected:
    void Write(const char* name, const std::vector<uint8_t>& bytes) {
        std::ofstream file(m_root.Store() / name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

TEST_F(ImageLoaderTest, LoadsABmpFileFromADevicePath) {
    BmpSpec spec;
    spec.value = [](int x, int) { return x == 0 ? 0x00FF00u : 0xFFFFFFu; };
    Write("Skin.BMP", BmpFile(spec));
    size_t objects = gdi::OpenObjectCount();
    HBITMAP bitmap = SHLoadDIBitmap(u"\\skin.bmp");
    ASSERT_NE(bitmap, nullptr) << GetLastError();
    BITMAP record{};
    GetObjectW(bitmap, sizeof record, &record);
    EXPECT_EQ(record.bmWidth, 3);
    EXPECT_EQ(record.bmBitsPixel, 16);
    EXPECT_EQ(PixelOf(bitmap, 0, 1), RGB(0, 255, 0));
    EXPECT_EQ(PixelOf(bitmap, 2, 1), RGB(255, 255, 255));
    DeleteObject(bitmap);
    EXPECT_EQ(gdi::OpenObjectCount(), objects);
}

TEST_F(ImageLoaderTest, FailuresGiveTheirReasons) {
    SetLastError(0);
    EXPECT_EQ(SHLoadDIBitmap(u"\\missing.bmp"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    Write("notes.bmp", {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
    EXPECT_EQ(SHLoadDIBitmap(u"\\notes.bmp"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    Write("empty.bmp", {});
    EXPECT_EQ(SHLoadDIBitmap(u"\\empty.bmp"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(SHLoadDIBitmap(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ImageLoaderTest, LoadsABitmapResource) {
    HBITMAP bitmap = SHLoadImageResource(nullptr, 300);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(PixelOf(bitmap, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(bitmap, 1, 0), RGB(0, 0, 255));
    DeleteObject(bitmap);
    SetLastError(0);
    EXPECT_EQ(SHLoadImageResource(nullptr, 301), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

} // namespace
