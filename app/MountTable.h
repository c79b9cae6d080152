#pragma once
// CMountTable: the containers that this run of the program has mounted, each with the record that mounted
// it and the device handle that ActivateDeviceEx returned, in up to 255 slots, and the folder list that
// shows them. A slot whose record's status is -1 is free. List position i always shows slot i's folder:
// every change of the slots changes the list the same way, so operations on the selected item act on the
// container the user selected, also when two share a folder name. Each slot also keeps the folder that the
// storage manager mounted its container at ("\Folder2" when "\Folder" was taken), and whether its trailer is
// still to be written (a new container whose first mount host programs held, see Container_Dlg): the
// unmount writes it. The table is not saved: a new run starts empty.

#include <array>

#include "ContainerFormat.h"
#include "classlib/Controls.h"
#include "crt/Types.h"

class CMountTable {
public:
    static constexpr int kSlots = 255;

    CMountTable();

    // The list that shows the folders; NULL while there is none. FillList shows every used slot.
    void AttachList(CListBox* list) { m_list = list; }
    void FillList();

    // Every slot free, as at the start of the auto-mount replay; the last used slot is left as it is.
    void MarkAllFree();
    // Store a mounted container after the last used slot, or before every slot; false (nothing stored)
    // when the table is full. Without a folder the container counts as mounted at "\" + its folder name.
    bool Append(const CONTAINER_PARAMS& record, HANDLE device, const CString& folder = CString(),
                bool trailerPending = false);
    bool InsertAtFront(const CONTAINER_PARAMS& record, HANDLE device, const CString& folder = CString(),
                       bool trailerPending = false);
    // Frees the slot of a container that is no longer mounted (its device went), in the table and the list.
    void Forget(int slot);

    // Unmounts the container of the list's selected item, or every container, and tells the user how it
    // went in the program's message box. A container that cannot be unmounted stays in the table.
    void UnmountSelected();
    void UnmountAll();

    int LastUsed() const { return m_lastUsed; }
    bool IsUsed(int slot) const;
    CONTAINER_PARAMS& Record(int slot) { return m_records[static_cast<size_t>(slot)]; }
    const CONTAINER_PARAMS& Record(int slot) const { return m_records[static_cast<size_t>(slot)]; }
    HANDLE Device(int slot) const { return m_devices[static_cast<size_t>(slot)]; }
    void SetDevice(int slot, HANDLE device) { m_devices[static_cast<size_t>(slot)] = device; }
    // The folder the slot's container is mounted at.
    CString MountFolder(int slot) const;
    void SetMountFolder(int slot, const CString& folder) { m_folders[static_cast<size_t>(slot)] = folder; }
    bool TrailerPending(int slot) const { return m_trailerPending[static_cast<size_t>(slot)]; }
    void SetTrailerPending(int slot, bool pending) { m_trailerPending[static_cast<size_t>(slot)] = pending; }
    // The first used slot whose record has the container path; -1 when none has.
    int SlotOfPath(const char16_t* path) const;
    // The slot of a list position: the same number, when that slot is used; else -1.
    int SlotOfItem(int item) const { return IsUsed(item) ? item : -1; }

private:
    // Deactivates the slot's device (and writes a pending trailer); false when the device stays.
    bool Unmount(int slot);
    void MoveSlot(int from, int to);
    void Store(int slot, const CONTAINER_PARAMS& record, HANDLE device, const CString& folder,
               bool trailerPending);
    void Clear(int slot);
    CString FolderOf(int slot) const;

    std::array<CONTAINER_PARAMS, kSlots> m_records{};
    std::array<HANDLE, kSlots> m_devices{};
    std::array<CString, kSlots> m_folders{};
    std::array<bool, kSlots> m_trailerPending{};
    int m_lastUsed = -1;
    CListBox* m_list = nullptr;
};
