// Version information read from the program's own version resource: the fixed information, a text of a
// language's table and the translation, the keys without regard to case, and the files that have none.

#include "kernel/Version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Modules.h"
#include "testing/DeviceRootTest.h"

namespace {

VS_FIXEDFILEINFO Fixed() {
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = 0x00010002;
    fixed.dwFileVersionLS = 0x00030004;
    return fixed;
}

const kernel::VersionResourceBytes
    kVersion(Fixed(), u"040904E4", {{u"FileDescription", u"Version tests"}, {u"FileVersion", u"1.2.3.4"}});
const kernel::ResourceEntry kResources[] = {
    {RT_VERSION, MAKEINTRESOURCE(VS_VERSION_INFO), kVersion.Data(), kVersion.Size()},
};
const kernel::ResourceTable kResourceTable(kResources);

class VersionTest : public testing_support::DeviceRootTest {
protected:
    static std::u16string ProgramPath() { return kernel::ProgramDevicePath(); }
};

TEST_F(VersionTest, TheProgramsBlockHoldsItsFixedInformationTextsAndTranslation) {
    DWORD handle = 7;
    const DWORD size = GetFileVersionInfoSizeW(ProgramPath().c_str(), &handle);
    ASSERT_EQ(size, kVersion.Size());
    EXPECT_EQ(handle, 0u);
    std::vector<uint8_t> block(size);
    EXPECT_FALSE(GetFileVersionInfoW(ProgramPath().c_str(), 0, size - 1, block.data()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_TRUE(GetFileVersionInfoW(ProgramPath().c_str(), 0, size, block.data()));

    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(static_cast<const VS_FIXEDFILEINFO*>(value)->dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
    EXPECT_EQ(static_cast<const VS_FIXEDFILEINFO*>(value)->dwFileVersionLS, 0x00030004u);

    // Texts in units with their terminator; the keys without regard to case.
    for (const char16_t* path :
         {u"\\StringFileInfo\\040904E4\\FileVersion", u"\\stringfileinfo\\040904e4\\fileversion"}) {
        ASSERT_TRUE(VerQueryValueW(block.data(), path, &value, &length));
        EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), u"1.2.3.4");
        EXPECT_EQ(length, 8u);
    }
    ASSERT_TRUE(
        VerQueryValueW(block.data(), u"\\StringFileInfo\\040904E4\\FileDescription", &value, &length));
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), u"Version tests");

    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0409);
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 0x04E4);

    // What the block does not hold, and the tables that hold no value of their own.
    for (const char16_t* path :
         {u"\\StringFileInfo\\040904E4\\ProductName", u"\\StringFileInfo\\04070000\\FileVersion",
          u"\\StringFileInfo", u"\\StringFileInfo\\040904E4"})
        EXPECT_FALSE(VerQueryValueW(block.data(), path, &value, &length)) << std::string(path, path + 8);
}

TEST_F(VersionTest, FilesThatAreNoModuleOfTheProcessHaveNone) {
    EXPECT_EQ(GetFileVersionInfoSizeW(u"\\missing.exe", nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    HANDLE file = CreateFileW(u"\\other.exe", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(GetFileVersionInfoSizeW(u"\\other.exe", nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    uint8_t block[16];
    EXPECT_FALSE(GetFileVersionInfoW(u"\\other.exe", 0, sizeof block, block));
}

} // namespace
