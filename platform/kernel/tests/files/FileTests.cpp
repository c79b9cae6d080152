// Files: dispositions, reading and writing, the file pointer, sizes, times, attributes, and the calls on
// paths (delete, move, copy, folders).

#include <sys/statvfs.h>

#include <cstring>

#include "FilesTestSupport.h"
#include "kernel/Store.h"

namespace {
using filestest::Open;
using filestest::ReadWhole;
using filestest::WriteWhole;

class Files : public filestest::DeviceRootTest {};

struct DispositionCase {
    DWORD disposition;
    bool exists;
    bool opens;
    DWORD lastError;
    const char* contentAfter; // nullptr: no file afterwards
};

TEST_F(Files, DispositionsOpenCreateAndTruncateWithTheHandheldsErrors) {
    const DispositionCase cases[] = {
        {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
    };
    for (const DispositionCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "disposition " << c.disposition << (c.exists ? " on a file" : " on none"));
        DeleteFileW(u"\\f.txt");
        if (c.exists) {
            ASSERT_TRUE(WriteWhole(u"\\f.txt", "old"));
        }
        SetLastError(12345);
        kernel::ScopedHandle file(Open(u"\\f.txt", GENERIC_READ | GENERIC_WRITE, 0, c.disposition));
        EXPECT_EQ(file.IsOpen(), c.opens);
        EXPECT_EQ(GetLastError(), c.lastError);
        file.Reset();
        if (c.contentAfter == nullptr) {
            EXPECT_EQ(GetFileAttributesW(u"\\f.txt"), static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));
        } else {
            EXPECT_EQ(ReadWhole(u"\\f.txt"), c.contentAfter);
        }
    }
}

TEST_F(Files, OpeningRefusesMissingFoldersFoldersAndFilesUsedAsFolders) {
    ASSERT_TRUE(CreateDirectoryW(u"\\dir", nullptr));
    ASSERT_TRUE(WriteWhole(u"\\file.txt", "x"));
    for (DWORD disposition : {CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS, TRUNCATE_EXISTING}) {
        SCOPED_TRACE(disposition);
        EXPECT_EQ(Open(u"\\missing\\f.txt", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(Open(u"\\file.txt\\f.txt", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(Open(u"\\DIR", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), disposition == CREATE_NEW ? static_cast<DWORD>(ERROR_FILE_EXISTS)
                                                            : static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(Open(u"\\dir", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Open(u"\\", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(std::filesystem::is_directory(Store() / "dir"));
}

TEST_F(Files, ReadWriteAndTheFilePointer) {
    kernel::ScopedHandle file(Open(u"\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(file.IsOpen());
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file.Get(), "hello world", 11, &done, nullptr));
    EXPECT_EQ(done, 11u);

    char buffer[32] = {};
    EXPECT_EQ(SetFilePointer(file.Get(), 6, nullptr, FILE_BEGIN), 6u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_TRUE(ReadFile(file.Get(), buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "world");
    ASSERT_TRUE(ReadFile(file.Get(), buffer, sizeof buffer, &done, nullptr)); // at the end: success, 0 bytes
    EXPECT_EQ(done, 0u);

    EXPECT_EQ(SetFilePointer(file.Get(), -5, nullptr, FILE_CURRENT), 6u);
    EXPECT_EQ(SetFilePointer(file.Get(), 0, nullptr, FILE_END), 11u);
    // Before the start: refused, and the pointer stays.
    EXPECT_EQ(SetFilePointer(file.Get(), -16, nullptr, FILE_END),
              static_cast<DWORD>(INVALID_SET_FILE_POINTER));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(file.Get(), 0, nullptr, FILE_CURRENT), 11u);
    EXPECT_EQ(SetFilePointer(file.Get(), 0, nullptr, 3), static_cast<DWORD>(INVALID_SET_FILE_POINTER));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // Past the end: a write there leaves zeros in the gap.
    EXPECT_EQ(SetFilePointer(file.Get(), 14, nullptr, FILE_BEGIN), 14u);
    ASSERT_TRUE(WriteFile(file.Get(), "!", 1, &done, nullptr));
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file.Get(), &high), 15u);
    EXPECT_EQ(high, 0u);
    file.Reset();
    EXPECT_EQ(ReadWhole(u"\\data.bin"), std::string("hello world\0\0\0!", 15));
}

TEST_F(Files, SixtyFourBitPositionsAndSizes) {
    kernel::ScopedHandle file(Open(u"\\big.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(file.IsOpen());
    // 4 GiB + 1 with the high word; the result's low word may be anything, the last error tells.
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(file.Get(), 1, &high, FILE_BEGIN), 1u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(high, 1);
    ASSERT_TRUE(SetEndOfFile(file.Get())); // sparse on the host
    DWORD sizeHigh = 0;
    EXPECT_EQ(GetFileSize(file.Get(), &sizeHigh), 1u);
    EXPECT_EQ(sizeHigh, 1u);
    // Without the high word the new position must fit 32 bits.
    EXPECT_EQ(SetFilePointer(file.Get(), 0, nullptr, FILE_CURRENT),
              static_cast<DWORD>(INVALID_SET_FILE_POINTER));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A position of 0xFFFFFFFF is a success that looks like the failure value.
    high = 0;
    EXPECT_EQ(SetFilePointer(file.Get(), -1, &high, FILE_BEGIN) + 0, 0xFFFFFFFFu);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    // Negative 64-bit distances: -(4 GiB) from the end of a file of 4 GiB + 1.
    high = -1;
    EXPECT_EQ(SetFilePointer(file.Get(), 0, &high, FILE_END), 1u);
    EXPECT_EQ(high, 0);
    ASSERT_TRUE(SetEndOfFile(file.Get()));
    EXPECT_EQ(GetFileSize(file.Get(), nullptr), 1u);
}

TEST_F(Files, AccessDecidesWhatAHandleMayDo) {
    ASSERT_TRUE(WriteWhole(u"\\f.txt", "content"));
    char buffer[8];
    DWORD done = 0;
    {
        kernel::ScopedHandle reader(Open(u"\\f.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
        EXPECT_FALSE(WriteFile(reader.Get(), "x", 1, &done, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(SetEndOfFile(reader.Get()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        FILETIME time{1, 1};
        EXPECT_FALSE(SetFileTime(reader.Get(), nullptr, nullptr, &time));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    {
        kernel::ScopedHandle writer(Open(u"\\f.txt", GENERIC_WRITE, 0, OPEN_EXISTING));
        EXPECT_FALSE(ReadFile(writer.Get(), buffer, sizeof buffer, &done, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    {
        kernel::ScopedHandle query(Open(u"\\f.txt", 0, 0, OPEN_EXISTING));
        ASSERT_TRUE(query.IsOpen());
        EXPECT_EQ(GetFileSize(query.Get(), nullptr), 7u);
        EXPECT_FALSE(ReadFile(query.Get(), buffer, sizeof buffer, &done, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(ReadWhole(u"\\f.txt"), "content");
}

TEST_F(Files, TimesRoundTripThroughHandlesAndSearches) {
    kernel::ScopedHandle file(Open(u"\\t.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(file.IsOpen());
    const FILETIME creation{0x12345670, 0x01D00000};
    const FILETIME access{0x22345670, 0x01D10000};
    const FILETIME write{0x32345670, 0x01D20000};
    ASSERT_TRUE(SetFileTime(file.Get(), &creation, &access, &write));
    const FILETIME later{0x42345670, 0x01D30000};
    ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &later)); // the others stay

    FILETIME c{}, a{}, w{};
    ASSERT_TRUE(GetFileTime(file.Get(), &c, &a, &w));
    auto same = [](const FILETIME& x, const FILETIME& y) {
        return x.dwLowDateTime == y.dwLowDateTime && x.dwHighDateTime == y.dwHighDateTime;
    };
    EXPECT_TRUE(same(c, creation));
    EXPECT_TRUE(same(a, access));
    EXPECT_TRUE(same(w, later));
    EXPECT_TRUE(GetFileTime(file.Get(), nullptr, nullptr, nullptr));
    file.Reset();

    WIN32_FIND_DATAW data{};
    kernel::ScopedFind search(FindFirstFileW(u"\\T.TXT", &data));
    ASSERT_TRUE(search.IsOpen());
    EXPECT_TRUE(same(data.ftCreationTime, creation));
    EXPECT_TRUE(same(data.ftLastWriteTime, later));
}

TEST_F(Files, AttributesRoundTrip) {
    ASSERT_TRUE(WriteWhole(u"\\a.txt", "x"));
    ASSERT_TRUE(CreateDirectoryW(u"\\dir", nullptr));
    EXPECT_EQ(GetFileAttributesW(u"\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(u"\\dir"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(u"\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    struct Case {
        DWORD set;
        DWORD file;
    };
    const Case cases[] = {
        {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY},
        {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
        {FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_SYSTEM},
        {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY,
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY, FILE_ATTRIBUTE_HIDDEN},
        {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},
        {0, FILE_ATTRIBUTE_NORMAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        ASSERT_TRUE(SetFileAttributesW(u"\\A.TXT", c.set));
        EXPECT_EQ(GetFileAttributesW(u"\\a.txt"), c.file);
        ASSERT_TRUE(SetFileAttributesW(u"\\dir", c.set));
        EXPECT_EQ(GetFileAttributesW(u"\\dir"),
                  FILE_ATTRIBUTE_DIRECTORY | (c.file == FILE_ATTRIBUTE_NORMAL ? 0 : c.file));
    }

    // Attributes given at creation, replaced by CREATE_ALWAYS, ignored by OPEN_ALWAYS of an existing file.
    kernel::ScopedHandle created(
        Open(u"\\h.txt", GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NORMAL));
    created.Reset();
    EXPECT_EQ(GetFileAttributesW(u"\\h.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    kernel::ScopedHandle reopened(Open(u"\\h.txt", GENERIC_WRITE, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_SYSTEM));
    reopened.Reset();
    EXPECT_EQ(GetFileAttributesW(u"\\h.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    kernel::ScopedHandle replaced(Open(u"\\h.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_SYSTEM));
    replaced.Reset();
    EXPECT_EQ(GetFileAttributesW(u"\\h.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));

    // They travel with a move and a copy.
    ASSERT_TRUE(MoveFileW(u"\\h.txt", u"\\moved.txt"));
    EXPECT_EQ(GetFileAttributesW(u"\\moved.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(CopyFileW(u"\\moved.txt", u"\\copied.txt", TRUE));
    EXPECT_EQ(GetFileAttributesW(u"\\copied.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));

    // A missing file fails, which callers use as an existence check.
    EXPECT_FALSE(SetFileAttributesW(u"\\none.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesW(u"\\none\\x.txt"), static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(SetFileAttributesW(u"\\", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Files, ReadOnlyFilesRefuseWritingAndDeletion) {
    ASSERT_TRUE(WriteWhole(u"\\ro.txt", "keep"));
    ASSERT_TRUE(CreateDirectoryW(u"\\rodir", nullptr));
    ASSERT_TRUE(SetFileAttributesW(u"\\ro.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(u"\\rodir", FILE_ATTRIBUTE_READONLY));

    struct Refused {
        DWORD access;
        DWORD disposition;
    };
    const Refused refused[] = {{GENERIC_WRITE, OPEN_EXISTING},
                               {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS},
                               {GENERIC_READ, CREATE_ALWAYS},
                               {GENERIC_WRITE, TRUNCATE_EXISTING}};
    for (const Refused& r : refused) {
        EXPECT_EQ(Open(u"\\RO.txt", r.access, FILE_SHARE_READ, r.disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_FALSE(DeleteFileW(u"\\ro.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CopyFileW(u"\\ro.txt", u"\\ro.txt", FALSE));
    EXPECT_FALSE(RemoveDirectoryW(u"\\rodir"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadWhole(u"\\ro.txt"), "keep");

    // A copy is read-only too, and the read-only file itself can still be renamed.
    ASSERT_TRUE(CopyFileW(u"\\ro.txt", u"\\copy.txt", TRUE));
    EXPECT_EQ(GetFileAttributesW(u"\\copy.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(CopyFileW(u"\\ro.txt", u"\\copy.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(MoveFileW(u"\\ro.txt", u"\\renamed.txt"));

    ASSERT_TRUE(SetFileAttributesW(u"\\renamed.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(WriteWhole(u"\\renamed.txt", "changed"));
    EXPECT_TRUE(DeleteFileW(u"\\renamed.txt"));
    ASSERT_TRUE(SetFileAttributesW(u"\\rodir", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(RemoveDirectoryW(u"\\rodir"));
}

TEST_F(Files, DeleteMoveAndCopy) {
    ASSERT_TRUE(WriteWhole(u"\\a.txt", "alpha"));
    ASSERT_TRUE(WriteWhole(u"\\b.txt", "beta"));
    ASSERT_TRUE(CreateDirectoryW(u"\\dir", nullptr));

    EXPECT_FALSE(DeleteFileW(u"\\none.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(u"\\none\\a.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(u"\\dir"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileW(u"\\"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // Moving onto an existing name is refused and loses nothing.
    EXPECT_FALSE(MoveFileW(u"\\a.txt", u"\\B.TXT"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadWhole(u"\\a.txt"), "alpha");
    EXPECT_EQ(ReadWhole(u"\\b.txt"), "beta");
    EXPECT_FALSE(MoveFileW(u"\\none.txt", u"\\c.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(MoveFileW(u"\\a.txt", u"\\none\\c.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    // A change of case only renames.
    ASSERT_TRUE(MoveFileW(u"\\a.txt", u"\\A.TXT"));
    EXPECT_TRUE(std::filesystem::exists(Store() / "A.TXT"));
    EXPECT_FALSE(std::filesystem::exists(Store() / "a.txt"));

    // Folders move with their content, but never into themselves.
    ASSERT_TRUE(MoveFileW(u"\\A.TXT", u"\\dir\\a.txt"));
    ASSERT_TRUE(MoveFileW(u"\\dir", u"\\Folder"));
    EXPECT_EQ(ReadWhole(u"\\folder\\a.txt"), "alpha");
    ASSERT_TRUE(CreateDirectoryW(u"\\Folder\\sub", nullptr));
    EXPECT_FALSE(MoveFileW(u"\\Folder", u"\\folder\\sub\\inner"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // Copies: content and last write time; an existing target only when allowed.
    ASSERT_TRUE(CopyFileW(u"\\b.txt", u"\\folder\\b2.txt", TRUE));
    EXPECT_EQ(ReadWhole(u"\\folder\\b2.txt"), "beta");
    EXPECT_FALSE(CopyFileW(u"\\folder\\a.txt", u"\\folder\\b2.txt", TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadWhole(u"\\folder\\b2.txt"), "beta");
    ASSERT_TRUE(CopyFileW(u"\\folder\\a.txt", u"\\folder\\b2.txt", FALSE));
    EXPECT_EQ(ReadWhole(u"\\folder\\b2.txt"), "alpha");
    EXPECT_FALSE(CopyFileW(u"\\none.txt", u"\\c.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(CopyFileW(u"\\folder", u"\\c.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    // A file copied onto itself is refused instead of being emptied.
    EXPECT_FALSE(CopyFileW(u"\\b.txt", u"\\B.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(ReadWhole(u"\\b.txt"), "beta");

    FILETIME source{}, copy{};
    {
        kernel::ScopedHandle a(Open(u"\\folder\\a.txt", 0, 0, OPEN_EXISTING));
        kernel::ScopedHandle b(Open(u"\\folder\\b2.txt", 0, 0, OPEN_EXISTING));
        ASSERT_TRUE(GetFileTime(a.Get(), nullptr, nullptr, &source));
        ASSERT_TRUE(GetFileTime(b.Get(), nullptr, nullptr, &copy));
    }
    EXPECT_EQ(source.dwLowDateTime, copy.dwLowDateTime);
    EXPECT_EQ(source.dwHighDateTime, copy.dwHighDateTime);
}

TEST_F(Files, FoldersAreCreatedAndRemoved) {
    ASSERT_TRUE(CreateDirectoryW(u"\\Dir", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"\\dir", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(u"\\", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(u"\\none\\dir", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    ASSERT_TRUE(WriteWhole(u"\\dir\\f.txt", "x"));

    EXPECT_FALSE(RemoveDirectoryW(u"\\DIR"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_FALSE(RemoveDirectoryW(u"\\dir\\f.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_FALSE(RemoveDirectoryW(u"\\none"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(RemoveDirectoryW(u"\\"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(DeleteFileW(u"\\dir\\F.TXT"));
    EXPECT_TRUE(RemoveDirectoryW(u"\\dir"));
    EXPECT_FALSE(std::filesystem::exists(Store() / "Dir"));
}

TEST_F(Files, BadArgumentsGiveErrorCodes) {
    EXPECT_EQ(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    for (DWORD disposition : {0u, 6u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Open(u"\\f.txt", GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(Open(u"\\f.txt", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    auto refusesNull = [](BOOL result) { return !result && GetLastError() == ERROR_INVALID_PARAMETER; };
    EXPECT_TRUE(refusesNull(DeleteFileW(nullptr)));
    EXPECT_TRUE(refusesNull(MoveFileW(nullptr, u"\\x")));
    EXPECT_TRUE(refusesNull(MoveFileW(u"\\x", nullptr)));
    EXPECT_TRUE(refusesNull(CopyFileW(nullptr, u"\\x", FALSE)));
    EXPECT_TRUE(refusesNull(CreateDirectoryW(nullptr, nullptr)));
    EXPECT_TRUE(refusesNull(RemoveDirectoryW(nullptr)));
    EXPECT_TRUE(refusesNull(SetFileAttributesW(nullptr, 0)));
    EXPECT_TRUE(refusesNull(GetStoreInformation(nullptr)));
    EXPECT_EQ(GetFileAttributesW(nullptr), static_cast<DWORD>(INVALID_FILE_ATTRIBUTES));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // A NULL buffer with a count is refused; NULL count pointers are allowed.
    kernel::ScopedHandle file(Open(u"\\f.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(file.IsOpen());
    EXPECT_FALSE(WriteFile(file.Get(), nullptr, 4, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(ReadFile(file.Get(), nullptr, 4, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(WriteFile(file.Get(), "abcd", 4, nullptr, nullptr));
    EXPECT_TRUE(WriteFile(file.Get(), nullptr, 0, nullptr, nullptr));
}

TEST_F(Files, ClosedAndWrongHandlesAreRefused) {
    HANDLE closed = Open(u"\\f.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(closed, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(closed));
    WIN32_FIND_DATAW data{};
    kernel::ScopedFind search(FindFirstFileW(u"\\*", &data));
    ASSERT_TRUE(search.IsOpen());

    for (HANDLE bad : {closed, search.Get(), static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        char buffer[4];
        DWORD done = 99;
        FILETIME time{};
        EXPECT_FALSE(ReadFile(bad, buffer, 4, &done, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(done, 0u);
        EXPECT_FALSE(WriteFile(bad, buffer, 4, &done, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), static_cast<DWORD>(INVALID_SET_FILE_POINTER));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(GetFileSize(bad, nullptr), static_cast<DWORD>(INVALID_FILE_SIZE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(SetEndOfFile(bad));
        EXPECT_FALSE(FlushFileBuffers(bad));
        EXPECT_FALSE(GetFileTime(bad, &time, nullptr, nullptr));
        EXPECT_FALSE(SetFileTime(bad, &time, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    EXPECT_FALSE(CloseHandle(closed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Files, StoreInformationComesFromTheStoresFileSystem) {
    STORE_INFORMATION info{};
    ASSERT_TRUE(GetStoreInformation(&info));
    struct statvfs host {};
    ASSERT_EQ(::statvfs(Store().c_str(), &host), 0);
    const unsigned long long total = static_cast<unsigned long long>(host.f_blocks) * host.f_frsize;
    EXPECT_EQ(info.dwStoreSize, static_cast<DWORD>(std::min<unsigned long long>(total, 0xFFFFFFFFULL)));
    EXPECT_GT(info.dwFreeSize, 0u);
    EXPECT_LE(info.dwFreeSize, info.dwStoreSize);

    ULARGE_INTEGER available{}, size{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(nullptr, &available, &size, &free));
    EXPECT_EQ(size.QuadPart, total);
    ASSERT_TRUE(CreateDirectoryW(u"\\dir", nullptr));
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\DIR", nullptr, &size, nullptr));
    EXPECT_EQ(size.QuadPart, total);
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\none", &available, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    ASSERT_TRUE(WriteWhole(u"\\f.txt", "x"));
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\f.txt", &available, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
}

} // namespace
