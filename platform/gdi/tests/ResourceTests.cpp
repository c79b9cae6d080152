#include <gtest/gtest.h>

#include <vector>

#include "Canvas.h"
#include "gdi/Dib.h"
#include "gdi/Gdi.h"
#include "kernel/Errors.h"
#include "kernel/Modules.h"
#include "kernel/Resources.h"
#include "testing/BmpBuilder.h"
#include "testing/DeviceRootTest.h"

namespace {

// The program's own resources: a bitmap under an id and under a name, and some data.
std::vector<uint8_t> ProgramBitmap() {
    BmpSpec spec;
    spec.width = 2;
    spec.height = 2;
    spec.value = [](int x, int y) { return x == y ? 0xFF0000u : 0x00FF00u; };
    return PackedDib(spec);
}
const std::vector<uint8_t> kProgramBitmap = ProgramBitmap();
const char kNotes[] = "notes";
const kernel::ResourceEntry kProgramResources[] = {
    {RT_BITMAP, MAKEINTRESOURCE(101), kProgramBitmap.data(), kProgramBitmap.size()},
    {RT_BITMAP, u"Logo", kProgramBitmap.data(), kProgramBitmap.size()},
    {RT_RCDATA, MAKEINTRESOURCE(5), kNotes, sizeof kNotes},
};
const kernel::ResourceTable kProgramTable(kProgramResources);

void ExpectDiagonal(HBITMAP bitmap) {
    ASSERT_NE(bitmap, nullptr) << GetLastError();
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    EXPECT_EQ(GetPixel(dc, 0, 0), kRed);
    EXPECT_EQ(GetPixel(dc, 1, 0), kGreen);
    EXPECT_EQ(GetPixel(dc, 1, 1), kRed);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TEST(ResourceTest, ProgramBitmapsLoadByIdAndName) {
    ExpectDiagonal(LoadBitmapW(nullptr, MAKEINTRESOURCE(101)));
    ExpectDiagonal(LoadBitmapW(GetModuleHandleW(nullptr), u"#101"));
    ExpectDiagonal(LoadBitmapW(nullptr, u"LOGO"));

    HRSRC notes = FindResourceW(nullptr, MAKEINTRESOURCE(5), RT_RCDATA);
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, notes), sizeof kNotes);
    EXPECT_STREQ(static_cast<const char*>(LockResource(LoadResource(nullptr, notes))), "notes");
}

TEST(ResourceTest, MissingResourcesGiveTheirErrors) {
    SetLastError(0);
    EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCE(102)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCE(5), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    // "#101" is the id, "101" a name.
    EXPECT_EQ(FindResourceW(nullptr, u"101", RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, u"#", RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, nullptr, RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // Handles that FindResourceW did not give.
    int stray = 0;
    auto bogus = reinterpret_cast<HRSRC>(&stray);
    EXPECT_EQ(LoadResource(nullptr, bogus), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SizeofResource(nullptr, bogus), 0u);
    HRSRC real = FindResourceW(nullptr, MAKEINTRESOURCE(5), RT_RCDATA);
    auto inside = reinterpret_cast<HRSRC>(reinterpret_cast<char*>(real) + 1);
    EXPECT_EQ(LoadResource(nullptr, inside), nullptr);
    // A module that is not loaded has none.
    EXPECT_EQ(FindResourceW(reinterpret_cast<HMODULE>(UINT_PTR{0x7FFF0000}), MAKEINTRESOURCE(101), RT_BITMAP),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

class LibraryResourceTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        Install(GDI_TEST_MANIFEST);
    }
};

// A library's resources belong to its module while it is loaded, and to no other module.
TEST_F(LibraryResourceTest, ResourcesFollowTheirModule) {
    HMODULE library = LoadLibraryW(u"GdiResources.dll");
    ASSERT_NE(library, nullptr) << GetLastError();
    HBITMAP bitmap = LoadBitmapW(library, MAKEINTRESOURCE(7));
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    EXPECT_EQ(GetPixel(dc, 0, 0), kRed);
    EXPECT_EQ(GetPixel(dc, 1, 0), kBlue);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    // The program's table has no id 7, the library's no id 101.
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCE(7), RT_BITMAP), nullptr);
    EXPECT_EQ(FindResourceW(library, MAKEINTRESOURCE(101), RT_BITMAP), nullptr);
    ASSERT_TRUE(FreeLibrary(library));
    SetLastError(0);
    EXPECT_EQ(FindResourceW(library, MAKEINTRESOURCE(7), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

} // namespace
