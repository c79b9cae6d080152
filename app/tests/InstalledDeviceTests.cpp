// The installed device as a user lives with it, driven through the device tool as the README's commands
// drive it: the install step of the run command (the build's own manifest) run again and again around the
// user's changes, the shell's New menu and a tapped container reaching FerrovaneEx, and FerrovaneEx
// stopped by a signal while it holds mounted containers.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "devices/StorageManager.h"
#include "kernel/DeviceRoot.h"
#include "kernel/Registry.h"
#include "testing/DeviceRootTest.h"

namespace {

namespace fs = std::filesystem;

constexpr char kEntryId[] = "{7EB8A0D7-7D17-44CC-A74A-00DC6AB30734}";
constexpr char16_t kNewMenuEntry[] =
    u"SOFTWARE\\Microsoft\\Shell\\Extensions\\NewMenu\\{7EB8A0D7-7D17-44CC-A74A-00DC6AB30734}";

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One word for the host's shell.
std::string ShellWord(const std::string& word) {
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

DWORD DwordValue(HKEY root, const char16_t* key, const char16_t* name) {
    HKEY handle = nullptr;
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof value;
    if (RegOpenKeyExW(root, key, 0, 0, &handle) == ERROR_SUCCESS) {
        RegQueryValueExW(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(handle);
    }
    return value;
}

void SetDwordValue(HKEY root, const char16_t* key, const char16_t* name, DWORD value) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key, 0, nullptr, 0, 0, nullptr, &handle, nullptr), ERROR_SUCCESS);
    RegSetValueExW(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(handle);
}

class InstalledDeviceTest : public testing_support::DeviceRootTest {
protected:
    void TearDown() override {
        for (std::string left; !(left = Run({"wait", "--title", "Ferrovane", "--timeout", "0"}).out).empty();)
            ::kill(static_cast<pid_t>(std::stol(left)), SIGKILL); // a program of this root, still answering
        for (int program : m_programs) {
            ::syscall(SYS_pidfd_send_signal, program, SIGKILL, nullptr, 0);
            ::close(program);
        }
        for (const std::string& folder : m_heldFolders)
            Run({"unmount", folder});
        DeviceRootTest::TearDown();
    }

    // The device tool's command line in this test's device root; the programs it starts run on the
    // virtual clock.
    std::string ToolCommand(const std::vector<std::string>& args) const {
        std::string command = "FERROVANE_VIRTUAL_CLOCK=1 " + ShellWord(DEVICE_TOOL) + " --root " +
                              ShellWord(m_root.Path().string());
        for (const std::string& arg : args)
            command += " " + ShellWord(arg);
        return command + " </dev/null";
    }
    ToolRun Run(const std::vector<std::string>& args) {
        const fs::path out = m_root.Path() / ("tool-" + std::to_string(++m_runs) + ".out");
        const fs::path err = m_root.Path() / ("tool-" + std::to_string(m_runs) + ".err");
        const int status = std::system(
            (ToolCommand(args) + " >" + ShellWord(out.string()) + " 2>" + ShellWord(err.string())).c_str());
        ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
        fs::remove(out);
        fs::remove(err);
        return run;
    }
    // A mount command that holds its mount in the background until the folder is unmounted; returns once
    // it has mounted.
    void HoldMount(const std::vector<std::string>& args, const std::string& folder) {
        const fs::path out = m_root.Path() / ("mount-" + std::to_string(++m_runs) + ".out");
        std::vector<std::string> all{"mount"};
        all.insert(all.end(), args.begin(), args.end());
        ASSERT_EQ(std::system((ToolCommand(all) + " >" + ShellWord(out.string()) + " 2>&1 &").c_str()), 0);
        m_heldFolders.push_back(folder);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (ReadText(out).find("mounted") == std::string::npos) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << ReadText(out);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    void Unmount(const std::string& folder) {
        EXPECT_EQ(Ok({"unmount", folder}), "unmounted \\" + folder + "\n");
        std::erase(m_heldFolders, folder);
    }
    std::string Ok(const std::vector<std::string>& args) {
        ToolRun run = Run(args);
        EXPECT_EQ(run.exitCode, 0) << args[0] << ": " << run.err;
        return run.out;
    }
    // Waits for the main window and keeps a descriptor of its program; its process id.
    pid_t AwaitProgram() {
        const std::string pid = Ok({"wait", "--title", "Ferrovane", "--timeout", "30000"});
        if (pid.empty())
            return 0;
        const pid_t process = static_cast<pid_t>(std::stol(pid));
        const int fd = static_cast<int>(::syscall(SYS_pidfd_open, process, 0));
        EXPECT_GE(fd, 0);
        if (fd >= 0)
            m_programs.push_back(fd);
        return process;
    }
    // Whether the program of the last AwaitProgram has ended within the time.
    bool Ended(std::chrono::seconds within = std::chrono::seconds(30)) const {
        pollfd wait{m_programs.back(), POLLIN, 0};
        return ::poll(&wait, 1, static_cast<int>(within.count() * 1000)) == 1;
    }
    bool IsVisible(pid_t program, int id) {
        const std::regex line(" id=" + std::to_string(id) + " style=0x[0-9a-f]+ visible");
        return std::regex_search(Ok({"windows", "--pid", std::to_string(program)}), line);
    }
    // Taps the main panel's Exit with nothing mounted: the tool reports the end and succeeds.
    void ExitThroughTheExitButton(pid_t program) {
        const std::string pid = std::to_string(program);
        EXPECT_EQ(Ok({"tap", "--pid", pid, "--id", "1003"}), "the program " + pid + " has ended\n");
        EXPECT_TRUE(Ended());
    }
    // A container made and unmounted by the device tool; later opens find its folder in its trailer.
    void MakeContainer(const std::string& path, const std::string& password, const std::string& folder) {
        HoldMount({"--create", "1M", path, "--password", password, "--folder", folder}, folder);
        Unmount(folder);
    }
    // The host file of the list, whatever the case of the folders the device root already has.
    static fs::path AutoMountList() {
        return kernel::DeviceToHostPath(u"\\program files\\ferrovane\\amount.cfg", nullptr)
            .value_or(fs::path());
    }

    std::vector<int> m_programs; // pidfds of the programs the test started
    std::vector<std::string> m_heldFolders;
    int m_runs = 0;
};

TEST_F(InstalledDeviceTest, InstallingAgainKeepsTheUsersListRegistryAndFiles) {
    // As the run command installs: the device tool with the build's own manifest.
    Ok({"install"});
    const std::string installedList = ReadText(AutoMountList());
    ASSERT_EQ(installedList.size(), 208u) << "the preamble alone";
    EXPECT_EQ(Ok({"new-menu"}), "Encrypted Folder\t" + std::string(kEntryId) + "\n");

    // The user's day: a container on the auto-mount list, the New-menu entry switched off, a value of
    // their own, a document.
    const std::string entry = "[container]\n\\My Documents\\a.fvc\nSecret\n[/container]\n";
    std::ofstream(AutoMountList(), std::ios::app) << entry;
    SetDwordValue(HKEY_LOCAL_MACHINE, kNewMenuEntry, u"Enabled", 0);
    SetDwordValue(HKEY_CURRENT_USER, u"Software\\Mine", u"Kept", 7);
    fs::create_directories(m_root.Store() / "My Documents");
    std::ofstream(m_root.Store() / "My Documents" / "notes.txt") << "my notes";

    for (int again = 0; again < 2; ++again) {
        Ok({"install"});
        EXPECT_EQ(ReadText(AutoMountList()), installedList + entry);
        EXPECT_EQ(DwordValue(HKEY_LOCAL_MACHINE, kNewMenuEntry, u"Enabled"), 0u);
        EXPECT_EQ(DwordValue(HKEY_CURRENT_USER, u"Software\\Mine", u"Kept"), 7u);
        EXPECT_EQ(ReadText(m_root.Store() / "My Documents" / "notes.txt"), "my notes");
        EXPECT_EQ(Ok({"new-menu"}), "") << "the entry stays off";
    }
}

TEST_F(InstalledDeviceTest, TheNewMenuAndATappedContainerReachTheProgramOnAFreshDevice) {
    Ok({"install"});
    EXPECT_EQ(Ok({"new-menu"}), "Encrypted Folder\t" + std::string(kEntryId) + "\n");
    EXPECT_EQ(Ok({"registry", "HKCR\\FerrovaneContainer\\Shell\\Open\\Command"}),
              "[HKEY_CLASSES_ROOT\\FerrovaneContainer\\Shell\\Open\\Command]\n@=\"Drovel.exe  %1\"\n\n");

    // "Encrypted Folder" starts the program with its create panel.
    Ok({"new-menu", "Encrypted Folder"});
    pid_t program = AwaitProgram();
    ASSERT_NE(program, 0);
    EXPECT_TRUE(IsVisible(program, 1015)) << "the create panel's folder box";
    Ok({"tap", "--pid", std::to_string(program), "--id", "1016"});
    ExitThroughTheExitButton(program);

    // A tapped container runs Drovel, which starts the program on its main panel. A tap on its Exit sent
    // before it runs waits for the program through its start and its splash screen.
    const fs::path tapped = m_root.Path() / "tap.out";
    const std::string tap =
        ToolCommand({"tap", "--title", "Ferrovane", "--id", "1003", "--timeout", "30000"});
    ASSERT_EQ(
        std::system(("(" + tap + " 2>&1; echo \"exit $?\") >" + ShellWord(tapped.string()) + " &").c_str()),
        0);
    Ok({"open", "\\My Documents\\a.fvc"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ReadText(tapped).find("exit ") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(std::regex_match(ReadText(tapped), std::regex("the program [0-9]+ has ended\nexit 0\n")))
        << ReadText(tapped);
}

TEST_F(InstalledDeviceTest, ASignalledProgramUnmountsItsContainersAndKeepsWhatTheHostJustWrote) {
    if (std::string missing = devices::ExportUnavailableReason(); !missing.empty())
        GTEST_SKIP() << "the host cannot see the mounted folders here (" << missing << ")";
    Ok({"install"});
    fs::create_directories(m_root.Store() / "My Documents");
    ASSERT_NO_FATAL_FAILURE(MakeContainer("\\My Documents\\a.fvc", "password A", "Vault A"));
    ASSERT_NO_FATAL_FAILURE(MakeContainer("\\My Documents\\b.fvc", "password B", "Vault B"));
    std::ofstream(AutoMountList(), std::ios::app)
        << "[container]\n\\My Documents\\a.fvc\nVault A\n[/container]\n"
        << "[container]\n\\My Documents\\b.fvc\nVault B\n[/container]\n";

    // At start the program asks for each listed container's password and mounts it.
    const std::string pid = Ok({"start", "\\program files\\ferrovane\\ferrovane.exe"});
    ASSERT_FALSE(pid.empty());
    for (const char* password : {"password A", "password B"}) {
        Ok({"wait", "--title", "Mount", "--timeout", "30000"});
        Ok({"text", password, "--title", "Mount"});
        Ok({"tap", "--title", "Mount", "--id", "1"});
        Ok({"tap", "--title", "Message", "--id", "1062"});
    }
    const pid_t program = AwaitProgram();
    ASSERT_EQ(std::to_string(program) + "\n", pid);
    const fs::path folderA = m_root.Store() / "Vault A";
    const fs::path folderB = m_root.Store() / "Vault B";
    struct stat mountPoint {};
    struct stat store {};
    ASSERT_EQ(::stat(m_root.Store().c_str(), &store), 0);
    ASSERT_EQ(::stat(folderA.c_str(), &mountPoint), 0);
    if (mountPoint.st_dev == store.st_dev)
        GTEST_SKIP() << "the host cannot see the mounted folders here (no FUSE)";

    // A host program has just written into both folders; then the session ends.
    std::ofstream(folderA / "letter.txt") << "written by the host into A";
    std::ofstream(folderB / "letter.txt") << "written by the host into B";
    ASSERT_EQ(::syscall(SYS_pidfd_send_signal, m_programs.back(), SIGTERM, nullptr, 0), 0);
    ASSERT_TRUE(Ended());

    // No dead folder is left: the names are free again, not "Transport endpoint is not connected".
    for (const fs::path& folder : {folderA, folderB}) {
        errno = 0;
        EXPECT_NE(::stat(folder.c_str(), &mountPoint), 0) << folder;
        EXPECT_EQ(errno, ENOENT) << folder << ": " << std::strerror(errno);
    }
    EXPECT_EQ(Ok({"mounts"}), "");

    // Each container holds what the host wrote.
    for (const auto& [container, password, folder, text] :
         {std::tuple{"\\My Documents\\a.fvc", "password A", "Vault A", "written by the host into A"},
          std::tuple{"\\My Documents\\b.fvc", "password B", "Vault B", "written by the host into B"}}) {
        ASSERT_NO_FATAL_FAILURE(HoldMount({"--open", container, "--password", password}, folder));
        EXPECT_EQ(ReadText(m_root.Store() / folder / "letter.txt"), text);
        Unmount(folder);
    }
}

} // namespace
