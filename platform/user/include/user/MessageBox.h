#pragma once
// MessageBoxW and its record. Every box is recorded (text, caption, flags). A handler, when one is set,
// answers the box at once without showing anything; otherwise the box is a modal dialog on the screen:
// the caption ("Error" when none is given), the text in lines (broken at "\n" and where it does not fit),
// an icon for the MB_ICON* flags, and the buttons of the MB_* type (the MB_DEFBUTTON* one is the default
// and has the focus). Enter presses the default button, Escape answers Cancel (OK in an OK-only box,
// nothing in a Yes/No box); the owner is disabled while the box runs. Tests answer shown boxes through
// user/TestSurface.h.

#include <functional>
#include <string>
#include <vector>

#include "crt/Types.h"

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONHAND 0x00000010L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_APPLMODAL 0x00000000L
#define MB_SETFOREGROUND 0x00010000L
#define MB_TOPMOST 0x00040000L

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

namespace user {

struct MessageBoxRecord {
    std::u16string text;
    std::u16string caption;
    UINT type = 0;
};

// Answers each box; returns the button id.
using MessageBoxHandler = std::function<int(const MessageBoxRecord&)>;
// Replaces the handler (an empty one restores the default answer); returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
// The boxes shown since the last call, oldest first; clears the record.
std::vector<MessageBoxRecord> TakeShownMessageBoxes();

} // namespace user
