#pragma once
// The device's registry: three roots of keys holding typed values, shared by every process of the device
// root. It lives in the root's "registry" text file; each change is a read-modify-write of that file under
// a lock, written to a temporary file and renamed into place, so concurrent writers lose nothing and a
// writer that dies mid-write leaves the previous registry intact. Every call sees the latest writes of
// every process. Key and value names compare case-insensitively and keep the case they were created
// with. Values keep exactly the type and bytes they were set with. Results are the handheld's codes
// (LONG, ERROR_SUCCESS on success); the calls do not touch the last error.
//
// A key handle names its key by path: once the key (or one above it) is deleted, calls through the handle
// fail with ERROR_KEY_DELETED. Key names are at most 255 units and may not be empty; value names are at
// most 255 units. Access masks and options are accepted and not enforced, as on the handheld.

#include "crt/Types.h"

using REGSAM = DWORD;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

// Creates the key and any missing keys above it, or opens it when it exists (disposition
// REG_OPENED_EXISTING_KEY). A NULL or empty subkey opens hKey's own key.
LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPCWSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);
// ERROR_FILE_NOT_FOUND when the key does not exist.
LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCloseKey(HKEY hKey);
// Writes the registry file through to the disk.
LONG RegFlushKey(HKEY hKey);

// A NULL or empty name is the key's default value. cbData bytes of lpData are stored as given.
LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
// lpData NULL with lpcbData set asks for the size; a buffer that is too small gives ERROR_MORE_DATA with
// the size needed in *lpcbData and leaves the buffer untouched. ERROR_FILE_NOT_FOUND for a missing value.
LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);
LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Deletes the subkey together with every key below it.
LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);

// Subkeys and values are enumerated in the order they were created; ERROR_NO_MORE_ITEMS past the last.
// *lpcchName holds the buffer's size in units (terminator included) and receives the name's length
// (without it); a name that does not fit gives ERROR_MORE_DATA. Keys have no class (an empty one is
// returned) and a zero last-write time.
LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPWSTR lpClass, LPDWORD lpcchClass, FILETIME* lpftLastWriteTime);
// As RegEnumKeyExW for the name; the data follows RegQueryValueExW's rules.
LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
