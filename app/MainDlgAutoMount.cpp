// The main dialog's auto-mount services: the replay of the auto-mount list at start and the command that
// adds the selected container to the list or takes it out.

#include <algorithm>

#include "Amount.h"
#include "AutoMountList.h"
#include "ContainerTrailer.h"
#include "MainDlg.h"
#include "MessageBox.h"
#include "ProgramSkin.h"
#include "crt/WideString.h"
#include "devices/DeviceManager.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Scoped.h"
#include "shell/FullScreen.h"
#include "user/System.h"

namespace {

// The trailer and the first 16 bytes of a container file; false when the file cannot be read so far.
bool ReadContainerEnds(LPCWSTR path, CONTAINER_TRAILER* trailer, uint8_t first[16]) {
    const kernel::ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return false;
    return ReadAt(file.Get(), -static_cast<LONG>(kTrailerSize), FILE_END, trailer, kTrailerSize) &&
           ReadAt(file.Get(), 0, FILE_BEGIN, first, 16);
}

enum class PasswordCheck { Right, Wrong, Unreadable };

// Checks the password against the container's trailer; when it is right, the folder name the container
// keeps (empty when it keeps none).
PasswordCheck CheckAgainstTrailer(const CONTAINER_PARAMS& record, std::u16string* storedName) {
    CONTAINER_TRAILER trailer{};
    uint8_t first[16] = {};
    if (!ReadContainerEnds(record.containerPath, &trailer, first))
        return PasswordCheck::Unreadable;
    const AesKeySchedule schedule = DataKeyDecryption(record.password, trailer.keyBlock);
    if (!CheckPassword(&schedule, first))
        return PasswordCheck::Wrong;
    uint8_t name[kNameBlockSize];
    DecryptBlocks(&schedule, trailer.nameBlock, name, kNameBlockSize);
    *storedName = static_cast<LPCWSTR>(NameBlockText(name));
    return PasswordCheck::Right;
}

} // namespace

void Main_Dlg::AutoMountContainers(bool mount) {
    m_table.MarkAllFree();
    if (!mount)
        return;
    // Removing an entry moves the later ones up by its four lines.
    int removedLines = 0;
    for (const automount::Entry& entry : automount::ReadEntries()) {
        if (PathExists(entry.path.c_str())) {
            PromptAndMount(entry.path, entry.folder);
        } else if (GetLastError() == ERROR_NO_MORE_FILES) {
            // The file is gone from a folder that is there: the entry goes. A missing folder (a card
            // not inserted) keeps it.
            if (automount::RemoveEntryAt(entry.firstLine - removedLines))
                removedLines += 4;
        }
    }
}

void Main_Dlg::PromptAndMount(const std::u16string& path, const std::u16string& folder) {
    CAmount prompt;
    CopyStringW(prompt.m_record.containerPath, kContainerTextUnits, path.c_str());
    CopyStringW(prompt.m_record.folderName, kContainerTextUnits, folder.c_str());
    prompt.m_record.status = -1;
    Container_Dlg mounter;
    FullScreen(SHFS_SHOWSIPBUTTON);
    bool mounted = false;
    for (;;) {
        if (prompt.DoModal() != IDOK)
            break;
        std::u16string storedName;
        const PasswordCheck check = CheckAgainstTrailer(prompt.m_record, &storedName);
        if (check == PasswordCheck::Wrong) {
            ShowMessage(this, u"Wrong password.", FALSE);
            continue;
        }
        // The name kept in the container wins over the list's, also an empty one; a file whose trailer
        // cannot be read goes to the driver as it is, which tells the user why it does not mount.
        if (check == PasswordCheck::Right)
            CopyStringW(prompt.m_record.folderName, kContainerTextUnits, storedName.c_str());
        ShowWaitCursor();
        mounter.m_openFlag = 1;
        mounter.m_prefilledFlag = 1;
        mounter.m_resizeFlag = 0;
        mounter.m_changePasswordFlag = 0;
        mounter.m_changePasswordFlag2 = 0;
        mounter.m_record = prompt.m_record;
        const INT_PTR result = mounter.DoModal();
        if (mounter.m_record.status == MOUNT_BAD_PASSWORD)
            continue;
        mounted = result == IDOK && mounter.m_record.status == MOUNT_OK;
        break;
    }
    FullScreen(SHFS_HIDESIPBUTTON);
    if (mounted) {
        CONTAINER_PARAMS record = mounter.m_record;
        if (record.folderName[0] == 0)
            CopyStringW(record.folderName, kContainerTextUnits, u"Encrypted Folder");
        if (!m_table.InsertAtFront(record, mounter.m_device, mounter.m_mountFolder)) {
            // The table is full: a container it cannot hold could never be unmounted.
            DeactivateDevice(mounter.m_device);
            ShowMessage(this, u"\nToo many containers\n mounted.", FALSE);
        }
    }
    ShowArrowCursor();
    FullScreen(SHFS_HIDESIPBUTTON);
}

bool Main_Dlg::SelectedIsListed(bool* listed) {
    if (!TakeSelected())
        return false;
    *listed = automount::IsListed(m_current.containerPath);
    return true;
}

void Main_Dlg::OnToggleAutomount() {
    bool listed = false;
    if (!SelectedIsListed(&listed))
        return;
    if (listed)
        automount::RemoveEntry(m_current.containerPath);
    else
        automount::AppendEntry(m_current.containerPath, m_current.folderName);
}
