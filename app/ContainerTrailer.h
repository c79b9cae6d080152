#pragma once
// Reading a container file's trailer as the program does it: bytes at a place of the file, the data key
// that a password unwraps, and the folder name the container keeps.

#include <cstdint>

#include "Aes.h"
#include "ContainerFormat.h"
#include "classlib/String.h"
#include "crt/Types.h"

// length bytes at offset from the place that method names (FILE_BEGIN, FILE_END); false unless all came.
bool ReadAt(HANDLE file, LONG offset, DWORD method, void* bytes, DWORD length);

// The decryption schedule of the data key that the password's key unwraps from the key block.
AesKeySchedule DataKeyDecryption(const char16_t* password, const uint8_t keyBlock[kKeyBlockSize]);

// The folder name of a decrypted name block: 8-bit text up to its first zero byte, or, when the second
// byte is 0, UTF-16LE of which only the low bytes count.
CString NameBlockText(const uint8_t block[kNameBlockSize]);
