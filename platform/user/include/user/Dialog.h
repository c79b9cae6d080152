#pragma once
// Dialogs, their templates and the dialog manager.
//
// What a caller may rely on:
// - Templates are the platform's binary DLGTEMPLATE layout (DLGTEMPLATEEX is refused with
//   ERROR_INVALID_PARAMETER): a program declares them as C++ tables with user::DialogTemplateBytes
//   (user/DialogTemplate.h) and registers them as RT_DIALOG resources, or builds them in memory.
// - Dialog units follow the template's font (DS_SETFONT; else the system font): a horizontal unit is a
//   quarter of the font's average character width (the width of "A".."Z""a".."z" over 52, rounded), a
//   vertical unit an eighth of its height. The template gives the client area; the frame comes on top.
// - A dialog's controls are created in template order; a control that cannot be created makes the dialog
//   fail unless the template has DS_NOFAILCREATE. The dialog's font (the one it creates for DS_SETFONT,
//   deleted with the dialog) is sent to each control with WM_SETFONT and to the dialog procedure before
//   WM_INITDIALOG. WM_INITDIALOG gets the first tab stop in wParam; when it answers TRUE that control
//   gets the focus.
// - DialogBox*: the owner (its top-level window) is disabled while the dialog runs and enabled again
//   before the dialog is destroyed. A dialog ended during WM_INITDIALOG is never shown and runs no loop;
//   otherwise it is shown, even when its initialisation hid it. The loop runs the dialog manager on every
//   message for the dialog. Nested modal dialogs each run their own loop; timers of the outer dialogs go
//   on firing. WM_QUIT ends the loop and is posted again for the loop outside. The first EndDialog
//   decides the result: later calls change nothing.
// - The dialog manager (IsDialogMessageW) sends WM_GETDLGCODE to the focus control with the key in wParam
//   and the message in lParam, for WM_KEYDOWN and WM_CHAR. Without DLGC_WANTMESSAGE: Tab and Shift+Tab
//   (unless DLGC_WANTTAB) move to the next or previous tab stop; the arrows (unless DLGC_WANTARROWS) move
//   within the group (a radio button reached is clicked); Enter clicks the focused push button with
//   BM_CLICK, or else sends WM_COMMAND for the default button (DM_GETDEFID) or IDOK; Escape sends
//   WM_COMMAND IDCANCEL; a WM_CHAR that the control does not want (DLGC_WANTCHARS) is dropped. Every
//   other message for the dialog is translated and dispatched. Disabled targets are not clicked.
// - DefDlgProcW: a dialog procedure's TRUE makes DWLP_MSGRESULT the result (the procedure's own value
//   for WM_INITDIALOG, WM_CTLCOLOR*, WM_COMPAREITEM, WM_VKEYTOITEM, WM_CHARTOITEM, WM_QUERYDRAGICON);
//   WM_CLOSE posts WM_COMMAND IDCANCEL; WM_ERASEBKGND paints with the brush that WM_CTLCOLORDLG answers
//   (COLOR_STATIC by default); the focus control is kept over deactivation.

#include <cstdint>

#include "crt/Types.h"
#include "user/MessageBox.h"
#include "user/Messages.h"

#ifndef ERROR_CONTROL_ID_NOT_FOUND
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#endif

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// Dialog styles.
#define DS_ABSALIGN 0x01L
#define DS_SYSMODAL 0x02L
#define DS_LOCALEDIT 0x20L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_NOIDLEMSG 0x100L
#define DS_SETFOREGROUND 0x200L
#define DS_3DLOOK 0x0004L
#define DS_FIXEDSYS 0x0008L
#define DS_NOFAILCREATE 0x0010L
#define DS_CONTROL 0x0400L
#define DS_CENTER 0x0800L
#define DS_CENTERMOUSE 0x1000L
#define DS_CONTEXTHELP 0x2000L
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

// Window data of dialogs (GetWindowLongPtrW).
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16
#define DLGWINDOWEXTRA 24

// WM_GETDLGCODE answers.
#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_HASSETSEL 0x0008
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DLGC_BUTTON 0x2000

// Dialog messages.
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B
#define WM_NEXTDLGCTL 0x0028

// Button messages, notifications and styles that the dialog manager and the dialog calls use.
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_SETSTYLE 0x00F4
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BST_INDETERMINATE 0x0002
#define BST_PUSHED 0x0004
#define BST_FOCUS 0x0008
#define BN_CLICKED 0
#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_CHECKBOX 0x00000002L
#define BS_AUTOCHECKBOX 0x00000003L
#define BS_RADIOBUTTON 0x00000004L
#define BS_3STATE 0x00000005L
#define BS_AUTO3STATE 0x00000006L
#define BS_GROUPBOX 0x00000007L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_OWNERDRAW 0x0000000BL
#define BS_TYPEMASK 0x0000000FL

// The standard dialog class.
#define WC_DIALOG (reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(0x8002)))

#pragma pack(push, 2)
struct DLGTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit;
    short x;
    short y;
    short cx;
    short cy;
};
struct DLGITEMTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    short x;
    short y;
    short cx;
    short cy;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(DLGTEMPLATE) == 18);
static_assert(sizeof(DLGITEMTEMPLATE) == 18);
using LPCDLGTEMPLATEW = const DLGTEMPLATE*;
using LPCDLGTEMPLATE = const DLGTEMPLATE*;
using LPDLGTEMPLATEW = DLGTEMPLATE*;

// Modeless dialogs. NULL with ERROR_INVALID_PARAMETER for a malformed template, ERROR_RESOURCE_*
// errors for one that is not found.
HWND CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam);
HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam);
// Modal dialogs: the value given to EndDialog, or -1 when the dialog could not be created.
INT_PTR DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam);
INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam);
// Ends a modal dialog's loop (the dialog is destroyed when its loop returns); hides a modeless dialog.
BOOL EndDialog(HWND hDlg, INT_PTR nResult);
LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg);
// Dialog units to pixels of the dialog's font.
BOOL MapDialogRect(HWND hDlg, LPRECT lpRect);
// The system font's base units: the horizontal in the low word, the vertical in the high word.
LONG GetDialogBaseUnits();

// Controls of a dialog.
HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
int GetDlgCtrlID(HWND hWnd);
LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax);
BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned);
// The number in the control's text (blanks before it allowed, a '-' when signed); *lpTranslated FALSE
// and 0 for anything else or a number out of range.
UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned);
BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck);
UINT IsDlgButtonChecked(HWND hDlg, int nIDButton);
// Checks nIDCheckButton and clears every other button from nIDFirstButton to nIDLastButton.
BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton);
// The next (or previous) visible, enabled control with WS_TABSTOP after hCtl among the dialog's
// children, wrapping; the first (or last) for NULL; hCtl itself when no other qualifies.
HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious);
// The same within hCtl's group: from a WS_GROUP control up to the next one.
HWND GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious);
