// AES-128 on x86 AES-NI. The round keys are loaded once per call; blocks go eight at a time, each
// round issued for all eight before the next, so the instruction's latency is hidden behind the other
// blocks.

#include "AesHardware.h"

#if FERROVANE_HAVE_AES_NI

#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>

namespace {

using aes_hardware::Direction;
using aes_hardware::KeyOf;

struct AesNiLanes {
    struct Keys {
        __m128i k[11];
    };

    FERROVANE_AES_TARGET static Keys Load(const AesKeySchedule* schedule) {
        Keys keys;
        for (int i = 0; i < 11; ++i)
            keys.k[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(schedule->roundKeys + 4 * i));
        return keys;
    }

    template <size_t n, Direction direction>
    FERROVANE_AES_TARGET static void Run(const Keys& keys, const uint8_t* in, uint8_t* out) {
        constexpr bool encrypt = direction == Direction::Encrypt;
        __m128i s[n];
#pragma GCC unroll 8
        for (size_t i = 0; i < n; ++i)
            s[i] = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i)),
                                 keys.k[KeyOf(direction, 0)]);
#pragma GCC unroll 9
        for (int round = 1; round < 10; ++round) {
#pragma GCC unroll 8
            for (size_t i = 0; i < n; ++i)
                s[i] = encrypt ? _mm_aesenc_si128(s[i], keys.k[KeyOf(direction, round)])
                               : _mm_aesdec_si128(s[i], keys.k[KeyOf(direction, round)]);
        }
#pragma GCC unroll 8
        for (size_t i = 0; i < n; ++i) {
            __m128i last = encrypt ? _mm_aesenclast_si128(s[i], keys.k[KeyOf(direction, 10)])
                                   : _mm_aesdeclast_si128(s[i], keys.k[KeyOf(direction, 10)]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), last);
        }
    }
};

} // namespace

bool AesNiPresent() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    return (ecx & bit_AES) != 0 && (edx & bit_SSE2) != 0;
}

void AesNiEncryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, size_t blocks) {
    aes_hardware::RunBlocks<AesNiLanes, Direction::Encrypt>(schedule, in, out, blocks);
}

void AesNiDecryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, size_t blocks) {
    aes_hardware::RunBlocks<AesNiLanes, Direction::Decrypt>(schedule, in, out, blocks);
}

#endif
