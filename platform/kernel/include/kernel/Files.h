#pragma once
// Files, folders, attributes and searches on device paths, with the handheld's results: FALSE, NULL,
// INVALID_HANDLE_VALUE or the documented invalid value, and the reason in GetLastError. Paths follow the
// rules of DeviceRoot.h; a path below a mounted volume goes to that volume (Volume.h).
//
// Share modes hold across handles of the whole device: an open whose access another open does not share,
// or that refuses to share an access another open has, fails with ERROR_SHARING_VIOLATION, also when the
// other open is in another process of the same device root. A handle opened with access 0 only queries
// and takes part in no share check. A file that is open (or mapped) cannot be deleted or moved
// (ERROR_SHARING_VIOLATION). A read-only file refuses writing opens and deletion (ERROR_ACCESS_DENIED).
// Handles are closed with CloseHandle, searches with FindClose.

#include "crt/Types.h"

#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L

#define FILE_SHARE_READ 0x00000001L
#define FILE_SHARE_WRITE 0x00000002L

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001L
#define FILE_ATTRIBUTE_HIDDEN 0x00000002L
#define FILE_ATTRIBUTE_SYSTEM 0x00000004L
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010L
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020L
#define FILE_ATTRIBUTE_NORMAL 0x00000080L
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100L
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFL

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFL
#define INVALID_FILE_SIZE 0xFFFFFFFFL

// Accepted in lpOverlapped and ignored: the handheld has no overlapped file I/O.
struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

// The handheld's find record, dwOID included (0 here).
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
using PWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
static_assert(sizeof(WIN32_FIND_DATAW) == 560, "the handheld's layout");

// Dispositions as the handheld has them. An existing file opened with CREATE_ALWAYS or OPEN_ALWAYS
// succeeds with last error ERROR_ALREADY_EXISTS (0 otherwise); CREATE_NEW of an existing file fails with
// ERROR_FILE_EXISTS; a folder cannot be opened (ERROR_ACCESS_DENIED). Attributes in dwFlagsAndAttributes
// apply to a file that is created (and to an existing one that CREATE_ALWAYS replaces); flags are ignored.
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
// At the end of the file a read succeeds with 0 bytes. The count pointers may be NULL.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped);
// Without distanceHigh the distance is a signed 32-bit value and the new position must fit in 32 bits;
// with it, both form a signed 64-bit distance and *distanceHigh receives the new position's high word.
// Returns the position's low word and sets the last error to 0, or INVALID_SET_FILE_POINTER with
// ERROR_NEGATIVE_SEEK (before the start) or ERROR_INVALID_PARAMETER; the position is then unchanged.
DWORD SetFilePointer(HANDLE file, LONG distanceToMove, PLONG distanceToMoveHigh, DWORD moveMethod);
// Cuts or extends the file at the file pointer; refused while a mapping of the file reaches past it.
BOOL SetEndOfFile(HANDLE file);
// The size's low word (the last error 0), or INVALID_FILE_SIZE with the error; fileSizeHigh may be NULL.
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
BOOL GetFileTime(HANDLE file, LPFILETIME creationTime, LPFILETIME lastAccessTime, LPFILETIME lastWriteTime);
// Needs GENERIC_WRITE; NULL times stay as they are.
BOOL SetFileTime(HANDLE file, const FILETIME* creationTime, const FILETIME* lastAccessTime,
                 const FILETIME* lastWriteTime);
BOOL FlushFileBuffers(HANDLE file);

BOOL DeleteFileW(LPCWSTR fileName);
// Renames a file or folder; ERROR_ALREADY_EXISTS when the new name exists. A file moves to another volume
// by copy and delete; a folder does not (ERROR_ACCESS_DENIED).
BOOL MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName);
// Copies content, attributes and last write time; with failIfExists an existing target gives
// ERROR_FILE_EXISTS.
BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR pathName);

// FILE_ATTRIBUTE_DIRECTORY for folders, the stored read-only, hidden, system and archive bits, and
// FILE_ATTRIBUTE_NORMAL when none applies; INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND.
DWORD GetFileAttributesW(LPCWSTR fileName);
// Stores the read-only, hidden, system and archive bits (FILE_ATTRIBUTE_NORMAL alone clears them); other
// bits are ignored. Fails for a missing file, which makes it an existence check.
BOOL SetFileAttributesW(LPCWSTR fileName, DWORD fileAttributes);

// '*' and '?' in the last component, matched case-insensitively ("*.*" matches every name); "." and ".."
// are never listed; entries come in case-insensitive name order. No match in an existing folder gives
// ERROR_NO_MORE_FILES (also for a plain name), a missing folder ERROR_PATH_NOT_FOUND.
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE findFile);

namespace kernel {
// How many times a host file of the object store was written through to its storage (FlushFileBuffers)
// in this process, for tests that check that a flush reached the file.
size_t HostFileFlushCount();
} // namespace kernel
