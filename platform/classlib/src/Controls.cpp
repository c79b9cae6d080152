// The control classes: each member is the control's own message.

#include "classlib/Controls.h"

#include <type_traits>
#include <vector>

#include "Internal.h"
#include "classlib/App.h"
#include "kernel/Resources.h"

using classlib::detail::HandleMap;
using classlib::detail::TemporaryAs;

namespace {

BOOL CreateControl(CWnd& control, LPCWSTR className, LPCTSTR text, DWORD style, const RECT& rect,
                   CWnd* parent, UINT id) {
    return control.CreateEx(0, className, text, style | WS_CHILD, rect, parent, id);
}

template <typename T = LRESULT>
T Send(const CWnd& control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    LRESULT result = ::SendMessageW(control.m_hWnd, message, wParam, lParam);
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(result);
    else
        return static_cast<T>(result);
}

template <typename T>
LPARAM Pointer(T* pointer) {
    return reinterpret_cast<LPARAM>(pointer);
}

} // namespace

// ---- Buttons, edits, statics.

IMPLEMENT_DYNCREATE(CButton, CWnd)

BOOL CButton::Create(LPCTSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, u"BUTTON", lpszCaption, dwStyle, rect, pParentWnd, nID);
}

int CButton::GetCheck() const {
    return Send<int>(*this, BM_GETCHECK);
}

void CButton::SetCheck(int nCheck) {
    Send(*this, BM_SETCHECK, static_cast<WPARAM>(nCheck));
}

IMPLEMENT_DYNCREATE(CEdit, CWnd)

BOOL CEdit::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, u"EDIT", u"", dwStyle, rect, pParentWnd, nID);
}

DWORD CEdit::GetSel() const {
    return Send<DWORD>(*this, EM_GETSEL);
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const {
    DWORD start = 0;
    DWORD end = 0;
    if (!m_hWnd) {
        nStartChar = nEndChar = 0;
        return;
    }
    Send(*this, EM_GETSEL, reinterpret_cast<WPARAM>(&start), Pointer(&end));
    nStartChar = static_cast<int>(start);
    nEndChar = static_cast<int>(end);
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL bNoScroll) {
    Send(*this, EM_SETSEL, static_cast<WPARAM>(nStartChar), nEndChar);
    if (!bNoScroll)
        Send(*this, EM_SCROLLCARET);
}

void CEdit::ReplaceSel(LPCTSTR lpszNewText) {
    Send(*this, EM_REPLACESEL, 0, Pointer(lpszNewText));
}

void CEdit::SetPasswordChar(WCHAR ch) {
    Send(*this, EM_SETPASSWORDCHAR, ch);
}

BOOL CEdit::SetReadOnly(BOOL bReadOnly) {
    return Send<BOOL>(*this, EM_SETREADONLY, static_cast<WPARAM>(bReadOnly));
}

void CEdit::LimitText(int nChars) {
    Send(*this, EM_LIMITTEXT, static_cast<WPARAM>(nChars));
}

int CEdit::GetLineCount() const {
    return Send<int>(*this, EM_GETLINECOUNT);
}

IMPLEMENT_DYNCREATE(CStatic, CWnd)

BOOL CStatic::Create(LPCTSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, u"STATIC", lpszText, dwStyle, rect, pParentWnd, nID);
}

// ---- List boxes and combo boxes.

IMPLEMENT_DYNCREATE(CListBox, CWnd)

BOOL CListBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, u"LISTBOX", u"", dwStyle, rect, pParentWnd, nID);
}

int CListBox::GetCount() const {
    return m_hWnd ? Send<int>(*this, LB_GETCOUNT) : LB_ERR;
}
int CListBox::AddString(LPCTSTR lpszItem) {
    return m_hWnd ? Send<int>(*this, LB_ADDSTRING, 0, Pointer(lpszItem)) : LB_ERR;
}
int CListBox::InsertString(int nIndex, LPCTSTR lpszItem) {
    return m_hWnd ? Send<int>(*this, LB_INSERTSTRING, static_cast<WPARAM>(nIndex), Pointer(lpszItem))
                  : LB_ERR;
}
int CListBox::DeleteString(UINT nIndex) {
    return m_hWnd ? Send<int>(*this, LB_DELETESTRING, nIndex) : LB_ERR;
}
void CListBox::ResetContent() {
    Send(*this, LB_RESETCONTENT);
}
int CListBox::GetText(int nIndex, LPTSTR lpszBuffer) const {
    return m_hWnd ? Send<int>(*this, LB_GETTEXT, static_cast<WPARAM>(nIndex), Pointer(lpszBuffer)) : LB_ERR;
}
void CListBox::GetText(int nIndex, CString& rString) const {
    rString.Empty();
    int length = GetTextLen(nIndex);
    if (length < 0)
        return;
    GetText(nIndex, rString.GetBuffer(length));
    rString.ReleaseBuffer();
}
int CListBox::GetTextLen(int nIndex) const {
    return m_hWnd ? Send<int>(*this, LB_GETTEXTLEN, static_cast<WPARAM>(nIndex)) : LB_ERR;
}
DWORD_PTR CListBox::GetItemData(int nIndex) const {
    return m_hWnd ? Send<DWORD_PTR>(*this, LB_GETITEMDATA, static_cast<WPARAM>(nIndex))
                  : static_cast<DWORD_PTR>(LB_ERR);
}
int CListBox::SetItemData(int nIndex, DWORD_PTR dwItemData) {
    return m_hWnd ? Send<int>(*this, LB_SETITEMDATA, static_cast<WPARAM>(nIndex),
                              static_cast<LPARAM>(dwItemData))
                  : LB_ERR;
}
int CListBox::GetCurSel() const {
    return m_hWnd ? Send<int>(*this, LB_GETCURSEL) : LB_ERR;
}
int CListBox::SetCurSel(int nSelect) {
    return m_hWnd ? Send<int>(*this, LB_SETCURSEL, static_cast<WPARAM>(nSelect)) : LB_ERR;
}
int CListBox::GetSel(int nIndex) const {
    return m_hWnd ? Send<int>(*this, LB_GETSEL, static_cast<WPARAM>(nIndex)) : LB_ERR;
}
int CListBox::SetSel(int nIndex, BOOL bSelect) {
    return m_hWnd ? Send<int>(*this, LB_SETSEL, static_cast<WPARAM>(bSelect), nIndex) : LB_ERR;
}
int CListBox::GetSelCount() const {
    return m_hWnd ? Send<int>(*this, LB_GETSELCOUNT) : LB_ERR;
}
int CListBox::GetSelItems(int nMaxItems, int* rgIndex) const {
    return m_hWnd ? Send<int>(*this, LB_GETSELITEMS, static_cast<WPARAM>(nMaxItems), Pointer(rgIndex))
                  : LB_ERR;
}
int CListBox::GetTopIndex() const {
    return m_hWnd ? Send<int>(*this, LB_GETTOPINDEX) : LB_ERR;
}
int CListBox::SetTopIndex(int nIndex) {
    return m_hWnd ? Send<int>(*this, LB_SETTOPINDEX, static_cast<WPARAM>(nIndex)) : LB_ERR;
}
int CListBox::GetItemRect(int nIndex, LPRECT lpRect) const {
    return m_hWnd ? Send<int>(*this, LB_GETITEMRECT, static_cast<WPARAM>(nIndex), Pointer(lpRect)) : LB_ERR;
}
int CListBox::GetItemHeight(int nIndex) const {
    return m_hWnd ? Send<int>(*this, LB_GETITEMHEIGHT, static_cast<WPARAM>(nIndex)) : LB_ERR;
}
int CListBox::SetItemHeight(int nIndex, UINT cyItemHeight) {
    return m_hWnd ? Send<int>(*this, LB_SETITEMHEIGHT, static_cast<WPARAM>(nIndex), cyItemHeight) : LB_ERR;
}

void CListBox::DrawItem(LPDRAWITEMSTRUCT) {}
void CListBox::MeasureItem(LPMEASUREITEMSTRUCT) {}

BOOL CListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    switch (message) {
    case WM_DRAWITEM:
        DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        break;
    case WM_MEASUREITEM:
        MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        break;
    default:
        return CWnd::OnChildNotify(message, wParam, lParam, pResult);
    }
    if (pResult)
        *pResult = TRUE;
    return TRUE;
}

IMPLEMENT_DYNCREATE(CComboBox, CWnd)

BOOL CComboBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, u"COMBOBOX", u"", dwStyle, rect, pParentWnd, nID);
}

int CComboBox::GetCount() const {
    return m_hWnd ? Send<int>(*this, CB_GETCOUNT) : CB_ERR;
}
int CComboBox::AddString(LPCTSTR lpszString) {
    return m_hWnd ? Send<int>(*this, CB_ADDSTRING, 0, Pointer(lpszString)) : CB_ERR;
}
int CComboBox::InsertString(int nIndex, LPCTSTR lpszString) {
    return m_hWnd ? Send<int>(*this, CB_INSERTSTRING, static_cast<WPARAM>(nIndex), Pointer(lpszString))
                  : CB_ERR;
}
int CComboBox::DeleteString(UINT nIndex) {
    return m_hWnd ? Send<int>(*this, CB_DELETESTRING, nIndex) : CB_ERR;
}
void CComboBox::ResetContent() {
    Send(*this, CB_RESETCONTENT);
}
int CComboBox::GetLBText(int nIndex, LPTSTR lpszText) const {
    return m_hWnd ? Send<int>(*this, CB_GETLBTEXT, static_cast<WPARAM>(nIndex), Pointer(lpszText)) : CB_ERR;
}
void CComboBox::GetLBText(int nIndex, CString& rString) const {
    rString.Empty();
    int length = GetLBTextLen(nIndex);
    if (length < 0)
        return;
    GetLBText(nIndex, rString.GetBuffer(length));
    rString.ReleaseBuffer();
}
int CComboBox::GetLBTextLen(int nIndex) const {
    return m_hWnd ? Send<int>(*this, CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex)) : CB_ERR;
}
DWORD_PTR CComboBox::GetItemData(int nIndex) const {
    return m_hWnd ? Send<DWORD_PTR>(*this, CB_GETITEMDATA, static_cast<WPARAM>(nIndex))
                  : static_cast<DWORD_PTR>(CB_ERR);
}
int CComboBox::SetItemData(int nIndex, DWORD_PTR dwItemData) {
    return m_hWnd ? Send<int>(*this, CB_SETITEMDATA, static_cast<WPARAM>(nIndex),
                              static_cast<LPARAM>(dwItemData))
                  : CB_ERR;
}
void* CComboBox::GetItemDataPtr(int nIndex) const {
    DWORD_PTR data = GetItemData(nIndex);
    return data == static_cast<DWORD_PTR>(CB_ERR) ? nullptr : reinterpret_cast<void*>(data);
}
int CComboBox::SetItemDataPtr(int nIndex, void* pData) {
    return SetItemData(nIndex, reinterpret_cast<DWORD_PTR>(pData));
}
int CComboBox::GetCurSel() const {
    return m_hWnd ? Send<int>(*this, CB_GETCURSEL) : CB_ERR;
}
int CComboBox::SetCurSel(int nSelect) {
    return m_hWnd ? Send<int>(*this, CB_SETCURSEL, static_cast<WPARAM>(nSelect)) : CB_ERR;
}

// ---- Image lists.

namespace {

using ImageListMap = HandleMap<HIMAGELIST, CImageList, &CImageList::m_hImageList>;

} // namespace

IMPLEMENT_DYNCREATE(CImageList, CObject)

CImageList::~CImageList() {
    DeleteImageList();
}

CImageList* CImageList::FromHandle(HIMAGELIST hImageList) {
    return ImageListMap::ForThisThread().FromHandle(hImageList);
}

void CImageList::DeleteTempMap() {
    ImageListMap::ForThisThread().DeleteTemporary();
}

BOOL CImageList::Attach(HIMAGELIST hImageList) {
    if (!hImageList || m_hImageList)
        return FALSE;
    m_hImageList = hImageList;
    ImageListMap::ForThisThread().Add(hImageList, this);
    return TRUE;
}

HIMAGELIST CImageList::Detach() {
    HIMAGELIST list = m_hImageList;
    if (list)
        ImageListMap::ForThisThread().Remove(list, this);
    m_hImageList = nullptr;
    return list;
}

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow) {
    if (m_hImageList)
        return FALSE;
    HIMAGELIST list = ::ImageList_Create(cx, cy, nFlags, nInitial, nGrow);
    return list ? Attach(list) : FALSE;
}

BOOL CImageList::DeleteImageList() {
    if (!m_hImageList)
        return FALSE;
    return ::ImageList_Destroy(Detach());
}

int CImageList::Add(CBitmap* pbmImage, CBitmap* pbmMask) {
    if (!pbmImage)
        return -1;
    return ::ImageList_Add(m_hImageList, *pbmImage, pbmMask ? static_cast<HBITMAP>(*pbmMask) : nullptr);
}

int CImageList::Add(CBitmap* pbmImage, COLORREF crMask) {
    return pbmImage ? ::ImageList_AddMasked(m_hImageList, *pbmImage, crMask) : -1;
}

BOOL CImageList::Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle) {
    return pDC ? ::ImageList_Draw(m_hImageList, nImage, pDC->m_hDC, pt.x, pt.y, nStyle) : FALSE;
}

int CImageList::GetImageCount() const {
    return ::ImageList_GetImageCount(m_hImageList);
}

// ---- Header.

IMPLEMENT_DYNCREATE(CHeaderCtrl, CWnd)

BOOL CHeaderCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, WC_HEADER, u"", dwStyle, rect, pParentWnd, nID);
}

int CHeaderCtrl::GetItemCount() const {
    return m_hWnd ? Send<int>(*this, HDM_GETITEMCOUNT) : -1;
}
BOOL CHeaderCtrl::GetItem(int nPos, HDITEM* pHeaderItem) const {
    return Send<BOOL>(*this, HDM_GETITEM, static_cast<WPARAM>(nPos), Pointer(pHeaderItem));
}
BOOL CHeaderCtrl::SetItem(int nPos, HDITEM* pHeaderItem) {
    return Send<BOOL>(*this, HDM_SETITEM, static_cast<WPARAM>(nPos), Pointer(pHeaderItem));
}
int CHeaderCtrl::InsertItem(int nPos, HDITEM* phdi) {
    return m_hWnd ? Send<int>(*this, HDM_INSERTITEM, static_cast<WPARAM>(nPos), Pointer(phdi)) : -1;
}
BOOL CHeaderCtrl::DeleteItem(int nPos) {
    return Send<BOOL>(*this, HDM_DELETEITEM, static_cast<WPARAM>(nPos));
}
BOOL CHeaderCtrl::GetItemRect(int nIndex, LPRECT lpRect) const {
    return Send<BOOL>(*this, HDM_GETITEMRECT, static_cast<WPARAM>(nIndex), Pointer(lpRect));
}

void CHeaderCtrl::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CHeaderCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message != WM_DRAWITEM)
        return CWnd::OnChildNotify(message, wParam, lParam, pResult);
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (pResult)
        *pResult = TRUE;
    return TRUE;
}

// ---- List view.

IMPLEMENT_DYNCREATE(CListCtrl, CWnd)

BOOL CListCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, WC_LISTVIEW, u"", dwStyle, rect, pParentWnd, nID);
}

DWORD CListCtrl::GetExtendedStyle() const {
    return Send<DWORD>(*this, LVM_GETEXTENDEDLISTVIEWSTYLE);
}
DWORD CListCtrl::SetExtendedStyle(DWORD dwNewStyle) {
    return Send<DWORD>(*this, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(dwNewStyle));
}
CHeaderCtrl* CListCtrl::GetHeaderCtrl() const {
    return m_hWnd ? TemporaryAs<CHeaderCtrl>(Send<HWND>(*this, LVM_GETHEADER)) : nullptr;
}
CImageList* CListCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
    auto old = Send<HIMAGELIST>(*this, LVM_SETIMAGELIST, static_cast<WPARAM>(nImageListType),
                                Pointer(pImageList ? pImageList->m_hImageList : nullptr));
    return CImageList::FromHandle(old);
}
CImageList* CListCtrl::GetImageList(int nImageListType) const {
    return CImageList::FromHandle(
        Send<HIMAGELIST>(*this, LVM_GETIMAGELIST, static_cast<WPARAM>(nImageListType)));
}

int CListCtrl::InsertColumn(int nCol, const LVCOLUMN* pColumn) {
    return m_hWnd ? Send<int>(*this, LVM_INSERTCOLUMN, static_cast<WPARAM>(nCol), Pointer(pColumn)) : -1;
}
int CListCtrl::InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat, int nWidth, int nSubItem) {
    LVCOLUMN column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.fmt = nFormat;
    column.pszText = const_cast<LPTSTR>(lpszColumnHeading);
    if (nWidth != -1) {
        column.mask |= LVCF_WIDTH;
        column.cx = nWidth;
    }
    if (nSubItem != -1) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = nSubItem;
    }
    return InsertColumn(nCol, &column);
}
BOOL CListCtrl::DeleteColumn(int nCol) {
    return Send<BOOL>(*this, LVM_DELETECOLUMN, static_cast<WPARAM>(nCol));
}
int CListCtrl::GetColumnWidth(int nCol) const {
    return Send<int>(*this, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(nCol));
}
BOOL CListCtrl::SetColumnWidth(int nCol, int cx) {
    return Send<BOOL>(*this, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(nCol), cx);
}

int CListCtrl::GetItemCount() const {
    return Send<int>(*this, LVM_GETITEMCOUNT);
}
int CListCtrl::InsertItem(const LVITEM* pItem) {
    return m_hWnd ? Send<int>(*this, LVM_INSERTITEM, 0, Pointer(pItem)) : -1;
}
int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem) {
    LVITEM item{};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<LPTSTR>(lpszItem);
    return InsertItem(&item);
}
int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem, int nImage) {
    LVITEM item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = nItem;
    item.pszText = const_cast<LPTSTR>(lpszItem);
    item.iImage = nImage;
    return InsertItem(&item);
}
BOOL CListCtrl::DeleteItem(int nItem) {
    return Send<BOOL>(*this, LVM_DELETEITEM, static_cast<WPARAM>(nItem));
}
BOOL CListCtrl::DeleteAllItems() {
    return Send<BOOL>(*this, LVM_DELETEALLITEMS);
}
BOOL CListCtrl::GetItem(LVITEM* pItem) const {
    return Send<BOOL>(*this, LVM_GETITEM, 0, Pointer(pItem));
}
BOOL CListCtrl::SetItem(const LVITEM* pItem) {
    return Send<BOOL>(*this, LVM_SETITEM, 0, Pointer(pItem));
}
CString CListCtrl::GetItemText(int nItem, int nSubItem) const {
    // Grows the buffer until the text fits with room to spare.
    std::vector<WCHAR> buffer(64);
    for (;;) {
        int length = GetItemText(nItem, nSubItem, buffer.data(), static_cast<int>(buffer.size()));
        if (length < static_cast<int>(buffer.size()) - 1)
            return CString(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}
int CListCtrl::GetItemText(int nItem, int nSubItem, LPTSTR lpszText, int nLen) const {
    if (!lpszText || nLen <= 0)
        return 0;
    lpszText[0] = 0;
    LVITEM item{};
    item.iSubItem = nSubItem;
    item.pszText = lpszText;
    item.cchTextMax = nLen;
    return Send<int>(*this, LVM_GETITEMTEXT, static_cast<WPARAM>(nItem), Pointer(&item));
}
BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCTSTR lpszText) {
    LVITEM item{};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<LPTSTR>(lpszText);
    return Send<BOOL>(*this, LVM_SETITEMTEXT, static_cast<WPARAM>(nItem), Pointer(&item));
}
DWORD_PTR CListCtrl::GetItemData(int nItem) const {
    LVITEM item{};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
}
BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData) {
    LVITEM item{};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    item.lParam = static_cast<LPARAM>(dwData);
    return SetItem(&item);
}
UINT CListCtrl::GetItemState(int nItem, UINT nMask) const {
    return Send<UINT>(*this, LVM_GETITEMSTATE, static_cast<WPARAM>(nItem), static_cast<LPARAM>(nMask));
}
BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
    LVITEM item{};
    item.state = nState;
    item.stateMask = nMask;
    return Send<BOOL>(*this, LVM_SETITEMSTATE, static_cast<WPARAM>(nItem), Pointer(&item));
}
BOOL CListCtrl::GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const {
    if (!lpRect)
        return FALSE;
    lpRect->left = static_cast<LONG>(nCode);
    return Send<BOOL>(*this, LVM_GETITEMRECT, static_cast<WPARAM>(nItem), Pointer(lpRect));
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const {
    return m_hWnd ? Send<int>(*this, LVM_GETNEXTITEM, static_cast<WPARAM>(nItem), nFlags) : -1;
}
UINT CListCtrl::GetSelectedCount() const {
    return Send<UINT>(*this, LVM_GETSELECTEDCOUNT);
}
int CListCtrl::GetSelectionMark() const {
    return m_hWnd ? Send<int>(*this, LVM_GETSELECTIONMARK) : -1;
}
int CListCtrl::SetSelectionMark(int iIndex) {
    return m_hWnd ? Send<int>(*this, LVM_SETSELECTIONMARK, 0, iIndex) : -1;
}
int CListCtrl::HitTest(LVHITTESTINFO* pHitTestInfo) const {
    return m_hWnd ? Send<int>(*this, LVM_HITTEST, 0, Pointer(pHitTestInfo)) : -1;
}
int CListCtrl::HitTest(CPoint pt, UINT* pFlags) const {
    LVHITTESTINFO info{};
    info.pt = pt;
    int item = HitTest(&info);
    if (pFlags)
        *pFlags = info.flags;
    return item;
}
int CListCtrl::FindItem(LVFINDINFO* pFindInfo, int nStart) const {
    return m_hWnd ? Send<int>(*this, LVM_FINDITEM, static_cast<WPARAM>(nStart), Pointer(pFindInfo)) : -1;
}
BOOL CListCtrl::EnsureVisible(int nItem, BOOL bPartialOK) {
    return Send<BOOL>(*this, LVM_ENSUREVISIBLE, static_cast<WPARAM>(nItem), bPartialOK);
}
BOOL CListCtrl::SortItems(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData) {
    return Send<BOOL>(*this, LVM_SORTITEMS, static_cast<WPARAM>(dwData),
                      reinterpret_cast<LPARAM>(pfnCompare));
}

// ---- Tree view.

IMPLEMENT_DYNCREATE(CTreeCtrl, CWnd)

BOOL CTreeCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, WC_TREEVIEW, u"", dwStyle, rect, pParentWnd, nID);
}

HTREEITEM CTreeCtrl::InsertItem(LPTVINSERTSTRUCT lpInsertStruct) {
    return Send<HTREEITEM>(*this, TVM_INSERTITEM, 0, Pointer(lpInsertStruct));
}
HTREEITEM CTreeCtrl::InsertItem(LPCTSTR lpszItem, HTREEITEM hParent, HTREEITEM hInsertAfter) {
    TVINSERTSTRUCT insert{};
    insert.hParent = hParent;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<LPTSTR>(lpszItem);
    return InsertItem(&insert);
}
BOOL CTreeCtrl::DeleteAllItems() {
    return Send<BOOL>(*this, TVM_DELETEITEM, 0, Pointer(TVI_ROOT));
}
UINT CTreeCtrl::GetCount() const {
    return Send<UINT>(*this, TVM_GETCOUNT);
}
HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT nCode) const {
    return Send<HTREEITEM>(*this, TVM_GETNEXTITEM, nCode, Pointer(hItem));
}
HTREEITEM CTreeCtrl::GetRootItem() const {
    return GetNextItem(nullptr, TVGN_ROOT);
}
HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM hItem) const {
    return GetNextItem(hItem, TVGN_CHILD);
}
HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM hItem) const {
    return GetNextItem(hItem, TVGN_NEXT);
}
HTREEITEM CTreeCtrl::GetSelectedItem() const {
    return GetNextItem(nullptr, TVGN_CARET);
}
BOOL CTreeCtrl::SelectItem(HTREEITEM hItem) {
    return Send<BOOL>(*this, TVM_SELECTITEM, TVGN_CARET, Pointer(hItem));
}
BOOL CTreeCtrl::Expand(HTREEITEM hItem, UINT nCode) {
    return Send<BOOL>(*this, TVM_EXPAND, nCode, Pointer(hItem));
}
CString CTreeCtrl::GetItemText(HTREEITEM hItem) const {
    std::vector<WCHAR> buffer(261, 0);
    TVITEM item{};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = hItem;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    if (!Send<BOOL>(*this, TVM_GETITEM, 0, Pointer(&item)))
        return CString();
    return CString(buffer.data());
}
DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const {
    TVITEM item{};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = hItem;
    return Send<BOOL>(*this, TVM_GETITEM, 0, Pointer(&item)) ? static_cast<DWORD_PTR>(item.lParam) : 0;
}
BOOL CTreeCtrl::SetItemData(HTREEITEM hItem, DWORD_PTR dwData) {
    TVITEM item{};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = hItem;
    item.lParam = static_cast<LPARAM>(dwData);
    return Send<BOOL>(*this, TVM_SETITEM, 0, Pointer(&item));
}

// ---- Up-down control.

IMPLEMENT_DYNCREATE(CSpinButtonCtrl, CWnd)

BOOL CSpinButtonCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, UPDOWN_CLASS, u"", dwStyle, rect, pParentWnd, nID);
}

void CSpinButtonCtrl::SetRange(short nLower, short nUpper) {
    Send(*this, UDM_SETRANGE, 0, MAKELPARAM(static_cast<WORD>(nUpper), static_cast<WORD>(nLower)));
}
void CSpinButtonCtrl::SetRange32(int nLower, int nUpper) {
    Send(*this, UDM_SETRANGE32, static_cast<WPARAM>(nLower), nUpper);
}
void CSpinButtonCtrl::GetRange32(int& nLower, int& nUpper) const {
    nLower = nUpper = 0;
    if (m_hWnd)
        Send(*this, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&nLower), Pointer(&nUpper));
}
int CSpinButtonCtrl::SetPos(int nPos) {
    return Send<int>(*this, UDM_SETPOS32, 0, nPos);
}
int CSpinButtonCtrl::GetPos() const {
    return Send<int>(*this, UDM_GETPOS32);
}
CWnd* CSpinButtonCtrl::SetBuddy(CWnd* pWndBuddy) {
    return CWnd::FromHandle(
        Send<HWND>(*this, UDM_SETBUDDY, reinterpret_cast<WPARAM>(pWndBuddy ? pWndBuddy->m_hWnd : nullptr)));
}
CWnd* CSpinButtonCtrl::GetBuddy() const {
    return CWnd::FromHandle(Send<HWND>(*this, UDM_GETBUDDY));
}
int CSpinButtonCtrl::SetBase(int nBase) {
    return Send<int>(*this, UDM_SETBASE, static_cast<WPARAM>(nBase));
}
BOOL CSpinButtonCtrl::SetAccel(int nAccel, UDACCEL* pAccel) {
    return Send<BOOL>(*this, UDM_SETACCEL, static_cast<WPARAM>(nAccel), Pointer(pAccel));
}

// ---- Command bar.

IMPLEMENT_DYNCREATE(CCommandBar, CWnd)

BOOL CCommandBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID) {
    if (m_hWnd || !pParentWnd || !pParentWnd->m_hWnd)
        return FALSE;
    HWND bar = ::CommandBar_Create(AfxGetResourceHandle(), pParentWnd->m_hWnd, static_cast<int>(nID));
    if (!bar)
        return FALSE;
    if (!SubclassWindow(bar)) {
        ::CommandBar_Destroy(bar);
        return FALSE;
    }
    m_dwBarStyle = dwStyle & 0xFFFF;
    return TRUE;
}

BOOL CCommandBar::LoadToolBar(UINT nIDResource) {
    if (!m_hWnd)
        return FALSE;
    // Format notes: WORD version, width, height, count, then count WORD command ids.
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCE(nIDResource), RT_TOOLBAR);
    if (!resource)
        return FALSE;
    const auto* words = static_cast<const WORD*>(::LockResource(::LoadResource(module, resource)));
    size_t size = ::SizeofResource(module, resource);
    if (!words || size < 4 * sizeof(WORD) || words[0] != 1)
        return FALSE;
    size_t count = words[3];
    if (size < (4 + count) * sizeof(WORD))
        return FALSE;
    int images = 0;
    for (size_t i = 0; i < count; ++i)
        images += words[4 + i] != 0 ? 1 : 0;
    int image = 0;
    if (images > 0) {
        image =
            ::CommandBar_AddBitmap(m_hWnd, module, static_cast<int>(nIDResource), images, words[1], words[2]);
        if (image < 0)
            return FALSE;
    }
    std::vector<TBBUTTON> buttons(count);
    for (size_t i = 0; i < count; ++i) {
        TBBUTTON& button = buttons[i];
        button.idCommand = words[4 + i];
        if (button.idCommand == 0) {
            button.fsStyle = TBSTYLE_SEP;
        } else {
            button.iBitmap = image++;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = TBSTYLE_BUTTON;
        }
    }
    return ::CommandBar_AddButtons(m_hWnd, static_cast<UINT>(count), buttons.data());
}

int CCommandBar::Height() const {
    return m_hWnd ? ::CommandBar_Height(m_hWnd) : 0;
}
