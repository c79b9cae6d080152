// Commands that mount encrypted containers as the main program does: mount, unmount, mounts.
//
// A mount command holds its mount in its own process until a signal ends it. While it does, a record of
// the mount lies in the device's run-time folder (device-mounts/<process id>: the folder, the container
// and whether other processes see the folder, a line each), so that other invocations can list and end
// it. A command that ended without removing its record (killed, or a zombie its parent has not reaped)
// holds nothing: its record is dropped, and 'unmount' clears the dead folder it left.

#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "Arguments.h"
#include "Commands.h"
#include "ContainerFormat.h"
#include "Text.h"
#include "crt/Crt.h"
#include "devices/DeviceManager.h"
#include "devices/StorageManager.h"
#include "kernel/Kernel.h"
#include "user/MessageBox.h"

namespace device_tool {

namespace {

constexpr WCHAR kDriverKey[] = u"Drivers\\Builtin\\Ferrovane";
constexpr WCHAR kDriverFile[] = u"Ferrovane.dll";
constexpr WCHAR kDefaultFolder[] = u"Encrypted Folder";
constexpr auto kUnmountPatience = std::chrono::seconds(30);

struct MountRecord {
    DWORD process = 0;
    std::string folder;
    std::string container;
    std::string sharing;
    std::string started; // the process's start time, so that a process id taken over by another is not it
};

std::filesystem::path RecordFolder() {
    return kernel::RuntimeFolder() / "device-mounts";
}

// The state (field 3 of /proc/PID/stat) and the start time in clock ticks since boot (field 22) of a
// process; both empty when there is no such process.
struct ProcessStat {
    std::string state;
    std::string started;
};

ProcessStat ReadProcessStat(DWORD process) {
    std::ifstream in("/proc/" + std::to_string(process) + "/stat");
    std::string stat;
    std::getline(in, stat);
    // The command name in parentheses may hold blanks; the fields after it are counted from field 3.
    size_t at = stat.rfind(')');
    if (at == std::string::npos)
        return {};
    std::istringstream fields(stat.substr(at + 1));
    ProcessStat result;
    std::string field;
    for (int index = 3; index <= 22 && fields >> field; ++index) {
        if (index == 3)
            result.state = field;
        if (index == 22)
            result.started = field;
    }
    return result;
}

std::string ProcessStartTime(DWORD process) {
    return ReadProcessStat(process).started;
}

// True while the mount command of the record runs: the process is there, started when the record says,
// and has not ended (a zombie holds no mount: its files, the FUSE session among them, are closed).
bool ProcessAlive(const MountRecord& record) {
    const ProcessStat stat = ReadProcessStat(record.process);
    return !stat.started.empty() && stat.started == record.started && stat.state != "Z" && stat.state != "X";
}

// The records of live mount commands. Those of commands that ended are removed; they go to *ended.
std::vector<MountRecord> LiveRecords(std::vector<MountRecord>* ended = nullptr) {
    std::vector<MountRecord> records;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(RecordFolder(), error)) {
        auto process = Number(entry.path().filename().string());
        if (!process || *process <= 0)
            continue;
        MountRecord record;
        record.process = static_cast<DWORD>(*process);
        std::ifstream in(entry.path());
        std::getline(in, record.folder);
        std::getline(in, record.container);
        std::getline(in, record.sharing);
        std::getline(in, record.started);
        if (!ProcessAlive(record)) {
            std::filesystem::remove(entry.path(), error);
            if (ended != nullptr)
                ended->push_back(std::move(record));
            continue;
        }
        if (!record.folder.empty())
            records.push_back(std::move(record));
    }
    return records;
}

bool CopyField(char16_t (&field)[kContainerTextUnits], const std::u16string& text) {
    if (text.size() >= kContainerTextUnits)
        return false;
    CopyStringW(field, kContainerTextUnits, text.c_str());
    return true;
}

std::optional<uint32_t> SizeOf(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    unsigned long long unit = 1;
    std::string digits = text;
    char last = static_cast<char>(std::toupper(static_cast<unsigned char>(digits.back())));
    if (last == 'K' || last == 'M') {
        unit = last == 'K' ? 1024 : 1048576;
        digits.pop_back();
    }
    auto count = Number(digits);
    if (!count || *count <= 0 || static_cast<unsigned long long>(*count) > kMaxContainerSize / unit)
        return std::nullopt;
    return static_cast<uint32_t>(static_cast<unsigned long long>(*count) * unit);
}

// What an error of opening or reading the container file says about it; empty for others.
std::string FileProblem(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "the container file does not exist";
    case ERROR_SHARING_VIOLATION:
        return "the container file is in use: another mount or program has it open";
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return "the container's path is no valid device path";
    default:
        return {};
    }
}

// Why a name cannot be the folder of a mount, as the device's paths refuse it; empty when it can.
std::string FolderProblem(const std::u16string& name) {
    if (name.empty())
        return "it is empty";
    if (name == u"." || name == u"..")
        return "it names no folder of its own";
    if (name.size() + 1 >= MAX_PATH)
        return "it is too long for a device path";
    for (char16_t c : name) {
        if (c < 0x20)
            return "it holds a control character";
        if (std::u16string_view(u"<>:\"/|\\*?").find(c) != std::u16string_view::npos)
            return std::string("'") + static_cast<char>(c) + "' is not allowed in it";
    }
    return {};
}

int FailFolder(const std::u16string& name, const std::string& problem) {
    return Fail("the folder name " + Quoted(name) + " cannot be a folder: " + problem, 0);
}

std::string StatusText(int32_t status, DWORD lastError) {
    switch (status) {
    case MOUNT_FILE_MISSING:
        return "the container file does not exist";
    case MOUNT_CREATE_FAILED:
        return "the container file cannot be created";
    case MOUNT_WRITE_FAILED:
        return "the container file cannot be written";
    case MOUNT_OPEN_FAILED:
        if (std::string problem = FileProblem(lastError); !problem.empty())
            return problem;
        return "the container file cannot be opened";
    case MOUNT_MAPPING_FAILED:
        return "the container file cannot be mapped to memory";
    case MOUNT_BAD_PASSWORD:
        return "the file is no container, or the password is wrong";
    case MOUNT_SIZE_FAILED:
        return "the container file's size cannot be read";
    default:
        return "the driver answered status " + std::to_string(status);
    }
}

// Activates the driver with the record; the device, or NULL after reporting why not.
HANDLE Activate(CONTAINER_PARAMS& record) {
    record.status = MOUNT_OK;
    record.lastError = 0;
    HANDLE device = ActivateDeviceEx(kDriverKey, nullptr, 0, &record);
    DWORD error = GetLastError();
    if (device && record.status == MOUNT_OK)
        return device;
    if (device)
        DeactivateDevice(device);
    if (record.status != MOUNT_OK)
        Fail(StatusText(record.status, record.lastError), record.lastError);
    else
        Fail("the driver could not be activated", error);
    return nullptr;
}

// The trailer of a new container, written over the file's last 272 bytes.
bool WriteNewTrailer(const CONTAINER_PARAMS& record) {
    CONTAINER_TRAILER trailer;
    BuildNewContainerTrailer(record.password, record.folderName, &trailer);
    HANDLE file = CreateFileW(record.containerPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = SetFilePointer(file, -static_cast<LONG>(kTrailerSize), nullptr, FILE_END) !=
                  INVALID_SET_FILE_POINTER &&
              WriteFile(file, &trailer, kTrailerSize, &written, nullptr) && written == kTrailerSize;
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

// The folder name in a container's trailer, read as the main program reads it: the data key unwrapped
// with the password's key decrypts the name block, 8-bit text unless its second byte is 0 (then the low
// bytes of UTF-16 units). A wrong password gives a garbled name; the driver then refuses the password.
// Without a name, *why says what is wrong with the file, *error the platform's error.
std::optional<std::u16string> FolderFromTrailer(const CONTAINER_PARAMS& record, std::string* why,
                                                DWORD* error) {
    HANDLE file =
        CreateFileW(record.containerPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        *why = FileProblem(*error);
        if (why->empty())
            *why = "the container file cannot be opened";
        return std::nullopt;
    }
    CONTAINER_TRAILER trailer;
    DWORD read = 0;
    const bool longEnough = GetFileSize(file, nullptr) >= kTrailerSize;
    bool ok = longEnough &&
              SetFilePointer(file, -static_cast<LONG>(kTrailerSize), nullptr, FILE_END) !=
                  INVALID_SET_FILE_POINTER &&
              ReadFile(file, &trailer, kTrailerSize, &read, nullptr) && read == kTrailerSize;
    *error = longEnough ? GetLastError() : 0;
    CloseHandle(file);
    if (!ok) {
        *why = longEnough ? "the container's trailer cannot be read"
                          : "the file is no container: it is too short to hold a trailer";
        return std::nullopt;
    }
    uint8_t passwordKey[16];
    uint8_t dataKey[16];
    DerivePasswordKey(record.password, kContainerTextUnits, passwordKey);
    UnwrapDataKey(passwordKey, trailer.keyBlock, dataKey);
    AesKeySchedule schedule;
    AesSetDecryptKey128(dataKey, &schedule);
    uint8_t name[kNameBlockSize];
    DecryptBlocks(&schedule, trailer.nameBlock, name, kNameBlockSize);
    std::u16string folder;
    if (name[1] != 0) {
        for (size_t i = 0; i < kNameBlockSize && name[i] != 0; ++i)
            folder.push_back(name[i]);
    } else {
        for (size_t k = 0; k < kNameBlockSize / 2 && name[2 * k] != 0; ++k)
            folder.push_back(name[2 * k]);
    }
    return folder;
}

} // namespace

int Mount(const Words& words) {
    Arguments args(words, {"create", "password", "folder"}, {"open"});
    if (!args.Ok())
        return Usage(args.Error());
    bool create = args.Value("create").has_value();
    if (create == args.Has("open") || args.Words().size() != 1 || !args.Value("password"))
        return Usage("mount takes --create SIZE or --open, a container and --password");
    CONTAINER_PARAMS record{};
    std::optional<uint32_t> size = create ? SizeOf(*args.Value("create")) : std::optional<uint32_t>(0);
    if (!size)
        return Usage("the size is a number of bytes, K or M, above 0 and below 4 G");
    record.size = *size;
    std::u16string folder = Wide(args.Value("folder").value_or(""));
    if (!CopyField(record.containerPath, Wide(args.Words()[0])) ||
        !CopyField(record.password, Wide(*args.Value("password"))) || !CopyField(record.folderName, folder))
        return Usage("the container path, the password and the folder hold 259 characters at most");
    if (args.Value("folder"))
        if (std::string problem = FolderProblem(folder); !problem.empty())
            return FailFolder(folder, problem);

    // The mount is held until one of these arrives; every thread started from here on has them blocked.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    user::SetMessageBoxHandler([](const user::MessageBoxRecord& box) {
        std::fprintf(stderr, "ferrovane-device: the driver says \"%s\": %s\n", Narrow(box.caption).c_str(),
                     Narrow(box.text).c_str());
        return IDOK;
    });

    // Loading the driver once writes its registry keys, as the main program's start does.
    HMODULE driver = LoadLibraryW(kDriverFile);
    if (!driver)
        return Fail("the driver \\windows\\Ferrovane.dll cannot be loaded (install it first)",
                    GetLastError());
    FreeLibrary(driver);

    if (create) {
        if (folder.empty())
            CopyStringW(record.folderName, kContainerTextUnits, kDefaultFolder);
        HANDLE created = Activate(record);
        if (!created)
            return 1;
        if (!DeactivateDevice(created))
            return Fail("the new container cannot be deactivated", GetLastError());
        if (!WriteNewTrailer(record))
            return Fail("the new container's trailer cannot be written", GetLastError());
        record.size = 0;
    } else if (folder.empty()) {
        std::string why;
        DWORD error = 0;
        std::optional<std::u16string> named = FolderFromTrailer(record, &why, &error);
        if (!named)
            return Fail(why, error);
        CopyField(record.folderName, *named);
    }
    HANDLE device = Activate(record);
    if (!device)
        return 1;
    auto active = kernel::FindHandleAs<devices::Device>(device);
    std::optional<devices::MountInfo> mount = active ? devices::MountOf(*active) : std::nullopt;
    if (!mount) {
        DeactivateDevice(device);
        // The password was right: the name came from the container, or the volume is not one to mount.
        const std::u16string named = record.folderName;
        if (std::string problem = FolderProblem(named); !problem.empty())
            return FailFolder(named, problem);
        return Fail("the container's volume is damaged: it holds no file system that can be mounted", 0);
    }
    bool shared = mount->sharing == devices::MountSharing::Shared;

    std::error_code ignored;
    std::filesystem::create_directories(RecordFolder(), ignored);
    std::filesystem::path recordFile = RecordFolder() / std::to_string(getpid());
    {
        std::ofstream out(recordFile, std::ios::trunc);
        out << Narrow(mount->folder) << '\n'
            << args.Words()[0] << '\n'
            << (shared ? "shared" : "this process only: " + mount->sharingNote) << '\n'
            << ProcessStartTime(static_cast<DWORD>(getpid())) << '\n';
    }
    std::printf("mounted %s at %s\n", args.Words()[0].c_str(), Narrow(mount->folder).c_str());
    if (!shared)
        std::printf("only this process sees the folder: %s\n", mount->sharingNote.c_str());
    if (mount->readOnly)
        std::printf("the folder is read-only: the container's volume reaches the disk's last sector, "
                    "where the trailer is kept\n");
    std::fflush(stdout);

    for (;;) {
        int signal = 0;
        sigwait(&stops, &signal);
        if (DeactivateDevice(device))
            break;
        DWORD error = GetLastError();
        if (error != ERROR_BUSY) {
            std::filesystem::remove(recordFile, ignored);
            return Fail("the container cannot be unmounted", error);
        }
        std::fprintf(stderr, "ferrovane-device: host programs still use %s; it stays mounted\n",
                     Narrow(mount->folder).c_str());
    }
    std::filesystem::remove(recordFile, ignored);
    std::printf("unmounted %s\n", Narrow(mount->folder).c_str());
    return 0;
}

int Unmount(const Words& words) {
    Arguments args(words, {});
    if (!args.Ok() || args.Words().size() != 1)
        return Usage(args.Ok() ? "unmount takes a folder or a container" : args.Error());
    const std::string& wanted = args.Words()[0];
    std::string folder = wanted.empty() || wanted[0] == '\\' ? wanted : "\\" + wanted;
    auto names = [&](const MountRecord& record) {
        return strcasecmp(record.folder.c_str(), folder.c_str()) == 0 ||
               strcasecmp(record.container.c_str(), wanted.c_str()) == 0;
    };
    std::vector<MountRecord> ended;
    const std::vector<MountRecord> live = LiveRecords(&ended);
    for (const MountRecord& record : live) {
        if (!names(record))
            continue;
        if (::kill(static_cast<pid_t>(record.process), SIGTERM) != 0)
            return Fail("the mount command " + std::to_string(record.process) + " cannot be signalled",
                        errno);
        auto deadline = std::chrono::steady_clock::now() + kUnmountPatience;
        std::filesystem::path file = RecordFolder() / std::to_string(record.process);
        while (std::filesystem::exists(file) && ProcessAlive(record)) {
            if (std::chrono::steady_clock::now() > deadline)
                return Fail(record.folder + " is still mounted", ERROR_BUSY);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        devices::ClearDeadMountFolder(Wide(record.folder)); // left when the command was killed meanwhile
        std::printf("unmounted %s\n", record.folder.c_str());
        return 0;
    }
    // A holder that is gone left a dead folder behind, found by its record or by the folder's name.
    auto gone = std::find_if(ended.begin(), ended.end(), names);
    const std::string left = gone != ended.end() ? gone->folder : folder;
    if (devices::ClearDeadMountFolder(Wide(left))) {
        std::printf("unmounted %s: its mount command had ended\n", left.c_str());
        return 0;
    }
    return Fail("no mount command holds " + wanted, 0);
}

int Mounts(const Words& words) {
    Arguments args(words, {});
    if (!args.Ok() || !args.Words().empty())
        return Usage(args.Ok() ? "mounts takes no arguments" : args.Error());
    for (const MountRecord& record : LiveRecords())
        std::printf("%s\t%s\t%u\t%s\n", record.folder.c_str(), record.container.c_str(),
                    static_cast<unsigned>(record.process), record.sharing.c_str());
    return 0;
}

} // namespace device_tool
