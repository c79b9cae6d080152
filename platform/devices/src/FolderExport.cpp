// The life of a FUSE export: mounting the host folder and serving it on the session's threads, unmounting
// it once the host lets go, and reclaiming a folder that a dead process left behind.

#include "FolderExportServer.h"
#include "devices/StorageManager.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "kernel/Time.h"

extern char** environ;

namespace devices {
namespace {

constexpr char kSwitchVariable[] = "FERROVANE_FUSE";
// Marks a host folder that Start made, so that one left behind is told from the user's own.
constexpr char kMountPointName[] = "user.ferrovane.mountpoint";
constexpr DWORD kStopStep = 100; // ms between two unmount attempts
// How long an unmount waits for the releases of folders the host has just closed; the kernel sends them
// after the close returns, and a release that the unmount cuts off leaves the session's listing behind.
constexpr auto kFolderReleaseWait = std::chrono::milliseconds(50);
constexpr unsigned kMaxThreads = 16;
constexpr unsigned kIdleThreads = 4;

// --- Processes and log -----------------------------------------------------------------------------------

// Runs fusermount3 with its output discarded; true when it exited with 0.
bool RunFusermount(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "fusermount3");
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, "fusermount3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool IsExecutableOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
    while (true) {
        const size_t end = folders.find(':');
        const std::string folder(folders.substr(0, end));
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
        if (end == std::string_view::npos)
            return false;
        folders.remove_prefix(end + 1);
    }
}

// libfuse reports why a mount failed through its log; the thread that mounts collects the lines, the
// lines of the session's threads are dropped.
thread_local std::string* t_fuseLog = nullptr;

void CollectFuseLog(enum fuse_log_level, const char* format, va_list arguments) {
    if (t_fuseLog == nullptr)
        return;
    char line[512];
    std::vsnprintf(line, sizeof line, format, arguments);
    std::string_view text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    try {
        if (!t_fuseLog->empty())
            t_fuseLog->append("; ");
        t_fuseLog->append(text);
    } catch (...) {
        // Out of memory: the reason goes without this line.
    }
}

class FuseLogCapture {
public:
    FuseLogCapture() {
        static std::once_flag installed;
        std::call_once(installed, [] { fuse_set_log_func(CollectFuseLog); });
        t_fuseLog = &m_text;
    }
    ~FuseLogCapture() { t_fuseLog = nullptr; }
    FuseLogCapture(const FuseLogCapture&) = delete;
    FuseLogCapture& operator=(const FuseLogCapture&) = delete;
    std::string Text() const { return m_text.empty() ? std::string("no reason given") : m_text; }

private:
    std::string m_text;
};

std::string ErrnoText(int error) {
    return std::strerror(error);
}

} // namespace

// --- Mounting and unmounting -----------------------------------------------------------------------------

bool FolderExport::Server::Mount(bool readOnly, std::string* whyNot) {
    FuseLogCapture log;
    const fuse_operations ops = Operations();
    char program[] = "ferrovane";
    char option[] = "-o";
    char names[] = "fsname=ferrovane,subtype=ferrovane";
    char readOnlyNames[] = "fsname=ferrovane,subtype=ferrovane,ro";
    char* argv[] = {program, option, readOnly ? readOnlyNames : names, nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, argv);
    m_fuse = fuse_new(&args, &ops, sizeof ops, this);
    fuse_opt_free_args(&args);
    if (m_fuse == nullptr) {
        *whyNot = "FUSE refused the session: " + log.Text();
        return false;
    }
    if (fuse_mount(m_fuse, m_host.c_str()) != 0) {
        *whyNot = "FUSE refused the mount: " + log.Text();
        fuse_destroy(m_fuse);
        m_fuse = nullptr;
        return false;
    }
    try {
        m_loop = std::thread([this] {
            fuse_loop_config* config = fuse_loop_cfg_create();
            if (config != nullptr) {
                fuse_loop_cfg_set_max_threads(config, kMaxThreads);
                fuse_loop_cfg_set_idle_threads(config, kIdleThreads);
                fuse_loop_mt(m_fuse, config);
                fuse_loop_cfg_destroy(config);
            }
            m_loopEnded = true;
        });
    } catch (...) {
        *whyNot = "no thread for the FUSE session";
        fuse_unmount(m_fuse);
        fuse_destroy(m_fuse);
        m_fuse = nullptr;
        return false;
    }
    m_mounted = true;
    return true;
}

// In real time: the host's programs run on it, not on the platform's clock.
void FolderExport::Server::AwaitFolderReleases() {
    std::unique_lock guard(m_foldersLock);
    m_foldersReleased.wait_for(guard, kFolderReleaseWait, [this] { return m_openFolders == 0; });
}

// A plain unmount, which the kernel refuses while anything on the host holds the folder; the session's
// threads answer whatever the unmount asks of the file system.
bool FolderExport::Server::TryUnmount() {
    AwaitFolderReleases();
    if (::umount2(m_host.c_str(), UMOUNT_NOFOLLOW) == 0)
        return true;
    if (errno == EPERM)
        return RunFusermount({"-u", "-q", "--", m_host.string()});
    // EINVAL: no mount there any more (someone unmounted it); it is over once the session has ended.
    return errno == EINVAL && m_loopEnded;
}

ExportStop FolderExport::Server::Stop(DWORD patience) {
    if (!m_mounted)
        return ExportStop::Stopped;
    const ULONGLONG deadline = kernel::ClockMilliseconds() + patience;
    while (!m_loopEnded && !TryUnmount()) {
        if (kernel::ClockMilliseconds() >= deadline)
            return ExportStop::Busy;
        Sleep(kStopStep);
        // On the virtual clock the step takes no time; host programs still get some to let go.
        if (kernel::IsVirtualClock())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Finish();
    return ExportStop::Stopped;
}

void FolderExport::Server::Finish() {
    // The unmount ended the connection, and with it the session's loop.
    if (m_loop.joinable())
        m_loop.join();
    fuse_unmount(m_fuse); // closes the session's descriptor
    {
        // Files whose release the ended connection never delivered.
        std::lock_guard guard(m_filesLock);
        m_files.clear();
    }
    fuse_destroy(m_fuse);
    m_fuse = nullptr;
    m_mounted = false;
    ::rmdir(m_host.c_str()); // left when something was written there while it was no mount
}

// --- The public face -------------------------------------------------------------------------------------

FolderExport::FolderExport(std::unique_ptr<Server> server) : m_server(std::move(server)) {}

FolderExport::~FolderExport() {
    if (m_server && m_server->Stop(0) == ExportStop::Busy) {
        m_server->Abandon();
        (void)m_server.release(); // its threads still serve the host's open files
    }
}

std::unique_ptr<FolderExport> FolderExport::Start(const std::filesystem::path& hostFolder,
                                                  const std::u16string& deviceFolder,
                                                  std::shared_ptr<kernel::Volume> volume, bool readOnly,
                                                  std::string* whyNot) {
    if (std::string reason = ExportUnavailableReason(); !reason.empty()) {
        *whyNot = std::move(reason);
        return nullptr;
    }
    if (::mkdir(hostFolder.c_str(), 0755) != 0) {
        *whyNot = "the host folder " + hostFolder.string() + " cannot be made: " + ErrnoText(errno);
        return nullptr;
    }
    static constexpr char kMark = '1';
    ::setxattr(hostFolder.c_str(), kMountPointName, &kMark, 1, 0); // without it a leftover stays
    auto server = std::make_unique<Server>(hostFolder, deviceFolder, std::move(volume));
    if (!server->Mount(readOnly, whyNot)) {
        ::rmdir(hostFolder.c_str());
        return nullptr;
    }
    return std::unique_ptr<FolderExport>(new FolderExport(std::move(server)));
}

ExportStop FolderExport::Stop(DWORD patienceMilliseconds) {
    return m_server ? m_server->Stop(patienceMilliseconds) : ExportStop::Stopped;
}

const std::filesystem::path& FolderExport::HostFolder() const {
    return m_server->Host();
}

size_t FolderExport::OpenFiles() const {
    return m_server->OpenFiles();
}

std::string ExportUnavailableReason() {
    if (const char* setting = std::getenv(kSwitchVariable);
        setting != nullptr && (std::strcmp(setting, "0") == 0 || ::strcasecmp(setting, "off") == 0))
        return std::string("shared folders are switched off (") + kSwitchVariable + "=" + setting + ")";
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return "no usable /dev/fuse (" + ErrnoText(errno) + ")";
    if (::geteuid() != 0 && !IsExecutableOnPath("fusermount3"))
        return "fusermount3 is not installed";
    return {};
}

bool ReclaimHostFolder(const std::filesystem::path& hostFolder) {
    struct stat st {};
    bool dead = false;
    if (::lstat(hostFolder.c_str(), &st) != 0) {
        if (errno != ENOTCONN)
            return false;
        // A FUSE mount whose server is gone.
        dead = true;
        if (::umount2(hostFolder.c_str(), MNT_DETACH | UMOUNT_NOFOLLOW) != 0)
            RunFusermount({"-u", "-z", "-q", "--", hostFolder.string()});
        if (::lstat(hostFolder.c_str(), &st) != 0)
            return dead;
    }
    if (!S_ISDIR(st.st_mode))
        return dead;
    // A folder on another file system than its parent is a live mount, of another process.
    struct stat parent {};
    if (::stat(hostFolder.parent_path().c_str(), &parent) != 0 || parent.st_dev != st.st_dev)
        return dead;
    char mark = 0;
    if (::getxattr(hostFolder.c_str(), kMountPointName, &mark, 1) != 1)
        return dead;
    ::rmdir(hostFolder.c_str()); // refused when something was left in it
    return dead;
}

} // namespace devices
