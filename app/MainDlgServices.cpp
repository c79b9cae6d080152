// The main dialog's small services: the start-up link kept in step with its box, the folder list's
// context menu, and File Explorer on a mounted container's folder.

#include <string>

#include "MainDlg.h"
#include "ProgramSkin.h"
#include "Resource.h"
#include "XCheckBox.h"
#include "kernel/Files.h"
#include "kernel/Modules.h"
#include "kernel/Processes.h"
#include "shell/Shell.h"
#include "user/Menu.h"
#include "user/MessageBox.h"

bool Main_Dlg::UpdateStartupLink(LinkAction action) {
    WCHAR program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::u16string programPath(program);
    const std::u16string fileName = programPath.substr(programPath.rfind(u'\\') + 1);

    WCHAR startup[MAX_PATH] = {};
    if (!SHGetSpecialFolderPath(nullptr, startup, CSIDL_STARTUP, FALSE)) {
        MessageBoxW(nullptr, u"Can't create startup link.", u"FerrovaneEx", MB_OK);
        return false;
    }
    std::u16string link = std::u16string(startup) + u"\\" + fileName + u".lnk";

    m_linkExists = PathExists(link.c_str());

    switch (action) {
    case LinkAction::Test:
        break;
    case LinkAction::Create: {
        std::u16string target = u"\"" + programPath + u"\" -hide";
        SHCreateShortcut(link.data(), target.data());
        break;
    }
    case LinkAction::Delete:
        DeleteFileW(link.c_str());
        break;
    }
    return PathExists(link.c_str());
}

void Main_Dlg::OnStartupBox() {
    auto* box = dynamic_cast<CXCheckBox*>(GetDlgItem(IDC_MAIN_STARTUP));
    const bool exists =
        UpdateStartupLink(box != nullptr && box->GetCheck() ? LinkAction::Create : LinkAction::Delete);
    // The box shows whether the link is there: a link that could not be made leaves it clear.
    if (box != nullptr)
        box->SetCheck(exists);
}

void Main_Dlg::OnListContextMenu(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    // A hold that left no item selected has no container to offer the menu for.
    bool listed = false;
    if (!SelectedIsListed(&listed))
        return;
    const HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCE(IDR_FOLDER_MENU));
    if (menu == nullptr)
        return;
    const HMENU popup = GetSubMenu(menu, 0);
    POINT point = m_folderList.GetLastTapPoint();
    m_folderList.ClientToScreen(&point);
    CheckMenuItem(popup, ID_FOLDER_AUTOMOUNT, MF_BYCOMMAND | (listed ? MF_CHECKED : MF_UNCHECKED));
    TrackPopupMenu(popup, 0, point.x, point.y, 0, m_hWnd, nullptr);
    DestroyMenu(menu);
}

void Main_Dlg::OnListDoubleTap(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    OnExplore();
}

void Main_Dlg::OnExplore() {
    const int slot = SelectedSlot();
    if (slot < 0)
        return;
    // The folder the container is mounted at ("Folder2" when another took "Folder"), without quotes or
    // backslash: File Explorer takes it as its whole command line.
    const CString folder = m_table.MountFolder(slot);
    std::u16string commandLine(static_cast<LPCWSTR>(folder) + (folder[0] == u'\\' ? 1 : 0));
    CreateProcessW(u"fexplore.exe", commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                   nullptr, nullptr, nullptr);
}
