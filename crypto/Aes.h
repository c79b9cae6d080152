#pragma once
// AES-128 (FIPS-197) on single 16-byte blocks, table-driven, without allocation. There is no mode of
// operation here: callers encrypt buffers as independent blocks (EncryptBlocks/DecryptBlocks).

#include <cstdint>

// A key schedule: the 44 round-key words w[0..43] (each word's first schedule byte in its low 8 bits)
// and an info word whose low byte is 16 times the number of rounds (160 once keyed, 0 in a zeroed
// context). An encryption schedule and a decryption schedule of the same key differ; each block call
// needs the schedule of its own direction.
struct AesKeySchedule {
    uint32_t roundKeys[44];
    uint32_t info;
};

// Expands a 16-byte key into an encryption schedule. Returns 0, always.
int AesSetEncryptKey128(const uint8_t key[16], AesKeySchedule* schedule);
// Builds the decryption schedule of the equivalent inverse cipher: the expanded words in forward order
// with InvMixColumns applied to words 4 to 39. Returns 0, always.
int AesSetDecryptKey128(const uint8_t key[16], AesKeySchedule* schedule);

// Encrypt or decrypt one block. The whole input is read before any output is written, so in and out
// may be the same 16 bytes; neither needs any alignment. Return 0, or 1 without touching out when the
// schedule was never keyed (info byte not 160).
int AesEncryptBlock(const uint8_t in[16], uint8_t out[16], const AesKeySchedule* schedule);
int AesDecryptBlock(const uint8_t in[16], uint8_t out[16], const AesKeySchedule* schedule);
