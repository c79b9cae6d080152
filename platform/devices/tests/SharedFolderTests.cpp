// Mounted folders for every program: while a container is mounted, the host folder that its mount folder
// maps to is served by the same volume, so host programs (cp, ls, cat, mkdir, rm, mv) and another
// device process see and change the files that the mounting process sees through the platform's file
// calls; what they write ends up encrypted in the container, and after the dismount the host folder is
// gone and fsck.fat finds the volume clean. A dismount waits for the host to let go, and reports the
// folder busy while it does not; without FUSE the mount stays the mounting process's own.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "StorageTestSupport.h"
#include "devices/StorageManager.h"
#include "testing/HostHolder.h"

extern char** environ;

namespace storagetest {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kMiB = 1024 * 1024;
constexpr char16_t kPath[] = u"\\My Documents\\shared.fvc";
constexpr char kPassword[] = "shared secret";
constexpr char16_t kMount[] = u"\\Encrypted";
constexpr char kSwitch[] = "FERROVANE_FUSE";
constexpr DWORD kPatience = 5000; // the storage manager's wait for the host, in ms

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool Contains(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// A mounted container's folder, shared or not, with the host folder it maps to.
class MountFolder : public StorageTest {
protected:
    void SetUp() override {
        if (const char* setting = std::getenv(kSwitch))
            m_switch = setting;
        ::unsetenv(kSwitch);
        StorageTest::SetUp();
        kernel::UseVirtualClock();
        ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, U16(kPassword), u"Encrypted", 4 * kMiB));
    }
    void TearDown() override {
        StorageTest::TearDown();
        kernel::UseRealClock();
        if (m_switch)
            ::setenv(kSwitch, m_switch->c_str(), 1);
        else
            ::unsetenv(kSwitch);
    }

    // Opens the container and expects its folder shared at store/Encrypted.
    void OpenShared() {
        m_opened = Open(kPath, U16(kPassword));
        ASSERT_EQ(m_opened.folder, kMount);
        std::optional<devices::MountInfo> mount = MountInfo();
        ASSERT_TRUE(mount);
        ASSERT_EQ(mount->sharing, devices::MountSharing::Shared) << mount->sharingNote;
        EXPECT_EQ(mount->deviceName, u"FRV1:");
        m_host = m_root.Store() / "Encrypted";
        ASSERT_EQ(fs::canonical(mount->hostFolder), fs::canonical(m_host));
    }

    std::optional<devices::MountInfo> MountInfo() const {
        auto device = kernel::FindHandleAs<devices::Device>(m_opened.device);
        return device ? devices::MountOf(*device) : std::nullopt;
    }

    // The host folder, checked to lie inside this test's device root.
    std::optional<fs::path> HostFolder() const {
        if (!m_root.Holds(m_host)) {
            ADD_FAILURE() << "no host command runs on " << Quote(m_host) << ", outside the test's root";
            return std::nullopt;
        }
        return m_host;
    }

    // A shell command with $D standing for the host folder.
    ToolResult OnHost(std::string command) const {
        const std::optional<fs::path> host = HostFolder();
        if (!host)
            return ToolResult{127, "refused"};
        const std::string folder = Quote(*host);
        for (size_t at = command.find("$D"); at != std::string::npos;
             at = command.find("$D", at + folder.size()))
            command.replace(at, 2, folder);
        return RunTool("(" + command + ")");
    }

    // Deactivates and checks what the container holds: fsck.fat clean, the files' bytes in the decrypted
    // image, never in the container file itself.
    void DismountAndCheck(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
        ASSERT_TRUE(Deactivate(m_opened)) << GetLastError();
        EXPECT_FALSE(fs::exists(m_host)) << "the host folder is left after the dismount";
        const DataKey key = KeyOf(U16(kPassword));
        const VolumeGeometry geometry = GeometryOf(Host(kPath), key);
        TempDir dir;
        DecryptContainer(Host(kPath), key, dir / "plain.img");
        ToolResult fsck = CheckVolume(dir / "plain.img", geometry.location);
        EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
        const std::vector<uint8_t> container = ReadHostFile(Host(kPath));
        for (const auto& [name, content] : files) {
            ToolResult copy =
                RunTool(MtoolsEnv() + "mcopy -n -i " + MtoolsImage(dir / "plain.img", geometry.location) +
                        " " + Quote("::/" + name) + " " + Quote(dir / "out"));
            ASSERT_EQ(copy.exitCode, 0) << name << ": " << copy.output;
            EXPECT_EQ(ReadHostFile(dir / "out"), content) << name;
            fs::remove(dir / "out");
            // A run this long turns up in encrypted bytes by chance once in 2^128.
            if (content.size() >= 16) {
                EXPECT_FALSE(Contains(container, std::vector<uint8_t>(content.begin(), content.begin() + 16)))
                    << name << " is stored in plain text";
            }
        }
    }

    std::optional<std::string> m_switch;
    Activation m_opened;
    fs::path m_host;
};

// The cases that need the folder served to the host: skipped as a whole where FUSE cannot work.
class SharedFolder : public MountFolder {
protected:
    void SetUp() override {
        MountFolder::SetUp();
        if (std::string missing = devices::ExportUnavailableReason(); !missing.empty())
            GTEST_SKIP() << "FUSE cannot work here (" << missing << "): the shared-folder cases are skipped";
    }
};

TEST_F(SharedFolder, HostCommandsAndPlatformCallsSeeTheSameFilesStoredEncrypted) {
    ASSERT_NO_FATAL_FAILURE(OpenShared());
    TempDir outside;
    const std::vector<uint8_t> copied = PatternBytes(300 * 1024, 11);
    const std::vector<uint8_t> nested = PatternBytes(5000, 12);
    WriteHostFile(outside / "copied.bin", copied);
    WriteHostFile(outside / "nested.bin", nested);

    // The host writes; the platform reads the volume directly.
    ASSERT_EQ(OnHost("cp " + Quote(outside / "copied.bin") + " $D/copied.bin").exitCode, 0);
    ASSERT_EQ(OnHost("mkdir $D/made && cp " + Quote(outside / "nested.bin") + " $D/made/").exitCode, 0);
    ASSERT_EQ(OnHost("cp " + Quote(outside / "nested.bin") + " $D/doomed.bin && rm $D/doomed.bin").exitCode,
              0);
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\copied.bin"), copied);
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\MADE\\nested.bin"), nested);
    EXPECT_EQ(GetFileAttributesW(u"\\Encrypted\\made") & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(u"\\Encrypted\\doomed.bin"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // The platform writes; the host reads.
    const std::string text = "written through the platform\n";
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\from platform.txt", Bytes(text)));
    ASSERT_TRUE(CreateDirectoryW(u"\\Encrypted\\platform folder", nullptr));
    ToolResult cat = OnHost("cat $D/'from platform.txt'");
    EXPECT_EQ(cat.exitCode, 0);
    EXPECT_EQ(cat.output, text);
    ToolResult ls = OnHost("ls -1 $D");
    EXPECT_EQ(ls.output, "copied.bin\nfrom platform.txt\nmade\nplatform folder\n");
    // A change through the platform shows at once, also in a file the host has read before.
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\from platform.txt", Bytes("shorter\n")));
    EXPECT_EQ(OnHost("cat $D/'from platform.txt'").output, "shorter\n");

    DismountAndCheck(
        {{"copied.bin", copied}, {"made/nested.bin", nested}, {"from platform.txt", Bytes("shorter\n")}});
}

// One host command on a prepared folder, and what the platform sees afterwards.
struct HostCase {
    const char* name;
    std::function<void()> prepare; // platform calls before the command
    std::string command;           // $D is the host folder
    bool succeeds;
    std::function<void()> check;        // platform calls after it
    const char16_t* heldOpen = nullptr; // a file the platform holds open while the command runs
};

const std::string kLongestName(248, 'n'); // "\Encrypted\" and 248 units: MAX_PATH - 1 with the terminator

std::vector<HostCase> HostCases() {
    return {
        {"NamesMatchCaseInsensitively", [] { WriteFileBytes(u"\\Encrypted\\Mixed Case.TXT", Bytes("abc")); },
         "test \"$(cat $D/'mixed case.txt')\" = abc && echo x >> $D/MIXED\\ CASE.txt", true,
         [] {
             EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\Mixed Case.TXT"), Bytes("abcx\n"));
             EXPECT_EQ(Names(u"\\Encrypted\\*"), std::vector<std::u16string>{u"Mixed Case.TXT"});
         }},
        {"NonAsciiNamesRoundTrip",
         {},
         "echo k > $D/'K\xC3\xA4se \xE2\x82\xAC.txt'",
         true,
         [] { EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\K\u00e4se \u20ac.txt"), Bytes("k\n")); }},
        // A backslash in a host name would otherwise reach the volume as a path into "back".
        {"RefusedCharactersAreRefused", [] { CreateDirectoryW(u"\\Encrypted\\back", nullptr); },
         "touch $D/'a:b' || touch $D/'a?b' || touch $D/'back\\slash'", false,
         [] {
             EXPECT_EQ(Names(u"\\Encrypted\\*"), std::vector<std::u16string>{u"back"});
             EXPECT_EQ(Names(u"\\Encrypted\\back\\*"), std::vector<std::u16string>{});
         }},
        // Looked up, such a name names nothing; made, it is refused.
        {"ARefusedNameIsMissingToALookupAndInvalidToAMake",
         {},
         "export LC_ALL=C; stat $D/'a:b' 2>&1 | grep -q 'No such file' && "
         "mkdir $D/'a:b' 2>&1 | grep -q 'Invalid argument'",
         true,
         [] { EXPECT_EQ(Names(u"\\Encrypted\\*"), std::vector<std::u16string>{}); }},
        {"ThePathLimitOfTheDeviceHolds",
         {},
         "touch $D/" + kLongestName + " && ! touch $D/" + kLongestName + "n",
         true,
         [] { EXPECT_EQ(Names(u"\\Encrypted\\*"), std::vector<std::u16string>{U16(kLongestName)}); }},
        {"MoveReplacesAnExistingFile",
         [] {
             WriteFileBytes(u"\\Encrypted\\old.txt", Bytes("old"));
             WriteFileBytes(u"\\Encrypted\\new.txt", Bytes("new"));
         },
         "mv $D/new.txt $D/old.txt", true,
         [] {
             EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\old.txt"), Bytes("new"));
             EXPECT_EQ(Names(u"\\Encrypted\\*"), std::vector<std::u16string>{u"old.txt"});
         }},
        {"MoveOntoAReadOnlyFileChangesNothing",
         [] {
             WriteFileBytes(u"\\Encrypted\\kept.txt", Bytes("kept"));
             SetFileAttributesW(u"\\Encrypted\\kept.txt", FILE_ATTRIBUTE_READONLY);
             WriteFileBytes(u"\\Encrypted\\new.txt", Bytes("new"));
         },
         "mv -f $D/new.txt $D/kept.txt", false,
         [] {
             EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\kept.txt"), Bytes("kept"));
             EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\new.txt"), Bytes("new"));
         }},
        {"TheWriteBitIsTheReadOnlyAttribute", [] { WriteFileBytes(u"\\Encrypted\\plain.txt", Bytes("p")); },
         "chmod a-w $D/plain.txt && ! rm -f $D/plain.txt", true,
         [] {
             EXPECT_EQ(GetFileAttributesW(u"\\Encrypted\\plain.txt") & FILE_ATTRIBUTE_READONLY,
                       static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
         }},
        {"APlatformReadOnlyFileIsNotWritable",
         [] {
             WriteFileBytes(u"\\Encrypted\\locked.txt", Bytes("l"));
             SetFileAttributesW(u"\\Encrypted\\locked.txt", FILE_ATTRIBUTE_READONLY);
         },
         "test -w $D/locked.txt || echo more >> $D/locked.txt", false,
         [] { EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\locked.txt"), Bytes("l")); }},
        {"AFileOpenInThePlatformIsNotRemoved",
         {},
         "rm $D/open.txt",
         false,
         [] { EXPECT_NE(GetFileAttributesW(u"\\Encrypted\\open.txt"), INVALID_FILE_ATTRIBUTES); },
         u"\\Encrypted\\open.txt"},
        {"AWriteBeyondTheFreeSpaceFailsAndKeepsTheVolumeWhole",
         {},
         "head -c 6000000 /dev/zero > $D/big.bin",
         false,
         [] {
             ULARGE_INTEGER free{};
             EXPECT_TRUE(GetDiskFreeSpaceExW(u"\\Encrypted", &free, nullptr, nullptr));
             EXPECT_LT(free.QuadPart, 64u * 1024);
             EXPECT_NE(GetFileAttributesW(u"\\Encrypted\\big.bin"), INVALID_FILE_ATTRIBUTES);
         }},
        {"TimesSetByTheHostAreTheFilesTimes",
         {},
         "TZ=UTC touch -d '2001-02-03 04:05:06' $D/dated.txt",
         true,
         [] {
             HANDLE file = CreateFileW(u"\\Encrypted\\dated.txt", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
             ASSERT_NE(file, INVALID_HANDLE_VALUE);
             FILETIME written{};
             EXPECT_TRUE(GetFileTime(file, nullptr, nullptr, &written));
             CloseHandle(file);
             SYSTEMTIME time{};
             FileTimeToSystemTime(&written, &time);
             EXPECT_EQ(std::vector<int>(
                           {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond}),
                       std::vector<int>({2001, 2, 3, 4, 5, 6}));
         }},
    };
}

void PrintTo(const HostCase& test, std::ostream* out) {
    *out << test.name;
}

class HostCommands : public SharedFolder, public ::testing::WithParamInterface<HostCase> {};

TEST_P(HostCommands, FollowTheVolumesRules) {
    ASSERT_NO_FATAL_FAILURE(OpenShared());
    const HostCase& test = GetParam();
    if (test.prepare)
        test.prepare();
    HANDLE open = INVALID_HANDLE_VALUE;
    if (test.heldOpen != nullptr) {
        open = CreateFileW(test.heldOpen, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, 0, nullptr);
        ASSERT_NE(open, INVALID_HANDLE_VALUE);
    }
    ToolResult result = OnHost(test.command);
    if (open != INVALID_HANDLE_VALUE)
        CloseHandle(open);
    EXPECT_EQ(result.exitCode == 0, test.succeeds) << result.output;
    test.check();
    DismountAndCheck({});
}

INSTANTIATE_TEST_SUITE_P(Cases, HostCommands, ::testing::ValuesIn(HostCases()),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<BYTE> ReadBinary(const char16_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\SharedFolderTests", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> value(4096);
    DWORD size = static_cast<DWORD>(value.size());
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, value.data(), &size) != ERROR_SUCCESS)
        size = 0;
    RegCloseKey(key);
    value.resize(size);
    return value;
}

DWORD ReadNumber(const char16_t* name) {
    std::vector<BYTE> bytes = ReadBinary(name);
    DWORD value = 0xDEADBEEF;
    if (bytes.size() == sizeof value)
        std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

std::u16string ReadText(const char16_t* name) {
    std::vector<BYTE> bytes = ReadBinary(name);
    std::u16string text(bytes.size() / sizeof(WCHAR), u'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(WCHAR));
    while (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

// Runs FolderPeer.exe on the mount folder in a process of its own; its exit code.
DWORD RunPeer() {
    std::u16string commandLine = kMount;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(u"FolderPeer.exe", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        nullptr, &info))
        return 0xDEAD;
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return code;
}

TEST_F(SharedFolder, AnotherDeviceProcessWorksOnTheFilesThroughThePlatformsCalls) {
    ASSERT_NO_FATAL_FAILURE(OpenShared());
    const std::string text = "read me from another process";
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\from platform.txt", Bytes(text)));
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\hidden.txt", Bytes("h")));
    ASSERT_TRUE(
        SetFileAttributesW(u"\\Encrypted\\hidden.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\move me.txt", Bytes("moved")));
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\delete me.txt", Bytes("deleted")));

    ASSERT_EQ(RunPeer(), 0u) << "peer's error " << ReadNumber(u"Error");
    EXPECT_EQ(ReadBinary(u"Read"), Bytes(text));
    EXPECT_EQ(ReadNumber(u"Attributes"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(ReadText(u"Listing"), u"from peer.txt|from platform.txt|hidden.txt|peer folder");

    // What the peer did, as the volume has it.
    const std::string written = "written by another device process";
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\from peer.txt"), Bytes(written));
    EXPECT_EQ(GetFileAttributesW(u"\\Encrypted\\from peer.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\peer folder\\moved.txt"), Bytes("moved"));
    EXPECT_EQ(Names(u"\\Encrypted\\*"), (std::vector<std::u16string>{u"from peer.txt", u"from platform.txt",
                                                                     u"hidden.txt", u"peer folder"}));
    DismountAndCheck({{"from peer.txt", Bytes(written)}, {"peer folder/moved.txt", Bytes("moved")}});
}

TEST_F(SharedFolder, TwoContainersAreSharedAtTheirOwnFolders) {
    constexpr char16_t kSecond[] = u"\\My Documents\\second.fvc";
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kSecond, U16(kPassword), u"Encrypted", 1 * kMiB));
    ASSERT_NO_FATAL_FAILURE(OpenShared());
    Activation second = Open(kSecond, U16(kPassword));
    ASSERT_EQ(second.folder, u"\\Encrypted2");

    const std::vector<devices::MountInfo> mounts = devices::Mounts();
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].folder, kMount);
    EXPECT_EQ(mounts[1].folder, u"\\Encrypted2");
    EXPECT_EQ(mounts[1].sharing, devices::MountSharing::Shared) << mounts[1].sharingNote;
    EXPECT_EQ(fs::canonical(mounts[1].hostFolder), fs::canonical(m_root.Store() / "Encrypted2"));

    const std::vector<uint8_t> first = Bytes("in the first container");
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\first.txt", first));
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted2\\second.txt", Bytes("in the second container")));
    EXPECT_EQ(OnHost("ls $D; ls $D/../Encrypted2").output, "first.txt\nsecond.txt\n");
    ASSERT_TRUE(Deactivate(second));
    EXPECT_FALSE(fs::exists(m_root.Store() / "Encrypted2"));
    DismountAndCheck({{"first.txt", first}});
}

struct HoldCase {
    const char* name;
    const char* hold; // a shell command on "$1", the host folder
    size_t openFiles;
};

void PrintTo(const HoldCase& test, std::ostream* out) {
    *out << test.name;
}

class HeldFolder : public SharedFolder, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(HeldFolder, MakesTheDismountReportBusyAndKeepsEverything) {
    ASSERT_NO_FATAL_FAILURE(OpenShared());
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\kept.txt", Bytes("kept")));
    const std::optional<fs::path> host = HostFolder();
    ASSERT_TRUE(host);
    testing_support::HostHolder holder(GetParam().hold, *host);
    ASSERT_TRUE(holder.Holding());

    const ULONGLONG virtualStart = kernel::ClockMilliseconds();
    const auto realStart = std::chrono::steady_clock::now();
    EXPECT_FALSE(DeactivateDevice(m_opened.device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_GE(kernel::ClockMilliseconds() - virtualStart, kPatience);
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(3)) << "waited in real time";

    // Still mounted and shared, in this process and on the host.
    std::optional<devices::MountInfo> mount = MountInfo();
    ASSERT_TRUE(mount);
    EXPECT_EQ(mount->sharing, devices::MountSharing::Shared);
    EXPECT_EQ(mount->openHostFiles, GetParam().openFiles);
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\after.txt", Bytes("after")));
    EXPECT_EQ(OnHost("cat $D/after.txt").output, "after");
    ASSERT_EQ(OnHost("echo host > $D/host.txt").exitCode, 0);

    holder.LetGo();
    DismountAndCheck(
        {{"kept.txt", Bytes("kept")}, {"after.txt", Bytes("after")}, {"host.txt", Bytes("host\n")}});
}

INSTANTIATE_TEST_SUITE_P(Holds, HeldFolder,
                         ::testing::Values(HoldCase{"AnOpenFile", "exec 3< \"$1/kept.txt\"", 1},
                                           HoldCase{"ACurrentFolder", "cd \"$1\"", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SharedFolder, DismountWaitsForAHostFileToBeClosed) {
    ASSERT_NO_FATAL_FAILURE(OpenShared());
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\kept.txt", Bytes("kept")));
    const int held = ::open((m_host / "kept.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    const ULONGLONG start = kernel::ClockMilliseconds();
    // Closes the file once the dismount has waited a second.
    std::thread closer([&] {
        while (kernel::ClockMilliseconds() < start + 1000)
            std::this_thread::yield();
        ::close(held);
    });
    const bool done = DeactivateDevice(m_opened.device) != FALSE;
    const ULONGLONG waited = kernel::ClockMilliseconds() - start;
    closer.join();
    ASSERT_TRUE(done) << GetLastError();
    std::erase(m_devices, m_opened.device);
    EXPECT_GE(waited, 1000u);
    EXPECT_LT(waited, kPatience);
    EXPECT_FALSE(fs::exists(m_host));
}

TEST_F(MountFolder, WithoutFuseTheMountStaysWithItsProcess) {
    ::setenv(kSwitch, "0", 1);
    m_opened = Open(kPath, U16(kPassword));
    ASSERT_EQ(m_opened.folder, kMount);
    std::optional<devices::MountInfo> mount = MountInfo();
    ASSERT_TRUE(mount);
    EXPECT_EQ(mount->sharing, devices::MountSharing::ProcessOnly);
    EXPECT_NE(mount->sharingNote.find(kSwitch), std::string::npos) << mount->sharingNote;
    EXPECT_EQ(devices::Mounts().size(), 1u);

    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\from platform.txt", Bytes("mine")));
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\from platform.txt"), Bytes("mine"));
    EXPECT_EQ(Names(u"\\*"), (std::vector<std::u16string>{u"Encrypted", u"My Documents", u"windows"}));
    EXPECT_FALSE(fs::exists(m_root.Store() / "Encrypted"));
    // Another process of the device finds no such folder.
    EXPECT_EQ(RunPeer(), 1u);
    EXPECT_EQ(ReadNumber(u"Error"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    m_host = m_root.Store() / "Encrypted";
    DismountAndCheck({{"from platform.txt", Bytes("mine")}});
}

// Starts the storage tests' writer on the container and kills it once it has mounted and begun writing.
bool KillAWriterWhileItShares() {
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    std::string program = STORAGE_WRITER;
    std::string container = U8(kPath);
    std::string password = kPassword;
    std::string seed = "1";
    char* argv[] = {program.data(), container.data(), password.data(), seed.data(), nullptr};
    pid_t child = 0;
    const bool spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    std::string said;
    pollfd ready{output[0], POLLIN, 0};
    char buffer[256];
    while (spawned && said.find("done 3\n") == std::string::npos && ::poll(&ready, 1, 20000) > 0) {
        const ssize_t got = ::read(output[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        said.append(buffer, static_cast<size_t>(got));
    }
    ::close(output[0]);
    if (spawned) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    return said.find("done 3\n") != std::string::npos;
}

TEST_F(SharedFolder, AFolderLeftByAKilledProcessIsTakenBackByTheNextMount) {
    ASSERT_TRUE(KillAWriterWhileItShares());
    struct stat st {};
    EXPECT_NE(::lstat((m_root.Store() / "Encrypted").c_str(), &st), 0);
    EXPECT_EQ(errno, ENOTCONN) << "the killed writer left no dead mount";

    ASSERT_NO_FATAL_FAILURE(OpenShared());
    EXPECT_EQ(OnHost("ls $D").exitCode, 0);
    EXPECT_EQ(Names(u"\\*"), (std::vector<std::u16string>{u"Encrypted", u"My Documents", u"windows"}));
    ASSERT_TRUE(Deactivate(m_opened));
    EXPECT_FALSE(fs::exists(m_host));
    EXPECT_EQ(RunTool("grep -c " + Quote(m_host) + " /proc/mounts").output, "0\n");
}

TEST_F(MountFolder, AFolderOfTheUsersOwnIsNeverTakenForALeftover) {
    const fs::path own = m_root.Store() / "Encrypted";
    fs::create_directory(own);
    m_opened = Open(kPath, U16(kPassword));
    EXPECT_EQ(m_opened.folder, u"\\Encrypted2");
    EXPECT_TRUE(fs::is_directory(own));
    ASSERT_TRUE(Deactivate(m_opened));
    EXPECT_TRUE(fs::is_directory(own));
    EXPECT_FALSE(fs::exists(m_root.Store() / "Encrypted2"));
}

} // namespace
} // namespace storagetest
