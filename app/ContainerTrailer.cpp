#include "ContainerTrailer.h"

#include <algorithm>

#include "crt/Convert.h"
#include "kernel/Files.h"

bool ReadAt(HANDLE file, LONG offset, DWORD method, void* bytes, DWORD length) {
    DWORD read = 0;
    return SetFilePointer(file, offset, nullptr, method) != INVALID_SET_FILE_POINTER &&
           ReadFile(file, bytes, length, &read, nullptr) && read == length;
}

AesKeySchedule DataKeyDecryption(const char16_t* password, const uint8_t keyBlock[kKeyBlockSize]) {
    uint8_t passwordKey[16];
    uint8_t dataKey[16];
    DerivePasswordKey(password, kContainerTextUnits, passwordKey);
    UnwrapDataKey(passwordKey, keyBlock, dataKey);
    AesKeySchedule schedule{};
    AesSetDecryptKey128(dataKey, &schedule);
    return schedule;
}

CString NameBlockText(const uint8_t block[kNameBlockSize]) {
    // One more byte than the block holds ends the 8-bit text at the latest there.
    char bytes[kNameBlockSize + 1] = {};
    std::copy_n(reinterpret_cast<const char*>(block), kNameBlockSize, bytes);
    WCHAR text[kNameBlockSize + 1] = {};
    if (block[1] != 0) {
        mbstowcs(text, bytes, kNameBlockSize);
    } else {
        for (uint32_t k = 0; k < kNameBlockSize / 2 && block[2 * k] != 0; ++k)
            text[k] = block[2 * k];
    }
    return CString(text);
}
