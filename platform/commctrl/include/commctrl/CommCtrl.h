#pragma once
// The common controls: list view (report view), header, tree view, up-down control, image lists and the
// command bar, with their messages, notifications and records.
//
// What a caller may rely on:
// - The window classes (WC_LISTVIEW, WC_HEADER, WC_TREEVIEW, UPDOWN_CLASS, TOOLBARCLASSNAME) exist as
//   soon as this library is loaded; InitCommonControls and InitCommonControlsEx only confirm it.
// - Notifications are WM_NOTIFY messages sent (never posted) to the control's parent, wParam the
//   control's id, the record on the sender's stack for the duration of the call.
// - Every control keeps working when it is subclassed: its messages (LVM_*, HDM_*, ...) are answered by
//   its own window procedure, which a subclass reaches with CallWindowProcW.
// - Image list handles are checked: an unknown or destroyed one makes a call fail (FALSE, -1, NULL).

#include "crt/Types.h"
#include "gdi/Gdi.h"
#include "user/User.h"

// Owner-draw records, when the window system does not declare them.
#ifndef ODT_MENU
#define ODT_MENU 1
#define ODT_LISTBOX 2
#define ODT_COMBOBOX 3
#define ODT_BUTTON 4
#define ODT_STATIC 5
#define ODT_HEADER 100
#define ODT_LISTVIEW 102
#define ODA_DRAWENTIRE 0x0001
#define ODA_SELECT 0x0002
#define ODA_FOCUS 0x0004
#define ODS_SELECTED 0x0001
#define ODS_GRAYED 0x0002
#define ODS_DISABLED 0x0004
#define ODS_CHECKED 0x0008
#define ODS_FOCUS 0x0010
struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
};
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;
struct MEASUREITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemWidth;
    UINT itemHeight;
    ULONG_PTR itemData;
};
using LPMEASUREITEMSTRUCT = MEASUREITEMSTRUCT*;
struct COMPAREITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    HWND hwndItem;
    UINT itemID1;
    ULONG_PTR itemData1;
    UINT itemID2;
    ULONG_PTR itemData2;
};
using LPCOMPAREITEMSTRUCT = COMPAREITEMSTRUCT*;
struct DELETEITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    HWND hwndItem;
    ULONG_PTR itemData;
};
using LPDELETEITEMSTRUCT = DELETEITEMSTRUCT*;
#endif

// Initialisation.
#define ICC_LISTVIEW_CLASSES 0x00000001
#define ICC_TREEVIEW_CLASSES 0x00000002
#define ICC_BAR_CLASSES 0x00000004
#define ICC_TAB_CLASSES 0x00000008
#define ICC_UPDOWN_CLASS 0x00000010
#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_DATE_CLASSES 0x00000100
#define ICC_COOL_CLASSES 0x00000400
struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};
using LPINITCOMMONCONTROLSEX = INITCOMMONCONTROLSEX*;
void InitCommonControls();
// FALSE with ERROR_INVALID_PARAMETER for a NULL record or a wrong dwSize.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* lpInitCtrls);

// Common notification codes.
#define NM_FIRST (0U - 0U)
#define NM_OUTOFMEMORY (NM_FIRST - 1)
#define NM_CLICK (NM_FIRST - 2)
#define NM_DBLCLK (NM_FIRST - 3)
#define NM_RETURN (NM_FIRST - 4)
#define NM_RCLICK (NM_FIRST - 5)
#define NM_RDBLCLK (NM_FIRST - 6)
#define NM_SETFOCUS (NM_FIRST - 7)
#define NM_KILLFOCUS (NM_FIRST - 8)
#define NM_CUSTOMDRAW (NM_FIRST - 12)
#define LVN_FIRST (0U - 100U)
#define HDN_FIRST (0U - 300U)
#define TVN_FIRST (0U - 400U)
#define UDN_FIRST (0U - 721U)

#define CLR_NONE 0xFFFFFFFFU
#define CLR_DEFAULT 0xFF000000U

// Custom draw.
#define CDDS_PREPAINT 0x00000001
#define CDDS_POSTPAINT 0x00000002
#define CDDS_PREERASE 0x00000003
#define CDDS_POSTERASE 0x00000004
#define CDDS_ITEM 0x00010000
#define CDDS_ITEMPREPAINT (CDDS_ITEM | CDDS_PREPAINT)
#define CDDS_ITEMPOSTPAINT (CDDS_ITEM | CDDS_POSTPAINT)
#define CDDS_SUBITEM 0x00020000
#define CDRF_DODEFAULT 0x00000000
#define CDRF_NEWFONT 0x00000002
#define CDRF_SKIPDEFAULT 0x00000004
#define CDRF_NOTIFYPOSTPAINT 0x00000010
#define CDRF_NOTIFYITEMDRAW 0x00000020
#define CDRF_NOTIFYSUBITEMDRAW 0x00000020
#define CDRF_NOTIFYPOSTERASE 0x00000040
#define CDIS_SELECTED 0x0001
#define CDIS_GRAYED 0x0002
#define CDIS_DISABLED 0x0004
#define CDIS_CHECKED 0x0008
#define CDIS_FOCUS 0x0010
#define CDIS_DEFAULT 0x0020

struct NMCUSTOMDRAW {
    NMHDR hdr;
    DWORD dwDrawStage;
    HDC hdc;
    RECT rc;
    DWORD_PTR dwItemSpec;
    UINT uItemState;
    LPARAM lItemlParam;
};
using LPNMCUSTOMDRAW = NMCUSTOMDRAW*;

// ---------------------------------------------------------------------------------------------------
// Image lists.

#define ILC_MASK 0x0001
#define ILC_COLOR 0x0000
#define ILC_COLORDDB 0x00FE
#define ILC_COLOR4 0x0004
#define ILC_COLOR8 0x0008
#define ILC_COLOR16 0x0010
#define ILC_COLOR24 0x0018
#define ILC_COLOR32 0x0020
#define ILD_NORMAL 0x0000
#define ILD_TRANSPARENT 0x0001
#define ILD_BLEND25 0x0002
#define ILD_FOCUS ILD_BLEND25
#define ILD_BLEND50 0x0004
#define ILD_SELECTED ILD_BLEND50
#define ILD_BLEND ILD_BLEND50
#define ILD_MASK 0x0010
#define ILD_IMAGE 0x0020

// Images are cx x cy; a list made with ILC_MASK keeps a mask with each image (white where the
// background shows through). cInitial and cGrow are accepted; the list grows as needed.
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int cInitial, int cGrow);
BOOL ImageList_Destroy(HIMAGELIST himl);
// Adds as many images as the bitmap is wide (its width / cx, at least one); the index of the first, -1
// on an error. The list copies the bitmaps; the caller keeps and deletes them. hbmMask (monochrome, may
// be NULL) is used by masked lists only.
int ImageList_Add(HIMAGELIST himl, HBITMAP hbmImage, HBITMAP hbmMask);
// The mask is made from the pixels of colour crMask, which become black in the image.
int ImageList_AddMasked(HIMAGELIST himl, HBITMAP hbmImage, COLORREF crMask);
// Draws image i at (x, y). With a mask and ILD_NORMAL or ILD_TRANSPARENT the background shows where the
// mask is white (unless a background colour was set for ILD_NORMAL); ILD_MASK draws the mask alone;
// ILD_SELECTED and ILD_FOCUS blend the highlight colour over every other pixel.
BOOL ImageList_Draw(HIMAGELIST himl, int i, HDC hdcDst, int x, int y, UINT fStyle);
int ImageList_GetImageCount(HIMAGELIST himl);
BOOL ImageList_GetIconSize(HIMAGELIST himl, int* cx, int* cy);
// i = -1 removes every image.
BOOL ImageList_Remove(HIMAGELIST himl, int i);
COLORREF ImageList_SetBkColor(HIMAGELIST himl, COLORREF clrBk);
COLORREF ImageList_GetBkColor(HIMAGELIST himl);

// ---------------------------------------------------------------------------------------------------
// Header.

#define WC_HEADERW u"SysHeader32"
#define WC_HEADER WC_HEADERW

#define HDS_HORZ 0x0000
#define HDS_BUTTONS 0x0002
#define HDS_HIDDEN 0x0008

#define HDI_WIDTH 0x0001
#define HDI_HEIGHT HDI_WIDTH
#define HDI_TEXT 0x0002
#define HDI_FORMAT 0x0004
#define HDI_LPARAM 0x0008
#define HDI_BITMAP 0x0010
#define HDI_IMAGE 0x0020
#define HDI_ORDER 0x0080

#define HDF_LEFT 0x0000
#define HDF_RIGHT 0x0001
#define HDF_CENTER 0x0002
#define HDF_JUSTIFYMASK 0x0003
#define HDF_IMAGE 0x0800
#define HDF_BITMAP 0x2000
#define HDF_STRING 0x4000
#define HDF_OWNERDRAW 0x8000

#define HDM_FIRST 0x1200
#define HDM_GETITEMCOUNT (HDM_FIRST + 0)
#define HDM_DELETEITEM (HDM_FIRST + 2)
#define HDM_LAYOUT (HDM_FIRST + 5)
#define HDM_HITTEST (HDM_FIRST + 6)
#define HDM_GETITEMRECT (HDM_FIRST + 7)
#define HDM_SETIMAGELIST (HDM_FIRST + 8)
#define HDM_GETIMAGELIST (HDM_FIRST + 9)
#define HDM_INSERTITEMW (HDM_FIRST + 10)
#define HDM_GETITEMW (HDM_FIRST + 11)
#define HDM_SETITEMW (HDM_FIRST + 12)
#define HDM_INSERTITEM HDM_INSERTITEMW
#define HDM_GETITEM HDM_GETITEMW
#define HDM_SETITEM HDM_SETITEMW

#define HHT_NOWHERE 0x0001
#define HHT_ONHEADER 0x0002

struct HDITEMW {
    UINT mask;
    int cxy;
    LPWSTR pszText;
    HBITMAP hbm;
    int cchTextMax;
    int fmt;
    LPARAM lParam;
    int iImage;
    int iOrder;
};
using HDITEM = HDITEMW;
using LPHDITEMW = HDITEMW*;
using LPHDITEM = HDITEMW*;

// HDM_LAYOUT: the header takes its height from its font and answers where it goes in prc (which it
// shrinks by that height) through pwpos.
struct HDLAYOUT {
    RECT* prc;
    WINDOWPOS* pwpos;
};
using LPHDLAYOUT = HDLAYOUT*;

struct HDHITTESTINFO {
    POINT pt;
    UINT flags;
    int iItem;
};
using LPHDHITTESTINFO = HDHITTESTINFO*;

// ---------------------------------------------------------------------------------------------------
// List view (report view).

#define WC_LISTVIEWW u"SysListView32"
#define WC_LISTVIEW WC_LISTVIEWW

#define LVS_ICON 0x0000
#define LVS_REPORT 0x0001
#define LVS_SMALLICON 0x0002
#define LVS_LIST 0x0003
#define LVS_TYPEMASK 0x0003
#define LVS_SINGLESEL 0x0004
#define LVS_SHOWSELALWAYS 0x0008
#define LVS_SORTASCENDING 0x0010
#define LVS_SORTDESCENDING 0x0020
#define LVS_SHAREIMAGELISTS 0x0040
#define LVS_NOLABELWRAP 0x0080
#define LVS_AUTOARRANGE 0x0100
#define LVS_EDITLABELS 0x0200
#define LVS_OWNERDRAWFIXED 0x0400
#define LVS_ALIGNTOP 0x0000
#define LVS_ALIGNLEFT 0x0800
#define LVS_OWNERDATA 0x1000
#define LVS_NOSCROLL 0x2000
#define LVS_NOCOLUMNHEADER 0x4000
#define LVS_NOSORTHEADER 0x8000

#define LVS_EX_GRIDLINES 0x00000001
#define LVS_EX_SUBITEMIMAGES 0x00000002
#define LVS_EX_CHECKBOXES 0x00000004
#define LVS_EX_TRACKSELECT 0x00000008
#define LVS_EX_HEADERDRAGDROP 0x00000010
#define LVS_EX_FULLROWSELECT 0x00000020
#define LVS_EX_ONECLICKACTIVATE 0x00000040

#define LVSIL_NORMAL 0
#define LVSIL_SMALL 1
#define LVSIL_STATE 2

#define LVIF_TEXT 0x0001
#define LVIF_IMAGE 0x0002
#define LVIF_PARAM 0x0004
#define LVIF_STATE 0x0008
#define LVIF_INDENT 0x0010
#define LVIF_NORECOMPUTE 0x0800

#define LVIS_FOCUSED 0x0001
#define LVIS_SELECTED 0x0002
#define LVIS_CUT 0x0004
#define LVIS_DROPHILITED 0x0008
#define LVIS_OVERLAYMASK 0x0F00
#define LVIS_STATEIMAGEMASK 0xF000

#define LVNI_ALL 0x0000
#define LVNI_FOCUSED 0x0001
#define LVNI_SELECTED 0x0002
#define LVNI_ABOVE 0x0100
#define LVNI_BELOW 0x0200

#define LVHT_NOWHERE 0x0001
#define LVHT_ONITEMICON 0x0002
#define LVHT_ONITEMLABEL 0x0004
#define LVHT_ONITEMSTATEICON 0x0008
#define LVHT_ONITEM (LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON)
#define LVHT_ABOVE 0x0008
#define LVHT_BELOW 0x0010
#define LVHT_TORIGHT 0x0020
#define LVHT_TOLEFT 0x0040

#define LVCF_FMT 0x0001
#define LVCF_WIDTH 0x0002
#define LVCF_TEXT 0x0004
#define LVCF_SUBITEM 0x0008
#define LVCF_IMAGE 0x0010
#define LVCF_ORDER 0x0020

#define LVCFMT_LEFT 0x0000
#define LVCFMT_RIGHT 0x0001
#define LVCFMT_CENTER 0x0002
#define LVCFMT_JUSTIFYMASK 0x0003

#define LVIR_BOUNDS 0
#define LVIR_ICON 1
#define LVIR_LABEL 2
#define LVIR_SELECTBOUNDS 3

#define LVSCW_AUTOSIZE (-1)
#define LVSCW_AUTOSIZE_USEHEADER (-2)

#define LVM_FIRST 0x1000
#define LVM_GETBKCOLOR (LVM_FIRST + 0)
#define LVM_SETBKCOLOR (LVM_FIRST + 1)
#define LVM_GETIMAGELIST (LVM_FIRST + 2)
#define LVM_SETIMAGELIST (LVM_FIRST + 3)
#define LVM_GETITEMCOUNT (LVM_FIRST + 4)
#define LVM_DELETEITEM (LVM_FIRST + 8)
#define LVM_DELETEALLITEMS (LVM_FIRST + 9)
#define LVM_GETNEXTITEM (LVM_FIRST + 12)
#define LVM_GETITEMRECT (LVM_FIRST + 14)
#define LVM_HITTEST (LVM_FIRST + 18)
#define LVM_ENSUREVISIBLE (LVM_FIRST + 19)
#define LVM_SCROLL (LVM_FIRST + 20)
#define LVM_REDRAWITEMS (LVM_FIRST + 21)
#define LVM_DELETECOLUMN (LVM_FIRST + 28)
#define LVM_GETCOLUMNWIDTH (LVM_FIRST + 29)
#define LVM_SETCOLUMNWIDTH (LVM_FIRST + 30)
#define LVM_GETHEADER (LVM_FIRST + 31)
#define LVM_GETTEXTCOLOR (LVM_FIRST + 35)
#define LVM_SETTEXTCOLOR (LVM_FIRST + 36)
#define LVM_GETTEXTBKCOLOR (LVM_FIRST + 37)
#define LVM_SETTEXTBKCOLOR (LVM_FIRST + 38)
#define LVM_GETTOPINDEX (LVM_FIRST + 39)
#define LVM_GETCOUNTPERPAGE (LVM_FIRST + 40)
#define LVM_UPDATE (LVM_FIRST + 42)
#define LVM_SETITEMSTATE (LVM_FIRST + 43)
#define LVM_GETITEMSTATE (LVM_FIRST + 44)
#define LVM_SORTITEMS (LVM_FIRST + 48)
#define LVM_GETSELECTEDCOUNT (LVM_FIRST + 50)
#define LVM_SETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 54)
#define LVM_GETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 55)
#define LVM_GETSUBITEMRECT (LVM_FIRST + 56)
#define LVM_SUBITEMHITTEST (LVM_FIRST + 57)
#define LVM_GETSELECTIONMARK (LVM_FIRST + 66)
#define LVM_SETSELECTIONMARK (LVM_FIRST + 67)
#define LVM_GETITEMW (LVM_FIRST + 75)
#define LVM_SETITEMW (LVM_FIRST + 76)
#define LVM_INSERTITEMW (LVM_FIRST + 77)
#define LVM_GETCOLUMNW (LVM_FIRST + 95)
#define LVM_SETCOLUMNW (LVM_FIRST + 96)
#define LVM_INSERTCOLUMNW (LVM_FIRST + 97)
#define LVM_GETITEMTEXTW (LVM_FIRST + 115)
#define LVM_SETITEMTEXTW (LVM_FIRST + 116)
#define LVM_GETITEM LVM_GETITEMW
#define LVM_SETITEM LVM_SETITEMW
#define LVM_INSERTITEM LVM_INSERTITEMW
#define LVM_GETCOLUMN LVM_GETCOLUMNW
#define LVM_SETCOLUMN LVM_SETCOLUMNW
#define LVM_INSERTCOLUMN LVM_INSERTCOLUMNW
#define LVM_GETITEMTEXT LVM_GETITEMTEXTW
#define LVM_SETITEMTEXT LVM_SETITEMTEXTW

#define LVM_FINDITEMW (LVM_FIRST + 83)
#define LVM_FINDITEM LVM_FINDITEMW

#define LVFI_PARAM 0x0001
#define LVFI_STRING 0x0002
#define LVFI_PARTIAL 0x0008
#define LVFI_WRAP 0x0020

// An item text of LPSTR_TEXTCALLBACKW is refused (stored empty): this list view keeps its own texts.
#define LPSTR_TEXTCALLBACKW (reinterpret_cast<LPWSTR>(static_cast<LONG_PTR>(-1)))
#define I_IMAGENONE (-2)

#define LVN_ITEMCHANGING (LVN_FIRST - 0)
#define LVN_ITEMCHANGED (LVN_FIRST - 1)
#define LVN_INSERTITEM (LVN_FIRST - 2)
#define LVN_DELETEITEM (LVN_FIRST - 3)
#define LVN_DELETEALLITEMS (LVN_FIRST - 4)
#define LVN_ITEMACTIVATE (LVN_FIRST - 14)
#define LVN_KEYDOWN (LVN_FIRST - 55)

struct LVITEMW {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
    int iIndent;
};
using LVITEM = LVITEMW;
using LPLVITEMW = LVITEMW*;
using LPLVITEM = LVITEMW*;
using LV_ITEM = LVITEMW;

struct LVCOLUMNW {
    UINT mask;
    int fmt;
    int cx;
    LPWSTR pszText;
    int cchTextMax;
    int iSubItem;
    int iImage;
    int iOrder;
};
using LVCOLUMN = LVCOLUMNW;
using LPLVCOLUMNW = LVCOLUMNW*;
using LPLVCOLUMN = LVCOLUMNW*;
using LV_COLUMN = LVCOLUMNW;

struct LVFINDINFOW {
    UINT flags;
    LPCWSTR psz;
    LPARAM lParam;
    POINT pt;
    UINT vkDirection;
};
using LVFINDINFO = LVFINDINFOW;
using LPLVFINDINFOW = LVFINDINFOW*;

struct LVHITTESTINFO {
    POINT pt;
    UINT flags;
    int iItem;
    int iSubItem;
};
using LPLVHITTESTINFO = LVHITTESTINFO*;

struct NMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
};
using LPNMLISTVIEW = NMLISTVIEW*;
using NM_LISTVIEW = NMLISTVIEW;

// The record of NM_CLICK, NM_DBLCLK, NM_RCLICK and LVN_ITEMACTIVATE from a list view.
struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
    UINT uKeyFlags;
};
using LPNMITEMACTIVATE = NMITEMACTIVATE*;

struct NMLVKEYDOWN {
    NMHDR hdr;
    WORD wVKey;
    UINT flags;
};
using LPNMLVKEYDOWN = NMLVKEYDOWN*;

struct NMLVCUSTOMDRAW {
    NMCUSTOMDRAW nmcd;
    COLORREF clrText;
    COLORREF clrTextBk;
    int iSubItem;
};
using LPNMLVCUSTOMDRAW = NMLVCUSTOMDRAW*;

// LVM_SORTITEMS: the result is negative when the first item comes first, positive when the second
// does; lParam1 and lParam2 are the items' lParam values.
using PFNLVCOMPARE = int (*)(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

// ---------------------------------------------------------------------------------------------------
// Tree view.

#define WC_TREEVIEWW u"SysTreeView32"
#define WC_TREEVIEW WC_TREEVIEWW

#define TVS_HASBUTTONS 0x0001
#define TVS_HASLINES 0x0002
#define TVS_LINESATROOT 0x0004
#define TVS_EDITLABELS 0x0008
#define TVS_DISABLEDRAGDROP 0x0010
#define TVS_SHOWSELALWAYS 0x0020
#define TVS_CHECKBOXES 0x0100
#define TVS_TRACKSELECT 0x0200
#define TVS_SINGLEEXPAND 0x0400
#define TVS_FULLROWSELECT 0x1000

#define TVIF_TEXT 0x0001
#define TVIF_IMAGE 0x0002
#define TVIF_PARAM 0x0004
#define TVIF_STATE 0x0008
#define TVIF_HANDLE 0x0010
#define TVIF_SELECTEDIMAGE 0x0020
#define TVIF_CHILDREN 0x0040

#define TVIS_SELECTED 0x0002
#define TVIS_CUT 0x0004
#define TVIS_DROPHILITED 0x0008
#define TVIS_BOLD 0x0010
#define TVIS_EXPANDED 0x0020
#define TVIS_EXPANDEDONCE 0x0040

#define TVI_ROOT (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x10000)))
#define TVI_FIRST (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFF)))
#define TVI_LAST (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFE)))
#define TVI_SORT (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFD)))

#define TVGN_ROOT 0x0000
#define TVGN_NEXT 0x0001
#define TVGN_PREVIOUS 0x0002
#define TVGN_PARENT 0x0003
#define TVGN_CHILD 0x0004
#define TVGN_FIRSTVISIBLE 0x0005
#define TVGN_NEXTVISIBLE 0x0006
#define TVGN_PREVIOUSVISIBLE 0x0007
#define TVGN_DROPHILITE 0x0008
#define TVGN_CARET 0x0009
#define TVGN_LASTVISIBLE 0x000A

#define TVE_COLLAPSE 0x0001
#define TVE_EXPAND 0x0002
#define TVE_TOGGLE 0x0003
#define TVE_COLLAPSERESET 0x8000

#define TVC_UNKNOWN 0x0000
#define TVC_BYMOUSE 0x0001
#define TVC_BYKEYBOARD 0x0002

#define TVHT_NOWHERE 0x0001
#define TVHT_ONITEMICON 0x0002
#define TVHT_ONITEMLABEL 0x0004
#define TVHT_ONITEMINDENT 0x0008
#define TVHT_ONITEMBUTTON 0x0010
#define TVHT_ONITEMRIGHT 0x0020
#define TVHT_ONITEMSTATEICON 0x0040
#define TVHT_ONITEM (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)
#define TVHT_ABOVE 0x0100
#define TVHT_BELOW 0x0200

#define TVSIL_NORMAL 0
#define TVSIL_STATE 2

#define TV_FIRST 0x1100
#define TVM_DELETEITEM (TV_FIRST + 1)
#define TVM_EXPAND (TV_FIRST + 2)
#define TVM_GETITEMRECT (TV_FIRST + 4)
#define TVM_GETCOUNT (TV_FIRST + 5)
#define TVM_GETINDENT (TV_FIRST + 6)
#define TVM_SETINDENT (TV_FIRST + 7)
#define TVM_GETIMAGELIST (TV_FIRST + 8)
#define TVM_SETIMAGELIST (TV_FIRST + 9)
#define TVM_GETNEXTITEM (TV_FIRST + 10)
#define TVM_SELECTITEM (TV_FIRST + 11)
#define TVM_GETVISIBLECOUNT (TV_FIRST + 16)
#define TVM_HITTEST (TV_FIRST + 17)
#define TVM_ENSUREVISIBLE (TV_FIRST + 20)
#define TVM_SETITEMHEIGHT (TV_FIRST + 27)
#define TVM_GETITEMHEIGHT (TV_FIRST + 28)
#define TVM_INSERTITEMW (TV_FIRST + 50)
#define TVM_GETITEMW (TV_FIRST + 62)
#define TVM_SETITEMW (TV_FIRST + 63)
#define TVM_INSERTITEM TVM_INSERTITEMW
#define TVM_GETITEM TVM_GETITEMW
#define TVM_SETITEM TVM_SETITEMW

#define TVN_SELCHANGINGW (TVN_FIRST - 50)
#define TVN_SELCHANGEDW (TVN_FIRST - 51)
#define TVN_ITEMEXPANDINGW (TVN_FIRST - 54)
#define TVN_ITEMEXPANDEDW (TVN_FIRST - 55)
#define TVN_DELETEITEMW (TVN_FIRST - 58)
#define TVN_KEYDOWN (TVN_FIRST - 12)
#define TVN_SELCHANGING TVN_SELCHANGINGW
#define TVN_SELCHANGED TVN_SELCHANGEDW
#define TVN_ITEMEXPANDING TVN_ITEMEXPANDINGW
#define TVN_ITEMEXPANDED TVN_ITEMEXPANDEDW
#define TVN_DELETEITEM TVN_DELETEITEMW

struct TVITEMW {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
};
using TVITEM = TVITEMW;
using LPTVITEMW = TVITEMW*;
using LPTVITEM = TVITEMW*;
using TV_ITEM = TVITEMW;

struct TVINSERTSTRUCTW {
    HTREEITEM hParent;
    HTREEITEM hInsertAfter;
    TVITEMW item;
};
using TVINSERTSTRUCT = TVINSERTSTRUCTW;
using LPTVINSERTSTRUCTW = TVINSERTSTRUCTW*;
using LPTVINSERTSTRUCT = TVINSERTSTRUCTW*;

struct TVHITTESTINFO {
    POINT pt;
    UINT flags;
    HTREEITEM hItem;
};
using LPTVHITTESTINFO = TVHITTESTINFO*;

struct NMTREEVIEWW {
    NMHDR hdr;
    UINT action;
    TVITEMW itemOld;
    TVITEMW itemNew;
    POINT ptDrag;
};
using NMTREEVIEW = NMTREEVIEWW;
using LPNMTREEVIEWW = NMTREEVIEWW*;
using LPNMTREEVIEW = NMTREEVIEWW*;

struct NMTVKEYDOWN {
    NMHDR hdr;
    WORD wVKey;
    UINT flags;
};
using LPNMTVKEYDOWN = NMTVKEYDOWN*;

// ---------------------------------------------------------------------------------------------------
// Up-down control.

#define UPDOWN_CLASSW u"msctls_updown32"
#define UPDOWN_CLASS UPDOWN_CLASSW

#define UD_MAXVAL 0x7FFF
#define UD_MINVAL (-UD_MAXVAL)

#define UDS_WRAP 0x0001
#define UDS_SETBUDDYINT 0x0002
#define UDS_ALIGNRIGHT 0x0004
#define UDS_ALIGNLEFT 0x0008
#define UDS_AUTOBUDDY 0x0010
#define UDS_ARROWKEYS 0x0020
#define UDS_HORZ 0x0040
#define UDS_NOTHOUSANDS 0x0080

#define UDM_SETRANGE (WM_USER + 101)
#define UDM_GETRANGE (WM_USER + 102)
#define UDM_SETPOS (WM_USER + 103)
#define UDM_GETPOS (WM_USER + 104)
#define UDM_SETBUDDY (WM_USER + 105)
#define UDM_GETBUDDY (WM_USER + 106)
#define UDM_SETACCEL (WM_USER + 107)
#define UDM_GETACCEL (WM_USER + 108)
#define UDM_SETBASE (WM_USER + 109)
#define UDM_GETBASE (WM_USER + 110)
#define UDM_SETRANGE32 (WM_USER + 111)
#define UDM_GETRANGE32 (WM_USER + 112)
#define UDM_SETPOS32 (WM_USER + 113)
#define UDM_GETPOS32 (WM_USER + 114)

#define UDN_DELTAPOS (UDN_FIRST - 1)

struct UDACCEL {
    UINT nSec;
    UINT nInc;
};
using LPUDACCEL = UDACCEL*;

// UDN_DELTAPOS: iPos is the position before the change; a nonzero answer refuses it.
struct NMUPDOWN {
    NMHDR hdr;
    int iPos;
    int iDelta;
};
using LPNMUPDOWN = NMUPDOWN*;
using NM_UPDOWN = NMUPDOWN;

// ---------------------------------------------------------------------------------------------------
// Command bar: a bar of buttons (and a menu bar) across the top of its parent's client area, 26 pixels
// high. A tap on a button sends WM_COMMAND with its command id (lParam the bar) to the parent; a tap on
// a menu-bar item drops its popup down, and the chosen item reaches the parent as WM_COMMAND. Button
// images are taken with RGB(192, 192, 192) as their transparent colour.

#define TOOLBARCLASSNAMEW u"ToolbarWindow32"
#define TOOLBARCLASSNAME TOOLBARCLASSNAMEW

#define TBSTATE_CHECKED 0x01
#define TBSTATE_PRESSED 0x02
#define TBSTATE_ENABLED 0x04
#define TBSTATE_HIDDEN 0x08
#define TBSTYLE_BUTTON 0x00
#define TBSTYLE_SEP 0x01
#define TBSTYLE_CHECK 0x02
#define TBSTYLE_DROPDOWN 0x08

#define TB_ENABLEBUTTON (WM_USER + 1)
#define TB_PRESSBUTTON (WM_USER + 3)
#define TB_ISBUTTONENABLED (WM_USER + 9)
#define TB_ADDBITMAP (WM_USER + 19)
#define TB_ADDBUTTONSW (WM_USER + 20)
#define TB_GETBUTTON (WM_USER + 23)
#define TB_BUTTONCOUNT (WM_USER + 24)
#define TB_COMMANDTOINDEX (WM_USER + 25)
#define TB_GETITEMRECT (WM_USER + 29)
#define TB_BUTTONSTRUCTSIZE (WM_USER + 30)
#define TB_SETBUTTONSIZE (WM_USER + 31)
#define TB_SETBITMAPSIZE (WM_USER + 32)
#define TB_ADDBUTTONS TB_ADDBUTTONSW

struct TBBUTTON {
    int iBitmap;
    int idCommand;
    BYTE fsState;
    BYTE fsStyle;
    BYTE bReserved[6];
    DWORD_PTR dwData;
    INT_PTR iString;
};
using LPTBBUTTON = TBBUTTON*;
using LPCTBBUTTON = const TBBUTTON*;

struct TBADDBITMAP {
    HINSTANCE hInst;
    UINT_PTR nID;
};
using LPTBADDBITMAP = TBADDBITMAP*;

HWND CommandBar_Create(HINSTANCE hInst, HWND hwndParent, int idCmdBar);
// Adds the popups of the RT_MENU resource idMenu as menu-bar items before button iButton.
BOOL CommandBar_InsertMenubar(HWND hwndCB, HINSTANCE hInst, WORD idMenu, WORD iButton);
HMENU CommandBar_GetMenu(HWND hwndCB, WORD iButton);
// Adds iNumImages images of iImageWidth x iImageHeight from the RT_BITMAP resource idBitmap; the index
// of the first, -1 on an error.
int CommandBar_AddBitmap(HWND hwndCB, HINSTANCE hInst, int idBitmap, int iNumImages, int iImageWidth,
                         int iImageHeight);
BOOL CommandBar_AddButtons(HWND hwndCB, UINT uNumButtons, LPCTBBUTTON lpButtons);
BOOL CommandBar_InsertButton(HWND hwndCB, int iButton, LPCTBBUTTON lpButton);
int CommandBar_Height(HWND hwndCB);
BOOL CommandBar_Show(HWND hwndCB, BOOL fShow);
BOOL CommandBar_IsVisible(HWND hwndCB);
void CommandBar_Destroy(HWND hwndCB);
