#pragma once
// The engines behind the bulk block operations (EncryptBlocks/DecryptBlocks): the table-driven cipher
// of Aes.h, which is the reference, and the processor's AES instructions where it has them. Every
// engine gives the same bytes for the same schedule, the decryption schedule included: its words are
// already the round keys of the equivalent inverse cipher that the instructions take.

#include <cstdint>

#include "Aes.h"

enum class AesEngine {
    Table,     // AesEncryptBlock/AesDecryptBlock, block by block
    AesNi,     // x86 AES-NI, eight blocks in flight
    ArmCrypto, // ARMv8 crypto extensions, eight blocks in flight
};

// Whether this build and this processor can run the engine; the tables always can.
bool AesEngineAvailable(AesEngine engine);

// The engine that the bulk operations use, chosen once at first use: the processor's AES instructions
// when it has them, unless the environment variable FERROVANE_AES is "table".
AesEngine ActiveAesEngine();

// Encrypt or decrypt length bytes as independent 16-byte blocks on one engine, which must be
// available: for offset = 0, 16, ... below length, one block. In and out are the same buffer or do not
// overlap; neither needs any alignment. An unkeyed schedule (info byte not 160) writes nothing.
void AesEncryptBlocks(AesEngine engine, const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out,
                      uint32_t length);
void AesDecryptBlocks(AesEngine engine, const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out,
                      uint32_t length);
