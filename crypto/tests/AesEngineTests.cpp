#include "AesEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "ContainerFormat.h"
#include "OpenSslReference.h"
#include "TestBytes.h"

namespace {

constexpr uint8_t kGuard = 0xC3;
constexpr size_t kGuardBytes = 32;

// A buffer of length bytes at a chosen distance from 16-byte alignment, with guard bytes either side
// so that a write outside it shows.
class GuardedBuffer {
public:
    GuardedBuffer(size_t length, size_t misalignment)
        : m_storage(kGuardBytes + 16 + length + kGuardBytes, kGuard), m_length(length) {
        auto address = reinterpret_cast<uintptr_t>(m_storage.data() + kGuardBytes);
        m_offset = kGuardBytes + (16 - address % 16) % 16 + misalignment;
    }
    uint8_t* Data() { return m_storage.data() + m_offset; }
    void Fill(const std::vector<uint8_t>& bytes) { std::copy(bytes.begin(), bytes.end(), Data()); }
    std::vector<uint8_t> Bytes() { return {Data(), Data() + m_length}; }
    bool GuardsIntact() const {
        for (size_t i = 0; i < m_storage.size(); ++i) {
            bool inside = i >= m_offset && i < m_offset + m_length;
            if (!inside && m_storage[i] != kGuard)
                return false;
        }
        return true;
    }

private:
    std::vector<uint8_t> m_storage;
    size_t m_length;
    size_t m_offset = 0;
};

struct EngineCase {
    AesEngine engine;
    const char* name;
};

void PrintTo(const EngineCase& engine, std::ostream* out) {
    *out << engine.name;
}

const EngineCase kEngines[] = {
    {AesEngine::Table, "Table"},
    {AesEngine::AesNi, "AesNi"},
    {AesEngine::ArmCrypto, "ArmCrypto"},
};

class AesEngineTest : public testing::TestWithParam<EngineCase> {
protected:
    void SetUp() override {
        if (!AesEngineAvailable(GetParam().engine))
            GTEST_SKIP() << GetParam().name << " is not available on this processor or build";
    }
    AesEngine Engine() const { return GetParam().engine; }
};

// Lengths around the eight-block stride and a few sectors; both buffers at every misalignment in turn.
TEST_P(AesEngineTest, MatchesOpenSslOnRandomKeysLengthsAndAlignments) {
    std::mt19937 rng(20240518);
    for (int round = 0; round < 400; ++round) {
        size_t blocks = round < 40 ? static_cast<size_t>(round) : rng() % 200;
        size_t length = 16 * blocks;
        auto key = testbytes::Random(rng, 16);
        auto plain = testbytes::Random(rng, length);
        AesKeySchedule enc{}, dec{};
        AesSetEncryptKey128(key.data(), &enc);
        AesSetDecryptKey128(key.data(), &dec);
        bool inPlace = rng() % 2 == 0;
        GuardedBuffer in(length, rng() % 16);
        GuardedBuffer separate(length, rng() % 16);
        GuardedBuffer& out = inPlace ? in : separate;
        SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(blocks) + " blocks" +
                     (inPlace ? ", in place" : ""));

        in.Fill(plain);
        AesEncryptBlocks(Engine(), &enc, in.Data(), out.Data(), static_cast<uint32_t>(length));
        ASSERT_EQ(out.Bytes(), reference::AesEcb(key.data(), plain, true));
        ASSERT_TRUE(out.GuardsIntact());

        // Random bytes decrypted, so decryption is checked on its own and not only as the inverse.
        in.Fill(plain);
        AesDecryptBlocks(Engine(), &dec, in.Data(), out.Data(), static_cast<uint32_t>(length));
        ASSERT_EQ(out.Bytes(), reference::AesEcb(key.data(), plain, false));
        ASSERT_TRUE(out.GuardsIntact());
        ASSERT_TRUE(in.GuardsIntact());
    }
}

// The engines compute the same function of the schedule's words, whatever those words hold.
TEST_P(AesEngineTest, AgreesWithTheTablesOnArbitraryScheduleWords) {
    std::mt19937 rng(77);
    for (int round = 0; round < 100; ++round) {
        AesKeySchedule schedule{};
        for (uint32_t& word : schedule.roundKeys)
            word = static_cast<uint32_t>(rng());
        schedule.info = 160;
        size_t length = 16 * (rng() % 40);
        auto data = testbytes::Random(rng, length);
        std::vector<uint8_t> ours(length), tables(length);
        auto size = static_cast<uint32_t>(length);
        AesEncryptBlocks(Engine(), &schedule, data.data(), ours.data(), size);
        AesEncryptBlocks(AesEngine::Table, &schedule, data.data(), tables.data(), size);
        ASSERT_EQ(ours, tables) << "encrypt, round " << round;
        AesDecryptBlocks(Engine(), &schedule, data.data(), ours.data(), size);
        AesDecryptBlocks(AesEngine::Table, &schedule, data.data(), tables.data(), size);
        ASSERT_EQ(ours, tables) << "decrypt, round " << round;
    }
}

TEST_P(AesEngineTest, UnkeyedScheduleWritesNothing) {
    AesKeySchedule zeroed{};
    std::vector<uint8_t> in(256, 0x11), out(256, 0xA5);
    AesEncryptBlocks(Engine(), &zeroed, in.data(), out.data(), 256);
    AesDecryptBlocks(Engine(), &zeroed, in.data(), out.data(), 256);
    EXPECT_EQ(out, std::vector<uint8_t>(256, 0xA5));
}

INSTANTIATE_TEST_SUITE_P(Engines, AesEngineTest, testing::ValuesIn(kEngines),
                         [](const testing::TestParamInfo<EngineCase>& info) { return info.param.name; });

// CTest runs this suite once as it is and once with FERROVANE_AES=table.
TEST(AesEngineChoice, BulkOperationsUseTheHardwareUnlessTheTablesAreAskedFor) {
    const char* setting = std::getenv("FERROVANE_AES");
    bool tablesAskedFor = setting != nullptr && std::string(setting) == "table";
    bool hardware = AesEngineAvailable(AesEngine::AesNi) || AesEngineAvailable(AesEngine::ArmCrypto);
    EXPECT_EQ(ActiveAesEngine() == AesEngine::Table, tablesAskedFor || !hardware);
}

} // namespace
