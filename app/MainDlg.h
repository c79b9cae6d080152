#pragma once
// Main_Dlg: the program's main window, a skinned dialog (template 132, skin "form240x320.xml", or
// "form240x240.xml" on screens at most 240 pixels high) whose skin layers are its panels: "main" with the
// list of mounted folders, "create", "open", "resize", "change" and "settings". It owns the mount table,
// runs every container operation through its hidden Container_Dlg, replays the auto-mount list at start,
// keeps the start-up link box, the list's context menu, the tray icon, and answers the shell entry
// points' WM_COPYDATA requests by showing the create panel.
//
// Set m_linkExists and m_newRequest before DoModal: "-new" (m_newRequest) skips the auto-mount and opens
// the create panel at the first paint. The exit command asks before unmounting every container and ends
// the dialog with 0; IDCANCEL ends it without unmounting; WM_CLOSE does not end it.

#include <string>

#include "ContainerDlg.h"
#include "ContainerFormat.h"
#include "MountTable.h"
#include "SkinListBox.h"
#include "TrayIcon.h"
#include "XDialog.h"
#include "classlib/Controls.h"
#include "classlib/Geometry.h"

class Main_Dlg : public CXDialog {
    DECLARE_DYNAMIC(Main_Dlg)
public:
    explicit Main_Dlg(CWnd* parent = nullptr);
    ~Main_Dlg() override;

    BOOL OnInitDialog() override;
    // The exit command.
    void OnOK() override;
    // The tray callback and activation show the window; everything else goes to the message map.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    // The tray icon's callback message.
    static constexpr UINT kTrayMessage = WM_APP + 100;
    // The style the folder list is created with. Without LBS_NOINTEGRALHEIGHT the platform's list would
    // shrink to whole rows of its first font.
    static constexpr DWORD kFolderListStyle =
        WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LBS_NOTIFY | LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT;

    // Whether the start-up link exists (replaced at initialisation by a look at the Startup folder).
    bool m_linkExists = false;
    // Skip the auto-mount at start and show the create panel at the next paint.
    bool m_newRequest = false;

    const CMountTable& MountTable() const { return m_table; }

    // Mounts the containers of the auto-mount list, asking for each one's password, and puts them at the
    // front of the mount table (the last listed first); entries whose file is gone are removed. With
    // mount false it only marks every slot free.
    void AutoMountContainers(bool mount);

    // The Startup folder's link to the program, as the box sets it: m_linkExists says whether it was there
    // before the action, the result whether it is there after it.
    enum class LinkAction { Test, Create, Delete };
    bool UpdateStartupLink(LinkAction action);

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg void OnPaint();
    afx_msg BOOL OnCopyData(CWnd* pWnd, COPYDATASTRUCT* pCopyDataStruct);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnClose();
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg void OnNothing();

    afx_msg void ShowCreatePanel();
    afx_msg void ShowOpenPanel();
    afx_msg void ShowResizePanel();
    afx_msg void ShowChangePanel();
    afx_msg void OnResizeButton();
    afx_msg void OnPasswordButton();
    afx_msg void OnResizeSelected();
    afx_msg void OnChangeSelected();
    afx_msg void OnBrowse();
    afx_msg void OnPanelOK();
    afx_msg void OnPanelBack();
    afx_msg void OnUnitKb();
    afx_msg void OnUnitMb();
    afx_msg void OnStartupBox();
    afx_msg void UnmountSelected();
    afx_msg void UnmountAll();
    afx_msg void OnToggleAutomount();
    afx_msg void OnExit();
    afx_msg void OnHideWindow();
    afx_msg void OnAbout();
    afx_msg void OnListContextMenu(NMHDR* pNotifyStruct, LRESULT* pResult);
    afx_msg void OnListDoubleTap(NMHDR* pNotifyStruct, LRESULT* pResult);
    afx_msg void OnExplore();

    DECLARE_MESSAGE_MAP()

private:
    // Which operation the visible panel prepares, from the Container_Dlg's flags.
    enum class Panel { Create, Open, Resize, Change };
    Panel CurrentPanel() const;
    // Shows that panel alone (the list and "main" hidden).
    void ShowPanelOnly(Panel panel);
    void ShowMainPanel();
    void SetSpinRange(int lower, int upper);
    // The list's selected slot, -1 when nothing is selected.
    int SelectedSlot() const;
    // The selected container becomes the current one; false when nothing is selected.
    bool TakeSelected();
    // Stores a created or opened container in the table and the list; false when the table is full.
    bool StoreNewContainer();
    // The Automount test: the selected container becomes the current one; whether its path is a line of
    // the auto-mount list. False when nothing is selected.
    bool SelectedIsListed(bool* listed);
    // One listed container: asks for its password until it is mounted or the user gives up.
    void PromptAndMount(const std::u16string& path, const std::u16string& folder);
    void FullScreen(DWORD state);

    CSkinListBox m_folderList;
    CSpinButtonCtrl m_sizeSpin;
    CButton m_kbButton;
    CButton m_mbButton;
    bool m_painted = false;
    bool m_smallScreen = false;
    CONTAINER_PARAMS m_current{};
    HANDLE m_currentDevice = nullptr;
    CMountTable m_table;
    Container_Dlg m_operation;
    HICON m_mainIcon = nullptr;
    HICON m_trayIconImage = nullptr;
    CTrayIcon m_trayIcon;
    // Set while an activation is being answered, so that bringing the window forward does not recurse.
    bool m_activating = false;
};
