#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

#include "DriverFaults.h"
#include "DriverTestSupport.h"
#include "OpenSslReference.h"

// Allocation without exceptions can be made to fail for one test; the driver allocates its context
// that way. The replacement takes its memory from the ordinary operator new, so delete stays paired.
namespace {
std::atomic<bool> g_failNothrowNew{false};
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failNothrowNew)
        return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

namespace drivertest {
namespace {

using user::MessageBoxRecord;

constexpr UINT kDriverBoxFlags = MB_OK | MB_SETFOREGROUND | MB_TOPMOST;

std::vector<std::u16string> BoxTexts() {
    std::vector<std::u16string> texts;
    for (const MessageBoxRecord& box : user::TakeShownMessageBoxes()) {
        EXPECT_EQ(box.type, kDriverBoxFlags);
        texts.push_back(box.text + u" | " + box.caption);
    }
    return texts;
}

std::u16string FolderValue() {
    HKEY key = nullptr;
    WCHAR text[MAX_PATH] = {};
    DWORD size = sizeof text;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System\\StorageManager\\Profiles\\Ferrovane", 0, 0, &key) == 0) {
        RegQueryValueExW(key, u"Folder", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
    }
    return text;
}

using DriverInitTest = DriverTest;

TEST_F(DriverInitTest, CreateRoundsTheSizeAndLeavesAZeroFilledFileOfThatSize) {
    struct Case {
        uint32_t requested;
        uint32_t rounded;
    };
    const Case cases[] = {{1, 512}, {512, 512}, {513, 1024}, {1000, 1024}, {1048576, 1048576}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.requested);
        CONTAINER_PARAMS record =
            MakeRecord(u"\\My Documents\\new.fvc", u"password1", u"Secret", c.requested);
        DWORD_PTR disk = m_init(u"Drivers\\Active\\07", &record);
        ASSERT_NE(disk, 0u);
        EXPECT_EQ(record.status, MOUNT_OK);
        EXPECT_EQ(record.lastError, 0u);
        EXPECT_EQ(record.size, c.rounded);
        EXPECT_EQ(FolderValue(), u"Secret");
        DISK_INFO info{};
        ASSERT_TRUE(Control(disk, IOCTL_DISK_GETINFO, nullptr, 0, &info, sizeof info));
        EXPECT_EQ(info.di_total_sectors, c.rounded / 512);
        EXPECT_EQ(info.di_bytes_per_sect, 512u);
        EXPECT_EQ(info.di_flags, 0x0Au);
        EXPECT_TRUE(m_deinit(disk));
        std::vector<uint8_t> bytes = ReadHostFile(u"\\My Documents\\new.fvc");
        EXPECT_EQ(bytes, std::vector<uint8_t>(c.rounded, 0));
    }
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(DriverInitTest, CreateReplacesAnExistingFile) {
    WriteHostFile(u"\\My Documents\\old.fvc", std::vector<uint8_t>(5000, 0x77));
    CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\old.fvc", u"password1", u"F", 1024);
    DWORD_PTR disk = m_init(u"Drivers\\Active\\01", &record);
    ASSERT_NE(disk, 0u);
    m_deinit(disk);
    EXPECT_EQ(ReadHostFile(u"\\My Documents\\old.fvc"), std::vector<uint8_t>(1024, 0));
}

TEST_F(DriverInitTest, SizeThatCannotBeRoundedWithinThirtyTwoBitsIsRefused) {
    for (uint32_t size : {0xFFFFFE01u, 0xFFFFFFFFu}) {
        CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\huge.fvc", u"password1", u"F", size);
        EXPECT_EQ(m_init(u"Drivers\\Active\\01", &record), 0u);
        EXPECT_EQ(record.status, MOUNT_CREATE_FAILED);
        EXPECT_EQ(record.lastError, static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(record.size, size);
        EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\huge.fvc"), 0xFFFFFFFFu);
    }
}

TEST_F(DriverInitTest, FileThatCannotBeCreatedIsReportedWithTheBox) {
    CONTAINER_PARAMS record = MakeRecord(u"\\No Such Folder\\x.fvc", u"password1", u"F", 2048);
    EXPECT_EQ(m_init(u"Drivers\\Active\\01", &record), 0u);
    EXPECT_EQ(record.status, MOUNT_CREATE_FAILED);
    EXPECT_EQ(record.lastError, static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(record.size, 2048u);
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"Can't create file! | Driver"});
}

TEST_F(DriverInitTest, OpenModeWithoutAFileOrItsSizeLeavesTheSizeAndShowsNothing) {
    struct Case {
        const char16_t* path;
        int32_t status;
        DWORD error;
    };
    const Case cases[] = {
        {u"\\My Documents\\none.fvc", MOUNT_FILE_MISSING, 0},
        // The root exists, but is no entry of any folder: no search finds its size.
        {u"\\", MOUNT_SIZE_FAILED, ERROR_NO_MORE_FILES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        CONTAINER_PARAMS record = MakeRecord(c.path, u"password1", u"Elsewhere", 0);
        EXPECT_EQ(m_init(u"Drivers\\Active\\01", &record), 0u);
        EXPECT_EQ(record.status, c.status);
        EXPECT_EQ(record.lastError, c.error);
        EXPECT_EQ(record.size, 0u);
        EXPECT_EQ(FolderValue(), u"Elsewhere");
        EXPECT_TRUE(BoxTexts().empty());
    }
}

TEST_F(DriverInitTest, RightPasswordOpensAndWrongPasswordIsRefused) {
    MakeContainer(u"\\My Documents\\c.fvc", u"right password", u"Vault", 64 * 1024);

    CONTAINER_PARAMS wrong = MakeRecord(u"\\My Documents\\c.fvc", u"wrong password", u"Vault", 0);
    EXPECT_EQ(m_init(u"Drivers\\Active\\01", &wrong), 0u);
    EXPECT_EQ(wrong.status, MOUNT_BAD_PASSWORD);
    EXPECT_EQ(wrong.lastError, 0u);
    EXPECT_EQ(wrong.size, 64u * 1024);

    CONTAINER_PARAMS right = MakeRecord(u"\\My Documents\\c.fvc", u"right password", u"Vault", 0);
    DWORD_PTR disk = m_init(u"Drivers\\Active\\02", &right);
    ASSERT_NE(disk, 0u);
    EXPECT_EQ(right.status, MOUNT_OK);
    EXPECT_EQ(right.lastError, 0u);
    EXPECT_EQ(right.size, 64u * 1024);
    std::vector<uint8_t> sector(512);
    Request read(0, 1, {{sector.data(), 512}});
    ASSERT_TRUE(Transfer(disk, IOCTL_DISK_READ, read));
    EXPECT_EQ(sector[0], 0xE9);
    EXPECT_EQ(sector[1], 0xFD);
    EXPECT_EQ(sector[2], 0xFF);
    m_deinit(disk);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(DriverInitTest, FileThatIsNotAContainerFailsThePasswordCheck) {
    std::mt19937 rng(5);
    std::vector<uint8_t> noise(8192);
    for (auto& b : noise)
        b = static_cast<uint8_t>(rng());
    WriteHostFile(u"\\My Documents\\noise.fvc", noise);
    CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\noise.fvc", u"password1", u"F", 0);
    EXPECT_EQ(m_init(u"Drivers\\Active\\01", &record), 0u);
    EXPECT_EQ(record.status, MOUNT_BAD_PASSWORD);
    EXPECT_EQ(ReadHostFile(u"\\My Documents\\noise.fvc"), noise); // the refused open wrote nothing
}

TEST_F(DriverInitTest, FileNotAMultipleOfTheSectorSizeServesItsWholeSectorsOnly) {
    // 1000 bytes: one sector, and the trailer still in the file's last 272 bytes.
    MakeContainer(u"\\My Documents\\c.fvc", u"password1", u"F", 1024);
    std::vector<uint8_t> bytes = ReadHostFile(u"\\My Documents\\c.fvc");
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 1000);
    std::copy(bytes.end() - 272, bytes.end(), cut.end() - 272);
    WriteHostFile(u"\\My Documents\\c.fvc", cut);

    CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\c.fvc", u"password1", u"F", 0);
    DWORD_PTR disk = m_init(u"Drivers\\Active\\01", &record);
    ASSERT_NE(disk, 0u);
    EXPECT_EQ(record.size, 1000u);
    DISK_INFO info{};
    ASSERT_TRUE(Control(disk, DISK_IOCTL_GETINFO, &info, sizeof info, nullptr, 0));
    EXPECT_EQ(info.di_total_sectors, 1u);
    m_deinit(disk);
}

TEST_F(DriverInitTest, TrailerPartsBeyondAShortFileAreReportedAndTheOpenGoesOn) {
    struct Case {
        size_t fileSize;
        std::vector<std::u16string> boxes;
        int32_t status;
    };
    const std::u16string seek = u"Seek error | Driver";
    const std::u16string debug = u"DEBUG ERROR: Can not open the container. | Driver";
    // The name block starts 272 bytes before the end, the key block 16 bytes before it.
    const Case cases[] = {
        {272, {}, MOUNT_BAD_PASSWORD},
        {271, {seek, debug}, MOUNT_BAD_PASSWORD},
        {256, {seek, debug}, MOUNT_BAD_PASSWORD},
        {100, {seek, debug}, MOUNT_BAD_PASSWORD},
        {16, {seek, debug}, MOUNT_BAD_PASSWORD},
        {10, {seek, debug, seek, debug}, MOUNT_BAD_PASSWORD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileSize);
        WriteHostFile(u"\\My Documents\\short.fvc", std::vector<uint8_t>(c.fileSize, 0x11));
        CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\short.fvc", u"password1", u"F", 0);
        EXPECT_EQ(m_init(u"Drivers\\Active\\01", &record), 0u);
        EXPECT_EQ(record.status, c.status);
        EXPECT_EQ(record.size, c.fileSize);
        EXPECT_EQ(BoxTexts(), c.boxes);
    }
}

TEST_F(DriverInitTest, AViewThatCannotBeWrittenBackStaysMappedAndNothingIsClosedTwice) {
    const size_t handles = kernel::OpenHandleCount();
    const size_t views = kernel::OpenViewCount();
    ViewFlushFailure failure;
    CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\kept.fvc", u"password1", u"F", 4096);
    DWORD_PTR disk = m_init(u"Drivers\\Active\\01", &record);
    ASSERT_NE(disk, 0u);
    DWORD first = 0;
    ULONG_PTR view = 0;
    ASSERT_TRUE(Control(disk, IOCTL_DISK_GET_SECTOR_ADDR, &first, sizeof first, &view, sizeof view));

    EXPECT_TRUE(m_deinit(disk));
    EXPECT_EQ(failure.FlushLengths(), std::vector<SIZE_T>{4096}) << "one flush of the file's length";
    EXPECT_EQ(kernel::OpenViewCount(), views + 1) << "the view stays mapped";
    EXPECT_EQ(kernel::OpenHandleCount(), handles + 1) << "the mapping stays open; the file is closed";

    // What the driver had to leave is let go here.
    ASSERT_EQ(failure.Mappings().size(), 1u);
    EXPECT_TRUE(UnmapViewOfFile(reinterpret_cast<LPCVOID>(view)));
    EXPECT_TRUE(CloseHandle(failure.Mappings()[0]));
}

TEST_F(DriverInitTest, EmptyFileCannotBeMapped) {
    WriteHostFile(u"\\My Documents\\empty.fvc", {});
    CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\empty.fvc", u"password1", u"F", 0);
    EXPECT_EQ(m_init(u"Drivers\\Active\\01", &record), 0u);
    EXPECT_EQ(record.status, MOUNT_MAPPING_FAILED);
    EXPECT_NE(record.lastError, 0u);
    std::vector<std::u16string> boxes = BoxTexts();
    ASSERT_FALSE(boxes.empty());
    WCHAR expected[64];
    _snwprintf(expected, 64, u"Error: %u | driver", record.lastError);
    EXPECT_EQ(boxes.back(), expected);
}

TEST_F(DriverInitTest, FileHeldOpenElsewhereCannotBeOpened) {
    MakeContainer(u"\\My Documents\\busy.fvc", u"password1", u"F", 4096);
    HANDLE held =
        CreateFileW(u"\\My Documents\\busy.fvc", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\busy.fvc", u"password1", u"F", 0);
    EXPECT_EQ(m_init(u"Drivers\\Active\\01", &record), 0u);
    EXPECT_EQ(record.status, MOUNT_OPEN_FAILED);
    EXPECT_EQ(record.lastError, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(record.size, 4096u);
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"Can't open the file! | Driver"});
    CloseHandle(held);
}

TEST_F(DriverInitTest, ContextThatCannotBeAllocatedIsReportedInTheRecord) {
    struct Case {
        uint32_t size;
        int32_t status;
    };
    for (const Case& c : {Case{0, MOUNT_OPEN_FAILED}, Case{4096, MOUNT_CREATE_FAILED}}) {
        CONTAINER_PARAMS record = MakeRecord(u"\\My Documents\\x.fvc", u"password1", u"F", c.size);
        g_failNothrowNew = true;
        DWORD_PTR disk = m_init(u"Drivers\\Active\\01", &record);
        g_failNothrowNew = false;
        EXPECT_EQ(disk, 0u);
        EXPECT_EQ(record.status, c.status);
        EXPECT_EQ(record.lastError, static_cast<uint32_t>(ERROR_NOT_ENOUGH_MEMORY));
    }
    EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\x.fvc"), 0xFFFFFFFFu);
}

} // namespace
} // namespace drivertest
