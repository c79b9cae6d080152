#pragma once
// What the main program and the driver share: the container record passed through the device
// activation, its status codes, the container file's sectors and trailer, and the keys.
//
// A container file is a disk image of whole 512-byte sectors with no header. Every 16-byte block at an
// offset that is a multiple of 16 is AES-128-encrypted on its own under the data key (no IV, no
// chaining, the position plays no part). The last 272 bytes of the file, inside the disk's last sector,
// are the trailer: the folder name encrypted under the data key, then the data key encrypted under the
// password key (MD5 of the password's UTF-16LE text). A new container's data key is its password key.

#include <cstddef>
#include <cstdint>

#include "Aes.h"

constexpr uint32_t kContainerTextUnits = 260; // path, password and folder fields, terminator included
constexpr uint32_t kContainerSectorSize = 512;

// The container record (1572 bytes, little-endian, no padding).
struct CONTAINER_PARAMS {
    char16_t containerPath[kContainerTextUnits]; // in: the container file
    uint32_t size; // in: 0 = open, else bytes to create; out: the size the driver works with
    char16_t password[kContainerTextUnits];   // in
    char16_t folderName[kContainerTextUnits]; // in: the folder to mount under
    int32_t status;     // out: a MOUNT_* code; the main program marks a free mount-table slot with -1
    uint32_t lastError; // out: the platform error that goes with the status
};
static_assert(offsetof(CONTAINER_PARAMS, containerPath) == 0);
static_assert(offsetof(CONTAINER_PARAMS, size) == 520);
static_assert(offsetof(CONTAINER_PARAMS, password) == 524);
static_assert(offsetof(CONTAINER_PARAMS, folderName) == 1044);
static_assert(offsetof(CONTAINER_PARAMS, status) == 1564);
static_assert(offsetof(CONTAINER_PARAMS, lastError) == 1568);
static_assert(sizeof(CONTAINER_PARAMS) == 1572);

// Status codes that the driver writes into the record.
enum : int32_t {
    MOUNT_OK = 0,             // created, or opened with a good password, and mapped
    MOUNT_FILE_MISSING = 1,   // open: no file at the path
    MOUNT_CREATE_FAILED = 2,  // create: the file cannot be created (or the size is out of range)
    MOUNT_WRITE_FAILED = 3,   // never set by the driver; the main program keeps a message for it
    MOUNT_OPEN_FAILED = 4,    // open: the file cannot be opened
    MOUNT_MAPPING_FAILED = 5, // the file mapping or its view cannot be created
    MOUNT_BAD_PASSWORD = 6,   // open: the password check failed (wrong password, or not a container)
    MOUNT_SIZE_FAILED = 7,    // open: the file's size cannot be read
};

constexpr uint32_t kNameBlockSize = 256;
constexpr uint32_t kKeyBlockSize = 16;

// The last 272 bytes of a container file.
struct CONTAINER_TRAILER {
    uint8_t nameBlock[kNameBlockSize]; // folder-name text, 16 blocks under the data key
    uint8_t keyBlock[kKeyBlockSize];   // the data key under the password key
};
static_assert(offsetof(CONTAINER_TRAILER, keyBlock) == 256);
static_assert(sizeof(CONTAINER_TRAILER) == 272);
constexpr uint32_t kTrailerSize = sizeof(CONTAINER_TRAILER);

// The largest container the 32-bit size field can describe: the largest multiple of 512 below 2^32.
constexpr uint32_t kMaxContainerSize = 0xFFFFFE00u;

// Encrypt or decrypt length bytes (a multiple of 16) as independent 16-byte blocks; in and out may be
// the same buffer. The schedule must be of the matching direction. They run on the processor's AES
// instructions where it has them (AesEngine.h), with the same bytes as AesEncryptBlock/AesDecryptBlock.
void EncryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, uint32_t length);
void DecryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, uint32_t length);

// The password key: MD5 of the password's UTF-16LE units up to the terminator (at most maxUnits units).
void DerivePasswordKey(const char16_t* password, uint32_t maxUnits, uint8_t key[16]);

// Data key = the key block decrypted under the password key, and the reverse.
void UnwrapDataKey(const uint8_t passwordKey[16], const uint8_t keyBlock[16], uint8_t dataKey[16]);
void WrapDataKey(const uint8_t passwordKey[16], const uint8_t dataKey[16], uint8_t keyBlock[16]);

// The name block's plain text: byte i is the low byte of unit i of the name while i is below its length
// (at most maxUnits units), zeros after it; a name of 256 units or more fills the block.
void MakeNameBlockText(const char16_t* folderName, uint32_t maxUnits, uint8_t text[kNameBlockSize]);

// The trailer of a newly created container: key block = the password key encrypted under itself, name
// block = the folder name's text encrypted under that same key.
void BuildNewContainerTrailer(const char16_t* password, const char16_t* folderName,
                              CONTAINER_TRAILER* trailer);

// The password check: the first block of sector 0, decrypted under the data key, starts E9 FD FF.
bool PasswordCheckPasses(const uint8_t decryptedFirstBlock[16]);
bool CheckPassword(const AesKeySchedule* dataKeyDecryption, const uint8_t storedFirstBlock[16]);
