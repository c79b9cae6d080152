#pragma once
// Free and total space: of the object store (the host file system that holds the device root), or of the
// volume that serves a path.

#include "crt/Types.h"

struct STORE_INFORMATION {
    DWORD dwStoreSize;
    DWORD dwFreeSize;
};
using LPSTORE_INFORMATION = STORE_INFORMATION*;


// The object store's total and free bytes, each clamped to 0xFFFFFFFF.
BOOL GetStoreInformation(LPSTORE_INFORMATION storeInformation);
// For the folder of any device path (NULL: the root); each output may be NULL. The free bytes available to
// the caller and the total free bytes are the same here.
BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailableToCaller,
                         PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes);
