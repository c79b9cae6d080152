#pragma once
// The handheld shell's services that need no window: special folders, shortcuts, the execute call, the
// New menu and opening a file through its type.

#include <string>
#include <vector>

#include "com/Unknown.h"
#include "crt/Types.h"

// Special folders.
#define CSIDL_PROGRAMS 0x0002
#define CSIDL_PERSONAL 0x0005
#define CSIDL_FAVORITES 0x0006
#define CSIDL_STARTUP 0x0007
#define CSIDL_RECENT 0x0008
#define CSIDL_STARTMENU 0x000B
#define CSIDL_DESKTOPDIRECTORY 0x0010
#define CSIDL_FONTS 0x0014
#define CSIDL_WINDOWS 0x0024
#define CSIDL_PROGRAM_FILES 0x0026

// The device path of a special folder ("\Windows\StartUp" for CSIDL_STARTUP) into a buffer of MAX_PATH
// units; the folder is made when create is TRUE. FALSE for an unknown folder.
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);

// Writes a shortcut in the handheld's format: the 8-bit text "<length>#<target>", the length being the
// target's number of characters. The target is a command line (a quoted program path and arguments).
BOOL SHCreateShortcut(LPWSTR shortcutFile, LPWSTR target);
// Reads a shortcut's target into a buffer of maxUnits units.
BOOL SHGetShortcutTarget(LPCWSTR shortcutFile, LPWSTR target, int maxUnits);

#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_FLAG_NO_UI 0x00000400
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

struct SHELLEXECUTEINFO {
    DWORD cbSize; // sizeof(SHELLEXECUTEINFO)
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp; // > 32 on success, as the handheld reports it
    LPVOID lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess; // with SEE_MASK_NOCLOSEPROCESS
};
using LPSHELLEXECUTEINFO = SHELLEXECUTEINFO*;

// Starts a program of the device with its parameters, or opens a document with the Shell\Open\Command
// of its type (HKEY_CLASSES_ROOT\.ext names the type; "%1" in the command is replaced by the path).
// The program is resolved like CreateProcessW's. FALSE with the last error when nothing could be
// started (ERROR_NO_ASSOCIATION for a document type without an open command).
BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info);

namespace shell {

// An enabled entry of the New menu: its class and its text.
struct NewMenuEntry {
    CLSID clsid;
    std::u16string text;
};

// The entries under HKLM\SOFTWARE\Microsoft\Shell\Extensions\NewMenu whose "Enabled" value is 1.
std::vector<NewMenuEntry> NewMenuEntries();
// What the shell does when the user chooses an entry: creates the registered object and lets it go.
HRESULT ChooseNewMenuEntry(REFCLSID clsid);

} // namespace shell
