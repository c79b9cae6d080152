// Mounted volumes: routing, the mount folder, sharing on a volume, moves between volumes, and handles that
// outlive their volume.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "FakeVolume.h"
#include "FilesTestSupport.h"
#include "VolumeHost.h"
#include "crt/Utf8.h"
#include "kernel/Stdio.h"
#include "kernel/Store.h"

namespace {

using filestest::FakeVolume;
using filestest::Open;
using filestest::ReadWhole;
using filestest::WriteWhole;

constexpr const char16_t* kFolder = u"\\Encrypted Folder";

class Volumes : public filestest::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        m_volume = std::make_shared<FakeVolume>();
        ASSERT_TRUE(kernel::MountVolume(kFolder, m_volume));
    }
    void TearDown() override {
        kernel::UnmountVolume(kFolder);
        DeviceRootTest::TearDown();
    }

    std::vector<std::u16string> Names(const char16_t* pattern) {
        WIN32_FIND_DATAW data{};
        kernel::ScopedFind search(FindFirstFileW(pattern, &data));
        std::vector<std::u16string> names;
        if (!search.IsOpen())
            return names;
        do
            names.emplace_back(data.cFileName);
        while (FindNextFileW(search.Get(), &data));
        return names;
    }

    std::shared_ptr<FakeVolume> m_volume;
};

TEST_F(Volumes, PathsBelowTheMountFolderGoToTheVolume) {
    ASSERT_TRUE(WriteWhole(u"\\host.txt", "on the store"));
    ASSERT_TRUE(CreateDirectoryW(u"\\encrypted folder\\Docs", nullptr));
    ASSERT_TRUE(WriteWhole(u"\\ENCRYPTED FOLDER\\docs\\note.txt", "in the volume"));
    EXPECT_EQ(ReadWhole(u"\\Encrypted Folder\\Docs\\Note.txt"), "in the volume");
    EXPECT_FALSE(std::filesystem::exists(Store() / "Encrypted Folder"));

    // The mount folder is a folder of its parent, found by a relative name too.
    EXPECT_EQ(Names(u"\\*"), (std::vector<std::u16string>{u"Encrypted Folder", u"host.txt"}));
    WIN32_FIND_DATAW data{};
    kernel::ScopedFind folder(FindFirstFileW(u"Encrypted Folder", &data));
    ASSERT_TRUE(folder.IsOpen());
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY));
    EXPECT_EQ(GetFileAttributesW(u"\\encrypted folder"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY));
    EXPECT_EQ(Names(u"\\Encrypted Folder\\*"), std::vector<std::u16string>{u"Docs"});
    EXPECT_EQ(Names(u"\\Encrypted Folder\\docs\\*.TXT"), std::vector<std::u16string>{u"note.txt"});

    // Every path call reaches the volume.
    ASSERT_TRUE(MoveFileW(u"\\Encrypted Folder\\Docs\\note.txt", u"\\Encrypted Folder\\moved.txt"));
    ASSERT_TRUE(SetFileAttributesW(u"\\Encrypted Folder\\moved.txt", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesW(u"\\Encrypted Folder\\moved.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CopyFileW(u"\\Encrypted Folder\\moved.txt", u"\\copied.txt", TRUE));
    EXPECT_EQ(ReadWhole(u"\\copied.txt"), "in the volume");
    ASSERT_TRUE(RemoveDirectoryW(u"\\Encrypted Folder\\Docs"));
    ASSERT_TRUE(DeleteFileW(u"\\Encrypted Folder\\moved.txt"));
    EXPECT_EQ(Names(u"\\Encrypted Folder\\*"), std::vector<std::u16string>{});
    WIN32_FIND_DATAW none{};
    EXPECT_EQ(FindFirstFileW(u"\\Encrypted Folder\\*", &none), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_EQ(FindFirstFileW(u"\\Encrypted Folder\\none\\*", &none), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    // Streams too.
    FILE* stream = _wfopen(u"\\Encrypted Folder\\list.cfg", u"a");
    ASSERT_NE(stream, nullptr);
    fputws(u"line\n", stream);
    std::fclose(stream);
    EXPECT_EQ(ReadWhole(u"\\Encrypted Folder\\list.cfg"), "line\n");

    // The volume reports its own space; the store keeps its own.
    ULARGE_INTEGER free{}, total{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Encrypted Folder", &free, &total, nullptr));
    EXPECT_EQ(free.QuadPart, m_volume->freeBytes);
    EXPECT_EQ(total.QuadPart, m_volume->totalBytes);
    STORE_INFORMATION store{};
    ASSERT_TRUE(GetStoreInformation(&store));
    EXPECT_NE(store.dwStoreSize, static_cast<DWORD>(m_volume->totalBytes));
}

// The object store's look-up of one entry answers what the listing of its folder says of it.
TEST_F(Volumes, TheStoreFindsOneEntryAsItsFolderListsIt) {
    ASSERT_TRUE(WriteWhole(u"\\Notes.txt", "twelve bytes"));
    ASSERT_TRUE(SetFileAttributesW(u"\\Notes.txt", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CreateDirectoryW(u"\\Docs", nullptr));
    ASSERT_TRUE(WriteWhole(u"\\Docs\\inner.bin", "in"));
    // A host folder of the mount folder's name is hidden by the mount, as in the listing.
    std::filesystem::create_directory(Store() / "Encrypted Folder");
    std::shared_ptr<kernel::Volume> store = kernel::files::MakeHostVolume(Store(), RootFolder() / "run");

    struct Case {
        kernel::PathComponents path;
        DWORD error;
        const char16_t* listedAs; // the name in its folder's listing
    };
    const Case cases[] = {
        {{u"Notes.txt"}, ERROR_SUCCESS, u"Notes.txt"},
        {{u"NOTES.txt"}, ERROR_SUCCESS, u"Notes.txt"},
        {{u"Docs"}, ERROR_SUCCESS, u"Docs"},
        {{u"docs", u"INNER.BIN"}, ERROR_SUCCESS, u"inner.bin"},
        {{u"absent.txt"}, ERROR_FILE_NOT_FOUND, nullptr},
        {{u"absent", u"inner.bin"}, ERROR_PATH_NOT_FOUND, nullptr},
        {{u"Notes.txt", u"inner.bin"}, ERROR_PATH_NOT_FOUND, nullptr},
        {{u"Encrypted Folder"}, ERROR_FILE_NOT_FOUND, nullptr},
        {{}, ERROR_INVALID_PARAMETER, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.empty() ? std::string("the root") : crt::ToUtf8(c.path.back()));
        kernel::VolumeEntry entry;
        ASSERT_EQ(store->GetEntry(c.path, &entry), c.error);
        if (c.error != ERROR_SUCCESS)
            continue;
        std::vector<kernel::VolumeEntry> listing;
        ASSERT_EQ(store->List(kernel::PathComponents(c.path.begin(), c.path.end() - 1), &listing),
                  static_cast<DWORD>(ERROR_SUCCESS));
        auto listed = std::find_if(listing.begin(), listing.end(),
                                   [&](const kernel::VolumeEntry& e) { return e.name == c.listedAs; });
        ASSERT_NE(listed, listing.end());
        EXPECT_EQ(entry.name, listed->name);
        EXPECT_EQ(entry.attributes, listed->attributes);
        EXPECT_EQ(entry.size, listed->size);
        EXPECT_EQ(std::memcmp(&entry.creationTime, &listed->creationTime, sizeof(FILETIME)), 0);
        EXPECT_EQ(std::memcmp(&entry.lastWriteTime, &listed->lastWriteTime, sizeof(FILETIME)), 0);
    }
}

TEST_F(Volumes, TheLongestMountFolderWins) {
    ASSERT_TRUE(CreateDirectoryW(u"\\Encrypted Folder\\sub", nullptr));
    auto inner = std::make_shared<FakeVolume>();
    ASSERT_TRUE(kernel::MountVolume(u"\\encrypted folder\\SUB\\Inner", inner));
    ASSERT_TRUE(WriteWhole(u"\\Encrypted Folder\\sub\\inner\\deep.txt", "deep"));
    ASSERT_TRUE(WriteWhole(u"\\Encrypted Folder\\sub\\outer.txt", "outer"));
    EXPECT_EQ(inner->openFiles, 0);
    EXPECT_EQ(Names(u"\\Encrypted Folder\\sub\\*"), (std::vector<std::u16string>{u"Inner", u"outer.txt"}));
    EXPECT_EQ(Names(u"\\Encrypted Folder\\sub\\inner\\*"), std::vector<std::u16string>{u"deep.txt"});
    // A folder that holds a mount folder cannot be removed or moved.
    EXPECT_FALSE(MoveFileW(u"\\Encrypted Folder\\sub", u"\\Encrypted Folder\\other"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(RemoveDirectoryW(u"\\Encrypted Folder\\sub"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(kernel::UnmountVolume(u"\\Encrypted Folder\\sub\\inner"));
    EXPECT_EQ(Names(u"\\Encrypted Folder\\sub\\*"), std::vector<std::u16string>{u"outer.txt"});
}

TEST_F(Volumes, TheMountFolderItselfIsProtected) {
    EXPECT_EQ(Open(kFolder, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileW(kFolder));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(RemoveDirectoryW(kFolder));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(MoveFileW(kFolder, u"\\Elsewhere"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(WriteWhole(u"\\f.txt", "x"));
    EXPECT_FALSE(MoveFileW(u"\\f.txt", kFolder));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(SetFileAttributesW(kFolder, FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CreateDirectoryW(u"\\ENCRYPTED FOLDER", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    // Mounting needs a free name in an existing folder.
    auto other = std::make_shared<FakeVolume>();
    EXPECT_FALSE(kernel::MountVolume(u"\\encrypted folder", other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(kernel::MountVolume(u"\\f.txt", other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(kernel::MountVolume(u"\\none\\Folder", other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(kernel::MountVolume(u"\\", other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(kernel::MountVolume(u"\\Folder", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(kernel::MountVolume(nullptr, other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(kernel::UnmountVolume(u"\\Folder"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    // A volume's files are no host files: they can be neither mapped nor named on the host.
    DWORD error = 0;
    EXPECT_FALSE(kernel::DeviceToHostPath(u"\\Encrypted Folder\\x.txt", &error).has_value());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    kernel::ScopedHandle file(CreateFileForMappingW(
        u"\\Encrypted Folder\\disk.img", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(CreateFileMappingW(file.Get(), nullptr, PAGE_READWRITE, 0, 4096, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST_F(Volumes, ShareModesHoldOnAVolume) {
    kernel::ScopedHandle exclusive(
        Open(u"\\Encrypted Folder\\a.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(exclusive.IsOpen());
    EXPECT_EQ(
        Open(u"\\ENCRYPTED FOLDER\\A.TXT", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(_wfopen(u"\\Encrypted Folder\\a.txt", u"r"), nullptr);
    EXPECT_FALSE(DeleteFileW(u"\\Encrypted Folder\\a.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileW(u"\\Encrypted Folder\\a.txt", u"\\Encrypted Folder\\b.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    exclusive.Reset();
    kernel::ScopedHandle reader(
        Open(u"\\Encrypted Folder\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    kernel::ScopedHandle second(
        Open(u"\\Encrypted Folder\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_TRUE(second.IsOpen());
    reader.Reset();
    second.Reset();
    EXPECT_TRUE(DeleteFileW(u"\\Encrypted Folder\\a.txt"));
}

TEST_F(Volumes, FilesMoveBetweenVolumesFoldersDoNot) {
    ASSERT_TRUE(WriteWhole(u"\\travel.txt", "luggage"));
    ASSERT_TRUE(SetFileAttributesW(u"\\travel.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MoveFileW(u"\\travel.txt", u"\\Encrypted Folder\\travel.txt"));
    EXPECT_EQ(GetFileAttributesW(u"\\travel.txt"), static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));
    EXPECT_EQ(ReadWhole(u"\\Encrypted Folder\\travel.txt"), "luggage");
    EXPECT_EQ(GetFileAttributesW(u"\\Encrypted Folder\\travel.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MoveFileW(u"\\Encrypted Folder\\travel.txt", u"\\back.txt"));
    EXPECT_EQ(ReadWhole(u"\\back.txt"), "luggage");
    EXPECT_EQ(GetFileAttributesW(u"\\back.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    // A source that cannot be deleted stays where it was, and the copy goes again.
    {
        kernel::ScopedHandle reader(Open(u"\\back.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
        EXPECT_FALSE(MoveFileW(u"\\back.txt", u"\\Encrypted Folder\\again.txt"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_EQ(GetFileAttributesW(u"\\Encrypted Folder\\again.txt"),
              static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));
    EXPECT_EQ(GetFileAttributesW(u"\\back.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(MoveFileW(u"\\back.txt", u"\\Encrypted Folder\\none\\x.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    ASSERT_TRUE(CreateDirectoryW(u"\\dir", nullptr));
    EXPECT_FALSE(MoveFileW(u"\\dir", u"\\Encrypted Folder\\dir"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Volumes, HandlesOfAnUnmountedVolumeFailWithoutReachingIt) {
    HANDLE file = Open(u"\\Encrypted Folder\\open.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILE* stream = _wfopen(u"\\Encrypted Folder\\stream.txt", u"w");
    ASSERT_NE(stream, nullptr);
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW(u"\\Encrypted Folder\\*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(m_volume->openFiles, 2);

    ASSERT_TRUE(kernel::UnmountVolume(kFolder));
    EXPECT_EQ(m_volume->openFiles, 0) << "the volume's files were not closed at unmount";
    std::weak_ptr<FakeVolume> gone = m_volume;
    m_volume.reset();
    EXPECT_TRUE(gone.expired()) << "the kernel kept the unmounted volume";

    char buffer[4];
    DWORD done = 0;
    EXPECT_FALSE(WriteFile(file, "data", 4, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReadFile(file, buffer, 4, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), static_cast<DWORD>(INVALID_SET_FILE_POINTER));
    EXPECT_EQ(GetFileSize(file, nullptr), static_cast<DWORD>(INVALID_FILE_SIZE));
    EXPECT_FALSE(SetEndOfFile(file));
    EXPECT_FALSE(FlushFileBuffers(file));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(file));

    std::fputs("late", stream);
    EXPECT_EQ(std::fflush(stream), EOF);
    std::fclose(stream);
    EXPECT_TRUE(FindClose(search));

    // The folder is gone with its volume.
    EXPECT_EQ(GetFileAttributesW(kFolder), static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(kernel::UnmountVolume(kFolder));
}

TEST_F(Volumes, UnmountWaitsForTheCallsInProgress) {
    ASSERT_TRUE(WriteWhole(u"\\Encrypted Folder\\slow.txt", "slow"));
    HANDLE file = Open(u"\\Encrypted Folder\\slow.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    m_volume->CloseGate();
    BOOL readResult = FALSE;
    char buffer[8] = {};
    DWORD done = 0;
    std::thread reader([&] { readResult = ReadFile(file, buffer, sizeof buffer, &done, nullptr); });
    m_volume->WaitForReader();

    std::atomic<bool> unmounted{false};
    std::thread unmounter([&] {
        kernel::UnmountVolume(kFolder);
        unmounted = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(unmounted) << "the volume went while a call was in it";
    m_volume->OpenGate();
    reader.join();
    unmounter.join();
    EXPECT_TRUE(readResult);
    EXPECT_EQ(std::string(buffer, done), "slow");
    EXPECT_EQ(m_volume->openFiles, 0);
    EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(file));
}

} // namespace
