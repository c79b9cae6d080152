#include "MountTable.h"

#include "ContainerDlg.h"
#include "MessageBox.h"
#include "ProgramSkin.h"
#include "crt/WideString.h"
#include "devices/DeviceManager.h"
#include "kernel/Errors.h"
#include "kernel/Registry.h"
#include "user/System.h"

namespace {

constexpr int32_t kFree = -1;

// The driver's per-mount key of the slot, when something made one: it no longer holds an open container.
void MarkClosed(int slot) {
    CString key;
    key.Format(u"Drivers\\BuiltIn\\Ferrovane\\%d", slot);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | KEY_WRITE, &opened) != ERROR_SUCCESS)
        return;
    const DWORD closed = 0;
    RegSetValueExW(opened, u"Open", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&closed), sizeof closed);
    RegCloseKey(opened);
}

} // namespace

CMountTable::CMountTable() {
    MarkAllFree();
}

void CMountTable::MarkAllFree() {
    for (CONTAINER_PARAMS& record : m_records)
        record.status = kFree;
}

bool CMountTable::IsUsed(int slot) const {
    return slot >= 0 && slot <= m_lastUsed && m_records[static_cast<size_t>(slot)].status != kFree;
}

CString CMountTable::FolderOf(int slot) const {
    const CONTAINER_PARAMS& record = Record(slot);
    return CString(record.folderName, static_cast<int>(wcsnlen(record.folderName, kContainerTextUnits)));
}

void CMountTable::FillList() {
    if (m_list == nullptr)
        return;
    m_list->ResetContent();
    for (int slot = 0; slot <= m_lastUsed; ++slot)
        m_list->AddString(FolderOf(slot));
}

CString CMountTable::MountFolder(int slot) const {
    const CString& folder = m_folders[static_cast<size_t>(slot)];
    return folder.IsEmpty() ? CString(u"\\") + FolderOf(slot) : folder;
}

int CMountTable::SlotOfPath(const char16_t* path) const {
    for (int slot = 0; slot <= m_lastUsed; ++slot)
        if (IsUsed(slot) &&
            std::char_traits<char16_t>::compare(Record(slot).containerPath, path, kContainerTextUnits) == 0)
            return slot;
    return -1;
}

bool CMountTable::Append(const CONTAINER_PARAMS& record, HANDLE device, const CString& folder,
                         bool trailerPending) {
    if (m_lastUsed >= kSlots - 1)
        return false;
    ++m_lastUsed;
    Store(m_lastUsed, record, device, folder, trailerPending);
    if (m_list != nullptr)
        m_list->AddString(FolderOf(m_lastUsed));
    return true;
}

bool CMountTable::InsertAtFront(const CONTAINER_PARAMS& record, HANDLE device, const CString& folder,
                                bool trailerPending) {
    if (m_lastUsed >= kSlots - 1)
        return false;
    ++m_lastUsed;
    for (int slot = m_lastUsed; slot > 0; --slot)
        MoveSlot(slot - 1, slot);
    Store(0, record, device, folder, trailerPending);
    if (m_list != nullptr)
        m_list->InsertString(0, FolderOf(0));
    return true;
}

void CMountTable::Store(int slot, const CONTAINER_PARAMS& record, HANDLE device, const CString& folder,
                        bool trailerPending) {
    Record(slot) = record;
    SetDevice(slot, device);
    SetMountFolder(slot, folder);
    SetTrailerPending(slot, trailerPending);
}

void CMountTable::MoveSlot(int from, int to) {
    Store(to, Record(from), Device(from), m_folders[static_cast<size_t>(from)], TrailerPending(from));
}

void CMountTable::Clear(int slot) {
    Record(slot).status = kFree;
    SetDevice(slot, nullptr);
    SetMountFolder(slot, CString());
    SetTrailerPending(slot, false);
}

bool CMountTable::Unmount(int slot) {
    if (!DeactivateDevice(Device(slot)))
        return false;
    // The trailer of a new container whose first mount was held goes on now, which keeps what it holds.
    if (TrailerPending(slot))
        WritePendingTrailer(Record(slot));
    MarkClosed(slot);
    return true;
}

void CMountTable::Forget(int slot) {
    if (!IsUsed(slot))
        return;
    Clear(slot);
    // The last slot fills the gap, in the table and in the list.
    if (m_list != nullptr)
        m_list->DeleteString(static_cast<UINT>(slot));
    if (slot != m_lastUsed) {
        MoveSlot(m_lastUsed, slot);
        Clear(m_lastUsed);
        if (m_list != nullptr) {
            m_list->DeleteString(static_cast<UINT>(m_lastUsed - 1));
            m_list->InsertString(slot, FolderOf(slot));
        }
    }
    --m_lastUsed;
}

void CMountTable::UnmountSelected() {
    ShowWaitCursor();
    const int item = m_list != nullptr ? m_list->GetCurSel() : LB_ERR;
    if (item == LB_ERR) {
        ShowArrowCursor();
        return;
    }
    const int slot = SlotOfItem(item);
    if (slot < 0 || !Unmount(slot)) {
        ShowArrowCursor();
        ShowMessage(nullptr, u"\n\nCan't unmount file.", FALSE);
        return;
    }
    Forget(slot);
    ShowArrowCursor();
    ShowMessage(nullptr, u"\nContainer unmounted\n succesfully.", FALSE);
}

void CMountTable::UnmountAll() {
    ShowWaitCursor();
    bool done = false;
    int stoppedAt = -1;
    for (int slot = 0; slot <= m_lastUsed; ++slot) {
        if (Record(slot).status == kFree)
            continue;
        if (!Unmount(slot)) {
            stoppedAt = slot;
            done = false;
            break;
        }
        Clear(slot);
        if (m_list != nullptr)
            m_list->DeleteString(0);
        done = true;
    }
    if (stoppedAt >= 0) {
        // What stays mounted moves to the front, where the list shows it.
        int to = 0;
        for (int slot = stoppedAt; slot <= m_lastUsed; ++slot) {
            if (Record(slot).status == kFree)
                continue;
            if (slot != to) {
                MoveSlot(slot, to);
                Clear(slot);
            }
            ++to;
        }
        m_lastUsed = to - 1;
        ShowArrowCursor();
        ShowMessage(nullptr, u"\nCan't unmount some files.", FALSE);
    } else if (done) {
        m_lastUsed = -1;
        ShowArrowCursor();
        ShowMessage(nullptr, u"\nContainers unmounted\n succesfully.", FALSE);
    }
    ShowArrowCursor();
}
