#include "FileDialog.h"

#include "ProgramSkin.h"
#include "Resource.h"
#include "XControlSupport.h"
#include "kernel/Files.h"
#include "kernel/Scoped.h"
#include "kernel/Time.h"
#include "shell/FileInfo.h"
#include "shell/FullScreen.h"
#include "user/System.h"

// ---- The list.

IMPLEMENT_DYNAMIC(CPocketListCtrlClicks, CListCtrlClicks)

BEGIN_MESSAGE_MAP(CPocketListCtrlClicks, CListCtrlClicks)
ON_WM_KEYDOWN()
ON_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
END_MESSAGE_MAP()

void CPocketListCtrlClicks::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    // Enter opens or chooses the selected row, as a tap on it does.
    if (nChar == VK_RETURN) {
        NotifyParent(LVN_ITEMACTIVATE);
        return;
    }
    CListCtrlClicks::OnKeyDown(nChar, nRepCnt, nFlags);
}

LRESULT CPocketListCtrlClicks::OnGetDlgCode(WPARAM, LPARAM lParam) {
    return WithEnterKey(Default(), reinterpret_cast<const MSG*>(lParam));
}

// ---- The dialog.

IMPLEMENT_DYNAMIC(CPocketFileDialog, CDialog)

BEGIN_MESSAGE_MAP(CPocketFileDialog, CDialog)
ON_NOTIFY(LVN_ITEMACTIVATE, IDC_FILE_LIST, OnItemActivate)
ON_WM_DESTROY()
ON_CBN_SELCHANGE(IDC_FILE_TYPE, OnTypeChange)
ON_COMMAND(ID_FILE_UP, OnUpFolder)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

namespace {

constexpr int kMaxPathUnits = MAX_PATH - 1;
constexpr COLORREF kTitleColor = 0xAF0000;
constexpr int kNameColumnWidth = 140;
constexpr int kCommentColumnWidth = 60;
// The screen the template is laid out for.
constexpr int kLayoutWidth = 240;
constexpr int kLayoutHeight = 320;
// Pixels between the command bar's button and the title line.
constexpr int kBarButtonGap = 2;

// The title line's font, shared by every chooser and kept to the end of the program.
HFONT g_titleFont = nullptr;

HFONT TitleFont(CWnd* dialog) {
    if (g_titleFont != nullptr)
        return g_titleFont;
    LOGFONTW logFont{};
    if (CFont* current = dialog->GetFont())
        current->GetLogFont(&logFont);
    logFont.lfHeight = -14;
    logFont.lfWeight = FW_BOLD;
    g_titleFont = CreateFontIndirectW(&logFont);
    return g_titleFont;
}

// The control's rectangle in the dialog's client coordinates.
CRect RectInDialog(CWnd* dialog, CWnd* control) {
    CRect rect;
    control->GetWindowRect(&rect);
    dialog->ScreenToClient(&rect);
    return rect;
}

} // namespace

CPocketFileDialog::CPocketFileDialog(CWnd* parent) : CDialog(IDD_FILE_DIALOG, parent) {}

INT_PTR CPocketFileDialog::Browse(LPCWSTR title, LPCWSTR filter, LPCWSTR initialPath) {
    CString path = initialPath != nullptr && initialPath[0] != 0 ? CString(initialPath) : CString(u"\\");
    m_title = title != nullptr ? title : u"";
    m_filter = filter != nullptr ? filter : u"";
    const int slash = path.ReverseFind(u'\\');
    if (slash < 0 || path.GetLength() > kMaxPathUnits) {
        m_path.Empty();
        return IDCANCEL;
    }
    m_folder = path.Left(slash + 1);
    m_path = path.Mid(slash + 1);
    return DoModal();
}

int CPocketFileDialog::ParseFilterPair(const CString& filter, int pos, CString* description,
                                       CString* pattern) {
    description->Empty();
    pattern->Empty();
    const int length = filter.GetLength();
    // Each part must start with something other than its closing '|'.
    auto startsPart = [&filter, length](int at) { return at >= 0 && at < length && filter[at] != u'|'; };
    if (!startsPart(pos))
        return -1;
    const int descriptionEnd = filter.Find(u'|', pos);
    if (descriptionEnd < 0 || !startsPart(descriptionEnd + 1))
        return -1;
    int patternEnd = filter.Find(u'|', descriptionEnd + 1);
    if (patternEnd < 0)
        patternEnd = length;
    *description = filter.Mid(pos, descriptionEnd - pos);
    *pattern = filter.Mid(descriptionEnd + 1, patternEnd - descriptionEnd - 1);
    return startsPart(patternEnd + 1) ? patternEnd + 1 : -1;
}

CString CPocketFileDialog::FormatFileSize(DWORD size) {
    CString text;
    if (size < 1024)
        text.Format(u"%iB", static_cast<int>(size));
    else if (size < 1048576)
        text.Format(u"%.1fK", static_cast<double>(static_cast<float>(size) / 1024.0f));
    else
        text.Format(u"%.1fM", static_cast<double>(static_cast<float>(size) / 1048576.0f));
    return text;
}

void CPocketFileDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FILE_LIST, m_list);
    DDX_Control(pDX, IDC_FILE_FOLDER, m_folderLine);
    DDX_Control(pDX, IDC_FILE_NAME, m_nameBox);
    DDX_Control(pDX, IDC_FILE_TYPE, m_typeBox);
}

BOOL CPocketFileDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (CWnd* titleLine = GetDlgItem(IDC_FILE_TITLE)) {
        titleLine->SetWindowText(m_title);
        if (HFONT font = TitleFont(this))
            titleLine->SetFont(CFont::FromHandle(font), TRUE);
    }
    SetWindowText(m_title);

    // The shell's icons; the list only borrows them (LVS_SHAREIMAGELISTS).
    SHFILEINFO info{};
    const DWORD_PTR icons = SHGetFileInfo(u"~.~", 0, &info, sizeof info,
                                          SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
    if (icons != 0)
        m_list.SetImageList(CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(icons)), LVSIL_SMALL);

    if (m_commandBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_TOP, AFX_IDW_TOOLBAR)) {
        m_commandBar.LoadToolBar(IDR_FILE_DIALOG_BAR);
        m_commandBar.SetBarStyle(m_commandBar.GetBarStyle() | CBRS_SIZE_FIXED);
        MakeRoomForTheBarButton();
    }

    m_list.InsertColumn(0, u"File name", LVCFMT_LEFT, kNameColumnWidth);
    m_list.InsertColumn(1, u"Comment", LVCFMT_LEFT, kCommentColumnWidth);
    FillTypeBox();
    ScanFolder(&m_folder);
    m_nameBox.SetWindowText(m_path);
    FitToScreen();
    return TRUE;
}

void CPocketFileDialog::FillTypeBox() {
    m_patterns.clear();
    m_typeBox.ResetContent();
    for (int pos = 0; pos >= 0;) {
        CString description;
        CString pattern;
        pos = ParseFilterPair(m_filter, pos, &description, &pattern);
        if (pattern.IsEmpty())
            continue;
        const int item = m_typeBox.AddString(description);
        if (item < 0)
            continue;
        m_typeBox.SetItemData(item, m_patterns.size());
        m_patterns.push_back(pattern);
    }
    m_typeBox.SetCurSel(0);
}

void CPocketFileDialog::MakeRoomForTheBarButton() {
    // The bar lies under the title line, which would cover its up-folder button: the line starts after it.
    CWnd* titleLine = GetDlgItem(IDC_FILE_TITLE);
    RECT button{};
    if (titleLine == nullptr ||
        !m_commandBar.SendMessage(TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button)))
        return;
    m_commandBar.MapWindowPoints(this, &button);
    CRect rect = RectInDialog(this, titleLine);
    if (rect.left < button.right + kBarButtonGap) {
        rect.left = button.right + kBarButtonGap;
        titleLine->MoveWindow(&rect, FALSE);
    }
}

void CPocketFileDialog::FitToScreen() {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (m_list.m_hWnd == nullptr)
        return;
    if (screenHeight != kLayoutHeight) {
        CRect rect = RectInDialog(this, &m_list);
        rect.bottom += screenHeight - kLayoutHeight;
        m_list.MoveWindow(&rect, FALSE);
    }
    if (screenWidth == kLayoutWidth)
        return;
    const int widthChange = screenWidth - kLayoutWidth;
    for (CWnd* control : {static_cast<CWnd*>(&m_list), static_cast<CWnd*>(&m_folderLine),
                          static_cast<CWnd*>(&m_nameBox), static_cast<CWnd*>(&m_typeBox)}) {
        CRect rect = RectInDialog(this, control);
        rect.right += widthChange;
        control->MoveWindow(&rect, FALSE);
    }
    int cancelWidth = 0;
    if (CWnd* cancel = GetDlgItem(IDCANCEL)) {
        CRect rect = RectInDialog(this, cancel);
        cancelWidth = rect.Width();
        rect.OffsetRect(widthChange, 0);
        cancel->MoveWindow(&rect, FALSE);
    }
    if (CWnd* titleLine = GetDlgItem(IDC_FILE_TITLE)) {
        CRect rect = RectInDialog(this, titleLine);
        rect.right += widthChange - cancelWidth;
        titleLine->MoveWindow(&rect, FALSE);
    }
}

void CPocketFileDialog::ScanFolder(const CString* folder) {
    m_typeBox.Invalidate(TRUE);
    m_folderLine.SetWindowText(u"Scanning folder, please wait...");
    ShowWaitCursor();
    m_list.SetRedraw(FALSE);
    if (folder != nullptr)
        m_folder = folder->IsEmpty() ? CString(u"\\") : CString(*folder);

    m_list.DeleteAllItems();
    m_names.clear();
    AddEntries(u"*.*", EntryKind::Folder);
    const int type = m_typeBox.GetCurSel();
    const size_t pattern = type >= 0 ? static_cast<size_t>(m_typeBox.GetItemData(type)) : m_patterns.size();
    AddEntries(pattern < m_patterns.size() ? m_patterns[pattern] : CString(u"*.*"), EntryKind::File);
    m_list.SortItems(CompareListItems, reinterpret_cast<DWORD_PTR>(this));

    m_list.SetRedraw(TRUE);
    m_list.Invalidate(FALSE);
    m_folderLine.SetWindowText(m_folder);
    m_folderLine.SetSel(m_folder.GetLength(), m_folder.GetLength());
    ShowArrowCursor();
}

void CPocketFileDialog::AddEntries(const CString& pattern, EntryKind kind) {
    WIN32_FIND_DATAW found{};
    const kernel::ScopedFind search(FindFirstFileW(m_folder + pattern, &found));
    if (!search.IsOpen())
        return;
    do {
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (folder != (kind == EntryKind::Folder))
            continue;
        found.cFileName[MAX_PATH - 1] = 0;
        const CString name(found.cFileName);
        if (name.Compare(u".") == 0 || name.Compare(u"..") == 0)
            continue;
        const CString fullPath = m_folder + name;
        // An entry that could not be opened (a folder with its '\') or chosen as a device path is left out.
        if (fullPath.GetLength() + (folder ? 1 : 0) > kMaxPathUnits)
            continue;
        AddListItem(fullPath, name, kind, folder ? 0 : found.nFileSizeLow);
    } while (FindNextFileW(search.Get(), &found));
}

void CPocketFileDialog::AddListItem(const CString& fullPath, const CString& name, EntryKind kind,
                                    DWORD size) {
    SHFILEINFO info{};
    // A file's icon comes from its type alone, without opening it.
    const UINT flags =
        SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (kind == EntryKind::File ? SHGFI_USEFILEATTRIBUTES : 0);
    SHGetFileInfo(fullPath, FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags);

    const int index = static_cast<int>(m_names.size());
    CString text(name);
    LVITEM item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = m_list.GetItemCount();
    item.pszText = text.GetBuffer(text.GetLength());
    item.iImage = info.iIcon;
    item.lParam = kind == EntryKind::Folder ? -index - 1 : index;
    const int row = m_list.InsertItem(&item);
    text.ReleaseBuffer();
    if (row < 0)
        return;
    m_names.push_back(name);
    m_list.SetItemText(row, 1, kind == EntryKind::Folder ? CString(u"Folder") : FormatFileSize(size));
}

int CALLBACK CPocketFileDialog::CompareListItems(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort) {
    const auto* dialog = reinterpret_cast<const CPocketFileDialog*>(lParamSort);
    const int kind1 = lParam1 < 0 ? -1 : 1;
    const int kind2 = lParam2 < 0 ? -1 : 1;
    // Folders first.
    if (kind1 != kind2)
        return kind1 - kind2;
    auto nameOf = [dialog](LPARAM data) {
        const size_t index = static_cast<size_t>(data < 0 ? -(data + 1) : data);
        return index < dialog->m_names.size() ? static_cast<LPCWSTR>(dialog->m_names[index]) : u"";
    };
    // Ordinal and case-sensitive, as the name strings compare.
    return CString(nameOf(lParam1)).Compare(nameOf(lParam2));
}

void CPocketFileDialog::OnItemActivate(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    const int row = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0)
        return;
    const auto data = static_cast<LPARAM>(m_list.GetItemData(row));
    const CString name = m_list.GetItemText(row, 0);
    if (data < 0) {
        const CString folder = m_folder + name + u"\\";
        ScanFolder(&folder);
        return;
    }
    m_nameBox.SetWindowText(name);
    OnOK();
}

void CPocketFileDialog::OnOK() {
    CString name;
    m_nameBox.GetWindowText(name);
    const CString path = m_folder + name;
    // A path no device file can have: the name stays in the box, selected, to be shortened.
    if (path.GetLength() > kMaxPathUnits) {
        m_nameBox.SetFocus();
        m_nameBox.SetSel(0, -1);
        return;
    }
    m_path = path;
    EndDialog(IDOK);
}

void CPocketFileDialog::OnCancel() {
    m_path.Empty();
    EndDialog(IDCANCEL);
}

void CPocketFileDialog::OnDestroy() {
    CDialog::OnDestroy();
    m_list.DeleteAllItems();
    m_names.clear();
    m_patterns.clear();
    m_typeBox.ResetContent();
    if (SHFullScreen(m_hWnd, SHFS_SHOWSIPBUTTON))
        Sleep(100);
}

void CPocketFileDialog::OnTypeChange() {
    ScanFolder(nullptr);
}

void CPocketFileDialog::OnUpFolder() {
    // The current folder ends with '\': cut after the '\' before it (nothing, and so the root, at the root).
    const CString inner = m_folder.Left(m_folder.GetLength() - 1);
    const CString parent = inner.Left(inner.ReverseFind(u'\\') + 1);
    ScanFolder(&parent);
}

HBRUSH CPocketFileDialog::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    HBRUSH brush = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (pWnd != nullptr && pWnd->GetDlgCtrlID() == IDC_FILE_TITLE)
        pDC->SetTextColor(kTitleColor);
    return brush;
}
