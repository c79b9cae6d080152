// Sequential transfers of 64 MiB in one run: through a mounted container's folder (written also with a
// flush to the disk at the end), through a plain file of the object store, and as the driver's raw sector
// transfers (IOCTL_DISK_WRITE / IOCTL_DISK_READ), all in pieces of 64 KiB; printed as MB/s and as ratios.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "ContainerImage.h"
#include "DriverTestSupport.h"
#include "devices/DeviceManager.h"
#include "devices/StorageManager.h"
#include "testing/BenchmarkReporter.h"
#include "user/MessageBox.h"

namespace {

constexpr DWORD kPiece = 64 * 1024;
constexpr DWORD kTotal = 64 * 1024 * 1024;
constexpr uint32_t kContainerBytes = 160 * 1024 * 1024;
constexpr char16_t kContainer[] = u"\\bench.fvc";
constexpr char16_t kPassword[] = u"benchmark";
constexpr char16_t kPlainFile[] = u"\\plain.bin";

struct Fixture {
    testing_support::TemporaryDeviceRoot root;
    HMODULE module = nullptr;
    HANDLE device = nullptr;
    std::shared_ptr<devices::Device> disk;
    std::u16string folder;
    std::vector<uint8_t> data = std::vector<uint8_t>(kPiece);
    std::vector<uint8_t> buffer = std::vector<uint8_t>(kPiece);

    Fixture();
    ~Fixture() {
        DeactivateDevice(device);
        FreeLibrary(module);
    }
};

enum class Flush { No, AtEnd };

// One pass over 64 MiB; false when a call failed.
bool WriteFilePass(const std::u16string& path, const std::vector<uint8_t>& data, Flush flush = Flush::No) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (DWORD done = 0; ok && done < kTotal; done += kPiece) {
        DWORD written = 0;
        ok = WriteFile(file, data.data(), kPiece, &written, nullptr) && written == kPiece;
    }
    if (ok && flush == Flush::AtEnd)
        ok = FlushFileBuffers(file) != FALSE;
    return CloseHandle(file) && ok;
}

bool ReadFilePass(const std::u16string& path, std::vector<uint8_t>& buffer) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (DWORD done = 0; ok && done < kTotal; done += kPiece) {
        DWORD read = 0;
        ok = ReadFile(file, buffer.data(), kPiece, &read, nullptr) && read == kPiece;
    }
    benchmark::DoNotOptimize(buffer.data());
    return CloseHandle(file) && ok;
}

// The driver's sectors in requests of eight 8 KiB buffers, in the disk's upper half, which the file
// system leaves free.
bool RawPass(devices::Device& disk, DWORD code, std::vector<uint8_t>& buffer) {
    constexpr DWORD kBuffers = 8;
    constexpr DWORD kBufferBytes = kPiece / kBuffers;
    constexpr DWORD kFirst = kContainerBytes / 512 / 2;
    std::vector<std::pair<PBYTE, DWORD>> buffers;
    for (DWORD i = 0; i < kBuffers; ++i)
        buffers.push_back({buffer.data() + i * kBufferBytes, kBufferBytes});
    for (DWORD done = 0; done < kTotal; done += kPiece) {
        drivertest::Request request(kFirst + done / 512, kPiece / 512, buffers);
        if (!disk.IoControl(code, request.Bytes(), request.Size(), nullptr, 0, nullptr))
            return false;
    }
    return true;
}

Fixture::Fixture() {
    kernel::InstallDeviceManifest(DRIVER_MANIFEST);
    kernel::SetProgramDevicePath(u"\\program files\\ferrovane\\ferrovane.exe");
    user::SetMessageBoxHandler([](const user::MessageBoxRecord&) { return IDOK; });
    module = LoadLibraryW(u"Ferrovane.dll");
    CONTAINER_PARAMS created = drivertest::MakeRecord(kContainer, kPassword, u"Bench", kContainerBytes);
    DeactivateDevice(ActivateDeviceEx(u"Drivers\\Builtin\\Ferrovane", nullptr, 0, &created));
    storagetest::WriteNewTrailer(drivertest::HostPath(kContainer), kPassword, u"Bench");
    CONTAINER_PARAMS opened = drivertest::MakeRecord(kContainer, kPassword, u"Bench", 0);
    device = ActivateDeviceEx(u"Drivers\\Builtin\\Ferrovane", nullptr, 0, &opened);
    disk = kernel::FindHandleAs<devices::Device>(device);
    if (!disk)
        return;
    folder = devices::MountFolderOf(*disk);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 31 + 7);
    // The container file is sparse: the first write to a region also allocates it on the host, which
    // this warm-up pays for every way of writing alike.
    if (!WriteFilePass(folder + u"\\big.bin", data) || !WriteFilePass(kPlainFile, data) ||
        !RawPass(*disk, IOCTL_DISK_WRITE, buffer))
        folder.clear();
}

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

template <typename Pass>
void Measure(benchmark::State& state, Pass pass) {
    for (auto _ : state)
        if (!pass())
            state.SkipWithError("a transfer failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTotal);
}

void MountedWrite(benchmark::State& state) {
    Fixture& f = TheFixture();
    Measure(state, [&] { return WriteFilePass(f.folder + u"\\big.bin", f.data); });
}
void MountedWriteFlushed(benchmark::State& state) {
    Fixture& f = TheFixture();
    Measure(state, [&] { return WriteFilePass(f.folder + u"\\big.bin", f.data, Flush::AtEnd); });
}
void MountedRead(benchmark::State& state) {
    Fixture& f = TheFixture();
    Measure(state, [&] { return ReadFilePass(f.folder + u"\\big.bin", f.buffer); });
}
void PlainWrite(benchmark::State& state) {
    Fixture& f = TheFixture();
    Measure(state, [&] { return WriteFilePass(kPlainFile, f.data); });
}
void PlainRead(benchmark::State& state) {
    Fixture& f = TheFixture();
    Measure(state, [&] { return ReadFilePass(kPlainFile, f.buffer); });
}
void RawWrite(benchmark::State& state) {
    Fixture& f = TheFixture();
    std::vector<uint8_t> buffer = f.data;
    Measure(state, [&] { return RawPass(*f.disk, IOCTL_DISK_WRITE, buffer); });
}
void RawRead(benchmark::State& state) {
    Fixture& f = TheFixture();
    Measure(state, [&] { return RawPass(*f.disk, IOCTL_DISK_READ, f.buffer); });
}

BENCHMARK(MountedWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(MountedWriteFlushed)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(MountedRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(RawWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(RawRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (TheFixture().folder.empty()) {
        std::fprintf(stderr, "the benchmark container could not be mounted and written\n");
        return 1;
    }
    testing_support::ThroughputReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto rate = [&](const char* name) {
        for (const auto& [key, value] : reporter.All())
            if (key.rfind(name, 0) == 0)
                return value;
        return 0.0;
    };
    const double mountedWrite = rate("MountedWrite/"), mountedRead = rate("MountedRead");
    const double mountedFlushed = rate("MountedWriteFlushed");
    const double plainWrite = rate("PlainWrite"), plainRead = rate("PlainRead");
    const double rawWrite = rate("RawWrite"), rawRead = rate("RawRead");
    std::printf("\nMB/s, 64 MiB in 64 KiB pieces:\n");
    std::printf("  mounted folder  write %8.1f  read %8.1f  write flushed at the end %8.1f\n", mountedWrite,
                mountedRead, mountedFlushed);
    std::printf("  plain host file write %8.1f  read %8.1f\n", plainWrite, plainRead);
    std::printf("  raw sectors     write %8.1f  read %8.1f\n", rawWrite, rawRead);
    if (mountedWrite > 0 && mountedRead > 0)
        std::printf(
            "cost of the mounted folder over the raw sectors: write %.2fx, read %.2fx (target at most "
            "1.5x); over the plain file: write %.2fx, read %.2fx\n",
            rawWrite / mountedWrite, rawRead / mountedRead, plainWrite / mountedWrite,
            plainRead / mountedRead);
    if (mountedFlushed > 0)
        std::printf("cost of the flush to the disk: %.2fx of the unflushed write\n",
                    mountedWrite / mountedFlushed);
    return 0;
}
