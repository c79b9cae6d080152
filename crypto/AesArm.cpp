// AES-128 on the ARMv8 crypto extensions, eight blocks in flight. The instructions fold AddRoundKey
// into the round (AESE is AddRoundKey, SubBytes, ShiftRows; AESD the inverse), so the last round key
// is added on its own. Built for AArch64 only; this one file is compiled with the crypto extensions
// enabled, and nothing here runs before ArmCryptoPresent has said yes.

#include "AesHardware.h"

#if FERROVANE_HAVE_ARM_CRYPTO

#include <arm_neon.h>
#include <asm/hwcap.h>
#include <sys/auxv.h>

namespace {

using aes_hardware::Direction;
using aes_hardware::KeyOf;

struct ArmLanes {
    struct Keys {
        uint8x16_t k[11];
    };

    static Keys Load(const AesKeySchedule* schedule) {
        Keys keys;
        for (int i = 0; i < 11; ++i)
            keys.k[i] = vld1q_u8(reinterpret_cast<const uint8_t*>(schedule->roundKeys + 4 * i));
        return keys;
    }

    template <size_t n, Direction direction>
    static void Run(const Keys& keys, const uint8_t* in, uint8_t* out) {
        constexpr bool encrypt = direction == Direction::Encrypt;
        uint8x16_t s[n];
        for (size_t i = 0; i < n; ++i)
            s[i] = vld1q_u8(in + 16 * i);
        for (int round = 0; round < 9; ++round) {
            for (size_t i = 0; i < n; ++i)
                s[i] = encrypt ? vaesmcq_u8(vaeseq_u8(s[i], keys.k[KeyOf(direction, round)]))
                               : vaesimcq_u8(vaesdq_u8(s[i], keys.k[KeyOf(direction, round)]));
        }
        for (size_t i = 0; i < n; ++i) {
            uint8x16_t last = encrypt ? vaeseq_u8(s[i], keys.k[KeyOf(direction, 9)])
                                      : vaesdq_u8(s[i], keys.k[KeyOf(direction, 9)]);
            vst1q_u8(out + 16 * i, veorq_u8(last, keys.k[KeyOf(direction, 10)]));
        }
    }
};

} // namespace

bool ArmCryptoPresent() {
    return (getauxval(AT_HWCAP) & HWCAP_AES) != 0;
}

void ArmEncryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, size_t blocks) {
    aes_hardware::RunBlocks<ArmLanes, Direction::Encrypt>(schedule, in, out, blocks);
}

void ArmDecryptBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, size_t blocks) {
    aes_hardware::RunBlocks<ArmLanes, Direction::Decrypt>(schedule, in, out, blocks);
}

#endif
