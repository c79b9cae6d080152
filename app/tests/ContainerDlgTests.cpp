// The container operation dialog with the real driver: its input checks, creating and opening containers
// (file, trailer, auto-mount entry, record and handle handed back), the driver's failures as the user sees
// them, changing the password and resizing with the files kept, and the dialog's own commands.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "Aes.h"
#include "ContainerDlg.h"
#include "ContainerFormat.h"
#include "FileDialog.h"
#include "Md5.h"
#include "MountSupport.h"
#include "Resource.h"
#include "SkinTestSupport.h"
#include "crt/Crt.h"
#include "crt/Utf8.h"
#include "devices/DeviceManager.h"
#include "kernel/Kernel.h"
#include "user/MessageBox.h"
#include "user/TestSurface.h"

namespace {

// While set, every WriteFile of the program's own code fails with this error. The test program's
// definition comes before the platform's for the code linked into it; other writes go on to the platform.
std::atomic<DWORD> g_failedWriteError{0};

} // namespace

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    if (const DWORD error = g_failedWriteError.load(); error != 0) {
        if (written != nullptr)
            *written = 0;
        SetLastError(error);
        return FALSE;
    }
    static auto* const platform =
        reinterpret_cast<decltype(&WriteFile)>(dlsym(RTLD_NEXT, "_Z9WriteFilePvPKvjPjP10OVERLAPPED"));
    if (platform == nullptr)
        std::abort();
    return platform(file, buffer, count, written, overlapped);
}

namespace {

using user::test::ModalInfo;
using user::test::ModalKind;
using Bytes = std::vector<uint8_t>;

constexpr COLORREF kGrey = RGB(0x80, 0x80, 0x80);
constexpr uint64_t kKb = 1024;
constexpr uint64_t kMb = 1048576;
constexpr char16_t kListPath[] = u"\\program files\\ferrovane\\amount.cfg";

constexpr char16_t kMounted[] = u"\nContainer mounted\n successfully";
constexpr char16_t kShortPassword[] = u"Password must be\n 8 chars minimum!\n Try again.";
constexpr char16_t kTooSmall[] = u"\nWARNING:\nFile must be 100 kb at least!";
constexpr char16_t kTooBig[] = u"\nWARNING:\nFile can't be greater 415 Mb!";
constexpr char16_t kBadPassword[] = u"WARNING:\nFile format or password\n is wrong";
constexpr char16_t kWrongPassword[] = u"\n\nWrong password!";

std::u16string SystemText(DWORD error) {
    LPWSTR text = nullptr;
    FormatMessageW(0x1300, nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::u16string result = text != nullptr ? text : u"";
    LocalFree(text);
    return result;
}

std::u16string WinApiText(const std::u16string& head, DWORD error) {
    WCHAR number[16];
    swprintf(number, 16, u"%04d", static_cast<int>(error));
    return head + u"\n[WINAPI-" + number + u"] " + SystemText(error);
}

std::optional<Bytes> ReadDeviceFile(const std::u16string& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    Bytes bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    const bool ok =
        bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                          read == bytes.size());
    CloseHandle(file);
    return ok ? std::optional<Bytes>(bytes) : std::nullopt;
}

bool WriteDeviceBytes(const std::u16string& path, const Bytes& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
    return bytes;
}

// The password key computed here from its definition: MD5 of the UTF-16LE bytes.
void PasswordKey(const std::u16string& password, uint8_t key[16]) {
    Bytes bytes;
    for (char16_t unit : password) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    Md5Context context;
    Md5Init(&context);
    Md5Update(&context, bytes.data(), static_cast<uint32_t>(bytes.size()));
    Md5Final(key, &context);
}

Bytes EncryptEcb(const uint8_t key[16], const Bytes& plain) {
    AesKeySchedule schedule{};
    AesSetEncryptKey128(key, &schedule);
    Bytes out(plain.size());
    for (size_t at = 0; at < plain.size(); at += 16)
        AesEncryptBlock(plain.data() + at, out.data() + at, &schedule);
    return out;
}

struct Outcome {
    INT_PTR result = -1;
    std::vector<std::u16string> shown;         // the skinned boxes' texts
    std::vector<user::MessageBoxRecord> boxes; // the platform's boxes (the driver's and MessageBoxF)
};

class ContainerDlgTest : public skintest::SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        kernel::SetProgramDevicePath(u"\\program files\\ferrovane\\ferrovane.exe");
        WriteDeviceFile(u"\\program files\\ferrovane\\skin\\button.png",
                        skintest::StripPng(40, 20, {kGrey, kGrey, kGrey}));
        WriteDeviceFile(u"\\program files\\ferrovane\\skin\\messagebox.xml",
                        R"(<xForm relativePathes="true" width="200" height="120">
  <xLayer name="box">
    <xStatic id="1061" x="0" y="0" width="200" height="80"/>
    <xButton id="1062" controlBitmap="button.png" x="80" y="90"/>
    <xButton id="1063" controlBitmap="button.png" x="10" y="90"/>
    <xButton id="1064" controlBitmap="button.png" x="150" y="90"/>
  </xLayer>
</xForm>)");
        m_driver = std::make_unique<apptest::LoadedDriver>();
        CreateDirectoryW(u"\\My Documents", nullptr);
        // The platform's boxes are answered OK at once and read back afterwards.
        user::SetMessageBoxHandler([](const user::MessageBoxRecord&) { return IDOK; });
        user::TakeShownMessageBoxes();
    }
    void TearDown() override {
        for (HANDLE device : m_devices)
            DeactivateDevice(device);
        m_driver.reset();
        user::SetMessageBoxHandler({});
        kernel::SetProgramDevicePath({});
        SkinTest::TearDown();
    }

    // Runs the dialog, answering as many skinned boxes as expected with OK; the action, when given, runs
    // inside the first box before it is answered.
    Outcome Run(Container_Dlg& dialog, size_t boxes, const std::function<void()>& insideFirstBox = {}) {
        Outcome outcome;
        for (size_t i = 0; i < boxes; ++i)
            user::test::OnNextModal(
                ModalKind::Dialog, u"", [&outcome, i, insideFirstBox](const ModalInfo& info) {
                    outcome.shown.push_back(user::test::Text(GetDlgItem(info.window, IDC_MESSAGE_TEXT)));
                    if (i == 0 && insideFirstBox)
                        insideFirstBox();
                    SendMessageW(info.window, WM_COMMAND, IDC_MESSAGE_OK, 0);
                });
        user::TakeShownMessageBoxes();
        outcome.result = dialog.DoModal();
        outcome.boxes = user::TakeShownMessageBoxes();
        if (dialog.m_device != nullptr && dialog.m_device != kUntouched)
            Track(dialog.m_device);
        return outcome;
    }
    void Track(HANDLE device) {
        if (std::find(m_devices.begin(), m_devices.end(), device) == m_devices.end())
            m_devices.push_back(device);
    }
    bool Unmount(HANDLE device) {
        std::erase(m_devices, device);
        return DeactivateDevice(device) != FALSE;
    }

    static void SetCreate(Container_Dlg& dialog, const std::u16string& path, const std::u16string& folder,
                          int64_t count, uint64_t unit, const std::u16string& password) {
        Clear(dialog);
        dialog.m_path = path.c_str();
        dialog.m_folder = folder.c_str();
        dialog.m_sizeCount = count;
        dialog.m_sizeUnit = unit;
        dialog.m_password = password.c_str();
    }
    static void SetOpen(Container_Dlg& dialog, const std::u16string& path, const std::u16string& password) {
        Clear(dialog);
        dialog.m_openFlag = 1;
        dialog.m_path = path.c_str();
        dialog.m_password = password.c_str();
        dialog.m_folder = u"";
    }
    static void Clear(Container_Dlg& dialog) {
        dialog.m_openFlag = dialog.m_prefilledFlag = dialog.m_resizeFlag = 0;
        dialog.m_changePasswordFlag = dialog.m_changePasswordFlag2 = 0;
        dialog.m_device = kUntouched;
        std::memset(&dialog.m_record, 0xAB, sizeof dialog.m_record);
        dialog.m_record.containerPath[0] = 0;
    }

    // Creates a container through the dialog and expects it mounted.
    void CreateMounted(Container_Dlg& dialog, const std::u16string& path, const std::u16string& folder,
                       const std::u16string& password, int64_t kb = 100) {
        SetCreate(dialog, path, folder, kb, kKb, password);
        const Outcome outcome = Run(dialog, 1);
        ASSERT_EQ(outcome.result, IDOK);
        ASSERT_EQ(outcome.shown, std::vector<std::u16string>{kMounted});
        ASSERT_EQ(dialog.m_record.status, MOUNT_OK);
    }

    static inline const HANDLE kUntouched = reinterpret_cast<HANDLE>(0x5A5A);
    std::unique_ptr<apptest::LoadedDriver> m_driver;
    std::vector<HANDLE> m_devices;
};

std::string ListText() {
    const std::optional<Bytes> bytes = ReadDeviceFile(kListPath);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// Every refusal: its text in the skinned box, status -1, IDCANCEL, nothing listed, created or mounted.
TEST_F(ContainerDlgTest, RefusedInputIsToldAndChangesNothing) {
    ASSERT_TRUE(CreateDirectoryW(u"\\Existing", nullptr));
    // The store's whole free space, also beyond the 4 GB its store information holds; other programs
    // change it while the test runs, so the text's figure is checked against the figures around it.
    auto freeBytes = [] {
        ULARGE_INTEGER available{};
        EXPECT_TRUE(GetDiskFreeSpaceExW(nullptr, &available, nullptr, nullptr));
        return static_cast<int64_t>(available.QuadPart);
    };
    const int64_t freeBefore = freeBytes();
    const std::u16string notEnough = u"Not enough memory.\n Memory available:\n";
    // Far beyond what is free, so that space other programs give back meanwhile cannot make it fit.
    const int64_t overStore = freeBefore / static_cast<int64_t>(kMb) + 64 * 1024;

    struct Case {
        bool open;
        std::u16string path;
        std::u16string folder;
        int64_t count;
        uint64_t unit;
        std::u16string password;
        std::u16string text;
    };
    const std::u16string path = u"\\My Documents\\c";
    const std::u16string folder = u"Encrypted Folder";
    const std::u16string good = u"password";
    const Case cases[] = {
        {false, u"", folder, 100, kKb, good, u"WARNING:\nPlease enter the\n container path."},
        {false, path, u"", 100, kKb, good, u"\nWARNING:\nEnter the name of the \nencrypted folder please!"},
        {false, path, u"Existing", 100, kKb, good, u"\nWARNING:\nExisting folder name!\n Try another."},
        {false, path, folder, overStore, kMb, good, notEnough},
        {false, path, folder, 99, kKb, good, kTooSmall},
        {false, path, folder, 425001, kKb, good, kTooBig},
        {false, path, folder, 416, kMb, good, kTooBig},
        {false, path, folder, 100, kKb, u"", kShortPassword},
        {false, path, folder, 100, kKb, u"passwor", kShortPassword},
        {true, u"", u"", 0, 0, good, u"WARNING:\nPlease enter the\n container path."},
        {true, path, u"", 0, 0, u"passwor", kShortPassword},
        // A count below zero is a huge one; no size at all cannot be created.
        {false, path, folder, -1, kKb, good, notEnough},
        {false, path, folder, 0, kMb, good, kTooSmall},
        // Texts that do not fit the record's 259-unit fields are refused, not cut into other names.
        {false, u"\\" + std::u16string(255, u'p'), folder, 100, kKb, good,
         u"\nWARNING:\nContainer path is too long!\n Try a shorter one."},
        {false, path, std::u16string(260, u'f'), 100, kKb, good,
         u"\nWARNING:\nFolder name is too long!\n Try a shorter one."},
        {true, path, u"", 0, 0, std::u16string(260, u'w'),
         u"Password must be\n 259 chars maximum!\n Try again."},
        {true, u"\\My Documents\\none.fvc", u"", 0, 0, good,
         u"ERROR:NCann't open the container.\n Please check if containerisn't open now."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        Container_Dlg dialog;
        if (c.open)
            SetOpen(dialog, c.path, c.password);
        else
            SetCreate(dialog, c.path, c.folder, c.count, c.unit, c.password);
        const Outcome outcome = Run(dialog, 1);
        EXPECT_EQ(outcome.result, IDCANCEL);
        if (c.text == notEnough) {
            const int64_t freeAfter = freeBytes();
            ASSERT_EQ(outcome.shown.size(), 1u);
            const std::u16string& shown = outcome.shown[0];
            ASSERT_EQ(shown.substr(0, notEnough.size()), notEnough);
            ASSERT_EQ(shown.substr(shown.size() - 7), u" bytes.");
            const int64_t figure = std::stoll(crt::ToUtf8(shown.substr(notEnough.size())));
            constexpr int64_t kSlack = 256 * static_cast<int64_t>(kMb);
            EXPECT_GE(figure, std::min(freeBefore, freeAfter) - kSlack);
            EXPECT_LE(figure, std::max(freeBefore, freeAfter) + kSlack);
        } else {
            EXPECT_EQ(outcome.shown, std::vector<std::u16string>{c.text});
        }
        EXPECT_TRUE(outcome.boxes.empty());
        EXPECT_EQ(dialog.m_record.status, -1);
        EXPECT_EQ(dialog.m_device, kUntouched);
    }
    EXPECT_EQ(GetFileAttributesW(kListPath), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\c.fvc"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(devices::ActiveDevices().empty());
}

// Sizes at the limits pass the checks: the entry is listed and the driver is asked, which here cannot
// create the file (its folder is missing) and says so in both boxes.
TEST_F(ContainerDlgTest, SizesAtTheLimitsReachTheDriver) {
    struct Case {
        int64_t count;
        uint64_t unit;
    };
    const Case cases[] = {{100, kKb}, {425000, kKb}, {415, kMb}, {1, kMb}};
    size_t entries = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " x " << c.unit);
        Container_Dlg dialog;
        SetCreate(dialog, u"\\nowhere\\c", u"Folder", c.count, c.unit, u"password");
        const Outcome outcome = Run(dialog, 0);
        EXPECT_EQ(outcome.result, IDCANCEL);
        EXPECT_EQ(dialog.m_record.status, MOUNT_CREATE_FAILED);
        EXPECT_EQ(dialog.m_device, kUntouched);
        ASSERT_EQ(outcome.boxes.size(), 2u);
        EXPECT_EQ(outcome.boxes[0].caption, u"Driver");
        EXPECT_EQ(outcome.boxes[1].text, WinApiText(u"Cannot create container file ", ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(outcome.boxes[1].caption, u"FerrovaneEx");
        EXPECT_EQ(outcome.boxes[1].type, static_cast<UINT>(MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST));
        // The entry was listed before the driver was asked, and stays.
        const std::string list = ListText();
        const std::string wanted = "[container]\n\\nowhere\\c.fvc\nFolder\n[/container]\n";
        size_t found = 0;
        for (size_t at = list.find(wanted); at != std::string::npos; at = list.find(wanted, at + 1))
            ++found;
        EXPECT_EQ(found, ++entries);
    }
}

TEST_F(ContainerDlgTest, CreatedContainerIsMountedAndOpensAgainOnlyWithItsPassword) {
    const std::u16string password = u"password1";
    Container_Dlg dialog;
    CreateMounted(dialog, u"\\My Documents\\secret", u"Encrypted Folder", password);

    // The record of the second activation (an open, which reports the file's size) and its live handle.
    EXPECT_EQ(std::u16string(dialog.m_record.containerPath), u"\\My Documents\\secret.fvc");
    EXPECT_EQ(std::u16string(dialog.m_record.folderName), u"Encrypted Folder");
    EXPECT_EQ(std::u16string(dialog.m_record.password), password);
    EXPECT_EQ(dialog.m_record.size, 100u * 1024);
    ASSERT_NE(dialog.m_device, nullptr);
    ASSERT_EQ(devices::ActiveDevices().size(), 1u);

    // The folder is mounted and usable.
    const Bytes note = Pattern(3000, 1);
    EXPECT_TRUE(WriteDeviceBytes(u"\\Encrypted Folder\\note.txt", note));
    EXPECT_EQ(ReadDeviceFile(u"\\Encrypted Folder\\note.txt"), note);

    // The auto-mount list ends with the new entry.
    const std::string list = ListText();
    const std::string entry = "[container]\n\\My Documents\\secret.fvc\nEncrypted Folder\n[/container]\n";
    ASSERT_GE(list.size(), entry.size());
    EXPECT_EQ(list.substr(list.size() - entry.size()), entry);

    // The file: the driver's size, ending in E_K(name block) and E_K(K).
    ASSERT_TRUE(Unmount(dialog.m_device));
    const std::optional<Bytes> file = ReadDeviceFile(u"\\My Documents\\secret.fvc");
    ASSERT_TRUE(file);
    ASSERT_EQ(file->size(), 100u * 1024);
    uint8_t key[16];
    PasswordKey(password, key);
    Bytes nameText(256, 0);
    std::memcpy(nameText.data(), "Encrypted Folder", 16);
    Bytes trailer = EncryptEcb(key, nameText);
    const Bytes keyBlock = EncryptEcb(key, Bytes(key, key + 16));
    trailer.insert(trailer.end(), keyBlock.begin(), keyBlock.end());
    EXPECT_EQ(Bytes(file->end() - 272, file->end()), trailer);

    // Open with the right password (the same dialog object again): the folder name comes from the trailer.
    SetOpen(dialog, u"\\My Documents\\secret.fvc", password);
    Outcome outcome = Run(dialog, 1);
    EXPECT_EQ(outcome.result, IDOK);
    EXPECT_EQ(outcome.shown, std::vector<std::u16string>{kMounted});
    EXPECT_EQ(std::u16string(dialog.m_folder), u"Encrypted Folder");
    EXPECT_EQ(std::u16string(dialog.m_record.folderName), u"Encrypted Folder");
    EXPECT_EQ(dialog.m_record.status, MOUNT_OK);
    EXPECT_EQ(ReadDeviceFile(u"\\Encrypted Folder\\note.txt"), note);
    ASSERT_TRUE(Unmount(dialog.m_device));

    // A wrong password: the driver refuses; the record is untouched but for its status.
    SetOpen(dialog, u"\\My Documents\\secret.fvc", u"password2");
    CONTAINER_PARAMS before = dialog.m_record;
    outcome = Run(dialog, 1);
    EXPECT_EQ(outcome.result, IDCANCEL);
    EXPECT_EQ(outcome.shown, std::vector<std::u16string>{kBadPassword});
    EXPECT_EQ(dialog.m_record.status, MOUNT_BAD_PASSWORD);
    before.status = MOUNT_BAD_PASSWORD;
    EXPECT_EQ(std::memcmp(&before, &dialog.m_record, sizeof before), 0);
    EXPECT_EQ(dialog.m_device, kUntouched);
    EXPECT_TRUE(devices::ActiveDevices().empty());
}

TEST_F(ContainerDlgTest, OneCharacterFolderNameRoundTrips) {
    Container_Dlg dialog;
    CreateMounted(dialog, u"\\My Documents\\z", u"Z", u"password");
    ASSERT_TRUE(Unmount(dialog.m_device));

    // Its name block is 'Z' and zeros, which the open reads back as UTF-16 text.
    const std::optional<Bytes> file = ReadDeviceFile(u"\\My Documents\\z.fvc");
    ASSERT_TRUE(file);
    uint8_t key[16];
    PasswordKey(u"password", key);
    Bytes nameText(256, 0);
    nameText[0] = 'Z';
    EXPECT_EQ(Bytes(file->end() - 272, file->end() - 16), EncryptEcb(key, nameText));

    SetOpen(dialog, u"\\My Documents\\z.fvc", u"password");
    const Outcome outcome = Run(dialog, 1);
    EXPECT_EQ(outcome.result, IDOK);
    EXPECT_EQ(std::u16string(dialog.m_folder), u"Z");
    EXPECT_NE(GetFileAttributesW(u"\\Z"), INVALID_FILE_ATTRIBUTES);
}

// The driver's answers to records that are complete already (the auto-mount replay).
TEST_F(ContainerDlgTest, DriverFailuresAreToldWithTheirTexts) {
    {
        Container_Dlg maker;
        CreateMounted(maker, u"\\My Documents\\held", u"Held", u"password");
        ASSERT_TRUE(Unmount(maker.m_device));
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    struct Case {
        std::u16string path;
        std::function<void()> before;
        int32_t status;
        std::vector<std::u16string> shown;
        std::vector<std::u16string> boxes;
        bool recordHandedBack;
    };
    const Case cases[] = {
        {u"\\My Documents\\none.fvc",
         {},
         MOUNT_FILE_MISSING,
         {u"\nWARNING:\nContainer file does not exists"},
         {},
         false},
        // Held open without sharing: the driver cannot open it.
        {u"\\My Documents\\held.fvc",
         [&] {
             held = CreateFileW(u"\\My Documents\\held.fvc", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
         },
         MOUNT_OPEN_FAILED,
         {},
         {u"Can't open the file!", WinApiText(u"Error opening container file ", ERROR_SHARING_VIOLATION)},
         true},
        // An empty file: no trailer to read, and nothing to map.
        {u"\\My Documents\\empty.fvc",
         [&] { WriteDeviceFile(u"\\My Documents\\empty.fvc", std::string_view()); },
         MOUNT_MAPPING_FAILED,
         {},
         {u"Seek error", u"DEBUG ERROR: Can not open the container.", u"Seek error",
          u"DEBUG ERROR: Can not open the container.", u"Error: 1006",
          WinApiText(u"Error mapping file to memory ", ERROR_FILE_INVALID)},
         false},
        // The root exists but has no size to read: a status with no message of its own.
        {u"\\",
         {},
         MOUNT_SIZE_FAILED,
         {},
         {WinApiText(u"Undefined error #7 happened ", ERROR_NO_MORE_FILES)},
         false},
        // The driver is not registered: it is never reached, nothing is decided.
        {u"\\My Documents\\held.fvc",
         [&] {
             CloseHandle(held);
             held = INVALID_HANDLE_VALUE;
             RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"Drivers\\Builtin\\Ferrovane");
         },
         -1,
         {},
         {WinApiText(u"Error initializing driver because WinAPI. ", ERROR_FILE_NOT_FOUND)},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        if (c.before)
            c.before();
        Container_Dlg dialog;
        Clear(dialog);
        dialog.m_openFlag = 1;
        dialog.m_prefilledFlag = 1;
        dialog.m_record = apptest::MakeRecord(c.path, u"password", u"Held", 0);
        const Outcome outcome = Run(dialog, c.shown.size());
        EXPECT_EQ(outcome.result, IDCANCEL);
        EXPECT_EQ(outcome.shown, c.shown);
        EXPECT_EQ(dialog.m_record.status, c.status);
        std::vector<std::u16string> boxes;
        for (const user::MessageBoxRecord& box : outcome.boxes)
            boxes.push_back(box.text);
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(dialog.m_device, c.recordHandedBack ? nullptr : kUntouched);
        EXPECT_TRUE(devices::ActiveDevices().empty());
    }
}

TEST_F(ContainerDlgTest, ATrailerThatCannotBeWrittenIsTold) {
    Container_Dlg dialog;
    SetCreate(dialog, u"\\My Documents\\c", u"Vault", 100, kKb, u"password");
    g_failedWriteError = ERROR_WRITE_FAULT;
    const Outcome outcome = Run(dialog, 0);
    g_failedWriteError = 0;
    EXPECT_EQ(outcome.result, IDCANCEL);
    EXPECT_EQ(dialog.m_record.status, MOUNT_WRITE_FAILED);
    EXPECT_EQ(dialog.m_device, kUntouched);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_EQ(outcome.boxes[0].text, WinApiText(u"Error writing to container file ", ERROR_WRITE_FAULT));
    EXPECT_EQ(outcome.boxes[0].caption, u"FerrovaneEx");
    EXPECT_TRUE(devices::ActiveDevices().empty()) << "the new disk was let go before the write";
}

// The title, set before the worker runs, as it stands while the worker's first message is up.
TEST_F(ContainerDlgTest, TheTitleNamesTheOperation) {
    const CONTAINER_PARAMS mounted = apptest::MakeRecord(u"\\My Documents\\c.fvc", u"password", u"C", 0);
    struct Case {
        const char* name;
        std::function<void(Container_Dlg&)> set;
        std::u16string title;
    };
    const Case cases[] = {
        {"create", [](Container_Dlg& d) { SetCreate(d, u"", u"F", 100, kKb, u"password"); },
         u"Create container"},
        {"open", [](Container_Dlg& d) { SetOpen(d, u"", u"password"); }, u"Open container"},
        {"resize",
         [&](Container_Dlg& d) {
             Clear(d);
             d.m_resizeFlag = 1;
             d.m_record = mounted;
             d.m_record.size = 200 * kKb;
             d.m_sizeCount = 1; // too small: refused
             d.m_sizeUnit = kKb;
         },
         u"Resize container"},
        {"change password",
         [&](Container_Dlg& d) {
             Clear(d);
             d.m_changePasswordFlag = 1;
             d.m_record = mounted;
             d.m_oldPassword = u"not the password";
         },
         u"Change container password"},
        // The auto-mount replay keeps the template's title.
        {"prefilled",
         [&](Container_Dlg& d) {
             Clear(d);
             d.m_openFlag = d.m_prefilledFlag = 1;
             d.m_record = mounted;
         },
         u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Container_Dlg dialog;
        c.set(dialog);
        std::u16string title = u"(no message)";
        Run(dialog, 1, [&] { title = user::test::Text(dialog.m_hWnd); });
        EXPECT_EQ(title, c.title);
    }
}

TEST_F(ContainerDlgTest, ChangedPasswordOpensTheContainerWithItsFilesIntact) {
    Container_Dlg dialog;
    CreateMounted(dialog, u"\\My Documents\\pw", u"Private", u"old password");
    const Bytes note = Pattern(70000, 3);
    ASSERT_TRUE(WriteDeviceBytes(u"\\Private\\note.bin", note));
    const CONTAINER_PARAMS mounted = dialog.m_record;
    const HANDLE device = dialog.m_device;

    struct Case {
        std::u16string oldPassword, newPassword, confirmation, text;
    };
    const Case refusals[] = {
        {u"old passwore", u"new password", u"new password", kWrongPassword},
        {u"old password", u"new password", u"new passwore", u"\nWrong confirm password enter.\n Try again."},
        {u"old password", u"short", u"short", kShortPassword},
    };
    auto setChange = [&](const std::u16string& oldPassword, const std::u16string& newPassword,
                         const std::u16string& confirmation) {
        Clear(dialog);
        dialog.m_changePasswordFlag = 1;
        dialog.m_record = mounted;
        dialog.m_device = device;
        dialog.m_oldPassword = oldPassword.c_str();
        dialog.m_newPassword = newPassword.c_str();
        dialog.m_confirmPassword = confirmation.c_str();
    };
    for (const Case& c : refusals) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - refusals));
        setChange(c.oldPassword, c.newPassword, c.confirmation);
        const Outcome outcome = Run(dialog, 1);
        EXPECT_EQ(outcome.result, IDCANCEL);
        EXPECT_EQ(outcome.shown, std::vector<std::u16string>{c.text});
        EXPECT_EQ(dialog.m_device, device);
        EXPECT_EQ(ReadDeviceFile(u"\\Private\\note.bin"), note) << "still mounted";
    }

    // The second flag takes the same road.
    setChange(u"old password", u"new password", u"new password");
    std::swap(dialog.m_changePasswordFlag, dialog.m_changePasswordFlag2);
    const Outcome outcome = Run(dialog, 1);
    EXPECT_EQ(outcome.result, IDOK);
    EXPECT_EQ(outcome.shown, std::vector<std::u16string>{u"\n\nPassword changed"});
    EXPECT_EQ(std::u16string(dialog.m_record.password), u"new password");
    EXPECT_EQ(dialog.m_record.status, MOUNT_OK);
    EXPECT_EQ(dialog.m_record.size, 100u * 1024);
    std::erase(m_devices, device);
    ASSERT_NE(dialog.m_device, device);
    EXPECT_EQ(ReadDeviceFile(u"\\Private\\note.bin"), note);
    ASSERT_TRUE(Unmount(dialog.m_device));

    // Only the key block changed: the data key (the old password key) under the new password key.
    const std::optional<Bytes> file = ReadDeviceFile(u"\\My Documents\\pw.fvc");
    ASSERT_TRUE(file);
    uint8_t oldKey[16];
    uint8_t newKey[16];
    PasswordKey(u"old password", oldKey);
    PasswordKey(u"new password", newKey);
    EXPECT_EQ(Bytes(file->end() - 16, file->end()), EncryptEcb(newKey, Bytes(oldKey, oldKey + 16)));

    Container_Dlg opener;
    SetOpen(opener, u"\\My Documents\\pw.fvc", u"old password");
    EXPECT_EQ(Run(opener, 1).shown, std::vector<std::u16string>{kBadPassword});
    SetOpen(opener, u"\\My Documents\\pw.fvc", u"new password");
    EXPECT_EQ(Run(opener, 1).result, IDOK);
    EXPECT_EQ(std::u16string(opener.m_folder), u"Private");
    EXPECT_EQ(ReadDeviceFile(u"\\Private\\note.bin"), note);
}

TEST_F(ContainerDlgTest, ResizeKeepsEveryFileOrRefuses) {
    Container_Dlg dialog;
    CreateMounted(dialog, u"\\My Documents\\grow", u"Growing", u"password");
    const Bytes first = Pattern(40000, 5);
    const Bytes second = Pattern(1234, 9);
    ASSERT_TRUE(WriteDeviceBytes(u"\\Growing\\first.bin", first));
    ASSERT_TRUE(CreateDirectoryW(u"\\Growing\\sub", nullptr));
    ASSERT_TRUE(WriteDeviceBytes(u"\\Growing\\sub\\second.bin", second));
    // Times of long ago, and attributes without the archive bit that every new file gets.
    const SYSTEMTIME old{2001, 2, 0, 3, 4, 5, 6, 0};
    FILETIME oldTime{};
    ASSERT_TRUE(SystemTimeToFileTime(&old, &oldTime));
    for (const char16_t* name : {u"\\Growing\\first.bin", u"\\Growing\\sub\\second.bin"}) {
        HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(SetFileTime(file, &oldTime, &oldTime, &oldTime));
        CloseHandle(file);
    }
    ASSERT_TRUE(SetFileAttributesW(u"\\Growing\\sub\\second.bin", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(u"\\Growing\\first.bin", FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(SetFileAttributesW(u"\\Growing\\sub", FILE_ATTRIBUTE_HIDDEN));
    // What a search tells of each entry: its attributes and its times.
    auto entries = [] {
        std::vector<std::tuple<std::u16string, DWORD, uint64_t, uint64_t>> found;
        for (const char16_t* pattern : {u"\\Growing\\*", u"\\Growing\\sub\\*"}) {
            WIN32_FIND_DATAW data{};
            HANDLE search = FindFirstFileW(pattern, &data);
            if (search == INVALID_HANDLE_VALUE)
                continue;
            do {
                auto ticks = [](const FILETIME& time) {
                    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
                };
                // A folder's times cannot be set; its attributes can.
                const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                found.emplace_back(data.cFileName, data.dwFileAttributes,
                                   folder ? 0 : ticks(data.ftLastWriteTime),
                                   folder ? 0 : ticks(data.ftCreationTime));
            } while (FindNextFileW(search, &data));
            FindClose(search);
        }
        return found;
    };
    const auto original = entries();
    ASSERT_EQ(original.size(), 3u);
    auto setResize = [&](int64_t kb) {
        const CONTAINER_PARAMS record = dialog.m_record;
        const HANDLE device = dialog.m_device;
        Clear(dialog);
        dialog.m_resizeFlag = 1;
        dialog.m_record = record;
        dialog.m_device = device;
        dialog.m_sizeCount = kb;
        dialog.m_sizeUnit = kKb;
    };
    auto expectFiles = [&] {
        EXPECT_EQ(ReadDeviceFile(u"\\Growing\\first.bin"), first);
        EXPECT_EQ(ReadDeviceFile(u"\\Growing\\sub\\second.bin"), second);
        EXPECT_EQ(GetFileAttributesW(u"\\Growing\\sub\\second.bin") & FILE_ATTRIBUTE_READONLY,
                  static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    };

    // The same size: nothing is done.
    HANDLE device = dialog.m_device;
    setResize(100);
    Outcome outcome = Run(dialog, 0);
    EXPECT_EQ(outcome.result, IDCANCEL);
    EXPECT_EQ(dialog.m_device, device);
    // Below the smallest container: refused while still mounted.
    setResize(99);
    outcome = Run(dialog, 1);
    EXPECT_EQ(outcome.result, IDCANCEL);
    EXPECT_EQ(outcome.shown, std::vector<std::u16string>{kTooSmall});
    EXPECT_EQ(dialog.m_device, device);

    // Growing: the size in bytes goes back into the count; the same folder, password and files.
    setResize(300);
    outcome = Run(dialog, 1);
    EXPECT_EQ(outcome.result, IDOK);
    EXPECT_EQ(outcome.shown, std::vector<std::u16string>{u"\n\nContainer resizing ok"});
    EXPECT_EQ(dialog.m_sizeCount, 300 * 1024);
    EXPECT_EQ(entries(), original) << "the times and attributes of the copies";
    EXPECT_EQ(std::u16string(dialog.m_folder), u"Growing");
    EXPECT_EQ(dialog.m_record.size, 300u * 1024);
    EXPECT_EQ(dialog.m_record.status, MOUNT_OK);
    std::erase(m_devices, device);
    ASSERT_NE(dialog.m_device, device);
    expectFiles();
    EXPECT_EQ(devices::ActiveDevices().size(), 1u);
    // Only the container file is left beside it, at its new size.
    EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\grow.fvc.new"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\grow.fvc.old"), INVALID_FILE_ATTRIBUTES);

    // A size the files do not fit: refused with the container mounted again as it was.
    ASSERT_TRUE(WriteDeviceBytes(u"\\Growing\\big.bin", Pattern(150000, 2)));
    device = dialog.m_device;
    setResize(100);
    outcome = Run(dialog, 1);
    EXPECT_EQ(outcome.result, IDOK);
    EXPECT_EQ(outcome.shown,
              std::vector<std::u16string>{u"\nWARNING:\nThe container's files\n do not fit in that size!"});
    std::erase(m_devices, device);
    EXPECT_EQ(dialog.m_record.size, 300u * 1024);
    expectFiles();
    EXPECT_EQ(ReadDeviceFile(u"\\Growing\\big.bin"), Pattern(150000, 2));
    EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\grow.fvc.new"), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(Unmount(dialog.m_device));

    // The resized file opens like any other.
    const std::optional<Bytes> file = ReadDeviceFile(u"\\My Documents\\grow.fvc");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 300u * 1024);
    Container_Dlg opener;
    SetOpen(opener, u"\\My Documents\\grow.fvc", u"password");
    EXPECT_EQ(Run(opener, 1).result, IDOK);
    EXPECT_EQ(std::u16string(opener.m_folder), u"Growing");
    expectFiles();
}

// The dialog's commands, sent while a box of its worker is up: browse fills the path edit from the chooser,
// back ends the dialog with 0, which the later end does not change.
TEST_F(ContainerDlgTest, CommandsSentWhileABoxIsUp) {
    {
        // The chooser's first run makes what lives to the end of the program (its icon list, its title
        // font); the count of GDI objects starts after it.
        CPocketFileDialog first;
        user::test::AnswerNextDialog(u"Choose file: ", IDCANCEL);
        first.Browse(u"Choose file: ", u"All files(*.*)|*.*||", u"\\");
        m_objectsAtStart = gdi::OpenObjectCount();
    }
    Container_Dlg dialog;
    SetOpen(dialog, u"", u"password");
    std::u16string browsed;
    const Outcome outcome = Run(dialog, 1, [&] {
        const HWND window = dialog.GetSafeHwnd();
        user::test::OnNextModal(ModalKind::Dialog, u"Choose file: ", [](const ModalInfo& info) {
            SetDlgItemTextW(info.window, IDC_FILE_NAME, u"pick.fvc");
            SendMessageW(info.window, WM_COMMAND, IDOK, 0);
        });
        SendMessageW(window, WM_COMMAND, IDC_CONTAINER_BROWSE, 0);
        browsed = user::test::Text(GetDlgItem(window, IDC_CONTAINER_PATH));
        SendMessageW(window, WM_COMMAND, IDC_CONTAINER_BACK, 0);
    });
    EXPECT_EQ(browsed, u"\\pick.fvc");
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(dialog.m_openFlag, 0);
    EXPECT_EQ(dialog.m_record.status, -1);
}

TEST_F(ContainerDlgTest, MessageBoxFFormatsAndCutsItsText) {
    MessageBoxF(MB_ICONHAND, u"#%d: %s", 7, std::u16string(2000, u'x').c_str());
    const std::vector<user::MessageBoxRecord> boxes = user::TakeShownMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"#7: " + std::u16string(1019, u'x'));
    EXPECT_EQ(boxes[0].caption, u"FerrovaneEx");
    EXPECT_EQ(boxes[0].type, 0x50010u);
}

} // namespace
