#include "kernel/Install.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "ProgramSupport.h"
#include "crt/Utf8.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Errors.h"
#include "kernel/Modules.h"

namespace kernel {

namespace {

namespace fs = std::filesystem;

constexpr char kRecordName[] = "installed";
constexpr char kLockName[] = "install.lock";
constexpr HRESULT kFacilityWin32 = 7;

using Digest = uint64_t;

// FNV-1a over the file's bytes: tells one version of a file from another, nothing more.
std::optional<Digest> DigestOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    Digest digest = 14695981039346656037ull;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            digest ^= static_cast<unsigned char>(buffer[i]);
            digest *= 1099511628211ull;
        }
    }
    return in.bad() ? std::nullopt : std::optional<Digest>(digest);
}

// What an install laid down at a place of the store, by the host path below the store.
struct Laid {
    Digest digest = 0;
    bool registered = false;
};

// Format notes: one line a file, "digest-in-hex <tab> registered (0 or 1) <tab> path below the store".
class InstallRecord {
public:
    InstallRecord() {
        std::ifstream in(File());
        std::string line;
        while (std::getline(in, line)) {
            size_t first = line.find('\t');
            size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
            if (second == std::string::npos)
                continue;
            Laid laid;
            laid.digest = std::strtoull(line.substr(0, first).c_str(), nullptr, 16);
            laid.registered = line.substr(first + 1, second - first - 1) == "1";
            m_entries[line.substr(second + 1)] = laid;
        }
    }

    std::optional<Laid> Find(const std::string& place) const {
        auto it = m_entries.find(place);
        return it == m_entries.end() ? std::nullopt : std::optional<Laid>(it->second);
    }
    void Set(const std::string& place, Laid laid) { m_entries[place] = laid; }

    // Written whole beside the record and renamed over it.
    bool Save() const {
        fs::path temporary = File();
        temporary += ".new";
        {
            std::ofstream out(temporary, std::ios::trunc);
            char digest[20];
            for (const auto& [place, laid] : m_entries) {
                std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(laid.digest));
                out << digest << '\t' << (laid.registered ? '1' : '0') << '\t' << place << '\n';
            }
            if (!out.flush())
                return false;
        }
        std::error_code failure;
        fs::rename(temporary, File(), failure);
        return !failure;
    }

private:
    static fs::path File() { return DeviceRoot() / kRecordName; }

    std::map<std::string, Laid> m_entries;
};

// One install at a time in a device root.
class InstallLock {
public:
    InstallLock() : m_fd(::open((RuntimeFolder() / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (m_fd.IsOpen())
            ::flock(m_fd.Get(), LOCK_EX);
    }

private:
    support::FileDescriptor m_fd;
};

DWORD CopyOver(const fs::path& hostFile, const fs::path& target) {
    std::error_code failure;
    fs::path temporary =
        target.parent_path() / (".install-" + std::to_string(::getpid()) + "-" + target.filename().string());
    fs::copy_file(hostFile, temporary, fs::copy_options::overwrite_existing, failure);
    if (!failure)
        fs::permissions(temporary, fs::status(hostFile).permissions(), failure);
    if (!failure)
        fs::rename(temporary, target, failure);
    if (failure) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return failure == std::errc::no_space_on_device ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

// Calls the library's DllRegisterServer.
DWORD Register(LPCWSTR devicePath) {
    HMODULE library = LoadLibraryW(devicePath);
    if (!library)
        return GetLastError();
    using RegisterServer = HRESULT (*)();
    auto registerServer = reinterpret_cast<RegisterServer>(GetProcAddress(library, "DllRegisterServer"));
    DWORD error = ERROR_PROC_NOT_FOUND;
    if (registerServer) {
        HRESULT result = registerServer();
        if (result >= 0)
            error = ERROR_SUCCESS;
        else if (((result >> 16) & 0x1FFF) == kFacilityWin32)
            error = static_cast<DWORD>(result) & 0xFFFF;
        else
            error = ERROR_GEN_FAILURE;
    }
    FreeLibrary(library);
    return error;
}

DWORD Install(InstallRecord& record, const fs::path& hostFile, LPCWSTR devicePath, DeviceFileKind kind) {
    if (!devicePath)
        return ERROR_INVALID_PARAMETER;
    std::error_code failure;
    if (!fs::is_regular_file(hostFile, failure))
        return ERROR_FILE_NOT_FOUND;
    std::optional<Digest> offered = DigestOf(hostFile);
    if (!offered)
        return ERROR_ACCESS_DENIED;
    DWORD error = ERROR_SUCCESS;
    auto target = DeviceToHostPath(devicePath, &error);
    if (!target)
        return error;
    fs::create_directories(target->parent_path(), failure);
    if (failure)
        return ERROR_PATH_NOT_FOUND;

    const std::string place = target->lexically_relative(ObjectStoreFolder()).generic_string();
    const std::optional<Laid> before = record.Find(place);
    const std::optional<Digest> present = fs::exists(*target, failure) ? DigestOf(*target) : std::nullopt;
    bool lay = present != offered;
    if (kind == DeviceFileKind::Configuration && present)
        lay = lay && before && before->digest == *present; // the user's version stays
    if (lay) {
        if (DWORD copied = CopyOver(hostFile, *target))
            return copied;
    }
    Laid laid{*offered, false};
    if (kind == DeviceFileKind::SelfRegistering) {
        laid.registered = !lay && before && before->digest == *offered && before->registered;
        if (!laid.registered) {
            if (DWORD registered = Register(devicePath)) {
                record.Set(place, laid);
                return registered;
            }
            laid.registered = true;
        }
    }
    record.Set(place, laid);
    return ERROR_SUCCESS;
}

std::optional<DeviceFileKind> KindOf(std::string_view name) {
    if (name.empty())
        return DeviceFileKind::Program;
    if (name == "config")
        return DeviceFileKind::Configuration;
    if (name == "register")
        return DeviceFileKind::SelfRegistering;
    return std::nullopt;
}

} // namespace

DWORD InstallDeviceFile(const fs::path& hostFile, LPCWSTR devicePath, DeviceFileKind kind) {
    InstallLock lock;
    InstallRecord record;
    DWORD error = Install(record, hostFile, devicePath, kind);
    if (!record.Save() && error == ERROR_SUCCESS)
        error = ERROR_ACCESS_DENIED;
    return error;
}

DWORD InstallDeviceManifest(const fs::path& manifest) {
    std::ifstream input(manifest);
    if (!input)
        return ERROR_FILE_NOT_FOUND;
    InstallLock lock;
    InstallRecord record;
    DWORD error = ERROR_SUCCESS;
    std::string line;
    while (error == ERROR_SUCCESS && std::getline(input, line)) {
        if (line.empty())
            continue;
        std::string_view rest(line);
        size_t tab = rest.find('\t');
        if (tab == std::string_view::npos) {
            error = ERROR_BAD_FORMAT;
            break;
        }
        std::string_view host = rest.substr(0, tab);
        rest.remove_prefix(tab + 1);
        size_t kindTab = rest.find('\t');
        std::string_view kindName =
            kindTab == std::string_view::npos ? std::string_view() : rest.substr(kindTab + 1);
        auto kind = KindOf(kindName);
        auto devicePath = crt::FromWtf8(rest.substr(0, kindTab));
        if (!kind || !devicePath || kindName.find('\t') != std::string_view::npos) {
            error = ERROR_BAD_FORMAT;
            break;
        }
        error = Install(record, fs::path(std::string(host)), devicePath->c_str(), *kind);
    }
    if (!record.Save() && error == ERROR_SUCCESS)
        error = ERROR_ACCESS_DENIED;
    return error;
}

} // namespace kernel
