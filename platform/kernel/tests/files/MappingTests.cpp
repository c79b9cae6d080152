// File mappings: views that reach the file, growth, lifetimes and refusals.

#include <cstring>
#include <vector>

#include "FilesTestSupport.h"

namespace {
using filestest::InChildProcess;
using filestest::Open;
using filestest::ReadWhole;
using filestest::WriteWhole;

class Mappings : public filestest::DeviceRootTest {};

HANDLE OpenForMapping(const char16_t* path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileForMappingW(path, access, share, nullptr, disposition, 0, nullptr);
}

TEST_F(Mappings, AFlushedViewIsWhatReadersAndOtherProcessesRead) {
    kernel::ScopedHandle file(
        OpenForMapping(u"\\disk.img", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS));
    ASSERT_TRUE(file.IsOpen());
    kernel::ScopedHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READWRITE, 0, 8192, nullptr));
    ASSERT_TRUE(mapping.IsOpen());
    auto* view = static_cast<unsigned char*>(MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    for (int i = 0; i < 8192; ++i)
        view[i] = static_cast<unsigned char>(i * 7);
    ASSERT_TRUE(FlushViewOfFile(view, 0));

    std::vector<unsigned char> back(8192);
    DWORD got = 0;
    ASSERT_EQ(SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN), 0u);
    ASSERT_TRUE(ReadFile(file.Get(), back.data(), 8192, &got, nullptr));
    ASSERT_EQ(got, 8192u);
    EXPECT_EQ(std::memcmp(back.data(), view, 8192), 0);

    const int status = InChildProcess([] {
        const std::string content = ReadWhole(u"\\disk.img");
        if (content.size() != 8192)
            return 1;
        for (int i = 0; i < 8192; ++i)
            if (static_cast<unsigned char>(content[i]) != static_cast<unsigned char>(i * 7))
                return 2;
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(UnmapViewOfFile(view));
}

TEST_F(Mappings, AMappingLargerThanTheFileGrowsItWithZeros) {
    ASSERT_TRUE(WriteWhole(u"\\small.bin", "abc"));
    kernel::ScopedHandle file(OpenForMapping(u"\\small.bin", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING));
    kernel::ScopedHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READWRITE, 0, 100000, nullptr));
    ASSERT_TRUE(mapping.IsOpen());
    DWORD high = 9;
    EXPECT_EQ(GetFileSize(file.Get(), &high), 100000u);
    EXPECT_EQ(high, 0u);
    auto* view = static_cast<const char*>(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 3), "abc");
    EXPECT_EQ(std::string(view + 3, 99997), std::string(99997, '\0'));
    EXPECT_TRUE(UnmapViewOfFile(view));
    // Size 0 maps the file as it is now.
    kernel::ScopedHandle whole(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    ASSERT_TRUE(whole.IsOpen());
    void* all = MapViewOfFile(whole.Get(), FILE_MAP_READ, 0, 65536, 0);
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(MapViewOfFile(whole.Get(), FILE_MAP_READ, 0, 0, 100001), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(UnmapViewOfFile(all));
}

TEST_F(Mappings, AMappingOutlivesItsHandlesAndKeepsTheFileInUse) {
    const size_t handles = kernel::OpenHandleCount();
    const size_t views = kernel::OpenViewCount();
    HANDLE file = OpenForMapping(u"\\kept.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 3 * 65536, nullptr);
    ASSERT_NE(mapping, nullptr);
    auto* first = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 65536));
    auto* third = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 2 * 65536, 0));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(kernel::OpenViewCount(), views + 2);
    ASSERT_TRUE(CloseHandle(file));
    ASSERT_TRUE(CloseHandle(mapping));
    EXPECT_EQ(kernel::OpenHandleCount(), handles);

    std::memcpy(first, "first", 5);
    std::memcpy(third + 65530, "third", 5);
    ASSERT_TRUE(FlushViewOfFile(third + 100, 20)); // any address inside a view
    // The views still hold the file, without sharing.
    EXPECT_EQ(Open(u"\\kept.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(u"\\kept.bin"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    EXPECT_TRUE(UnmapViewOfFile(first));
    EXPECT_TRUE(UnmapViewOfFile(third));
    EXPECT_EQ(kernel::OpenViewCount(), views);
    const std::string content = ReadWhole(u"\\kept.bin");
    ASSERT_EQ(content.size(), 3u * 65536);
    EXPECT_EQ(content.substr(0, 5), "first");
    EXPECT_EQ(content.substr(3 * 65536 - 6, 5), "third");
    EXPECT_TRUE(DeleteFileW(u"\\kept.bin"));
}

TEST_F(Mappings, AMappedFileIsNotCutBelowTheMapping) {
    kernel::ScopedHandle file(OpenForMapping(u"\\m.bin", GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_NEW));
    kernel::ScopedHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READWRITE, 0, 8192, nullptr));
    ASSERT_TRUE(mapping.IsOpen());
    auto* view = static_cast<char*>(MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(SetFilePointer(file.Get(), 100, nullptr, FILE_BEGIN), 100u);
    EXPECT_FALSE(SetEndOfFile(file.Get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_USER_MAPPED_FILE));
    // Neither through another handle, nor by replacing the file.
    kernel::ScopedHandle other(
        Open(u"\\m.bin", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
    ASSERT_TRUE(other.IsOpen());
    EXPECT_FALSE(SetEndOfFile(other.Get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_USER_MAPPED_FILE));
    EXPECT_EQ(Open(u"\\m.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_USER_MAPPED_FILE));
    view[8191] = 'z'; // still backed by the file
    // Growing is fine.
    ASSERT_EQ(SetFilePointer(file.Get(), 10000, nullptr, FILE_BEGIN), 10000u);
    EXPECT_TRUE(SetEndOfFile(file.Get()));
    EXPECT_TRUE(UnmapViewOfFile(view));
    mapping.Reset();
    ASSERT_EQ(SetFilePointer(file.Get(), 100, nullptr, FILE_BEGIN), 100u);
    EXPECT_TRUE(SetEndOfFile(file.Get()));
}

TEST_F(Mappings, RefusalsGiveErrorCodes) {
    ASSERT_TRUE(WriteWhole(u"\\r.bin", std::string(1000, 'r')));
    kernel::ScopedHandle empty(OpenForMapping(u"\\empty.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
    EXPECT_EQ(CreateFileMappingW(empty.Get(), nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));

    kernel::ScopedHandle reader(OpenForMapping(u"\\r.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_EQ(CreateFileMappingW(reader.Get(), nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CreateFileMappingW(reader.Get(), nullptr, PAGE_READONLY, 0, 5000, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CreateFileMappingW(reader.Get(), nullptr, 0x40, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateFileMappingW(reader.Get(), nullptr, PAGE_READONLY, 0, 0, u"named"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(CreateFileMappingW(nullptr, nullptr, PAGE_READWRITE, 0, 4096, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    kernel::ScopedHandle mapping(CreateFileMappingW(reader.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    ASSERT_TRUE(mapping.IsOpen());
    struct ViewCase {
        HANDLE handle;
        DWORD access, offset;
        SIZE_T length;
        DWORD error;
    };
    const ViewCase views[] = {
        {mapping.Get(), FILE_MAP_WRITE, 0, 0, ERROR_ACCESS_DENIED},
        {mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, ERROR_ACCESS_DENIED},
        {mapping.Get(), 0, 0, 0, ERROR_INVALID_PARAMETER},
        {mapping.Get(), FILE_MAP_READ, 4096, 0, ERROR_INVALID_PARAMETER},  // not on the granularity
        {mapping.Get(), FILE_MAP_READ, 65536, 0, ERROR_INVALID_PARAMETER}, // past the end
        {mapping.Get(), FILE_MAP_READ, 0, 1001, ERROR_INVALID_PARAMETER},
        {reader.Get(), FILE_MAP_READ, 0, 0, ERROR_INVALID_HANDLE}, // a file is no mapping
        {nullptr, FILE_MAP_READ, 0, 0, ERROR_INVALID_HANDLE},
    };
    for (const ViewCase& v : views) {
        SCOPED_TRACE(testing::Message() << v.access << " at " << v.offset << " for " << v.length);
        EXPECT_EQ(MapViewOfFile(v.handle, v.access, 0, v.offset, v.length), nullptr);
        EXPECT_EQ(GetLastError(), v.error);
    }
    const char* view = static_cast<const char*>(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 1000), std::string(1000, 'r'));

    int local = 0;
    EXPECT_FALSE(UnmapViewOfFile(&local));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
    EXPECT_FALSE(UnmapViewOfFile(view + 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
    EXPECT_FALSE(FlushViewOfFile(&local, 4));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
    EXPECT_FALSE(FlushViewOfFile(nullptr, 0));
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
    EXPECT_FALSE(UnmapViewOfFile(nullptr));
}

} // namespace
