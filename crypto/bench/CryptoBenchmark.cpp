// AES-128 throughput of our engines beside OpenSSL's AES-128-ECB on the same buffers: our tables against
// OpenSSL's table-based path, our hardware engine against OpenSSL's default (AES-NI) path. OpenSSL's
// table-based path is measured in a child run of this program with AES-NI and SSSE3 masked out
// (OPENSSL_ia32cap is read once when OpenSSL starts, so it needs a process of its own).

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Aes.h"
#include "AesEngine.h"
#include "ContainerFormat.h"
#include "testing/BenchmarkReporter.h"

namespace {

constexpr size_t kBufferSize = 64 * 1024; // 128 sectors
const char* const kTableMask = "~0x200020200000000";

struct Buffers {
    std::vector<uint8_t> in = std::vector<uint8_t>(kBufferSize);
    std::vector<uint8_t> out = std::vector<uint8_t>(kBufferSize);
    uint8_t key[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                       0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
    Buffers() {
        for (size_t i = 0; i < kBufferSize; ++i)
            in[i] = static_cast<uint8_t>(i * 131 + 7);
    }
};

void AesBlock(benchmark::State& state, bool encrypt) {
    Buffers b;
    AesKeySchedule schedule;
    encrypt ? AesSetEncryptKey128(b.key, &schedule) : AesSetDecryptKey128(b.key, &schedule);
    for (auto _ : state) {
        for (size_t offset = 0; offset < kBufferSize; offset += 16) {
            if (encrypt)
                AesEncryptBlock(b.in.data() + offset, b.out.data() + offset, &schedule);
            else
                AesDecryptBlock(b.in.data() + offset, b.out.data() + offset, &schedule);
        }
        benchmark::DoNotOptimize(b.out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
}

// Sector by sector, as the driver calls them, on one engine.
void SectorBlocks(benchmark::State& state, AesEngine engine, bool encrypt) {
    if (!AesEngineAvailable(engine)) {
        state.SkipWithError("no AES instructions on this processor");
        return;
    }
    Buffers b;
    AesKeySchedule schedule;
    encrypt ? AesSetEncryptKey128(b.key, &schedule) : AesSetDecryptKey128(b.key, &schedule);
    for (auto _ : state) {
        for (size_t offset = 0; offset < kBufferSize; offset += kContainerSectorSize) {
            if (encrypt)
                AesEncryptBlocks(engine, &schedule, b.in.data() + offset, b.out.data() + offset,
                                 kContainerSectorSize);
            else
                AesDecryptBlocks(engine, &schedule, b.in.data() + offset, b.out.data() + offset,
                                 kContainerSectorSize);
        }
        benchmark::DoNotOptimize(b.out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
}

void OpenSslEcb(benchmark::State& state, bool encrypt) {
    Buffers b;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, b.key, nullptr, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (auto _ : state) {
        for (size_t offset = 0; offset < kBufferSize; offset += kContainerSectorSize) {
            int length = 0;
            EVP_CipherUpdate(ctx, b.out.data() + offset, &length, b.in.data() + offset, kContainerSectorSize);
        }
        benchmark::DoNotOptimize(b.out.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
}

BENCHMARK_CAPTURE(AesBlock, encrypt, true);
BENCHMARK_CAPTURE(AesBlock, decrypt, false);
#if defined(__aarch64__)
constexpr AesEngine kHardware = AesEngine::ArmCrypto;
#else
constexpr AesEngine kHardware = AesEngine::AesNi;
#endif

BENCHMARK_CAPTURE(SectorBlocks, encrypt, AesEngine::Table, true);
BENCHMARK_CAPTURE(SectorBlocks, decrypt, AesEngine::Table, false);
BENCHMARK_CAPTURE(SectorBlocks, hardware_encrypt, kHardware, true);
BENCHMARK_CAPTURE(SectorBlocks, hardware_decrypt, kHardware, false);
BENCHMARK_CAPTURE(OpenSslEcb, encrypt, true);
BENCHMARK_CAPTURE(OpenSslEcb, decrypt, false);

// Runs this program again with OpenSSL's AES-NI and SSSE3 paths masked, for its table-based figures.
std::map<std::string, double> MeasureOpenSslTables(const char* self) {
    std::string command = std::string("OPENSSL_ia32cap='") + kTableMask + "' '" + self +
                          "' --child --benchmark_filter=OpenSslEcb 2>/dev/null";
    std::map<std::string, double> figures;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return figures;
    char name[256];
    double value;
    while (std::fscanf(pipe, "%255s %lf", name, &value) == 2)
        figures[name] = value;
    pclose(pipe);
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    bool child = argc > 1 && std::strcmp(argv[1], "--child") == 0;
    if (child) {
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    benchmark::Initialize(&argc, argv);
    testing_support::ThroughputReporter reporter(child);
    if (child) {
        benchmark::RunSpecifiedBenchmarks(&reporter);
        for (const auto& [name, value] : reporter.All())
            std::printf("%s %f\n", name.c_str(), value);
        return 0;
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::map<std::string, double> tables = MeasureOpenSslTables(argv[0]);

    auto ours = reporter.All();
    std::printf("\nAES-128 throughput, MB/s (ratio = ours / reference)\n");
    for (const char* direction : {"encrypt", "decrypt"}) {
        std::string suffix = std::string("/") + direction;
        double block = ours["AesBlock" + suffix];
        double sector = ours["SectorBlocks" + suffix];
        double hardware = ours["SectorBlocks/hardware_" + std::string(direction)];
        double sslDefault = ours["OpenSslEcb" + suffix];
        double sslTables = tables["OpenSslEcb" + suffix];
        std::printf("%s: block %.1f, sector buffers %.1f (tables), %.1f (hardware) | OpenSSL default %.1f, "
                    "OpenSSL tables %.1f\n",
                    direction, block, sector, hardware, sslDefault, sslTables);
        if (sslTables > 0)
            std::printf("  sector tables vs OpenSSL tables %.2fx (target at least 1.0x)\n",
                        sector / sslTables);
        if (sslDefault > 0 && hardware > 0)
            std::printf("  sector hardware vs OpenSSL default %.2fx (target at least 0.5x)\n",
                        hardware / sslDefault);
    }
    return 0;
}
