#pragma once
// CPocketFileDialog: the program's own file chooser, a plain modal dialog (template 2000) with a title
// line, a file-name box, a type box fed from a filter, a read-only line with the current folder and a list
// of the folder's sub-folders (first) and matching files with their system icons and sizes. A tap on a
// folder opens it, a tap on a file chooses it, the command bar's button goes up one folder; OK takes the
// current folder plus whatever the name box holds, Cancel leaves an empty path.
//
//     CPocketFileDialog dialog;
//     if (dialog.Browse(u"Choose file: ", kFilter, u"\\") == IDOK)
//         use(dialog.GetPathName());
//
// Paths are device paths of at most MAX_PATH - 1 units: entries whose path would be longer are not
// listed, and OK with a name that would make the path longer keeps the dialog open.

#include <vector>

#include "ListCtrlClicks.h"
#include "classlib/Controls.h"
#include "classlib/Dialog.h"
#include "classlib/String.h"
#include "crt/Types.h"

// The chooser's list: taps as CListCtrlClicks reports them, and Enter, which the dialog manager would
// otherwise turn into OK, reported as LVN_ITEMACTIVATE.
class CPocketListCtrlClicks : public CListCtrlClicks {
    DECLARE_DYNAMIC(CPocketListCtrlClicks)
public:
    CPocketListCtrlClicks() = default;
    ~CPocketListCtrlClicks() override = default;

protected:
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};

class CPocketFileDialog : public CDialog {
    DECLARE_DYNAMIC(CPocketFileDialog)
public:
    explicit CPocketFileDialog(CWnd* parent = nullptr);
    ~CPocketFileDialog() override = default;

    // Runs the chooser on the folder of initialPath (the root when it is empty), with the text after its
    // last '\' in the name box. The filter is pairs of a description and a pattern, each closed by '|'
    // ("Containers(*.fvc)|*.fvc|All files(*.*)|*.*||"). IDCANCEL without running, and an empty path, for
    // a path without '\' or longer than MAX_PATH - 1 units.
    INT_PTR Browse(LPCWSTR title, LPCWSTR filter, LPCWSTR initialPath);
    // After IDOK the chosen path; empty after Cancel.
    const CString& GetPathName() const { return m_path; }

    // Reads the pair at pos of the filter into description and pattern and answers where the next pair
    // starts, or -1 when none follows. Both outputs are empty unless a whole pair was read; a pattern that
    // runs to the end of the filter without its '|' still counts.
    static int ParseFilterPair(const CString& filter, int pos, CString* description, CString* pattern);
    // "1023B", "1.0K", "1.0M".
    static CString FormatFileSize(DWORD size);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg void OnItemActivate(NMHDR* pNotifyStruct, LRESULT* pResult);
    afx_msg void OnDestroy();
    afx_msg void OnTypeChange();
    afx_msg void OnUpFolder();
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

    DECLARE_MESSAGE_MAP()

private:
    enum class EntryKind { Folder, File };

    // Lists folder (the root for an empty one), or the current folder again when none is given.
    void ScanFolder(const CString* folder);
    void AddListItem(const CString& fullPath, const CString& name, EntryKind kind, DWORD size);
    // Adds the entries of one search that are (or are not) folders.
    void AddEntries(const CString& pattern, EntryKind kind);
    void FillTypeBox();
    // Moves the controls for a screen other than 240 x 320.
    // The title line moved off the command bar's button, so that the button shows and takes taps.
    void MakeRoomForTheBarButton();
    void FitToScreen();
    static int CALLBACK CompareListItems(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

    CString m_title;
    CString m_folder;
    CString m_filter;
    CString m_path;
    // The type box's patterns, by item.
    std::vector<CString> m_patterns;
    // The listed names by insertion index (a row's item data is that index, or -index - 1 for a folder).
    std::vector<CString> m_names;

    CPocketListCtrlClicks m_list;
    CEdit m_nameBox;
    CEdit m_folderLine;
    CComboBox m_typeBox;
    CCommandBar m_commandBar;
};
