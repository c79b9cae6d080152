#pragma once
// The standard controls: styles, messages and notifications of the BUTTON, STATIC, EDIT, LISTBOX and
// COMBOBOX classes, and the scroll bars of windows. (The button messages, BN_CLICKED and the BS_ types are
// in user/Dialog.h, which the dialog manager shares.)
//
// What a caller may rely on:
// - The classes exist from the start of every process; dialog templates name them by name or by the
//   ordinals 0x80 (BUTTON), 0x81 (EDIT), 0x82 (STATIC), 0x83 (LISTBOX), 0x85 (COMBOBOX).
// - Controls notify their parent with WM_COMMAND (the control id in the low word of wParam, the code in
//   the high word, the control in lParam), sent synchronously, and ask it for their colours with
//   WM_CTLCOLORBTN (push buttons, which then draw in the system colours), WM_CTLCOLORSTATIC (check boxes,
//   radio buttons, statics, read-only and disabled edits), WM_CTLCOLOREDIT and WM_CTLCOLORLISTBOX.
// - A control reads its selection style (LBS_MULTIPLESEL, LBS_EXTENDEDSEL, LBS_NOSEL, LBS_SORT,
//   LBS_NOTIFY, ES_MULTILINE, CBS_DROPDOWN...) when it is created; changing those bits afterwards changes
//   nothing. ES_READONLY and ES_PASSWORD follow the style (EM_SETREADONLY and EM_SETPASSWORDCHAR set it).
// - Messages with a bad index answer LB_ERR / CB_ERR; a NULL buffer where a message writes or reads text
//   answers LB_ERR / CB_ERR (EM_REPLACESEL with NULL changes nothing). No message writes past the end of
//   a buffer whose size it is given.
// - Scroll bars: the list box, the multi-line edit and the combo box's list draw their own bars inside
//   their client area, and send WM_VSCROLL / WM_HSCROLL to themselves when the bar is used, as a
//   window's own scroll bars do. SetScrollInfo and its companions work on any window and keep the values
//   per window; only the standard controls draw them.

#include "crt/Types.h"
#include "user/Dialog.h"
#include "user/Messages.h"
#include "user/Window.h"

// --- buttons -------------------------------------------------------------------------------------------

// BM_* messages, BST_* states and the BS_* types are in user/Dialog.h.

// --- statics ------------------------------------------------------------------------------------------

#define SS_LEFT 0x00000000L
#define SS_CENTER 0x00000001L
#define SS_RIGHT 0x00000002L
#define SS_SIMPLE 0x0000000BL
#define SS_LEFTNOWORDWRAP 0x0000000CL
#define SS_TYPEMASK 0x0000001FL
#define SS_NOPREFIX 0x00000080L
#define SS_CENTERIMAGE 0x00000200L

// --- edits --------------------------------------------------------------------------------------------

#define ES_LEFT 0x0000L
#define ES_MULTILINE 0x0004L
#define ES_PASSWORD 0x0020L
#define ES_AUTOVSCROLL 0x0040L
#define ES_AUTOHSCROLL 0x0080L
#define ES_NOHIDESEL 0x0100L
#define ES_READONLY 0x0800L
#define ES_WANTRETURN 0x1000L
#define ES_NUMBER 0x2000L

// wParam and lParam of EM_GETSEL may be NULL or point to DWORDs that receive the start and the end;
// the result holds the start in its low word and the end in its high word.
#define EM_GETSEL 0x00B0
// Anchor in wParam, caret in lParam: -1 as the anchor removes the selection, a negative caret is the end
// of the text; both are clamped to the text.
#define EM_SETSEL 0x00B1
#define EM_SCROLLCARET 0x00B7
#define EM_GETLINECOUNT 0x00BA
// lParam is the replacement text (NUL-terminated); it is cut to the limit.
#define EM_REPLACESEL 0x00C2
// 0 sets the largest limit.
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_SETPASSWORDCHAR 0x00CC
// The first visible line of a multi-line edit, the first visible character of a single-line one.
#define EM_GETFIRSTVISIBLELINE 0x00CE
#define EM_SETREADONLY 0x00CF
#define EM_GETPASSWORDCHAR 0x00D2
#define EM_GETLIMITTEXT 0x00D5

#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define EN_MAXTEXT 0x0501

// --- list boxes ---------------------------------------------------------------------------------------

#define LBS_NOTIFY 0x0001L
#define LBS_SORT 0x0002L
#define LBS_MULTIPLESEL 0x0008L
#define LBS_HASSTRINGS 0x0040L
#define LBS_NOINTEGRALHEIGHT 0x0100L
#define LBS_EXTENDEDSEL 0x0800L
#define LBS_DISABLENOSCROLL 0x1000L
#define LBS_NOSEL 0x4000L
#define LBS_STANDARD (LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER)

#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)

#define LB_ADDSTRING 0x0180
#define LB_INSERTSTRING 0x0181
#define LB_DELETESTRING 0x0182
#define LB_RESETCONTENT 0x0184
#define LB_SETSEL 0x0185
#define LB_SETCURSEL 0x0186
#define LB_GETSEL 0x0187
#define LB_GETCURSEL 0x0188
// The buffer must hold LB_GETTEXTLEN + 1 units.
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_GETTOPINDEX 0x018E
#define LB_FINDSTRING 0x018F
#define LB_GETSELCOUNT 0x0190
#define LB_GETSELITEMS 0x0191
#define LB_SETTOPINDEX 0x0197
#define LB_GETITEMRECT 0x0198
#define LB_GETITEMDATA 0x0199
#define LB_SETITEMDATA 0x019A
#define LB_GETCARETINDEX 0x019F
#define LB_SETITEMHEIGHT 0x01A0
#define LB_GETITEMHEIGHT 0x01A1
#define LB_FINDSTRINGEXACT 0x01A2
// The nearest item in the low word; the high word is 1 when the point is outside the client area.
#define LB_ITEMFROMPOINT 0x01A9

#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2
#define LBN_SETFOCUS 4
#define LBN_KILLFOCUS 5

// --- combo boxes --------------------------------------------------------------------------------------

#define CBS_DROPDOWN 0x0002L
#define CBS_DROPDOWNLIST 0x0003L
#define CBS_AUTOHSCROLL 0x0040L
#define CBS_SORT 0x0100L
#define CBS_HASSTRINGS 0x0200L

#define CB_OKAY 0
#define CB_ERR (-1)
#define CB_ERRSPACE (-2)

#define CB_LIMITTEXT 0x0141
#define CB_ADDSTRING 0x0143
#define CB_DELETESTRING 0x0144
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_INSERTSTRING 0x014A
#define CB_RESETCONTENT 0x014B
#define CB_FINDSTRING 0x014C
#define CB_SETCURSEL 0x014E
#define CB_SHOWDROPDOWN 0x014F
#define CB_GETITEMDATA 0x0150
#define CB_SETITEMDATA 0x0151
#define CB_GETDROPPEDSTATE 0x0157
#define CB_FINDSTRINGEXACT 0x0158

#define CBN_SELCHANGE 1
#define CBN_SETFOCUS 3
#define CBN_KILLFOCUS 4
#define CBN_EDITCHANGE 5
#define CBN_EDITUPDATE 6
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8

// --- scroll bars --------------------------------------------------------------------------------------

#define SB_HORZ 0
#define SB_VERT 1

#define SIF_RANGE 0x0001
#define SIF_PAGE 0x0002
#define SIF_POS 0x0004
#define SIF_DISABLENOSCROLL 0x0008
#define SIF_TRACKPOS 0x0010
#define SIF_ALL (SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS)

#ifndef ERROR_NO_SCROLLBARS
#define ERROR_NO_SCROLLBARS 1447L
#endif

struct SCROLLINFO {
    UINT cbSize;
    UINT fMask;
    int nMin;
    int nMax;
    UINT nPage;
    int nPos;
    int nTrackPos;
};
using LPSCROLLINFO = SCROLLINFO*;
using LPCSCROLLINFO = const SCROLLINFO*;

// The values are kept as the platform keeps them: the page is at most the range, the position between
// nMin and nMax - max(nPage - 1, 0). A bar whose range fits in its page is hidden unless the values
// were set with SIF_DISABLENOSCROLL (then it is shown disabled). cbSize must be sizeof(SCROLLINFO)
// (ERROR_INVALID_PARAMETER otherwise); GetScrollInfo fails with ERROR_NO_SCROLLBARS for a window that
// has neither the style nor values of that bar. SetScrollInfo answers the new position.
int SetScrollInfo(HWND hwnd, int nBar, LPCSCROLLINFO lpsi, BOOL redraw);
BOOL GetScrollInfo(HWND hwnd, int nBar, LPSCROLLINFO lpsi);
// The previous position.
int SetScrollPos(HWND hWnd, int nBar, int nPos, BOOL bRedraw);
int GetScrollPos(HWND hWnd, int nBar);
BOOL SetScrollRange(HWND hWnd, int nBar, int nMinPos, int nMaxPos, BOOL bRedraw);
BOOL GetScrollRange(HWND hWnd, int nBar, int* lpMinPos, int* lpMaxPos);
