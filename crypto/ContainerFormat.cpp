#include "ContainerFormat.h"

#include <cstring>

#include "AesEngine.h"
#include "Md5.h"

void EncryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, uint32_t length) {
    AesEncryptBlocks(ActiveAesEngine(), schedule, in, out, length);
}

void DecryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, uint32_t length) {
    AesDecryptBlocks(ActiveAesEngine(), schedule, in, out, length);
}

void DerivePasswordKey(const char16_t* password, uint32_t maxUnits, uint8_t key[16]) {
    Md5Context context;
    Md5Init(&context);
    // Fed a unit at a time as its two little-endian bytes, whatever the host's byte order.
    for (uint32_t i = 0; i < maxUnits && password[i] != 0; ++i) {
        uint8_t bytes[2] = {static_cast<uint8_t>(password[i]), static_cast<uint8_t>(password[i] >> 8)};
        Md5Update(&context, bytes, 2);
    }
    Md5Final(key, &context);
}

void UnwrapDataKey(const uint8_t passwordKey[16], const uint8_t keyBlock[16], uint8_t dataKey[16]) {
    AesKeySchedule schedule;
    AesSetDecryptKey128(passwordKey, &schedule);
    AesDecryptBlock(keyBlock, dataKey, &schedule);
}

void WrapDataKey(const uint8_t passwordKey[16], const uint8_t dataKey[16], uint8_t keyBlock[16]) {
    AesKeySchedule schedule;
    AesSetEncryptKey128(passwordKey, &schedule);
    AesEncryptBlock(dataKey, keyBlock, &schedule);
}

void MakeNameBlockText(const char16_t* folderName, uint32_t maxUnits, uint8_t text[kNameBlockSize]) {
    std::memset(text, 0, kNameBlockSize);
    for (uint32_t i = 0; i < kNameBlockSize && i < maxUnits && folderName[i] != 0; ++i)
        text[i] = static_cast<uint8_t>(folderName[i]);
}

void BuildNewContainerTrailer(const char16_t* password, const char16_t* folderName,
                              CONTAINER_TRAILER* trailer) {
    uint8_t key[16];
    DerivePasswordKey(password, kContainerTextUnits, key);
    WrapDataKey(key, key, trailer->keyBlock);
    AesKeySchedule schedule;
    AesSetEncryptKey128(key, &schedule);
    MakeNameBlockText(folderName, kContainerTextUnits, trailer->nameBlock);
    EncryptBlocks(&schedule, trailer->nameBlock, trailer->nameBlock, kNameBlockSize);
}

bool PasswordCheckPasses(const uint8_t decryptedFirstBlock[16]) {
    return decryptedFirstBlock[0] == 0xE9 && decryptedFirstBlock[1] == 0xFD && decryptedFirstBlock[2] == 0xFF;
}

bool CheckPassword(const AesKeySchedule* dataKeyDecryption, const uint8_t storedFirstBlock[16]) {
    uint8_t plain[16];
    DecryptBlocks(dataKeyDecryption, storedFirstBlock, plain, 16);
    return PasswordCheckPasses(plain);
}
