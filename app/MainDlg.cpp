#include "MainDlg.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "About.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "ProgramSkin.h"
#include "Resource.h"
#include "XCheckBox.h"
#include "commctrl/CommCtrl.h"
#include "crt/WideString.h"
#include "devices/DeviceManager.h"
#include "kernel/Files.h"
#include "shell/FullScreen.h"
#include "user/Icon.h"
#include "user/System.h"

IMPLEMENT_DYNAMIC(Main_Dlg, CXDialog)

BEGIN_MESSAGE_MAP(Main_Dlg, CXDialog)
ON_COMMAND(IDC_MAIN_NEW, ShowCreatePanel)
ON_COMMAND(IDC_MAIN_OPEN, ShowOpenPanel)
ON_COMMAND(IDC_MAIN_RESIZE, OnResizeButton)
ON_COMMAND(IDC_MAIN_PASSWORD, OnPasswordButton)
ON_COMMAND(IDC_MAIN_BROWSE, OnBrowse)
ON_COMMAND(IDC_MAIN_PANEL_OK, OnPanelOK)
ON_COMMAND(IDC_MAIN_PANEL_BACK, OnPanelBack)
ON_COMMAND(IDC_MAIN_UNIT_KB, OnUnitKb)
ON_COMMAND(IDC_MAIN_UNIT_MB, OnUnitMb)
ON_COMMAND(IDC_MAIN_STARTUP, OnStartupBox)
ON_COMMAND(IDC_MAIN_UNMOUNT, UnmountSelected)
ON_COMMAND(IDC_MAIN_UNMOUNT_ALL, UnmountAll)
ON_COMMAND(IDC_MAIN_AUTOMOUNT, OnToggleAutomount)
ON_COMMAND(IDC_MAIN_EXIT, OnExit)
ON_COMMAND(IDC_MAIN_HIDE, OnHideWindow)
ON_COMMAND(IDC_MAIN_ABOUT, OnAbout)
ON_LBN_SELCHANGE(IDC_MAIN_FOLDERS, OnNothing)
ON_NOTIFY(NM_RCLICK, IDC_MAIN_FOLDERS, OnListContextMenu)
ON_NOTIFY(NM_DBLCLK, IDC_MAIN_FOLDERS, OnListDoubleTap)
ON_COMMAND(ID_FOLDER_EXPLORE, OnExplore)
ON_COMMAND(ID_FOLDER_AUTOMOUNT, OnToggleAutomount)
ON_COMMAND(ID_FOLDER_CLOSE, UnmountSelected)
ON_COMMAND(ID_FOLDER_RESIZE, OnResizeSelected)
ON_COMMAND(ID_FOLDER_CHANGE, OnChangeSelected)
ON_WM_LBUTTONDOWN()
ON_WM_CLOSE()
ON_WM_PAINT()
ON_WM_COPYDATA()
ON_WM_SETFOCUS()
END_MESSAGE_MAP()

namespace {

constexpr uint64_t kKb = 1024;
constexpr uint64_t kMb = 1048576;
constexpr int kKbLowest = 100;
constexpr int kMbLowest = 1;
constexpr int kKbHighest = 65535;
constexpr int kMbHighest = 425;
constexpr char16_t kDefaultFolder[] = u"Encrypted Folder";

void ShowChild(CWnd& child, bool show) {
    if (child.m_hWnd != nullptr)
        child.ShowWindow(show ? SW_SHOW : SW_HIDE);
}

// A size count as typed: leading blanks and a sign, then digits up to the first other character; no
// digits give 0. Saturates instead of overflowing.
int64_t ParseCount(const CString& text) {
    LPCWSTR p = text;
    while (*p == u' ' || *p == u'\t')
        ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-')
        negative = *p++ == u'-';
    uint64_t value = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - u'0');
        if (value > static_cast<uint64_t>(INT64_MAX)) {
            value = static_cast<uint64_t>(INT64_MAX);
            break;
        }
    }
    const auto count = static_cast<int64_t>(value);
    return negative ? -count : count;
}

} // namespace

Main_Dlg::Main_Dlg(CWnd* parent) : CXDialog(IDD_MAIN, parent) {
    m_mainIcon = LoadIconW(nullptr, MAKEINTRESOURCE(IDR_MAINFRAME));
}

Main_Dlg::~Main_Dlg() {
    m_trayIcon.Remove();
    if (m_trayIconImage != nullptr)
        DestroyIcon(m_trayIconImage);
    if (m_mainIcon != nullptr)
        DestroyIcon(m_mainIcon);
}

void Main_Dlg::DoDataExchange(CDataExchange* pDX) {
    CXDialog::DoDataExchange(pDX);
}

void Main_Dlg::FullScreen(DWORD state) {
    SHFullScreen(m_hWnd, state);
}

BOOL Main_Dlg::OnInitDialog() {
    CXDialog::OnInitDialog();
    m_operation.m_openFlag = 0;
    m_operation.m_resizeFlag = 0;
    m_operation.m_changePasswordFlag = 0;
    m_operation.m_changePasswordFlag2 = 0;
    UpdateStartupLink(LinkAction::Test);
    SetIcon(m_mainIcon, TRUE);
    SetIcon(m_mainIcon, FALSE);
    m_trayIconImage = LoadIconW(nullptr, MAKEINTRESOURCE(IDI_TRAY));
    if (m_trayIconImage != nullptr)
        m_trayIcon.Add(m_hWnd, kTrayMessage, m_trayIconImage);

    m_smallScreen = GetSystemMetrics(SM_CYSCREEN) <= 240;
    if (!LoadSkin(SkinBesideProgram(m_smallScreen ? u"form240x240.xml" : u"form240x320.xml")))
        return FALSE;
    if (!m_newRequest)
        AutoMountContainers(true);
    for (LPCWSTR layer : {u"create", u"change", u"resize", u"open", u"settings"})
        ShowLayer(layer, false);
    FullScreen(SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    constexpr DWORD kUnitStyle = WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON;
    m_kbButton.Create(u"Kb", kUnitStyle, CRect(168, 55, 204, 71), this, IDC_MAIN_UNIT_KB);
    m_mbButton.Create(u"Mb", kUnitStyle, CRect(204, 55, 240, 71), this, IDC_MAIN_UNIT_MB);
    CheckRadioButton(IDC_MAIN_UNIT_KB, IDC_MAIN_UNIT_MB, IDC_MAIN_UNIT_KB);
    m_operation.m_sizeUnit = kKb;
    ShowChild(m_kbButton, false);
    ShowChild(m_mbButton, false);
    if (m_linkExists) {
        if (auto* box = dynamic_cast<CXCheckBox*>(GetDlgItem(IDC_MAIN_STARTUP)))
            box->SetCheck(true);
    }
    return TRUE;
}

BOOL Main_Dlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == kTrayMessage) {
        ShowWindow(SW_SHOW);
        SetForegroundWindow();
        SetFocus();
        if (pResult != nullptr)
            *pResult = 0;
        return TRUE;
    }
    if (message == WM_ACTIVATE && LOWORD(wParam) == WA_ACTIVE && m_painted && !m_activating) {
        // Activation of a hidden window (the task switcher, another instance) brings it back.
        m_activating = true;
        ShowWindow(SW_SHOW);
        SetForegroundWindow();
        SetFocus();
        m_activating = false;
    }
    return CXDialog::OnWndMsg(message, wParam, lParam, pResult);
}

void Main_Dlg::OnPaint() {
    CXDialog::OnPaint();
    if (!m_painted) {
        ShowLayer(u"main", true);
        ShowLayer(u"create", false);
        m_painted = true;
        const int fontHeight = m_smallScreen ? 12 : 14;
        const CRect listRect(5, 5, 145, m_smallScreen ? 167 : 240);
        if (m_folderList.Create(kFolderListStyle, listRect, this, IDC_MAIN_FOLDERS))
            m_folderList.SetListFont(fontHeight, u"Arial", RGB(0, 0, 0), 0xAA0000, true, 1, 0xAAAAAA);
        if (!m_sizeSpin.Create(UDS_SETBUDDYINT | UDS_HORZ, CRect(136, 55, 168, 71), this, IDC_MAIN_SIZE_SPIN))
            MessageBoxW(m_hWnd, u"error creating spin", u"FerrovaneEx", MB_OK);
        if (m_operation.m_sizeUnit <= kKb)
            SetSpinRange(kKbLowest, kKbHighest);
        else
            SetSpinRange(kMbLowest, kKbHighest);
        if (m_sizeSpin.m_hWnd != nullptr)
            m_sizeSpin.SetBuddy(GetDlgItem(IDC_MAIN_SIZE));
        if (m_folderList.m_hWnd != nullptr) {
            m_table.AttachList(&m_folderList);
            m_table.FillList();
        }
    }
    if (m_newRequest) {
        ShowChild(m_folderList, false);
        ShowChild(m_sizeSpin, true);
        ShowLayer(u"main", false);
        ShowLayer(u"create", true);
        m_operation.m_resizeFlag = 0;
        m_operation.m_changePasswordFlag = 0;
        ShowCreatePanel();
    }
}

void Main_Dlg::SetSpinRange(int lower, int upper) {
    if (m_sizeSpin.m_hWnd != nullptr)
        m_sizeSpin.SetRange32(lower, upper);
}

BOOL Main_Dlg::OnCopyData(CWnd*, COPYDATASTRUCT*) {
    // New and open requests alike bring up the create panel; the request itself is not read.
    ShowWindow(SW_SHOW);
    m_newRequest = true;
    ShowLayer(u"main", false);
    ShowLayer(u"create", true);
    ShowChild(m_folderList, false);
    ShowChild(m_sizeSpin, true);
    SetDlgItemText(IDC_MAIN_SIZE, u"100");
    SetDlgItemText(IDC_MAIN_FOLDER, kDefaultFolder);
    return TRUE;
}

void Main_Dlg::OnLButtonDown(UINT, CPoint) {}

void Main_Dlg::OnClose() {}

void Main_Dlg::OnSetFocus(CWnd*) {}

void Main_Dlg::OnNothing() {}

// Panels.

Main_Dlg::Panel Main_Dlg::CurrentPanel() const {
    if (m_operation.m_changePasswordFlag != 0 || m_operation.m_changePasswordFlag2 != 0)
        return Panel::Change;
    if (m_operation.m_resizeFlag != 0)
        return Panel::Resize;
    if (m_operation.m_openFlag != 0)
        return Panel::Open;
    return Panel::Create;
}

void Main_Dlg::ShowPanelOnly(Panel panel) {
    static constexpr LPCWSTR kNames[] = {u"create", u"open", u"resize", u"change"};
    const LPCWSTR shown = kNames[static_cast<int>(panel)];
    for (LPCWSTR name : kNames)
        if (name != shown)
            ShowLayer(name, false);
    ShowLayer(u"main", false);
    ShowLayer(shown, true);
}

void Main_Dlg::ShowCreatePanel() {
    m_operation.m_openFlag = 0;
    m_operation.m_prefilledFlag = 0;
    m_operation.m_resizeFlag = 0;
    m_operation.m_changePasswordFlag = 0;
    m_operation.m_changePasswordFlag2 = 0;
    ShowLayer(u"main", false);
    if (!m_newRequest)
        ShowChild(m_folderList, false);
    ShowLayer(u"create", true);
    FullScreen(SHFS_SHOWSIPBUTTON);
    SetDlgItemText(IDC_MAIN_SIZE, u"100");
    SetDlgItemText(IDC_MAIN_FOLDER, kDefaultFolder);
    SendDlgItemMessage(IDC_MAIN_PASSWORD_EDIT, EM_SETPASSWORDCHAR, u'*', 0);
    FullScreen(SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    // The resize panel lends the spin its own box and the Kb range: they come back to the size box.
    if (m_sizeSpin.m_hWnd != nullptr)
        m_sizeSpin.SetBuddy(GetDlgItem(IDC_MAIN_SIZE));
    if (m_operation.m_sizeUnit == kMb)
        SetSpinRange(kMbLowest, kMbHighest);
    else
        SetSpinRange(kKbLowest, kKbHighest);
    ShowChild(m_sizeSpin, true);
    FullScreen(SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
    m_newRequest = false;
    ShowChild(m_kbButton, true);
    ShowChild(m_mbButton, true);
}

void Main_Dlg::ShowOpenPanel() {
    ShowLayer(u"main", false);
    ShowLayer(u"open", true);
    FullScreen(SHFS_SHOWSIPBUTTON);
    SendDlgItemMessage(IDC_MAIN_OPEN_PASSWORD, EM_SETPASSWORDCHAR, u'*', 0);
    ShowChild(m_folderList, false);
    ShowChild(m_sizeSpin, false);
    m_operation.m_openFlag = 1;
}

void Main_Dlg::ShowResizePanel() {
    ShowLayer(u"settings", false);
    ShowLayer(u"main", false);
    ShowChild(m_folderList, false);
    ShowLayer(u"resize", true);
    ShowChild(m_sizeSpin, true);
    SetSpinRange(kKbLowest, kKbHighest);
    if (m_sizeSpin.m_hWnd != nullptr)
        m_sizeSpin.SetBuddy(GetDlgItem(IDC_MAIN_NEW_SIZE));
    // The resize panel works in Kb whatever unit the create panel was left at.
    const uint64_t sizeKb = m_current.size / kKb;
    CString number;
    number.Format(u"%llu", static_cast<unsigned long long>(sizeKb));
    SetDlgItemText(IDC_MAIN_NEW_SIZE, number);
    SetDlgItemText(IDC_MAIN_CURRENT_SIZE, CString(u"Current size: ") + number + u" Kb");
    m_operation.m_resizeFlag = 1;
}

void Main_Dlg::ShowChangePanel() {
    ShowLayer(u"settings", false);
    ShowLayer(u"main", false);
    ShowChild(m_folderList, false);
    ShowLayer(u"change", true);
    for (int id : {IDC_MAIN_OLD_PASSWORD, IDC_MAIN_NEW_PASSWORD, IDC_MAIN_CONFIRM_PASSWORD})
        SendDlgItemMessage(id, EM_SETPASSWORDCHAR, u'*', 0);
    m_operation.m_changePasswordFlag = 1;
}

int Main_Dlg::SelectedSlot() const {
    if (m_folderList.m_hWnd == nullptr)
        return -1;
    const int item = m_folderList.GetCurSel();
    return item == LB_ERR ? -1 : m_table.SlotOfItem(item);
}

bool Main_Dlg::TakeSelected() {
    const int slot = SelectedSlot();
    if (slot < 0)
        return false;
    m_current = m_table.Record(slot);
    m_currentDevice = m_table.Device(slot);
    return true;
}

// The "main" panel's resize and password buttons work on the selected container, those of "settings" on
// the current one.
void Main_Dlg::OnResizeButton() {
    if (IsLayerVisible(u"main"))
        OnResizeSelected();
    else
        ShowResizePanel();
}

void Main_Dlg::OnPasswordButton() {
    if (IsLayerVisible(u"main"))
        OnChangeSelected();
    else
        ShowChangePanel();
}

void Main_Dlg::OnResizeSelected() {
    if (!TakeSelected())
        return;
    m_operation.m_resizeFlag = 1;
    m_operation.m_changePasswordFlag = 0;
    ShowResizePanel();
}

void Main_Dlg::OnChangeSelected() {
    if (!TakeSelected())
        return;
    m_operation.m_resizeFlag = 0;
    ShowChangePanel();
    m_operation.m_changePasswordFlag = 0;
    m_operation.m_changePasswordFlag2 = 1;
}

void Main_Dlg::ShowMainPanel() {
    for (LPCWSTR layer : {u"resize", u"change", u"create", u"open"})
        ShowLayer(layer, false);
    ShowLayer(u"main", true);
    ShowChild(m_sizeSpin, false);
    ShowChild(m_kbButton, false);
    ShowChild(m_mbButton, false);
    // The list's snapshot of what lies under it is taken when it shows: the panel goes from there first.
    UpdateWindow();
    ShowChild(m_folderList, true);
}

void Main_Dlg::OnPanelBack() {
    if (m_operation.m_resizeFlag == 0 && m_operation.m_changePasswordFlag == 0) {
        m_newRequest = false;
        for (LPCWSTR layer : {u"create", u"change", u"resize", u"open", u"settings"})
            ShowLayer(layer, false);
        ShowChild(m_sizeSpin, false);
        UpdateWindow();
        ShowChild(m_folderList, true);
        ShowLayer(u"main", true);
        m_operation.m_changePasswordFlag = 0;
        m_operation.m_changePasswordFlag2 = 0;
        m_operation.m_resizeFlag = 0;
        m_operation.m_openFlag = 0;
        ShowChild(m_kbButton, false);
        ShowChild(m_mbButton, false);
        return;
    }
    for (LPCWSTR layer : {u"resize", u"change", u"create", u"open", u"main"})
        ShowLayer(layer, false);
    ShowLayer(u"settings", true);
    m_operation.m_resizeFlag = 0;
    m_operation.m_changePasswordFlag = 0;
    m_operation.m_changePasswordFlag2 = 0;
    ShowChild(m_sizeSpin, false);
}

void Main_Dlg::OnUnitKb() {
    CheckRadioButton(IDC_MAIN_UNIT_KB, IDC_MAIN_UNIT_MB, IDC_MAIN_UNIT_KB);
    m_operation.m_sizeUnit = kKb;
    SetSpinRange(kKbLowest, kKbHighest);
}

void Main_Dlg::OnUnitMb() {
    CheckRadioButton(IDC_MAIN_UNIT_KB, IDC_MAIN_UNIT_MB, IDC_MAIN_UNIT_MB);
    m_operation.m_sizeUnit = kMb;
    SetSpinRange(kMbLowest, kMbHighest);
}

void Main_Dlg::OnBrowse() {
    CPocketFileDialog chooser;
    if (chooser.Browse(u"Choose file: ", u"Ferrovane Containers(*.fvc)|*.fvc|All files(*.*)|*.*||", u"\\") ==
        IDOK)
        SetDlgItemText(m_operation.m_openFlag != 0 ? IDC_MAIN_OPEN_PATH : IDC_MAIN_PATH,
                       chooser.GetPathName());
    FullScreen(SHFS_SHOWSIPBUTTON);
}

void Main_Dlg::OnPanelOK() {
    const Panel panel = CurrentPanel();
    uint64_t unit = m_operation.m_sizeUnit;
    switch (panel) {
    case Panel::Resize: {
        CString count;
        GetDlgItemText(IDC_MAIN_NEW_SIZE, count);
        m_operation.m_sizeCount = ParseCount(count);
        m_operation.m_sizeUnit = kKb;
        break;
    }
    case Panel::Change:
        GetDlgItemText(IDC_MAIN_OLD_PASSWORD, m_operation.m_oldPassword);
        GetDlgItemText(IDC_MAIN_NEW_PASSWORD, m_operation.m_newPassword);
        GetDlgItemText(IDC_MAIN_CONFIRM_PASSWORD, m_operation.m_confirmPassword);
        break;
    case Panel::Open:
        GetDlgItemText(IDC_MAIN_OPEN_PATH, m_operation.m_path);
        m_current = CONTAINER_PARAMS{};
        CopyStringW(m_current.containerPath, kContainerTextUnits, m_operation.m_path);
        GetDlgItemText(IDC_MAIN_OPEN_PASSWORD, m_operation.m_password);
        CopyStringW(m_current.password, kContainerTextUnits, m_operation.m_password);
        m_operation.m_prefilledFlag = 0;
        break;
    case Panel::Create: {
        GetDlgItemText(IDC_MAIN_PATH, m_operation.m_path);
        GetDlgItemText(IDC_MAIN_PASSWORD_EDIT, m_operation.m_password);
        GetDlgItemText(IDC_MAIN_FOLDER, m_operation.m_folder);
        CString count;
        GetDlgItemText(IDC_MAIN_SIZE, count);
        m_operation.m_sizeCount = ParseCount(count);
        if (PathExists(m_operation.m_path + u".fvc")) {
            ShowMessage(this, u"\nWARNING:\nExisting container name!\n Try another.", FALSE);
            m_operation.m_record.status = -1;
            return;
        }
        break;
    }
    }

    const bool mounted = panel == Panel::Create || panel == Panel::Open;
    // A rewrite works on the container's own slot, which knows whether its trailer is still to come.
    const int rewritten = mounted ? -1 : m_table.SlotOfPath(m_current.containerPath);
    m_operation.m_record = m_current;
    m_operation.m_device = m_currentDevice;
    m_operation.m_trailerPending = rewritten >= 0 && m_table.TrailerPending(rewritten);
    const INT_PTR result = m_operation.DoModal();
    m_operation.m_sizeUnit = unit;
    if (rewritten >= 0 && m_operation.m_device == nullptr) {
        // Unmounted for the rewrite and not mounted again: the slot goes, so that the list shows only
        // what is mounted.
        m_table.Forget(rewritten);
        m_currentDevice = nullptr;
    }
    if (result != IDOK) {
        ShowPanelOnly(panel);
        return;
    }
    if (mounted && m_operation.m_record.status == MOUNT_OK) {
        if (!StoreNewContainer()) {
            ShowPanelOnly(panel);
            return;
        }
    } else if (!mounted) {
        // The container's own slot gets the record, handle and folder that the operation left.
        // A container that was not in the table (its slot went with an earlier failed remount) joins it.
        const int slot = m_table.SlotOfPath(m_operation.m_record.containerPath);
        if (slot >= 0) {
            m_table.Record(slot) = m_operation.m_record;
            m_table.SetDevice(slot, m_operation.m_device);
            m_table.SetMountFolder(slot, m_operation.m_mountFolder);
            m_table.SetTrailerPending(slot, m_operation.m_trailerPending);
        } else if (!StoreNewContainer()) {
            ShowPanelOnly(panel);
            return;
        }
    }
    m_current = m_operation.m_record;
    m_currentDevice = m_operation.m_device;
    m_operation.m_changePasswordFlag = 0;
    m_operation.m_changePasswordFlag2 = 0;
    m_operation.m_resizeFlag = 0;
    m_operation.m_openFlag = 0;
    ShowMainPanel();
}

bool Main_Dlg::StoreNewContainer() {
    CONTAINER_PARAMS& record = m_operation.m_record;
    if (record.folderName[0] == 0)
        CopyStringW(record.folderName, kContainerTextUnits, kDefaultFolder);
    if (!m_table.Append(record, m_operation.m_device, m_operation.m_mountFolder,
                        m_operation.m_trailerPending)) {
        // A container the table cannot hold could never be unmounted: it does not stay mounted.
        DeactivateDevice(m_operation.m_device);
        m_operation.m_device = nullptr;
        ShowMessage(this, u"\nToo many containers\n mounted.", FALSE);
        return false;
    }
    if (m_folderList.m_hWnd != nullptr) {
        m_folderList.SetSel(-1, FALSE);
        m_folderList.SetSel(m_table.LastUsed(), TRUE);
    }
    return true;
}

// Unmounting and leaving.

void Main_Dlg::UnmountSelected() {
    m_table.UnmountSelected();
}

void Main_Dlg::UnmountAll() {
    m_table.UnmountAll();
}

void Main_Dlg::OnOK() {
    OnExit();
}

void Main_Dlg::OnExit() {
    if (m_table.LastUsed() >= 0) {
        if (!ShowMessage(this, u"WARNING:\nAll containers will be\n unmounted.\n Do you wnat to proceed?",
                         TRUE))
            return;
        m_table.UnmountAll();
    }
    m_trayIcon.Remove();
    EndDialog(0);
}

void Main_Dlg::OnHideWindow() {
    FullScreen(SHFS_SHOWTASKBAR | SHFS_HIDESIPBUTTON);
    FullScreen(SHFS_SHOWTASKBAR);
    ShowWindow(SW_MINIMIZE);
    ShowWindow(SW_HIDE);
    FullScreen(SHFS_HIDETASKBAR);
    FullScreen(SHFS_SHOWTASKBAR);
    FullScreen(SHFS_HIDESIPBUTTON);
}

void Main_Dlg::OnAbout() {
    CAbout about;
    about.DoModal();
}
