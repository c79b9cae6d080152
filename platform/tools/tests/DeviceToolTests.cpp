// The device tool from the host's side: each test runs ferrovane-device as its own process in a fresh
// device root, as scripts and the README do, and checks what it prints and what it did.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "ContainerFormat.h"
#include "kernel/Kernel.h"
#include "shell/Shell.h"
#include "testing/DeviceRootTest.h"
#include "testing/PngReader.h"

extern char** environ;

namespace {

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A window line of 'windows': handle, class, text, rectangle and id.
struct ListedWindow {
    std::string handle;
    std::string className;
    std::string text;
    RECT rect{};
    int id = 0;
};

// The text between the quotes of a listing, without its escapes.
std::string Unescaped(const std::string& quoted) {
    std::string text;
    for (size_t i = 0; i < quoted.size(); ++i) {
        if (quoted[i] != '\\' || i + 1 == quoted.size()) {
            text.push_back(quoted[i]);
            continue;
        }
        char next = quoted[++i];
        text.push_back(next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next);
    }
    return text;
}

std::vector<ListedWindow> ParseWindows(const std::string& listing) {
    static const std::regex line(
        R"re(^ +(0x[0-9a-f]+) (\S+) "((?:[^"\\]|\\.)*)" \((-?\d+),(-?\d+)\)-\((-?\d+),(-?\d+)\) id=(-?\d+))re");
    std::vector<ListedWindow> windows;
    std::istringstream in(listing);
    for (std::string text; std::getline(in, text);) {
        std::smatch match;
        if (!std::regex_search(text, match, line))
            continue;
        windows.push_back(ListedWindow{
            match[1], match[2], Unescaped(match[3]),
            RECT{std::stoi(match[4]), std::stoi(match[5]), std::stoi(match[6]), std::stoi(match[7])},
            std::stoi(match[8])});
    }
    return windows;
}

std::optional<ListedWindow> FindListed(const std::vector<ListedWindow>& windows, const std::string& className,
                                       int id = -1) {
    for (const ListedWindow& w : windows)
        if (w.className == className && (id < 0 || w.id == id))
            return w;
    return std::nullopt;
}

class DeviceToolTest : public testing_support::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        Install(TOOL_TEST_MANIFEST);
    }
    void TearDown() override {
        // Programs first, those started through the tool's start, boot and open alike: they may hold files
        // of a mounted folder. They are not our children: each is ended and waited for through a process
        // descriptor, since its id may belong to another process by now.
        for (int program : m_programs) {
            ::syscall(SYS_pidfd_send_signal, program, SIGKILL, nullptr, 0);
            pollfd gone{program, POLLIN, 0};
            ::poll(&gone, 1, 10000);
            ::close(program);
        }
        testing_support::EndDeviceProcesses(m_root.Path(), m_tools);
        for (pid_t tool : m_tools) {
            ::kill(tool, SIGTERM);
            if (!WaitFor([tool] { return ::waitpid(tool, nullptr, WNOHANG) == tool; })) {
                ADD_FAILURE() << "a mount command did not end";
                ::kill(tool, SIGKILL);
                ::waitpid(tool, nullptr, 0);
            }
        }
        DeviceRootTest::TearDown();
    }

    pid_t Spawn(const std::vector<std::string>& args, const std::filesystem::path& out,
                const std::filesystem::path& err) {
        std::vector<std::string> all{DEVICE_TOOL, "--root", m_root.Path().string()};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        int result = posix_spawn(&pid, DEVICE_TOOL, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(result, 0);
        return pid;
    }
    ToolResult Run(const std::vector<std::string>& args) {
        std::filesystem::path out = m_root.Path() / ("tool-" + std::to_string(++m_runs) + ".out");
        std::filesystem::path err = m_root.Path() / ("tool-" + std::to_string(m_runs) + ".err");
        pid_t pid = Spawn(args, out, err);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ToolResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
        std::filesystem::remove(out);
        std::filesystem::remove(err);
        return result;
    }
    // Runs the tool and expects it to succeed; its output.
    std::string Ok(const std::vector<std::string>& args) {
        ToolResult result = Run(args);
        EXPECT_EQ(result.exitCode, 0) << args[0] << ": " << result.err;
        return result.out;
    }
    // Starts a device program through the tool and waits for its window.
    void StartProgram(const std::vector<std::string>& startArgs, const std::vector<std::string>& waitArgs) {
        std::vector<std::string> args{"start"};
        args.insert(args.end(), startArgs.begin(), startArgs.end());
        std::string pid = Ok(args);
        ASSERT_FALSE(pid.empty());
        int program = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(std::stol(pid)), 0));
        ASSERT_GE(program, 0) << "the started program ended at once";
        m_programs.push_back(program);
        std::vector<std::string> wait{"wait", "--timeout", "20000"};
        wait.insert(wait.end(), waitArgs.begin(), waitArgs.end());
        EXPECT_EQ(Ok(wait), pid);
    }
    // A mount command that keeps running; its output file.
    std::filesystem::path StartMount(const std::vector<std::string>& args) {
        std::filesystem::path out = m_root.Path() / ("mount-" + std::to_string(++m_runs) + ".out");
        std::vector<std::string> all{"mount"};
        all.insert(all.end(), args.begin(), args.end());
        m_tools.push_back(Spawn(all, out, m_root.Path() / ("mount-" + std::to_string(m_runs) + ".err")));
        return out;
    }
    static void SetDefault(HKEY root, const std::u16string& key, const std::u16string& text) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, 0, nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * 2));
        RegCloseKey(handle);
    }
    static void MakeFile(const WCHAR* path, DWORD size) {
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
        std::vector<char> bytes(size, 'x');
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, bytes.data(), size, &written, nullptr));
        CloseHandle(file);
    }

    std::vector<pid_t> m_tools;
    std::vector<int> m_programs; // pidfds of the programs started through the tool
    int m_runs = 0;
};

TEST_F(DeviceToolTest, TheHelpNamesEveryCommandAndWrongUseIsRefused) {
    ToolResult help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command :
         {"install", "start", "boot", "open", "new-menu", "registry", "wait", "windows", "items", "tap",
          "double-tap", "drag", "key", "text", "screenshot", "mount", "unmount", "mounts"})
        EXPECT_NE(help.out.find("\n  " + std::string(command) + " "), std::string::npos) << command;
    EXPECT_EQ(Run({"fly"}).exitCode, 2);
    EXPECT_EQ(Run({"tap", "1"}).exitCode, 2);
    EXPECT_EQ(Run({"key", "NOSUCHKEY"}).exitCode, 2);
    EXPECT_EQ(Run({"mount", "--open", "\\c.fvc"}).exitCode, 2); // no password
    ToolResult nothing = Run({"tap", "1", "1", "--timeout", "200"});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_NE(nothing.err.find("no program with windows"), std::string::npos);
}

TEST_F(DeviceToolTest, BootStartsTheStartupShortcutsWithTheirArguments) {
    WCHAR folder[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, folder, CSIDL_STARTUP, TRUE));
    std::u16string link = std::u16string(folder) + u"\\TestProgram.exe.lnk";
    WCHAR target[] = u"\"\\windows\\TestProgram.exe\" report -hide  now";
    ASSERT_TRUE(SHCreateShortcut(link.data(), target));
    std::string out = Ok({"boot"});
    EXPECT_NE(out.find("started \\Windows\\StartUp\\TestProgram.exe.lnk"), std::string::npos) << out;
    EXPECT_TRUE(WaitFor([] { return testing_support::ReportedCommandLine() == u"report -hide  now"; }));
}

TEST_F(DeviceToolTest, OpeningAContainerFileRunsItsTypesCommandWithThePath) {
    SetDefault(HKEY_CLASSES_ROOT, u".fvc", u"FerrovaneContainer");
    SetDefault(HKEY_CLASSES_ROOT, u"FerrovaneContainer\\Shell\\Open\\Command", u"TestProgram.exe  report %1");
    Ok({"open", "\\My Documents\\secret.fvc"});
    EXPECT_TRUE(WaitFor(
        [] { return testing_support::ReportedCommandLine() == u"report \\My Documents\\secret.fvc"; }));
    ToolResult unknown = Run({"open", "\\notes.xyz"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("error 1155"), std::string::npos) << unknown.err;
}

TEST_F(DeviceToolTest, ChoosingTheNewMenuEntryCreatesTheRegisteredObject) {
    HMODULE server = LoadLibraryW(u"\\windows\\NewMenuObject.dll");
    ASSERT_NE(server, nullptr) << GetLastError();
    auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(server, "DllRegisterServer"));
    ASSERT_EQ(registerServer(), S_OK);
    FreeLibrary(server);
    const std::u16string entry =
        u"SOFTWARE\\Microsoft\\Shell\\Extensions\\NewMenu\\{6B0C3E51-2D44-4F0A-8C1E-5A7D9B3C2E10}";
    SetDefault(HKEY_LOCAL_MACHINE, entry, u"Encrypted Folder");
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, entry.c_str(), 0, 0, &key);
    DWORD one = 1;
    RegSetValueExW(key, u"Enabled", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
    RegCloseKey(key);

    EXPECT_EQ(Ok({"new-menu"}), "Encrypted Folder\t{6B0C3E51-2D44-4F0A-8C1E-5A7D9B3C2E10}\n");
    Ok({"new-menu", "encrypted folder"});
    Ok({"new-menu", "{6B0C3E51-2D44-4F0A-8C1E-5A7D9B3C2E10}"});
    DWORD created = 0, size = sizeof created;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\ToolTests", 0, 0, &key), ERROR_SUCCESS);
    RegQueryValueExW(key, u"Created", nullptr, nullptr, reinterpret_cast<BYTE*>(&created), &size);
    RegCloseKey(key);
    EXPECT_EQ(created, 2u);
    EXPECT_EQ(Run({"new-menu", "Spreadsheet"}).exitCode, 1);
}

TEST_F(DeviceToolTest, TheRegistryDumpShowsEveryKindOfValue) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Dump\\Child", 0, nullptr, 0, 0, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Dump", 0, 0, &key);
    const WCHAR text[] = u"a \"quoted\" \\path";
    RegSetValueExW(key, u"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    DWORD number = 0x2A;
    RegSetValueExW(key, u"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    const BYTE bytes[] = {0x01, 0xAB};
    RegSetValueExW(key, u"Bytes", 0, REG_BINARY, bytes, 2);
    const WCHAR list[] = u"one\0two\0";
    RegSetValueExW(key, u"List", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list), sizeof list);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(u"default"), 16);
    RegCloseKey(key);
    EXPECT_EQ(Ok({"registry", "HKCU\\Software\\Dump"}), "[HKEY_CURRENT_USER\\Software\\Dump]\n"
                                                        "\"Text\"=\"a \\\"quoted\\\" \\\\path\"\n"
                                                        "\"Number\"=dword:0000002a\n"
                                                        "\"Bytes\"=hex:01,ab\n"
                                                        "\"List\"=multi:\"one\",\"two\"\n"
                                                        "@=\"default\"\n"
                                                        "\n"
                                                        "[HKEY_CURRENT_USER\\Software\\Dump\\Child]\n"
                                                        "\n");
    EXPECT_NE(Ok({"registry"}).find("[HKEY_CURRENT_USER\\Software\\Dump\\Child]"), std::string::npos);
    EXPECT_EQ(Run({"registry", "HKCU\\Software\\Missing"}).exitCode, 1);
    EXPECT_EQ(Run({"registry", "HKXX"}).exitCode, 2);
}

TEST_F(DeviceToolTest, AScriptedSessionDrivesAProgramThroughItsScreenAndWindows) {
    StartProgram({"ControlPeer.exe", "form"}, {"--title", "Control Peer"});
    std::vector<ListedWindow> windows = ParseWindows(Ok({"windows"}));
    ASSERT_TRUE(FindListed(windows, "PeerHandle").has_value()) << Ok({"windows"});
    RECT handle = FindListed(windows, "PeerHandle")->rect;

    Ok({"tap", "--id", "101"});
    Ok({"text", "Hello wurld"});
    Ok({"key", "BACK", "BACK", "BACK", "BACK"});
    Ok({"text", "orld!", "--title", "Control Peer"});
    Ok({"tap", "--id", "102"});
    int x = (handle.left + handle.right) / 2, y = (handle.top + handle.bottom) / 2;
    Ok({"drag", std::to_string(x), std::to_string(y), std::to_string(x + 100), std::to_string(y + 40)});
    std::filesystem::path shot = m_root.Path() / "session.png";
    Ok({"screenshot", shot.string()});

    windows = ParseWindows(Ok({"windows"}));
    ASSERT_TRUE(FindListed(windows, "PeerLabel").has_value());
    EXPECT_EQ(FindListed(windows, "PeerEdit")->text, "Hello world!");
    EXPECT_EQ(FindListed(windows, "PeerLabel")->text, "Hello world!");
    RECT moved = FindListed(windows, "PeerHandle")->rect;
    EXPECT_EQ(moved.left, handle.left + 100);
    EXPECT_EQ(moved.top, handle.top + 40);
    auto image = ReadPng(shot);
    ASSERT_TRUE(image.has_value());
    RECT label = FindListed(windows, "PeerLabel")->rect;
    EXPECT_EQ(image->At(label.right - 3, label.top + 2), RGB(0, 255, 0));
    EXPECT_EQ(image->At(moved.left + 2, moved.top + 2), RGB(255, 0, 0));
    EXPECT_EQ(image->At(handle.left + 2, handle.top + 2), RGB(255, 255, 255));

    std::string items = Ok({"items", FindListed(windows, "PeerList")->handle});
    EXPECT_EQ(items, "  alpha\n* beta\n  gamma\n");
}

TEST_F(DeviceToolTest, TheFileExplorerListsAFolderAndOpensItsSubFolders) {
    ASSERT_TRUE(CreateDirectoryW(u"\\Docs", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"\\Docs\\b", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"\\Docs\\A", nullptr));
    MakeFile(u"\\Docs\\z.txt", 1023);
    MakeFile(u"\\Docs\\Y.bin", 1024);
    MakeFile(u"\\Docs\\big", 1048576);
    MakeFile(u"\\Docs\\A\\inner.txt", 5);
    // As the main program starts it: the folder name as stored, no quotes, no leading backslash.
    StartProgram({"fexplore.exe", "--line", "Docs"}, {"--title", "\\Docs"});
    std::vector<ListedWindow> windows = ParseWindows(Ok({"windows"}));
    auto list = FindListed(windows, "LISTBOX", 100);
    ASSERT_TRUE(list.has_value()) << Ok({"windows"});
    EXPECT_EQ(Ok({"items", list->handle}),
              "* ..\n  A\\\n  b\\\n  big  1.0M\n  Y.bin  1.0K\n  z.txt  1023B\n");

    // A double tap on the first row: ".." goes up to the root, whose first row is the folder Docs.
    auto title = [&] { return FindListed(ParseWindows(Ok({"windows"})), "FexploreWindow")->text; };
    std::string firstRowX = std::to_string(list->rect.left + 20);
    std::string firstRowY = std::to_string(list->rect.top + 4);
    Ok({"double-tap", firstRowX, firstRowY});
    EXPECT_EQ(title(), "\\");
    EXPECT_EQ(Ok({"items", list->handle}).rfind("* Docs\\\n", 0), 0u);
    Ok({"double-tap", firstRowX, firstRowY});
    EXPECT_EQ(title(), "\\Docs");
    // Enter opens the selected folder, Backspace goes up.
    Ok({"key", "DOWN", "RETURN"});
    EXPECT_EQ(title(), "\\Docs\\A");
    EXPECT_EQ(Ok({"items", list->handle}), "* ..\n  inner.txt  5B\n");
    Ok({"key", "BACK"});
    EXPECT_EQ(title(), "\\Docs");
    // A folder that does not exist says so in the title.
    StartProgram({"fexplore.exe", "\\Nowhere"}, {"--title", "\\Nowhere (not found)"});
}

TEST_F(DeviceToolTest, TheFileExplorerListsAMountedContainersFolderFromAnotherProcess) {
    std::filesystem::path out = StartMount(
        {"--create", "2M", "\\vault.fvc", "--password", "password1", "--folder", "Encrypted Folder"});
    ASSERT_TRUE(WaitFor([&] { return ReadFile(out).find("mounted") != std::string::npos; })) << ReadFile(out);
    if (ReadFile(out).find("only this process sees the folder") != std::string::npos)
        GTEST_SKIP() << "the folder cannot be shared here: " << ReadFile(out);
    // Written through the platform's file calls of this process, which reach the volume through its folder.
    ASSERT_TRUE(CreateDirectoryW(u"\\Encrypted Folder\\Notes", nullptr)) << GetLastError();
    MakeFile(u"\\Encrypted Folder\\letter.txt", 2048);
    // As the main program's Explore starts it.
    StartProgram({"fexplore.exe", "--line", "Encrypted Folder"}, {"--title", "\\Encrypted Folder"});
    auto list = FindListed(ParseWindows(Ok({"windows"})), "LISTBOX", 100);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(Ok({"items", list->handle}), "* ..\n  Notes\\\n  letter.txt  2.0K\n");
}

TEST_F(DeviceToolTest, AContainerIsCreatedHeldAndOpenedAgainAsTheMainProgramDoes) {
    std::filesystem::path out =
        StartMount({"--create", "1M", "\\secret.fvc", "--password", "password1", "--folder", "Secret"});
    ASSERT_TRUE(WaitFor([&] { return ReadFile(out).find("mounted") != std::string::npos; }))
        << ReadFile(out) << ReadFile(out.string() + ".err");
    EXPECT_NE(ReadFile(out).find("mounted \\secret.fvc at \\Secret"), std::string::npos) << ReadFile(out);
    std::string mounts = Ok({"mounts"});
    EXPECT_EQ(mounts.rfind("\\Secret\t\\secret.fvc\t", 0), 0u) << mounts;
    EXPECT_EQ(Run({"mount", "--open", "\\secret.fvc", "--password", "password1"}).exitCode, 1); // in use

    EXPECT_EQ(Ok({"unmount", "Secret"}), "unmounted \\Secret\n");
    EXPECT_TRUE(Ok({"mounts"}).empty());
    // The file is exactly the size asked for; its trailer names the folder, so an open finds it there.
    DWORD error = 0;
    EXPECT_EQ(std::filesystem::file_size(*kernel::DeviceToHostPath(u"\\secret.fvc", &error)), 1048576u);
    ToolResult wrong = Run({"mount", "--open", "\\secret.fvc", "--password", "password2"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_NE(wrong.err.find("password is wrong"), std::string::npos) << wrong.err;
    EXPECT_EQ(Run({"mount", "--open", "\\missing.fvc", "--password", "password1"}).exitCode, 1);

    out = StartMount({"--open", "\\secret.fvc", "--password", "password1"});
    ASSERT_TRUE(WaitFor([&] { return ReadFile(out).find("mounted") != std::string::npos; })) << ReadFile(out);
    EXPECT_NE(ReadFile(out).find("at \\Secret"), std::string::npos) << ReadFile(out);
    ::kill(m_tools.back(), SIGTERM);
    int status = 0;
    ::waitpid(m_tools.back(), &status, 0);
    m_tools.pop_back();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(ReadFile(out).find("unmounted \\Secret"), std::string::npos);
}

// Stretches the partition of a new container to the disk's last sector, as a partitioning tool elsewhere
// might have made it: sector 0 decrypted with the container's key (a new container's is its password's),
// the first entry's sector count changed, encrypted again.
void StretchPartitionToTheLastSector(const std::filesystem::path& container, const char16_t* password) {
    std::fstream file(container, std::ios::in | std::ios::out | std::ios::binary);
    uint8_t sector[512];
    ASSERT_TRUE(file.read(reinterpret_cast<char*>(sector), sizeof sector));
    uint8_t key[16];
    DerivePasswordKey(password, kContainerTextUnits, key);
    AesKeySchedule schedule;
    AesSetDecryptKey128(key, &schedule);
    DecryptBlocks(&schedule, sector, sector, sizeof sector);
    ASSERT_EQ(sector[510], 0x55);
    uint32_t first = 0;
    std::memcpy(&first, sector + 0x1BE + 8, 4);
    const uint32_t count = static_cast<uint32_t>(std::filesystem::file_size(container) / 512) - first;
    std::memcpy(sector + 0x1BE + 12, &count, 4);
    AesSetEncryptKey128(key, &schedule);
    EncryptBlocks(&schedule, sector, sector, sizeof sector);
    file.seekp(0);
    ASSERT_TRUE(file.write(reinterpret_cast<const char*>(sector), sizeof sector));
}

TEST_F(DeviceToolTest, AContainerWhoseVolumeReachesTheTrailerMountsReadOnlyAndSaysSo) {
    std::filesystem::path out =
        StartMount({"--create", "1M", "\\outside.fvc", "--password", "password1", "--folder", "Outside"});
    ASSERT_TRUE(WaitFor([&] { return ReadFile(out).find("mounted") != std::string::npos; })) << ReadFile(out);
    if (ReadFile(out).find("only this process sees the folder") != std::string::npos)
        GTEST_SKIP() << "the folder cannot be shared here: " << ReadFile(out);
    EXPECT_EQ(ReadFile(out).find("read-only"), std::string::npos) << "a container made here is writable";
    MakeFile(u"\\Outside\\kept.txt", 100);
    EXPECT_EQ(Ok({"unmount", "Outside"}), "unmounted \\Outside\n");
    DWORD error = 0;
    const std::filesystem::path container = *kernel::DeviceToHostPath(u"\\outside.fvc", &error);
    const std::string before = ReadFile(container);
    ASSERT_NO_FATAL_FAILURE(StretchPartitionToTheLastSector(container, u"password1"));
    const std::string stretched = ReadFile(container);

    out = StartMount({"--open", "\\outside.fvc", "--password", "password1"});
    ASSERT_TRUE(WaitFor([&] { return ReadFile(out).find("mounted") != std::string::npos; })) << ReadFile(out);
    EXPECT_NE(ReadFile(out).find("the folder is read-only"), std::string::npos) << ReadFile(out);
    if (ReadFile(out).find("only this process sees the folder") == std::string::npos) {
        const std::filesystem::path folder = m_root.Path() / "store" / "Outside";
        EXPECT_EQ(std::filesystem::file_size(folder / "kept.txt"), 100u);
        errno = 0;
        EXPECT_LT(::open((folder / "new.txt").c_str(), O_WRONLY | O_CREAT, 0644), 0);
        EXPECT_EQ(errno, EROFS);
        errno = 0;
        EXPECT_LT(::open((folder / "kept.txt").c_str(), O_WRONLY), 0);
        EXPECT_EQ(errno, EROFS);
        EXPECT_NE(::unlink((folder / "kept.txt").c_str()), 0);
        EXPECT_EQ(errno, EROFS);
        EXPECT_NE(::mkdir((folder / "Sub").c_str(), 0755), 0);
        EXPECT_EQ(errno, EROFS);
    }
    EXPECT_EQ(Ok({"unmount", "Outside"}), "unmounted \\Outside\n");
    EXPECT_EQ(ReadFile(container), stretched) << "nothing of the container changed, its trailer least";
    EXPECT_NE(before, stretched);
}

TEST_F(DeviceToolTest, ARecordLeftByAKilledMountCommandNeverSignalsTheProcessThatTookItsId) {
    // A mount command killed outright leaves its record; its process id may go to any other process. Here
    // that is a live child of ours, named in a record that the killed command could have left.
    pid_t other = Spawn({"wait", "--title", "nothing of that name", "--timeout", "60000"},
                        m_root.Path() / "other.out", m_root.Path() / "other.err");
    std::filesystem::path records = m_root.Path() / "run" / "device-mounts";
    std::filesystem::create_directories(records);
    std::ofstream(records / std::to_string(other)) << "\\Secret\n\\secret.fvc\nshared\n1\n";

    EXPECT_TRUE(Ok({"mounts"}).empty());
    ToolResult unmount = Run({"unmount", "Secret"});
    EXPECT_EQ(unmount.exitCode, 1);
    EXPECT_NE(unmount.err.find("no mount command holds"), std::string::npos) << unmount.err;
    EXPECT_EQ(::waitpid(other, nullptr, WNOHANG), 0) << "the other process was signalled";
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
}

} // namespace
