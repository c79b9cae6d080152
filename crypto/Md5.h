#pragma once
// MD5 (RFC 1321) without allocation. Call order: Md5Init, any number of Md5Update, one Md5Final; the
// context must be initialised again before it is reused.

#include <cstdint>

struct Md5Context {
    uint32_t state[4];  // A, B, C, D
    uint32_t count[2];  // message length in bits modulo 2^64, low word first
    uint8_t buffer[64]; // input not yet compressed
};

void Md5Init(Md5Context* context);
void Md5Update(Md5Context* context, const uint8_t* data, uint32_t length);
// Writes the 16-byte digest and wipes the whole context.
void Md5Final(uint8_t digest[16], Md5Context* context);
// Compresses one 64-byte block into the state.
void Md5Transform(uint32_t state[4], const uint8_t block[64]);
// Little-endian conversions between words and bytes; length is in bytes, a multiple of 4.
void Md5Encode(uint8_t* output, const uint32_t* input, uint32_t length);
void Md5Decode(uint32_t* output, const uint8_t* input, uint32_t length);
