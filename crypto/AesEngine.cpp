#include "AesEngine.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "AesHardware.h"

namespace {

constexpr uint32_t kRoundCountInfo = 160;

bool Keyed(const AesKeySchedule* schedule) {
    return (schedule->info & 0xFF) == kRoundCountInfo;
}

// The blocks that the table loop visits: one for each offset below length, a partial one included.
size_t BlockCount(uint32_t length) {
    return (size_t{length} + 15) / 16;
}

using BlocksFunction = void (*)(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out,
                                size_t blocks);

template <int (*block)(const uint8_t* in, uint8_t* out, const AesKeySchedule* schedule)>
void TableBlocks(const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out, size_t blocks) {
    for (size_t i = 0; i < blocks; ++i)
        block(in + 16 * i, out + 16 * i, schedule);
}

struct EngineFunctions {
    BlocksFunction encrypt;
    BlocksFunction decrypt;
};

EngineFunctions FunctionsOf(AesEngine engine) {
    switch (engine) {
#if FERROVANE_HAVE_AES_NI
    case AesEngine::AesNi:
        return {AesNiEncryptBlocks, AesNiDecryptBlocks};
#endif
#if FERROVANE_HAVE_ARM_CRYPTO
    case AesEngine::ArmCrypto:
        return {ArmEncryptBlocks, ArmDecryptBlocks};
#endif
    default:
        return {TableBlocks<AesEncryptBlock>, TableBlocks<AesDecryptBlock>};
    }
}

AesEngine HardwareEngine() {
#if FERROVANE_HAVE_AES_NI
    if (AesNiPresent())
        return AesEngine::AesNi;
#endif
#if FERROVANE_HAVE_ARM_CRYPTO
    if (ArmCryptoPresent())
        return AesEngine::ArmCrypto;
#endif
    return AesEngine::Table;
}

AesEngine ChooseEngine() {
    const char* setting = std::getenv("FERROVANE_AES");
    if (setting != nullptr && std::strcmp(setting, "table") == 0)
        return AesEngine::Table;
    return HardwareEngine();
}

} // namespace

bool AesEngineAvailable(AesEngine engine) {
    return engine == AesEngine::Table || engine == HardwareEngine();
}

AesEngine ActiveAesEngine() {
    static const AesEngine engine = ChooseEngine();
    return engine;
}

void AesEncryptBlocks(AesEngine engine, const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out,
                      uint32_t length) {
    if (Keyed(schedule))
        FunctionsOf(engine).encrypt(schedule, in, out, BlockCount(length));
}

void AesDecryptBlocks(AesEngine engine, const AesKeySchedule* schedule, const uint8_t* in, uint8_t* out,
                      uint32_t length) {
    if (Keyed(schedule))
        FunctionsOf(engine).decrypt(schedule, in, out, BlockCount(length));
}
