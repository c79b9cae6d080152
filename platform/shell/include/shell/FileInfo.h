#pragma once
// File information and the system icon list.
//
// What a caller may rely on:
// - The system icon list holds the file icon at index 0, the folder icon at index 1, then the icon of each
//   file type (the default value of HKEY_CLASSES_ROOT\<type>\DefaultIcon, "module,-id", id an icon
//   resource of the module) from the first time a file of that type is asked for. A module is found when
//   it is the program itself or a library that this process has loaded; a type whose icon cannot be
//   loaded shows the file icon. Indices never change while the process runs.
// - SHGFI_SYSICONINDEX gives the index in iIcon and returns the system image list (16 or 32 pixels, with
//   masks) as the result. The list is the shell's: callers never destroy it. It is made on its first use
//   and holds its bitmaps (GDI objects) from then to the end of the process.
// - SHGFI_USEFILEATTRIBUTES takes the kind from dwFileAttributes (FILE_ATTRIBUTE_DIRECTORY: a folder) and
//   never touches the file; without it the file's attributes are read (failing with the file call's
//   error). SHGFI_ICON gives a new icon in hIcon that the caller destroys; SHGFI_DISPLAYNAME the name after
//   the last '\'.

#include "crt/Types.h"

#define SHGFI_LARGEICON 0x00000000
#define SHGFI_SMALLICON 0x00000001
#define SHGFI_USEFILEATTRIBUTES 0x00000010
#define SHGFI_ICON 0x00000100
#define SHGFI_DISPLAYNAME 0x00000200
#define SHGFI_SYSICONINDEX 0x00004000

struct SHFILEINFO {
    HICON hIcon;
    int iIcon;
    DWORD dwAttributes;
    WCHAR szDisplayName[MAX_PATH];
    WCHAR szTypeName[80];
};

// 0 with the last error on failure (ERROR_INVALID_PARAMETER for other flags, a NULL path, or a record
// size other than sizeof(SHFILEINFO)); otherwise the system list with SHGFI_SYSICONINDEX, else 1. psfi
// may be NULL only with SHGFI_SYSICONINDEX alone.
DWORD_PTR SHGetFileInfo(LPCWSTR pszPath, DWORD dwFileAttributes, SHFILEINFO* psfi, UINT cbFileInfo,
                        UINT uFlags);

namespace shell {

inline constexpr int kFileIconIndex = 0;
inline constexpr int kFolderIconIndex = 1;

// An icon of the system list (16 or 32 pixels), owned by the list; NULL for an index it does not have.
HICON SystemIcon(int index, bool small);
int SystemIconCount();

} // namespace shell
