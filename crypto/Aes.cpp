#include "Aes.h"

#include <array>
#include <cstring>

namespace {

using Table = std::array<uint32_t, 256>;

constexpr uint8_t Xtime(uint8_t x) {
    return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    while (b) {
        if (b & 1)
            product ^= a;
        a = Xtime(a);
        b >>= 1;
    }
    return product;
}

constexpr uint32_t Rotl8(uint32_t w) {
    return (w << 8) | (w >> 24);
}

// The S-box: the multiplicative inverse in GF(2^8) (through powers of the generator 3) followed by the
// affine transform.
constexpr std::array<uint8_t, 256> MakeSbox() {
    std::array<uint8_t, 256> power{};
    std::array<uint8_t, 256> logarithm{};
    uint8_t p = 1;
    for (int i = 0; i < 255; ++i) {
        power[i] = p;
        logarithm[p] = static_cast<uint8_t>(i);
        p = static_cast<uint8_t>(p ^ Xtime(p));
    }
    std::array<uint8_t, 256> sbox{};
    for (int x = 0; x < 256; ++x) {
        uint8_t inverse = x == 0 ? 0 : power[(255 - logarithm[x]) % 255];
        uint8_t s = inverse;
        uint8_t result = 0x63;
        for (int i = 0; i < 5; ++i) {
            result ^= s;
            s = static_cast<uint8_t>((s << 1) | (s >> 7));
        }
        sbox[x] = result;
    }
    return sbox;
}

constexpr std::array<uint8_t, 256> kSbox = MakeSbox();

constexpr std::array<uint8_t, 256> MakeInverseSbox() {
    std::array<uint8_t, 256> inverse{};
    for (int x = 0; x < 256; ++x)
        inverse[kSbox[x]] = static_cast<uint8_t>(x);
    return inverse;
}

constexpr std::array<uint8_t, 256> kInverseSbox = MakeInverseSbox();

// Column words hold row r of the state in bits 8r..8r+7. Table k maps the byte of row k of a column to
// that byte's contribution to a whole output column: column k of the (Inv)MixColumns matrix times the
// (inverse) S-box value. Tables 1 to 3 are table 0 rotated.
template <typename F>
constexpr std::array<Table, 4> MakeRoundTables(F column0) {
    std::array<Table, 4> tables{};
    for (int x = 0; x < 256; ++x) {
        uint32_t w = column0(static_cast<uint8_t>(x));
        for (int k = 0; k < 4; ++k) {
            tables[k][x] = w;
            w = Rotl8(w);
        }
    }
    return tables;
}

constexpr uint32_t Word(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    return uint32_t{b0} | (uint32_t{b1} << 8) | (uint32_t{b2} << 16) | (uint32_t{b3} << 24);
}

// Forward rounds: MixColumns column 0 is (2, 1, 1, 3).
constexpr auto kEncrypt = MakeRoundTables([](uint8_t x) {
    uint8_t s = kSbox[x];
    return Word(GfMul(s, 2), s, s, GfMul(s, 3));
});
// Inverse rounds: InvMixColumns column 0 is (14, 9, 13, 11).
constexpr auto kDecrypt = MakeRoundTables([](uint8_t x) {
    uint8_t s = kInverseSbox[x];
    return Word(GfMul(s, 14), GfMul(s, 9), GfMul(s, 13), GfMul(s, 11));
});
// InvMixColumns alone, for the decryption key schedule.
constexpr auto kInvMix =
    MakeRoundTables([](uint8_t x) { return Word(GfMul(x, 14), GfMul(x, 9), GfMul(x, 13), GfMul(x, 11)); });
// Last rounds: the (inverse) S-box value alone, in each row position.
constexpr auto kEncryptLast = MakeRoundTables([](uint8_t x) { return uint32_t{kSbox[x]}; });
constexpr auto kDecryptLast = MakeRoundTables([](uint8_t x) { return uint32_t{kInverseSbox[x]}; });

constexpr uint32_t kRoundCountInfo = 160;
constexpr uint8_t kRcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1B, 0x36};

inline uint32_t Load32(const uint8_t* p) {
    return Word(p[0], p[1], p[2], p[3]);
}

inline void Store32(uint8_t* p, uint32_t w) {
    p[0] = static_cast<uint8_t>(w);
    p[1] = static_cast<uint8_t>(w >> 8);
    p[2] = static_cast<uint8_t>(w >> 16);
    p[3] = static_cast<uint8_t>(w >> 24);
}

// The block is assembled first and copied out whole: a sector in a mapped container file then never holds
// half of a block, even when the writing process is killed in the middle of it.
inline void StoreBlock(uint8_t* out, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    uint8_t block[16];
    Store32(block, w0);
    Store32(block + 4, w1);
    Store32(block + 8, w2);
    Store32(block + 12, w3);
    std::memcpy(out, block, 16);
}

inline uint32_t B0(uint32_t w) {
    return w & 0xFF;
}
inline uint32_t B1(uint32_t w) {
    return (w >> 8) & 0xFF;
}
inline uint32_t B2(uint32_t w) {
    return (w >> 16) & 0xFF;
}
inline uint32_t B3(uint32_t w) {
    return w >> 24;
}

void ExpandKey(const uint8_t key[16], uint32_t w[44]) {
    for (int i = 0; i < 4; ++i)
        w[i] = Load32(key + 4 * i);
    for (int i = 4; i < 44; ++i) {
        uint32_t temp = w[i - 1];
        if (i % 4 == 0) {
            // RotWord moves byte 1 to byte 0; SubWord substitutes each byte.
            uint32_t rotated = (temp >> 8) | (temp << 24);
            temp = Word(kSbox[B0(rotated)], kSbox[B1(rotated)], kSbox[B2(rotated)], kSbox[B3(rotated)]) ^
                   kRcon[i / 4 - 1];
        }
        w[i] = w[i - 4] ^ temp;
    }
}

} // namespace

int AesSetEncryptKey128(const uint8_t key[16], AesKeySchedule* schedule) {
    ExpandKey(key, schedule->roundKeys);
    schedule->info = kRoundCountInfo;
    return 0;
}

int AesSetDecryptKey128(const uint8_t key[16], AesKeySchedule* schedule) {
    uint32_t* w = schedule->roundKeys;
    ExpandKey(key, w);
    for (int i = 4; i < 40; ++i)
        w[i] = kInvMix[0][B0(w[i])] ^ kInvMix[1][B1(w[i])] ^ kInvMix[2][B2(w[i])] ^ kInvMix[3][B3(w[i])];
    schedule->info = kRoundCountInfo;
    return 0;
}

int AesEncryptBlock(const uint8_t in[16], uint8_t out[16], const AesKeySchedule* schedule) {
    if ((schedule->info & 0xFF) != kRoundCountInfo)
        return 1;
    const uint32_t* rk = schedule->roundKeys;
    uint32_t s0 = Load32(in) ^ rk[0];
    uint32_t s1 = Load32(in + 4) ^ rk[1];
    uint32_t s2 = Load32(in + 8) ^ rk[2];
    uint32_t s3 = Load32(in + 12) ^ rk[3];
    const auto& t = kEncrypt;
    // ShiftRows: row r of output column c comes from column c + r.
    for (int round = 1; round < 10; ++round) {
        rk += 4;
        uint32_t t0 = t[0][B0(s0)] ^ t[1][B1(s1)] ^ t[2][B2(s2)] ^ t[3][B3(s3)] ^ rk[0];
        uint32_t t1 = t[0][B0(s1)] ^ t[1][B1(s2)] ^ t[2][B2(s3)] ^ t[3][B3(s0)] ^ rk[1];
        uint32_t t2 = t[0][B0(s2)] ^ t[1][B1(s3)] ^ t[2][B2(s0)] ^ t[3][B3(s1)] ^ rk[2];
        uint32_t t3 = t[0][B0(s3)] ^ t[1][B1(s0)] ^ t[2][B2(s1)] ^ t[3][B3(s2)] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    const auto& l = kEncryptLast;
    uint32_t o0 = l[0][B0(s0)] ^ l[1][B1(s1)] ^ l[2][B2(s2)] ^ l[3][B3(s3)] ^ rk[0];
    uint32_t o1 = l[0][B0(s1)] ^ l[1][B1(s2)] ^ l[2][B2(s3)] ^ l[3][B3(s0)] ^ rk[1];
    uint32_t o2 = l[0][B0(s2)] ^ l[1][B1(s3)] ^ l[2][B2(s0)] ^ l[3][B3(s1)] ^ rk[2];
    uint32_t o3 = l[0][B0(s3)] ^ l[1][B1(s0)] ^ l[2][B2(s1)] ^ l[3][B3(s2)] ^ rk[3];
    StoreBlock(out, o0, o1, o2, o3);
    return 0;
}

int AesDecryptBlock(const uint8_t in[16], uint8_t out[16], const AesKeySchedule* schedule) {
    if ((schedule->info & 0xFF) != kRoundCountInfo)
        return 1;
    // The schedule is read from its end: words 40..43 first, words 0..3 in the last round.
    const uint32_t* rk = schedule->roundKeys + 40;
    uint32_t s0 = Load32(in) ^ rk[0];
    uint32_t s1 = Load32(in + 4) ^ rk[1];
    uint32_t s2 = Load32(in + 8) ^ rk[2];
    uint32_t s3 = Load32(in + 12) ^ rk[3];
    const auto& t = kDecrypt;
    // InvShiftRows: row r of output column c comes from column c - r.
    for (int round = 1; round < 10; ++round) {
        rk -= 4;
        uint32_t t0 = t[0][B0(s0)] ^ t[1][B1(s3)] ^ t[2][B2(s2)] ^ t[3][B3(s1)] ^ rk[0];
        uint32_t t1 = t[0][B0(s1)] ^ t[1][B1(s0)] ^ t[2][B2(s3)] ^ t[3][B3(s2)] ^ rk[1];
        uint32_t t2 = t[0][B0(s2)] ^ t[1][B1(s1)] ^ t[2][B2(s0)] ^ t[3][B3(s3)] ^ rk[2];
        uint32_t t3 = t[0][B0(s3)] ^ t[1][B1(s2)] ^ t[2][B2(s1)] ^ t[3][B3(s0)] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk -= 4;
    const auto& l = kDecryptLast;
    uint32_t o0 = l[0][B0(s0)] ^ l[1][B1(s3)] ^ l[2][B2(s2)] ^ l[3][B3(s1)] ^ rk[0];
    uint32_t o1 = l[0][B0(s1)] ^ l[1][B1(s0)] ^ l[2][B2(s3)] ^ l[3][B3(s2)] ^ rk[1];
    uint32_t o2 = l[0][B0(s2)] ^ l[1][B1(s1)] ^ l[2][B2(s0)] ^ l[3][B3(s3)] ^ rk[2];
    uint32_t o3 = l[0][B0(s3)] ^ l[1][B1(s2)] ^ l[2][B2(s1)] ^ l[3][B3(s0)] ^ rk[3];
    StoreBlock(out, o0, o1, o2, o3);
    return 0;
}
