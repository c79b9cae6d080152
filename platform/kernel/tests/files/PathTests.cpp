// Device paths: case-insensitive resolution, refused names and lengths, and the walls of the store.

#include <fstream>

#include "FilesTestSupport.h"

namespace {
using filestest::Open;
using filestest::ReadWhole;
using filestest::WriteWhole;

class DevicePaths : public filestest::DeviceRootTest {};

TEST_F(DevicePaths, ResolveCaseInsensitivelyAndKeepTheCaseGiven) {
    ASSERT_TRUE(CreateDirectoryW(u"\\Program Files", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"\\PROGRAM FILES\\Ferrovane", nullptr));
    ASSERT_TRUE(WriteWhole(u"\\program files\\ferrovane\\Data.TXT", "one"));
    ASSERT_TRUE(WriteWhole(u"\\Program Files\\\u00C4rger.txt", "two"));

    EXPECT_EQ(ReadWhole(u"\\PROGRAM files\\FERROVANE\\data.txt"), "one");
    EXPECT_EQ(ReadWhole(u"\\program files\\\u00E4RGER.TXT"), "two"); // Latin-1 letters fold too
    EXPECT_TRUE(std::filesystem::is_regular_file(Store() / "Program Files" / "Ferrovane" / "Data.TXT"));
    EXPECT_TRUE(std::filesystem::is_regular_file(Store() / "Program Files" / "\xC3\x84rger.txt"));

    // Writing through another spelling reaches the same file and keeps its name.
    ASSERT_TRUE(WriteWhole(u"\\PROGRAM FILES\\FERROVANE\\DATA.txt", "three"));
    WIN32_FIND_DATAW data{};
    kernel::ScopedFind search(FindFirstFileW(u"\\program files\\ferrovane\\*", &data));
    ASSERT_TRUE(search.IsOpen());
    EXPECT_EQ(std::u16string(data.cFileName), u"Data.TXT");
    EXPECT_FALSE(FindNextFileW(search.Get(), &data));
    EXPECT_EQ(ReadWhole(u"\\Program Files\\Ferrovane\\Data.TXT"), "three");

    // A path without the leading separator is taken from the root, and separators may repeat or trail.
    EXPECT_EQ(ReadWhole(u"program files\\ferrovane\\data.txt"), "three");
    EXPECT_EQ(ReadWhole(u"\\\\Program Files\\\\Ferrovane\\Data.TXT"), "three");
    EXPECT_EQ(GetFileAttributesW(u"\\Program Files\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(DevicePaths, ExactHostMatchWinsOverOtherCases) {
    std::ofstream(Store() / "readme") << "lower";
    std::ofstream(Store() / "README") << "upper";
    EXPECT_EQ(ReadWhole(u"\\README"), "upper");
    EXPECT_EQ(ReadWhole(u"\\readme"), "lower");
}

struct RefusedPath {
    const char16_t* path;
    DWORD error;
};

TEST_F(DevicePaths, RefuseNamesTheHandheldRefuses) {
    const RefusedPath cases[] = {
        {u"", ERROR_INVALID_NAME},
        {u"\\a<b", ERROR_INVALID_NAME},
        {u"\\a>b", ERROR_INVALID_NAME},
        {u"\\a:b", ERROR_INVALID_NAME},
        {u"\\a\"b", ERROR_INVALID_NAME},
        {u"\\a/b", ERROR_INVALID_NAME},
        {u"\\a|b", ERROR_INVALID_NAME},
        {u"\\a?b", ERROR_INVALID_NAME},
        {u"\\a*b", ERROR_INVALID_NAME},
        {u"\\a\x01"
         u"b",
         ERROR_INVALID_NAME},
        {u"\\a\x1F", ERROR_INVALID_NAME},
        {u"\\.", ERROR_INVALID_NAME},
        {u"\\a\\..", ERROR_INVALID_NAME},
        {u"\\a\\.\\b", ERROR_INVALID_NAME},
        {u"\\a\xD800", ERROR_INVALID_NAME}, // high surrogate at the end
        {u"\\a\xD800"
         u"b",
         ERROR_INVALID_NAME},               // high surrogate without its low half
        {u"\\a\xDC00", ERROR_INVALID_NAME}, // low surrogate alone
    };
    for (const RefusedPath& c : cases) {
        const std::u16string path(c.path);
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        SetLastError(0);
        EXPECT_EQ(Open(c.path, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(GetFileAttributesW(c.path), static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_FALSE(CreateDirectoryW(c.path, nullptr));
        EXPECT_EQ(GetLastError(), c.error);
        DWORD error = 0;
        EXPECT_FALSE(kernel::DeviceToHostPath(c.path, &error).has_value());
        EXPECT_EQ(error, c.error);
    }
    // Nothing was created in the store on the way.
    EXPECT_TRUE(std::filesystem::is_empty(Store()));
    // A valid surrogate pair is a name like any other.
    EXPECT_TRUE(WriteWhole(u"\\pair\xD83D\xDE00.txt", "x"));
    EXPECT_TRUE(std::filesystem::exists(Store() / "pair\xF0\x9F\x98\x80.txt"));
}

TEST_F(DevicePaths, WildcardsOnlyInTheLastComponentOfAPattern) {
    ASSERT_TRUE(CreateDirectoryW(u"\\dir", nullptr));
    WIN32_FIND_DATAW data{};
    EXPECT_EQ(FindFirstFileW(u"\\d*\\x", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(FindFirstFileW(u"\\d?r\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(DevicePaths, RefuseMaxPathUnitsOrMore) {
    // 259 units is the longest path: three folders of 80 units and an 18-unit name.
    const std::u16string folder(80, u'f');
    const std::u16string path =
        u"\\" + folder + u"\\" + folder + u"\\" + folder + u"\\" + std::u16string(15, u'n');
    ASSERT_EQ(path.size(), 259u);
    ASSERT_TRUE(CreateDirectoryW((u"\\" + folder).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((u"\\" + folder + u"\\" + folder).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((u"\\" + folder + u"\\" + folder + u"\\" + folder).c_str(), nullptr));
    EXPECT_TRUE(WriteWhole(path.c_str(), "longest"));

    const std::u16string tooLong = path + u"n";
    EXPECT_EQ(Open(tooLong.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    WIN32_FIND_DATAW data{};
    EXPECT_EQ(FindFirstFileW(std::u16string(400, u'a').c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(DeleteFileW(tooLong.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));

    // A name short in units but too long for the host's file system.
    const std::u16string wide = u"\\" + std::u16string(130, u'\u00E9');
    EXPECT_EQ(Open(wide.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
}

TEST_F(DevicePaths, NoPathReachesOutsideTheStore) {
    std::ofstream(RootFolder() / "secret") << "outside";
    std::filesystem::create_directory(Store() / "a");
    const char16_t* escapes[] = {u"\\..\\secret", u"\\a\\..\\..\\secret", u"..\\secret", u"\\.\\..\\secret"};
    for (const char16_t* path : escapes) {
        EXPECT_EQ(Open(path, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
        EXPECT_FALSE(DeleteFileW(path));
        EXPECT_FALSE(MoveFileW(path, u"\\stolen"));
        EXPECT_FALSE(CopyFileW(path, u"\\stolen", FALSE));
        EXPECT_FALSE(SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL));
    }
    EXPECT_TRUE(std::filesystem::exists(RootFolder() / "secret"));
    EXPECT_FALSE(std::filesystem::exists(Store() / "stolen"));
}

TEST_F(DevicePaths, HostNamesThatAreNoDeviceNamesStayInvisible) {
    std::ofstream(Store() / "plain.txt") << "x";
    std::ofstream(Store() / "colon:name") << "x";
    std::ofstream(Store() / "back\\slash") << "x";
    std::ofstream(Store() / "bad\xFF"
                            "utf8")
        << "x";
    WIN32_FIND_DATAW data{};
    kernel::ScopedFind search(FindFirstFileW(u"\\*", &data));
    ASSERT_TRUE(search.IsOpen());
    EXPECT_EQ(std::u16string(data.cFileName), u"plain.txt");
    EXPECT_FALSE(FindNextFileW(search.Get(), &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
}

TEST_F(DevicePaths, DeviceAndHostPathsMapBothWays) {
    ASSERT_TRUE(CreateDirectoryW(u"\\Windows", nullptr));
    DWORD error = 1;
    auto host = kernel::DeviceToHostPath(u"\\WINDOWS\\New File.dll", &error);
    ASSERT_TRUE(host.has_value());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(*host, Store() / "Windows" / "New File.dll");
    EXPECT_EQ(kernel::DeviceToHostPath(u"\\", &error), Store());
    EXPECT_FALSE(kernel::DeviceToHostPath(nullptr, &error).has_value());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    EXPECT_EQ(kernel::HostToDevicePath(Store() / "Windows" / "New File.dll"), u"\\Windows\\New File.dll");
    EXPECT_EQ(kernel::HostToDevicePath(Store()), u"\\");
    EXPECT_EQ(kernel::HostToDevicePath(Store() / "a" / ".." / "b"), u"\\b");
    EXPECT_FALSE(kernel::HostToDevicePath(RootFolder() / "registry").has_value());
    EXPECT_FALSE(kernel::HostToDevicePath(Store() / ".." / "run").has_value());
}

} // namespace
