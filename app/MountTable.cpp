#include "MountTable.h"

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

bool CMountTable::Append(const CONTAINER_PARAMS& record, HANDLE device) {
    if (m_lastUsed >= kSlots - 1)
        return false;
    ++m_lastUsed;
    Record(m_lastUsed) = record;
    SetDevice(m_lastUsed, device);
    if (m_list != nullptr)
        m_list->AddString(FolderOf(m_lastUsed));
    return true;
}

bool CMountTable::InsertAtFront(const CONTAINER_PARAMS& record, HANDLE device) {
    if (m_lastUsed >= kSlots - 1)
        return false;
    ++m_lastUsed;
    for (int slot = m_lastUsed; slot > 0; --slot)
        MoveSlot(slot - 1, slot);
    Record(0) = record;
    SetDevice(0, device);
    if (m_list != nullptr)
        m_list->InsertString(0, FolderOf(0));
    return true;
}

void CMountTable::MoveSlot(int from, int to) {
    Record(to) = Record(from);
    SetDevice(to, Device(from));
}

bool CMountTable::Unmount(int slot) {
    if (!DeactivateDevice(Device(slot)))
        return false;
    Record(slot).status = kFree;
    SetDevice(slot, nullptr);
    MarkClosed(slot);
    return true;
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
    // The last slot fills the gap, in the table and in the list.
    m_list->DeleteString(static_cast<UINT>(item));
    if (slot != m_lastUsed) {
        MoveSlot(m_lastUsed, slot);
        Record(m_lastUsed).status = kFree;
        SetDevice(m_lastUsed, nullptr);
        m_list->DeleteString(static_cast<UINT>(m_lastUsed - 1));
        m_list->InsertString(slot, FolderOf(slot));
    }
    --m_lastUsed;
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
                Record(slot).status = kFree;
                SetDevice(slot, nullptr);
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
