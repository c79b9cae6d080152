// Opens container files of any content as the main program does, through ActivateDeviceEx: the driver
// reads the trailer, unwraps the key, maps the file and checks the password; a file it accepts goes to
// the storage manager, which looks for the volume and mounts it (repairing one left in use); the folder is
// walked and changed a little, and the dismount flushes it through the driver. The input is either a whole
// container file, or patches to the plain sectors of a small container that the system made (its trailer
// among them), encrypted again with its key.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ContainerFormat.h"
#include "crt/Crt.h"
#include "devices/DeviceManager.h"
#include "devices/StorageManager.h"
#include "kernel/Install.h"
#include "kernel/Kernel.h"
#include "user/MessageBox.h"

namespace {

constexpr char16_t kDriverKey[] = u"Drivers\\Builtin\\Ferrovane";
constexpr char16_t kContainer[] = u"\\fuzzed.fvc";
constexpr char16_t kPassword[] = u"fuzzing";
constexpr char16_t kFolder[] = u"Fuzz";
constexpr uint32_t kTemplateBytes = 256 * 1024;
constexpr size_t kMaxRawBytes = 1 << 20;
constexpr int kMaxDepth = 4;

CONTAINER_PARAMS Record(uint32_t size) {
    CONTAINER_PARAMS record;
    std::memset(&record, 0, sizeof record);
    CopyStringW(record.containerPath, kContainerTextUnits, kContainer);
    CopyStringW(record.password, kContainerTextUnits, kPassword);
    CopyStringW(record.folderName, kContainerTextUnits, kFolder);
    record.size = size;
    return record;
}

std::filesystem::path HostFile() {
    DWORD error = 0;
    return kernel::DeviceToHostPath(kContainer, &error).value_or("");
}

std::vector<uint8_t> ReadContainer() {
    std::ifstream in(HostFile(), std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteContainer(const uint8_t* data, size_t size) {
    std::ofstream out(HostFile(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

bool WriteDeviceFile(const std::u16string& path, size_t size, uint8_t fill) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<uint8_t> bytes(size, fill);
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok;
}

// The container that the patches change: made, given its trailer and filled as the main program and its
// user would, then decrypted whole (trailer included: encrypting it again gives it back).
struct Template {
    std::vector<uint8_t> plain;
    std::vector<uint32_t> sectors; // the ones the system wrote, and the last one with the trailer
    AesKeySchedule encryption{};
};

Template MakeTemplate() {
    Template made;
    CONTAINER_PARAMS created = Record(kTemplateBytes);
    HANDLE device = ActivateDeviceEx(kDriverKey, nullptr, 0, &created);
    if (device == nullptr)
        return made;
    DeactivateDevice(device);
    CONTAINER_TRAILER trailer;
    BuildNewContainerTrailer(kPassword, kFolder, &trailer);
    std::vector<uint8_t> file = ReadContainer();
    if (file.size() != kTemplateBytes)
        return made;
    std::memcpy(file.data() + file.size() - kTrailerSize, &trailer, kTrailerSize);
    WriteContainer(file.data(), file.size());

    CONTAINER_PARAMS opened = Record(0);
    device = ActivateDeviceEx(kDriverKey, nullptr, 0, &opened);
    auto active = device != nullptr ? kernel::FindHandleAs<devices::Device>(device) : nullptr;
    const std::u16string folder = active ? devices::MountFolderOf(*active) : std::u16string();
    if (!folder.empty()) {
        CreateDirectoryW((folder + u"\\A folder with a long name").c_str(), nullptr);
        WriteDeviceFile(folder + u"\\README.TXT", 700, 'r');
        WriteDeviceFile(folder + u"\\A folder with a long name\\data of some clusters.bin", 9000, 'd');
        WriteDeviceFile(folder + u"\\empty", 0, 0);
    }
    if (device != nullptr)
        DeactivateDevice(device);

    file = ReadContainer();
    uint8_t key[16];
    DerivePasswordKey(kPassword, kContainerTextUnits, key);
    AesKeySchedule decryption;
    AesSetDecryptKey128(key, &decryption);
    AesSetEncryptKey128(key, &made.encryption);
    const uint32_t sectorCount = static_cast<uint32_t>(file.size() / kContainerSectorSize);
    for (uint32_t sector = 0; sector < sectorCount; ++sector) {
        const uint8_t* stored = file.data() + size_t{sector} * kContainerSectorSize;
        if (sector + 1 == sectorCount ||
            std::any_of(stored, stored + kContainerSectorSize, [](uint8_t b) { return b != 0; }))
            made.sectors.push_back(sector);
    }
    made.plain.resize(file.size());
    DecryptBlocks(&decryption, file.data(), made.plain.data(), static_cast<uint32_t>(file.size()));
    return made;
}

struct Setup {
    std::filesystem::path root;
    HMODULE driver = nullptr;
    Template base;
};

Setup& TheSetup() {
    static Setup* setup = [] {
        auto* made = new Setup;
        // In memory where it can be: every dismount flushes the container file to its storage.
        std::string root = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        root += "/ferrovane-container-fuzz-XXXXXX";
        if (::mkdtemp(root.data()) == nullptr)
            return made;
        made->root = root;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(TheSetup().root, ignored);
        });
        kernel::SetDeviceRoot(root);
        ::setenv("FERROVANE_FUSE", "0", 1); // the folder stays with this process
        if (kernel::InstallDeviceManifest(DRIVER_MANIFEST) != 0)
            return made;
        kernel::SetProgramDevicePath(u"\\program files\\ferrovane\\ferrovane.exe");
        user::SetMessageBoxHandler([](const user::MessageBoxRecord&) { return IDOK; });
        // Held loaded, so that each activation finds it so; loading it also writes the driver's keys.
        made->driver = LoadLibraryW(u"Ferrovane.dll");
        made->base = MakeTemplate();
        return made;
    }();
    return *setup;
}

void Walk(const std::u16string& folder, int depth) {
    if (depth > kMaxDepth)
        return;
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW((folder + u"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<WIN32_FIND_DATAW> entries;
    do
        entries.push_back(data);
    while (entries.size() < 100 && FindNextFileW(search, &data));
    FindClose(search);
    std::vector<uint8_t> buffer(8192);
    for (const WIN32_FIND_DATAW& entry : entries) {
        const std::u16string path = folder + u"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Walk(path, depth + 1);
            continue;
        }
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        DWORD read = 0;
        ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr);
        CloseHandle(file);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setup& setup = TheSetup();
    if (setup.driver == nullptr || size < 1)
        return 0;
    const bool raw = (data[0] & 1) != 0;
    ++data;
    --size;
    if (raw) {
        WriteContainer(data, std::min(size, kMaxRawBytes));
    } else {
        const Template& base = setup.base;
        if (base.sectors.empty())
            return 0;
        std::vector<uint8_t> plain = base.plain;
        // Patches of four bytes: which of the written sectors, where in it, the new byte.
        for (size_t at = 0; at + 4 <= size; at += 4) {
            const uint32_t sector = base.sectors[data[at] % base.sectors.size()];
            const size_t offset = (data[at + 1] | (data[at + 2] << 8)) % kContainerSectorSize;
            plain[size_t{sector} * kContainerSectorSize + offset] = data[at + 3];
        }
        EncryptBlocks(&base.encryption, plain.data(), plain.data(), static_cast<uint32_t>(plain.size()));
        WriteContainer(plain.data(), plain.size());
    }

    CONTAINER_PARAMS record = Record(0);
    HANDLE device = ActivateDeviceEx(kDriverKey, nullptr, 0, &record);
    if (device == nullptr)
        return 0;
    auto active = kernel::FindHandleAs<devices::Device>(device);
    const std::u16string folder = active ? devices::MountFolderOf(*active) : std::u16string();
    if (!folder.empty()) {
        Walk(folder, 0);
        WriteDeviceFile(folder + u"\\written by the fuzzer.txt", 3000, 'f');
        DeleteFileW((folder + u"\\README.TXT").c_str());
    }
    DeactivateDevice(device);
    return 0;
}
