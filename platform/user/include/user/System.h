#pragma once
// System metrics and parameters, cursors and the key state.
//
// What a caller may rely on:
// - The screen metrics are the screen's size (240 x 320 unless FERROVANE_SCREEN_SIZE, "WxH", or the test
//   surface says otherwise). The work area is the screen below the 26-pixel task bar until
//   SystemParametersInfoW(SPI_SETWORKAREA) changes it.
// - There is no mouse pointer: the arrow cursor draws nothing. The wait cursor (IDC_WAIT) is drawn in the
//   middle of the screen at once when it is set, and the screen under it comes back when another cursor
//   is set.

#include "crt/Types.h"

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CYMENU 15
#define SM_CXFULLSCREEN 16
#define SM_CYFULLSCREEN 17
#define SM_CYVSCROLL 20
#define SM_CXHSCROLL 21
#define SM_CXDOUBLECLK 36
#define SM_CYDOUBLECLK 37
#define SM_CXFIXEDFRAME SM_CXDLGFRAME
#define SM_CYFIXEDFRAME SM_CYDLGFRAME
#define SM_CXEDGE 45
#define SM_CYEDGE 46
#define SM_CXSMICON 49
#define SM_CYSMICON 50
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79

#define SPI_SETWORKAREA 47
#define SPI_GETWORKAREA 48

#define IDC_ARROW MAKEINTRESOURCE(32512)
#define IDC_IBEAM MAKEINTRESOURCE(32513)
#define IDC_WAIT MAKEINTRESOURCE(32514)
#define IDC_CROSS MAKEINTRESOURCE(32515)
#define IDC_APPSTARTING MAKEINTRESOURCE(32650)

int GetSystemMetrics(int nIndex);
// SPI_GETWORKAREA and SPI_SETWORKAREA (pvParam is a RECT*); FALSE with ERROR_INVALID_PARAMETER for
// anything else.
BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);
UINT GetDoubleClickTime();

// The system cursors (hInstance NULL); NULL with ERROR_RESOURCE_NAME_NOT_FOUND for any other.
HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName);
// The previous cursor. NULL hides the cursor.
HCURSOR SetCursor(HCURSOR hCursor);
HCURSOR GetCursor();

// The state of a key as the messages taken so far left it: the high bit set while it is down.
SHORT GetKeyState(int nVirtKey);
SHORT GetAsyncKeyState(int vKey);
