#pragma once
// The hardware engines of AesEngine.cpp, each built only for its own processor family. They take
// whole blocks and a keyed schedule; the words of each round key lie in memory as its 16 bytes, which
// holds on little-endian processors.

#include <cstddef>
#include <cstdint>

#include "Aes.h"

#if defined(__x86_64__) || defined(__i386__)
#define FERROVANE_HAVE_AES_NI 1
// Each function that runs AES-NI carries its target itself: the rest of the build needs no flags.
#define FERROVANE_AES_TARGET __attribute__((target("aes,sse2")))
bool AesNiPresent();
void AesNiEncryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, size_t blocks);
void AesNiDecryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, size_t blocks);
#endif

#if defined(__aarch64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define FERROVANE_HAVE_ARM_CRYPTO 1
// Older compilers offer the crypto intrinsics only to a file compiled with the extensions (CMake).
#define FERROVANE_AES_TARGET
bool ArmCryptoPresent();
void ArmEncryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, size_t blocks);
void ArmDecryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, size_t blocks);
#endif

namespace aes_hardware {

enum class Direction { Encrypt, Decrypt };

// The round key of a round: decryption takes them from the end of its schedule.
constexpr int KeyOf(Direction direction, int round) {
    return direction == Direction::Encrypt ? round : 10 - round;
}

constexpr size_t kLanes = 8;

// Feeds blocks to an engine, kLanes at a time while there are so many, then one at a time. Lanes has
// Load(schedule), the round keys in registers, and Run<n, direction>(keys, in, out), which takes n
// blocks through all rounds, loading all of them before it stores any (so in may equal out).
#ifdef FERROVANE_AES_TARGET
template <typename Lanes, Direction direction>
FERROVANE_AES_TARGET inline void RunBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out,
                                           size_t blocks) {
    const auto keys = Lanes::Load(schedule);
    for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes)
        Lanes::template Run<kLanes, direction>(keys, in, out);
    for (; blocks > 0; --blocks, in += 16, out += 16)
        Lanes::template Run<1, direction>(keys, in, out);
}
#endif

} // namespace aes_hardware
