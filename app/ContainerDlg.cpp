#include "ContainerDlg.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <vector>

#include "AutoMountList.h"
#include "ContainerTrailer.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "MountFolder.h"
#include "ProgramSkin.h"
#include "Resource.h"
#include "crt/Crt.h"
#include "devices/DeviceManager.h"
#include "kernel/Kernel.h"
#include "kernel/Scoped.h"
#include "shell/FullScreen.h"
#include "user/MessageBox.h"
#include "user/System.h"

BEGIN_MESSAGE_MAP(Container_Dlg, CXDialog)
ON_COMMAND(IDC_CONTAINER_EXECUTE, OnExecute)
ON_COMMAND(IDC_CONTAINER_BROWSE, OnBrowse)
ON_COMMAND(IDC_CONTAINER_BACK, OnBack)
END_MESSAGE_MAP()

namespace {

constexpr WCHAR kDriverKey[] = u"Drivers\\Builtin\\Ferrovane";
constexpr WCHAR kExtension[] = u".fvc";
constexpr int kExtensionLength = 4;
// Suffixes of the files a resize works with beside the container: the new one, and the old one while
// they are swapped.
constexpr WCHAR kResizedSuffix[] = u".new";
constexpr WCHAR kReplacedSuffix[] = u".old";
constexpr int kSuffixLength = 4;
constexpr int kMaxText = static_cast<int>(kContainerTextUnits) - 1;
constexpr DWORD kMountWait = 3000;
// How long a new container's first mount is waited for while host programs hold its folder, and the pause
// between two tries.
constexpr DWORD kReleaseWait = 30000;
constexpr DWORD kReleaseRetry = 1000;
constexpr int kMinPassword = 8;
constexpr uint64_t kKb = 1024;
constexpr uint64_t kMb = 1048576;
constexpr uint64_t kMinKb = 100;
constexpr uint64_t kMaxKb = 425000;
constexpr uint64_t kMaxMb = 415;

constexpr WCHAR kTextNoPath[] = u"WARNING:\nPlease enter the\n container path.";
constexpr WCHAR kTextNoFolder[] = u"\nWARNING:\nEnter the name of the \nencrypted folder please!";
constexpr WCHAR kTextFolderExists[] = u"\nWARNING:\nExisting folder name!\n Try another.";
constexpr WCHAR kTextTooSmall[] = u"\nWARNING:\nFile must be 100 kb at least!";
constexpr WCHAR kTextTooBig[] = u"\nWARNING:\nFile can't be greater 415 Mb!";
constexpr WCHAR kTextShortPassword[] = u"Password must be\n 8 chars minimum!\n Try again.";
constexpr WCHAR kTextCannotOpen[] =
    u"ERROR:NCann't open the container.\n Please check if containerisn't open now.";
constexpr WCHAR kTextWrongPassword[] = u"\n\nWrong password!";
constexpr WCHAR kTextConfirm[] = u"\nWrong confirm password enter.\n Try again.";
constexpr WCHAR kTextMounted[] = u"\nContainer mounted\n successfully";
constexpr WCHAR kTextMissing[] = u"\nWARNING:\nContainer file does not exists";
constexpr WCHAR kTextBadPassword[] = u"WARNING:\nFile format or password\n is wrong";
constexpr WCHAR kTextResized[] = u"\n\nContainer resizing ok";
constexpr WCHAR kTextPasswordChanged[] = u"\n\nPassword changed";
constexpr WCHAR kTextPathTooLong[] = u"\nWARNING:\nContainer path is too long!\n Try a shorter one.";
constexpr WCHAR kTextFolderTooLong[] = u"\nWARNING:\nFolder name is too long!\n Try a shorter one.";
constexpr WCHAR kTextLongPassword[] = u"Password must be\n 259 chars maximum!\n Try again.";
constexpr WCHAR kTextFilesDoNotFit[] = u"\nWARNING:\nThe container's files\n do not fit in that size!";

constexpr WCHAR kBoxNoDriver[] = u"Error initializing driver because WinAPI. \n[WINAPI-%04d] %s";
constexpr WCHAR kBoxCreateFailed[] = u"Cannot create container file \n[WINAPI-%04d] %s";
constexpr WCHAR kBoxWriteFailed[] = u"Error writing to container file \n[WINAPI-%04d] %s";
constexpr WCHAR kBoxOpenFailed[] = u"Error opening container file \n[WINAPI-%04d] %s";
constexpr WCHAR kBoxMappingFailed[] = u"Error mapping file to memory \n[WINAPI-%04d] %s";
constexpr WCHAR kBoxUndefined[] = u"Undefined error #%d happened \n[WINAPI-%04d] %s";
constexpr WCHAR kBoxUnmountFailed[] = u"Cannot unmount the container \n[WINAPI-%04d] %s";

// A record's text field, which may lack its terminator.
CString FieldText(const char16_t* field) {
    return CString(field, static_cast<int>(wcsnlen(field, kContainerTextUnits)));
}

// The platform's text for an error number; empty when it has none.
CString SystemText(DWORD error) {
    LPWSTR text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                       FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    CString result = text != nullptr ? CString(text) : CString();
    LocalFree(text);
    return result;
}

// A platform error in the program's box, the error number and its text filled in after the format's
// other arguments.
void ShowError(LPCWSTR format, DWORD error) {
    ShowArrowCursor();
    MessageBoxF(MB_ICONHAND, format, static_cast<int>(error), static_cast<LPCWSTR>(SystemText(error)));
}

void ShowText(CWnd* owner, LPCWSTR text) {
    ShowArrowCursor();
    ShowMessage(owner, text, FALSE);
}

// count x unit, or the largest value when the product does not fit 64 bits.
uint64_t SizeInBytes(uint64_t count, uint64_t unit) {
    uint64_t bytes = 0;
    return __builtin_mul_overflow(count, unit, &bytes) ? UINT64_MAX : bytes;
}

CString NotEnoughMemoryText(uint64_t freeBytes) {
    CString amount;
    amount.Format(u"%lld", static_cast<long long>(std::min<uint64_t>(freeBytes, INT64_MAX)));
    return CString(u"Not enough memory.\n Memory available:\n") + amount + u" bytes.";
}

// The free bytes of the object store, whole (its store information stops at 4 GB); false when they cannot
// be read.
bool StoreFreeBytes(uint64_t* freeBytes) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(nullptr, &available, nullptr, nullptr))
        return false;
    *freeBytes = available.QuadPart;
    return true;
}

// Writes the whole buffer at the position; false with the last error set.
bool WriteAt(HANDLE file, LONG fromEnd, const void* bytes, DWORD length) {
    DWORD written = 0;
    return SetFilePointer(file, fromEnd, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
           WriteFile(file, bytes, length, &written, nullptr) && written == length;
}

// The trailer of a new container (its data key is its password key) over the last 272 bytes of its file;
// false with the last error set.
bool WriteNewTrailer(const CONTAINER_PARAMS& record) {
    CONTAINER_TRAILER trailer{};
    BuildNewContainerTrailer(record.password, record.folderName, &trailer);
    const kernel::ScopedHandle file(CreateFileW(record.containerPath, GENERIC_READ | GENERIC_WRITE, 0,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsOpen())
        return false;
    const bool written = WriteAt(file.Get(), -static_cast<LONG>(kTrailerSize), &trailer, kTrailerSize);
    if (written)
        SetLastError(0);
    return written;
}

// Lets go of a new container's first mount, so that its trailer can be written. While host programs hold
// its folder the platform answers ERROR_BUSY; the release is tried again for a bounded time. False when
// the container stays mounted.
bool ReleaseNewMount(HANDLE device) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (DeactivateDevice(device))
            return true;
        if (GetLastError() != ERROR_BUSY || GetTickCount() - start >= kReleaseWait)
            return false;
        Sleep(kReleaseRetry);
    }
}

// Opens a container to copy files from or to, mounted at a folder of the root that is free; the handle,
// or NULL with the status and error of the activation.
struct Mount {
    HANDLE device = nullptr;
    CString folder; // "\Resize source1"
    int32_t status = MOUNT_OK;
    DWORD error = 0;
};

CString FreeFolder(LPCWSTR base) {
    for (int n = 1; n < 100; ++n) {
        CString folder;
        folder.Format(u"\\%s%d", base, n);
        if (!PathExists(folder))
            return folder;
    }
    return CString();
}

Mount MountAt(CONTAINER_PARAMS record, LPCWSTR base) {
    Mount mount;
    mount.folder = FreeFolder(base);
    if (mount.folder.IsEmpty()) {
        mount.status = MOUNT_OPEN_FAILED;
        mount.error = ERROR_ALREADY_EXISTS;
        return mount;
    }
    CopyStringW(record.folderName, kContainerTextUnits, static_cast<LPCWSTR>(mount.folder) + 1);
    record.status = MOUNT_OK;
    mount.device = ActivateDeviceEx(kDriverKey, nullptr, 0, &record);
    mount.error = GetLastError();
    mount.status = record.status;
    if (mount.device != nullptr && !PathExists(mount.folder)) {
        // The disk was taken but no volume came up under the folder.
        DeactivateDevice(mount.device);
        mount.device = nullptr;
        mount.status = MOUNT_OPEN_FAILED;
        mount.error = ERROR_PATH_NOT_FOUND;
    }
    return mount;
}

// The bytes of every file under a folder.
uint64_t TreeBytes(const CString& folder) {
    uint64_t total = 0;
    WIN32_FIND_DATAW data{};
    const kernel::ScopedFind search(FindFirstFileW(folder + u"\\*", &data));
    if (!search.IsOpen())
        return 0;
    do {
        const CString name = data.cFileName;
        if (name == u"." || name == u"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            total += TreeBytes(folder + u"\\" + name);
        else
            total += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } while (FindNextFileW(search.Get(), &data));
    return total;
}

bool CopyOneFile(const CString& from, const CString& to) {
    const kernel::ScopedHandle source(
        CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!source.IsOpen())
        return false;
    const kernel::ScopedHandle target(CreateFileW(to, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    if (!target.IsOpen())
        return false;
    std::vector<uint8_t> buffer(64 * 1024);
    FILETIME created{};
    FILETIME accessed{};
    FILETIME written{};
    bool ok = GetFileTime(source.Get(), &created, &accessed, &written);
    while (ok) {
        DWORD read = 0;
        DWORD done = 0;
        if (!ReadFile(source.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            ok = false;
            break;
        }
        if (read == 0)
            break;
        if (!WriteFile(target.Get(), buffer.data(), read, &done, nullptr) || done != read) {
            if (GetLastError() == 0)
                SetLastError(ERROR_DISK_FULL);
            ok = false;
            break;
        }
    }
    // The copy keeps the original's times (the last write after the writes made it).
    if (ok)
        ok = SetFileTime(target.Get(), &created, &accessed, &written);
    if (ok)
        SetLastError(0);
    return ok;
}

// Copies the files and folders under one folder into another, with their attributes and the files' times
// (the platform has no call that sets a folder's times); false with the last error of the first failure.
bool CopyTree(const CString& from, const CString& to) {
    WIN32_FIND_DATAW data{};
    const kernel::ScopedFind search(FindFirstFileW(from + u"\\*", &data));
    if (!search.IsOpen())
        return GetLastError() == ERROR_NO_MORE_FILES || GetLastError() == ERROR_FILE_NOT_FOUND;
    bool ok = true;
    do {
        const CString name = data.cFileName;
        if (name == u"." || name == u"..")
            continue;
        const CString source = from + u"\\" + name;
        const CString target = to + u"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CreateDirectoryW(target, nullptr) && CopyTree(source, target);
        else
            ok = CopyOneFile(source, target);
        // A copy is made with the archive bit: the original's bits replace whatever the copy got.
        const DWORD kept =
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
        const DWORD attributes = data.dwFileAttributes & kept;
        if (ok)
            ok = SetFileAttributesW(target, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
    } while (ok && FindNextFileW(search.Get(), &data));
    const DWORD error = GetLastError();
    if (ok && error != ERROR_NO_MORE_FILES)
        ok = false;
    SetLastError(ok ? 0 : error);
    return ok;
}

// Why a container cannot be resized to newSize bytes, empty when it can.
CString ResizeRefusal(uint64_t newSize, const CString& path) {
    if (newSize < kMinKb * kKb)
        return kTextTooSmall;
    if (newSize > kMaxKb * kKb)
        return kTextTooBig;
    // The new container is built beside the old one before they are swapped.
    uint64_t freeBytes = 0;
    if (StoreFreeBytes(&freeBytes) && newSize > freeBytes)
        return NotEnoughMemoryText(freeBytes);
    if (path.GetLength() + kSuffixLength > kMaxText)
        return kTextPathTooLong;
    return CString();
}

enum class KeyRewrap { Done, OpenFailed, WrongPassword, WriteFailed };

// Wraps the data key of the record's container, unwrapped with the record's password, under newPassword
// and writes the new key block. The file is closed again before the caller tells the user; error gets the
// platform error of an open or write that failed.
KeyRewrap RewrapDataKey(const CONTAINER_PARAMS& record, LPCWSTR newPassword, DWORD* error) {
    const kernel::ScopedHandle file(CreateFileW(record.containerPath, GENERIC_READ | GENERIC_WRITE, 0,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsOpen()) {
        *error = GetLastError();
        return KeyRewrap::OpenFailed;
    }
    uint8_t firstBlock[16];
    uint8_t keyBlock[kKeyBlockSize];
    if (!ReadAt(file.Get(), 0, FILE_BEGIN, firstBlock, sizeof firstBlock) ||
        !ReadAt(file.Get(), -static_cast<LONG>(kKeyBlockSize), FILE_END, keyBlock, sizeof keyBlock)) {
        *error = GetLastError();
        return KeyRewrap::OpenFailed;
    }
    // The old password must still open the container: its data key is what the new key block keeps.
    uint8_t oldKey[16];
    DerivePasswordKey(record.password, kContainerTextUnits, oldKey);
    uint8_t dataKey[16];
    UnwrapDataKey(oldKey, keyBlock, dataKey);
    AesKeySchedule schedule{};
    AesSetDecryptKey128(dataKey, &schedule);
    if (!CheckPassword(&schedule, firstBlock))
        return KeyRewrap::WrongPassword;
    uint8_t newKey[16];
    DerivePasswordKey(newPassword, kContainerTextUnits, newKey);
    WrapDataKey(newKey, dataKey, keyBlock);
    if (!WriteAt(file.Get(), -static_cast<LONG>(kKeyBlockSize), keyBlock, sizeof keyBlock) ||
        !FlushFileBuffers(file.Get())) {
        *error = GetLastError();
        return KeyRewrap::WriteFailed;
    }
    return KeyRewrap::Done;
}

} // namespace

bool WritePendingTrailer(const CONTAINER_PARAMS& record) {
    if (WriteNewTrailer(record))
        return true;
    ShowError(kBoxWriteFailed, GetLastError());
    return false;
}

int MessageBoxF(UINT flags, LPCWSTR format, ...) {
    WCHAR text[1024];
    va_list args;
    va_start(args, format);
    _vsnwprintf(text, sizeof text / sizeof text[0], format, args);
    va_end(args);
    return MessageBoxW(nullptr, text, u"FerrovaneEx", flags | MB_SETFOREGROUND | MB_TOPMOST);
}

Container_Dlg::Container_Dlg(CWnd* parent) : CXDialog(IDD_CONTAINER, parent) {}

void Container_Dlg::DoDataExchange(CDataExchange* pDX) {
    CXDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CONTAINER_PATH, m_pathEdit);
    DDX_Control(pDX, IDC_CONTAINER_SIZE, m_sizeEdit);
    DDX_Control(pDX, IDC_CONTAINER_PASSWORD, m_passwordEdit);
    DDX_Control(pDX, IDC_CONTAINER_FOLDER, m_folderEdit);
    DDX_Control(pDX, IDC_CONTAINER_SPIN, m_sizeSpin);
}

BOOL Container_Dlg::OnInitDialog() {
    CXDialog::OnInitDialog();
    SetWindowPos(nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SHFullScreen(m_hWnd, SHFS_SHOWSIPBUTTON);
    if (m_resizeFlag) {
        SetWindowText(u"Resize container");
    } else if (m_changePasswordFlag) {
        SetWindowText(u"Change container password");
    } else if (!m_prefilledFlag) {
        SetWindowText(m_openFlag ? u"Open container" : u"Create container");
        SHFullScreen(m_hWnd, SHFS_SHOWSIPBUTTON);
        m_record.status = -1;
    }
    ShowWindow(SW_HIDE);
    ExecuteOperation();
    SHFullScreen(m_hWnd, SHFS_HIDESIPBUTTON);
    // Whatever the worker did not end itself ends here; the first end result stands.
    if (m_record.status != 0)
        EndDialog(IDCANCEL);
    SHFullScreen(m_hWnd, SHFS_HIDESIPBUTTON);
    return TRUE;
}

void Container_Dlg::OnExecute() {
    ExecuteOperation();
}

void Container_Dlg::OnBrowse() {
    CPocketFileDialog chooser(this);
    chooser.Browse(u"Choose file: ", u"Ferrovane Containers(*.fvc)|*.fvc|All files(*.*)|*.*||", u"\\");
    m_pathEdit.SetWindowText(chooser.GetPathName());
    SHFullScreen(m_hWnd, SHFS_SHOWSIPBUTTON);
}

void Container_Dlg::OnBack() {
    SHFullScreen(m_hWnd, SHFS_HIDESIPBUTTON);
    m_openFlag = 0;
    EndDialog(0);
}

void Container_Dlg::Refuse(LPCWSTR text) {
    ShowText(this, text);
    m_record.status = -1;
}

void Container_Dlg::ExecuteOperation() {
    m_record.status = -1;
    ShowWaitCursor();
    if (m_resizeFlag)
        Resize();
    else if (!m_changePasswordFlag && !m_changePasswordFlag2)
        CreateOrOpen();
    else
        ChangePassword();
    ShowArrowCursor();
}

CString Container_Dlg::InputRefusal() const {
    if (m_path.IsEmpty())
        return kTextNoPath;
    if (!m_openFlag) {
        if (m_folder.IsEmpty())
            return kTextNoFolder;
        if (PathExists(m_folder))
            return kTextFolderExists;
        // Counts compare as unsigned: a negative count is a huge one.
        const uint64_t count = static_cast<uint64_t>(m_sizeCount);
        const uint64_t bytes = SizeInBytes(count, m_sizeUnit);
        uint64_t freeBytes = 0;
        if (StoreFreeBytes(&freeBytes) && bytes > freeBytes)
            return NotEnoughMemoryText(freeBytes);
        if (m_sizeUnit == kKb && count < kMinKb)
            return kTextTooSmall;
        if (m_sizeUnit == kKb && count > kMaxKb)
            return kTextTooBig;
        if (m_sizeUnit == kMb && count > kMaxMb)
            return kTextTooBig;
        // No size would ask the driver to open rather than create; the record's size field caps the rest.
        if (bytes == 0)
            return kTextTooSmall;
        if (bytes > kMaxContainerSize)
            return kTextTooBig;
        if (m_password.IsEmpty())
            return kTextShortPassword;
    }
    if (m_password.GetLength() < kMinPassword)
        return kTextShortPassword;
    // The record's fields hold 259 units: longer texts are refused rather than cut into other names.
    if (m_path.GetLength() + (m_openFlag ? 0 : kExtensionLength) > kMaxText)
        return kTextPathTooLong;
    if (!m_openFlag && m_folder.GetLength() > kMaxText)
        return kTextFolderTooLong;
    if (m_password.GetLength() > kMaxText)
        return kTextLongPassword;
    return CString();
}

bool Container_Dlg::CheckInput() {
    const CString refusal = InputRefusal();
    if (refusal.IsEmpty())
        return true;
    Refuse(refusal);
    return false;
}

bool Container_Dlg::ReadFolderFromTrailer(CONTAINER_PARAMS& local) {
    const kernel::ScopedHandle file(
        CreateFileW(local.containerPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsOpen()) {
        Refuse(kTextCannotOpen);
        return false;
    }
    // A file too short for a trailer reads as an empty name; the driver then refuses it.
    CONTAINER_TRAILER trailer{};
    const bool read = ReadAt(file.Get(), -static_cast<LONG>(kTrailerSize), FILE_END, &trailer, kTrailerSize);

    uint8_t name[kNameBlockSize] = {};
    if (read) {
        const AesKeySchedule schedule = DataKeyDecryption(local.password, trailer.keyBlock);
        DecryptBlocks(&schedule, trailer.nameBlock, name, kNameBlockSize);
    }
    m_folder = NameBlockText(name);
    CopyStringW(local.folderName, kContainerTextUnits, m_folder);
    return true;
}

void Container_Dlg::CreateOrOpen() {
    m_trailerPending = false;
    CONTAINER_PARAMS local{};
    if (m_prefilledFlag) {
        local = m_record;
    } else {
        if (!CheckInput())
            return;
        CString path = m_path;
        if (!m_openFlag)
            path += kExtension;
        CopyStringW(local.containerPath, kContainerTextUnits, path);
        CopyStringW(local.password, kContainerTextUnits, m_password);
    }
    local.status = MOUNT_OK;

    if (m_openFlag) {
        local.size = 0;
        if (!m_prefilledFlag && !ReadFolderFromTrailer(local))
            return;
    } else {
        if (!m_prefilledFlag)
            CopyStringW(local.folderName, kContainerTextUnits, m_folder);
        // The entry is listed before the driver is asked to create the file; a list that cannot be opened
        // is passed over.
        automount::AppendEntry(local.containerPath, local.folderName);
        local.size = static_cast<uint32_t>(m_sizeCount) * static_cast<uint32_t>(m_sizeUnit);
    }

    ShowWaitCursor();
    auto probe = std::make_unique<CMountFolderProbe>(local.folderName);
    HANDLE device = ActivateDeviceEx(kDriverKey, nullptr, 0, &local);
    DWORD error = GetLastError();
    bool trailerPending = false;
    if (!m_openFlag && device != nullptr) {
        // The new disk is partitioned and formatted by now: let it go, write the trailer, open it.
        Sleep(kMountWait);
        ShowArrowCursor();
        if (!ReleaseNewMount(device)) {
            // Held by host programs beyond the wait: it stays the container's mount, and what is stored
            // there is kept by the trailer written when it is unmounted.
            trailerPending = true;
        } else {
            device = nullptr;
            local.size = 0;
            if (!WriteNewTrailer(local)) {
                local.status = MOUNT_WRITE_FAILED;
                error = GetLastError();
            } else {
                Sleep(kMountWait);
                probe = std::make_unique<CMountFolderProbe>(local.folderName);
                device = ActivateDeviceEx(kDriverKey, nullptr, 0, &local);
                error = GetLastError();
            }
        }
    }

    m_record.status = local.status;
    if (local.status == MOUNT_OK && (error != 0 || device == nullptr)) {
        // The driver was never reached: nothing is mounted and no driver status was decided.
        if (device != nullptr)
            DeactivateDevice(device);
        m_record.status = -1;
        ShowError(kBoxNoDriver, error);
        EndDialog(IDCANCEL);
        return;
    }
    if (local.status == MOUNT_OK) {
        Sleep(kMountWait);
        // Whether the folder came up changes nothing: the mount stands either way.
        m_mountFolder = probe->MountedFolder();
        ShowText(this, kTextMounted);
        m_record = local;
        m_device = device;
        m_trailerPending = trailerPending;
    } else {
        if (local.status == MOUNT_OPEN_FAILED) {
            m_record = local;
            m_device = device;
        }
        ReportActivation(local.status, error);
    }
    ShowArrowCursor();
    EndDialog(local.status != MOUNT_OK ? IDCANCEL : IDOK);
}

void Container_Dlg::ReportActivation(int32_t status, DWORD error) {
    switch (status) {
    case MOUNT_OK:
        ShowError(kBoxNoDriver, error);
        break;
    case MOUNT_FILE_MISSING:
        ShowText(this, kTextMissing);
        break;
    case MOUNT_CREATE_FAILED:
        ShowError(kBoxCreateFailed, error);
        break;
    case MOUNT_WRITE_FAILED:
        ShowError(kBoxWriteFailed, error);
        break;
    case MOUNT_OPEN_FAILED:
        ShowError(kBoxOpenFailed, error);
        break;
    case MOUNT_MAPPING_FAILED:
        ShowError(kBoxMappingFailed, error);
        break;
    case MOUNT_BAD_PASSWORD:
        ShowText(this, kTextBadPassword);
        break;
    default:
        ShowArrowCursor();
        MessageBoxF(MB_ICONHAND, kBoxUndefined, status, static_cast<int>(error),
                    static_cast<LPCWSTR>(SystemText(error)));
        break;
    }
}

void Container_Dlg::Resize() {
    const uint64_t newSize = SizeInBytes(static_cast<uint64_t>(m_sizeCount), m_sizeUnit);
    m_sizeCount = static_cast<int64_t>(newSize);
    m_folder = FieldText(m_record.folderName);
    if (newSize == m_record.size)
        return;
    const Rewrite rewrite = ResizeContainer(newSize);
    if (rewrite == Rewrite::Refused) {
        m_record.status = -1;
        return;
    }
    RemountAfterRewrite(rewrite, kTextResized);
}

void Container_Dlg::ChangePassword() {
    if (m_oldPassword != FieldText(m_record.password))
        return Refuse(kTextWrongPassword);
    if (m_newPassword != m_confirmPassword)
        return Refuse(kTextConfirm);
    if (m_newPassword.GetLength() < kMinPassword)
        return Refuse(kTextShortPassword);
    if (m_newPassword.GetLength() > kMaxText)
        return Refuse(kTextLongPassword);
    WCHAR newPassword[kContainerTextUnits] = {};
    CopyStringW(newPassword, kContainerTextUnits, m_newPassword);
    const Rewrite rewrite = ChangeContainerPassword(newPassword);
    if (rewrite == Rewrite::Refused) {
        m_record.status = -1;
        return;
    }
    RemountAfterRewrite(rewrite, kTextPasswordChanged);
}

bool Container_Dlg::UnmountForRewrite() {
    if (m_device == nullptr)
        return true;
    if (!DeactivateDevice(m_device)) {
        ShowError(kBoxUnmountFailed, GetLastError());
        return false;
    }
    m_device = nullptr;
    // A container whose first mount was held gets its trailer now, before its file is rewritten.
    if (m_trailerPending) {
        m_trailerPending = false;
        WritePendingTrailer(m_record);
    }
    return true;
}

void Container_Dlg::RemountAfterRewrite(Rewrite rewrite, LPCWSTR doneText) {
    // Size 0 opens the container: any other size would have the driver create it anew.
    m_record.size = 0;
    m_record.status = MOUNT_OK;
    ShowWaitCursor();
    const CMountFolderProbe probe(m_record.folderName);
    m_device = ActivateDeviceEx(kDriverKey, nullptr, 0, &m_record);
    const DWORD error = GetLastError();
    Sleep(kMountWait);
    m_mountFolder = probe.MountedFolder();
    ShowArrowCursor();
    if (m_device == nullptr) {
        const int32_t status = m_record.status;
        if (status == MOUNT_OK)
            m_record.status = -1;
        ReportActivation(status, error);
        EndDialog(IDCANCEL);
        return;
    }
    if (rewrite == Rewrite::Done)
        ShowText(this, doneText);
    EndDialog(IDOK);
}

Container_Dlg::Rewrite Container_Dlg::ChangeContainerPassword(LPCWSTR newPassword) {
    if (!UnmountForRewrite())
        return Rewrite::Refused;
    DWORD error = 0;
    switch (RewrapDataKey(m_record, newPassword, &error)) {
    case KeyRewrap::OpenFailed:
        ShowError(kBoxOpenFailed, error);
        return Rewrite::Failed;
    case KeyRewrap::WrongPassword:
        ShowText(this, kTextWrongPassword);
        return Rewrite::Failed;
    case KeyRewrap::WriteFailed:
        ShowError(kBoxWriteFailed, error);
        return Rewrite::Failed;
    case KeyRewrap::Done:
        break;
    }
    CopyStringW(m_record.password, kContainerTextUnits, newPassword);
    return Rewrite::Done;
}

Container_Dlg::Rewrite Container_Dlg::ResizeContainer(uint64_t newSize) {
    const CString path = FieldText(m_record.containerPath);
    const CString refusal = ResizeRefusal(newSize, path);
    if (!refusal.IsEmpty()) {
        Refuse(refusal);
        return Rewrite::Refused;
    }
    if (!UnmountForRewrite())
        return Rewrite::Refused;

    ShowWaitCursor();
    CONTAINER_PARAMS sourceRecord = m_record;
    sourceRecord.size = 0;
    Mount source = MountAt(sourceRecord, u"Resize source");
    if (source.device == nullptr) {
        ReportActivation(source.status, source.error);
        return Rewrite::Failed;
    }
    const CString resizedPath = path + kResizedSuffix;
    CONTAINER_PARAMS resizedRecord = m_record;
    CopyStringW(resizedRecord.containerPath, kContainerTextUnits, resizedPath);
    resizedRecord.size = static_cast<uint32_t>(newSize);
    Mount resized = MountAt(resizedRecord, u"Resize target");
    if (resized.device == nullptr) {
        DeactivateDevice(source.device);
        DeleteFileW(resizedPath);
        ReportActivation(resized.status == MOUNT_OPEN_FAILED ? MOUNT_CREATE_FAILED : resized.status,
                         resized.error);
        return Rewrite::Failed;
    }

    // The files must fit the new volume; the copy itself can still run out of clusters.
    ULARGE_INTEGER available{};
    bool fits = GetDiskFreeSpaceExW(resized.folder, &available, nullptr, nullptr) &&
                TreeBytes(source.folder) <= available.QuadPart;
    bool copied = fits && CopyTree(source.folder, resized.folder);
    DWORD error = GetLastError();
    if (!fits || error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
        fits = false;
    const bool released = DeactivateDevice(resized.device);
    if (copied && !released)
        error = GetLastError();
    DeactivateDevice(source.device);
    if (!copied || !released) {
        DeleteFileW(resizedPath);
        ShowArrowCursor();
        if (!fits)
            ShowText(this, kTextFilesDoNotFit);
        else
            ShowError(kBoxWriteFailed, error);
        return Rewrite::Failed;
    }

    // The new container gets the trailer of a new one under the same password and folder name, then
    // takes the old one's place; the old file goes only once the new one is in place.
    resizedRecord.size = 0;
    const CString replacedPath = path + kReplacedSuffix;
    bool swapped = WriteNewTrailer(resizedRecord) && MoveFileW(path, replacedPath);
    if (swapped && !MoveFileW(resizedPath, path)) {
        error = GetLastError();
        MoveFileW(replacedPath, path);
        SetLastError(error);
        swapped = false;
    }
    if (!swapped) {
        error = GetLastError();
        DeleteFileW(resizedPath);
        ShowError(kBoxWriteFailed, error);
        return Rewrite::Failed;
    }
    DeleteFileW(replacedPath);
    return Rewrite::Done;
}
