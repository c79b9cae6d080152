// Sector reads and writes through FRV_IOControl, 8 buffers of 4 KiB a request, beside a plain copy of
// the same bytes, our AES over them without the driver, and OpenSSL's AES-128-ECB of them.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>

#include "DriverTestSupport.h"
#include "testing/BenchmarkReporter.h"

namespace {

constexpr DWORD kBuffer = 4096;
constexpr DWORD kBuffersPerRequest = 8;
constexpr DWORD kRequestBytes = kBuffer * kBuffersPerRequest;
constexpr DWORD kDiskBytes = 16 * 1024 * 1024;

struct Fixture {
    testing_support::TemporaryDeviceRoot root;
    HMODULE module = nullptr;
    drivertest::IoControlFn ioControl = nullptr;
    drivertest::DeinitFn deinit = nullptr;
    DWORD_PTR disk = 0;
    std::vector<uint8_t> data = std::vector<uint8_t>(kRequestBytes, 0x5A);
    uint8_t key[16] = {};

    Fixture() {
        kernel::InstallDeviceManifest(DRIVER_MANIFEST);
        kernel::SetProgramDevicePath(u"\\program files\\ferrovane\\ferrovane.exe");
        module = LoadLibraryW(u"Ferrovane.dll");
        auto init = reinterpret_cast<drivertest::InitFn>(GetProcAddressW(module, u"FRV_Init"));
        ioControl = reinterpret_cast<drivertest::IoControlFn>(GetProcAddressW(module, u"FRV_IOControl"));
        deinit = reinterpret_cast<drivertest::DeinitFn>(GetProcAddressW(module, u"FRV_Deinit"));
        CONTAINER_PARAMS record = drivertest::MakeRecord(u"\\bench.fvc", u"benchmark", u"B", kDiskBytes);
        disk = init(u"Drivers\\Active\\01", &record);
        DerivePasswordKey(record.password, kContainerTextUnits, key);
    }
    ~Fixture() {
        deinit(disk);
        FreeLibrary(module);
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

void DriverTransfer(benchmark::State& state, DWORD code) {
    Fixture& f = TheFixture();
    std::vector<std::pair<PBYTE, DWORD>> buffers;
    for (DWORD i = 0; i < kBuffersPerRequest; ++i)
        buffers.push_back({f.data.data() + i * kBuffer, kBuffer});
    const DWORD requestSectors = kRequestBytes / 512;
    // Stays clear of the last request, which holds the trailer.
    const DWORD requests = kDiskBytes / kRequestBytes - 1;
    DWORD next = 0;
    for (auto _ : state) {
        drivertest::Request request(next * requestSectors, requestSectors, buffers);
        if (!f.ioControl(f.disk, code, request.Bytes(), request.Size(), nullptr, 0, nullptr))
            state.SkipWithError("transfer failed");
        next = (next + 1) % requests;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kRequestBytes);
}

void PlainCopy(benchmark::State& state) {
    std::vector<uint8_t> from(kDiskBytes, 1), to(kRequestBytes);
    DWORD next = 0;
    for (auto _ : state) {
        std::memcpy(to.data(), from.data() + size_t{next} * kRequestBytes, kRequestBytes);
        benchmark::DoNotOptimize(to.data());
        next = (next + 1) % (kDiskBytes / kRequestBytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kRequestBytes);
}

void BareAes(benchmark::State& state) {
    Fixture& f = TheFixture();
    AesKeySchedule schedule;
    AesSetEncryptKey128(f.key, &schedule);
    std::vector<uint8_t> out(kRequestBytes);
    for (auto _ : state) {
        EncryptBlocks(&schedule, f.data.data(), out.data(), kRequestBytes);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kRequestBytes);
}

void OpenSslAes(benchmark::State& state) {
    Fixture& f = TheFixture();
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, f.key, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    std::vector<uint8_t> out(kRequestBytes);
    for (auto _ : state) {
        int length = 0;
        EVP_EncryptUpdate(ctx, out.data(), &length, f.data.data(), static_cast<int>(kRequestBytes));
        benchmark::DoNotOptimize(out.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kRequestBytes);
}

BENCHMARK_CAPTURE(DriverTransfer, write, DWORD{IOCTL_DISK_WRITE});
BENCHMARK_CAPTURE(DriverTransfer, read, DWORD{IOCTL_DISK_READ});
BENCHMARK(PlainCopy);
BENCHMARK(BareAes);
BENCHMARK(OpenSslAes);

} // namespace

int main(int argc, char** argv) {
    testing_support::ThroughputReporter reporter;
    reporter.RunSelected(argc, argv);
    double write = reporter.MegabytesPerSecond("DriverTransfer/write");
    double read = reporter.MegabytesPerSecond("DriverTransfer/read");
    double copy = reporter.MegabytesPerSecond("PlainCopy");
    double aes = reporter.MegabytesPerSecond("BareAes");
    double openssl = reporter.MegabytesPerSecond("OpenSslAes");
    std::printf(
        "\nMB/s: driver write %.1f, driver read %.1f | plain copy %.1f, our AES %.1f, OpenSSL AES %.1f\n",
        write, read, copy, aes, openssl);
    if (write > 0 && read > 0 && aes > 0)
        std::printf(
            "cost over bare AES: write %.2fx, read %.2fx (target at most 1.3x); over OpenSSL: write %.2fx, "
            "read %.2fx; over a plain copy: write %.2fx, read %.2fx\n",
            aes / write, aes / read, openssl / write, openssl / read, copy / write, copy / read);
    return 0;
}
