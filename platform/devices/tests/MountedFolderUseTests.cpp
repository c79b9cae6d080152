// Mounted folders under real use by host programs: an entry's FAT short name is another name of it for
// every call, never the name of nothing or of a third file; a file closed and at once renamed or deleted
// is never busy, also under parallel processes; fsync of a file or a folder reaches the container file on
// disk; a server killed during writes leaves a container that the next mount heals, so that fsck.fat finds
// it clean; a mount command killed outright holds nothing, and the device tool says why a mount fails.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>

#include "StorageTestSupport.h"
#include "devices/StorageManager.h"
#include "kernel/Mapping.h"

extern char** environ;

namespace storagetest {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kMiB = 1024 * 1024;
constexpr char16_t kPath[] = u"\\My Documents\\use.fvc";
constexpr char kPassword[] = "in real use";

// A program of the host, its standard output read through a pipe as it comes.
class HostProgram {
public:
    explicit HostProgram(std::vector<std::string> argv) {
        int pipes[2];
        if (::pipe2(pipes, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, pipes[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipes[1], STDERR_FILENO);
        std::vector<char*> args;
        for (std::string& arg : argv)
            args.push_back(arg.data());
        args.push_back(nullptr);
        if (posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipes[1]);
        m_output = pipes[0];
    }
    ~HostProgram() {
        Kill();
        Reap();
        if (m_output >= 0)
            ::close(m_output);
    }
    HostProgram(const HostProgram&) = delete;
    HostProgram& operator=(const HostProgram&) = delete;

    // Reads until the output holds text or the program ends; false when it did not come in time.
    bool WaitFor(const std::string& text, std::chrono::seconds timeout = std::chrono::seconds(60)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (m_said.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count())))
                return false;
        }
        return true;
    }
    // Everything the program says until it ends, and its exit code (-1 when killed).
    int Finish() {
        while (ReadSome(120000)) {
        }
        return Reap();
    }
    void Kill() {
        if (m_pid > 0 && !m_reaped)
            ::kill(m_pid, SIGKILL);
    }
    // Waits until the program has ended, leaving it unreaped: a zombie.
    void AwaitDeath() {
        siginfo_t info{};
        if (m_pid > 0 && !m_reaped)
            ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOWAIT);
    }
    int Reap() {
        if (m_pid > 0 && !m_reaped) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_reaped = true;
            m_exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return m_exit;
    }
    bool Started() const { return m_pid > 0; }
    const std::string& Said() const { return m_said; }

private:
    bool ReadSome(int timeoutMs) {
        pollfd ready{m_output, POLLIN, 0};
        if (m_output < 0 || ::poll(&ready, 1, timeoutMs) <= 0)
            return false;
        char buffer[4096];
        const ssize_t got = ::read(m_output, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        m_said.append(buffer, static_cast<size_t>(got));
        return true;
    }

    pid_t m_pid = -1;
    int m_output = -1;
    bool m_reaped = false;
    int m_exit = -1;
    std::string m_said;
};

// The device tool on this test's device root.
std::vector<std::string> Tool(const fs::path& root, std::vector<std::string> args) {
    args.insert(args.begin(), {DEVICE_TOOL, "--root", root.string()});
    return args;
}

// A container of this test's device root, with the file calls of this process; FUSE is on for the test.
class ContainerUse : public StorageTest {
public:
    // The container at kPath, made as the main program makes it.
    void MakeContainer() { CreateContainer(kPath, U16(kPassword), u"Encrypted", 1 * kMiB); }
    // Makes it and mounts it in this process, which holds its file without sharing until the case ends.
    void HoldContainer() {
        ASSERT_NO_FATAL_FAILURE(MakeContainer());
        Open(kPath, U16(kPassword));
    }

protected:
    void SetUp() override {
        StorageTest::SetUp();
        kernel::UseVirtualClock();
    }
    void TearDown() override {
        StorageTest::TearDown();
        kernel::UseRealClock();
    }

    ToolResult RunDeviceTool(const std::vector<std::string>& args) {
        HostProgram tool(Tool(m_root.Path(), args));
        const int exit = tool.Finish();
        return ToolResult{exit, tool.Said()};
    }

    // fsck.fat on the decrypted volume of a container that is not mounted.
    static ToolResult CheckContainer(const std::u16string& path) {
        const DataKey key = KeyOf(U16(kPassword));
        TempDir dir;
        DecryptContainer(Host(path), key, dir / "plain.img");
        return CheckVolume(dir / "plain.img", GeometryOf(Host(path), key).location);
    }

    SharingSwitchedOn m_sharing;
};

// Cases that need folders shared through FUSE; skipped where it cannot work.
class SharedUse : public ContainerUse {
protected:
    void SetUp() override {
        ContainerUse::SetUp();
        if (std::string reason = devices::ExportUnavailableReason(); !reason.empty())
            GTEST_SKIP() << "no folder can be shared here: " << reason;
    }
};

// The shared folder of a container this process has mounted.
class MountedFolder : public SharedUse {
protected:
    void SetUp() override {
        SharedUse::SetUp();
        if (IsSkipped())
            return;
        ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, U16(kPassword), u"Encrypted", 4 * kMiB));
        m_opened = Open(kPath, U16(kPassword));
        auto device = kernel::FindHandleAs<devices::Device>(m_opened.device);
        std::optional<devices::MountInfo> mount = device ? devices::MountOf(*device) : std::nullopt;
        ASSERT_TRUE(mount);
        ASSERT_EQ(mount->sharing, devices::MountSharing::Shared) << mount->sharingNote;
        m_host = mount->hostFolder;
    }

    // A shell command with $D standing for the host folder.
    ToolResult OnHost(const std::string& command) const { return OnHostFolder(m_host, command); }

    Activation m_opened;
    fs::path m_host;
};

// --- Short names ---------------------------------------------------------------------------------------

// A host command on a folder that holds "Quarterly Report.txt" (short name QUARTE~1.TXT), "Annual
// Budget.xls" (ANNUAL~1.XLS), "incoming.tmp" and the folder "Long folder name" (LONGFO~1), and the
// entries it must leave: every name's content, "/" ending a folder.
struct AliasCase {
    const char* name;
    std::string command;
    std::map<std::u16string, std::string> after;
};

const std::map<std::u16string, std::string> kBefore = {{u"Quarterly Report.txt", "important\n"},
                                                       {u"Annual Budget.xls", "budget\n"},
                                                       {u"incoming.tmp", "incoming\n"},
                                                       {u"Long folder name", "/"}};

std::map<std::u16string, std::string> Changed(std::map<std::u16string, std::string> entries,
                                              const std::map<std::u16string, std::string>& changes) {
    for (const auto& [name, content] : changes) {
        if (content.empty())
            entries.erase(name);
        else
            entries[name] = content;
    }
    return entries;
}

std::vector<AliasCase> AliasCases() {
    return {
        {"StatAndReadFindTheFile",
         "test \"$(stat -c %s $D/QUARTE~1.TXT)\" = 10 && test \"$(cat $D/quarte~1.txt)\" = important",
         kBefore},
        {"WritingTruncatesAndWritesTheFile", "echo x > $D/QUARTE~1.TXT",
         Changed(kBefore, {{u"Quarterly Report.txt", "x\n"}})},
        {"AppendingAppendsToTheFile", "echo more >> $D/QUARTE~1.TXT",
         Changed(kBefore, {{u"Quarterly Report.txt", "important\nmore\n"}})},
        {"AnExclusiveCreateOrAFolderFindTheNameTaken",
         "set -C; ! echo y > $D/QUARTE~1.TXT && ! mkdir $D/QUARTE~1.TXT && test -f $D/QUARTE~1.TXT", kBefore},
        {"DeletingDeletesTheFile", "rm $D/QUARTE~1.TXT", Changed(kBefore, {{u"Quarterly Report.txt", ""}})},
        {"RenamingRenamesTheFile", "mv $D/QUARTE~1.TXT $D/renamed.txt",
         Changed(kBefore, {{u"Quarterly Report.txt", ""}, {u"renamed.txt", "important\n"}})},
        // The target exists, so mv -n keeps it; a plain mv replaces it, as it replaces any file.
        {"MovingOntoTheNameReplacesTheFileItNames",
         "test \"$(stat -c %s $D/ANNUAL~1.XLS)\" = 7 && mv $D/incoming.tmp $D/ANNUAL~1.XLS",
         Changed(kBefore,
                 {{u"Annual Budget.xls", ""}, {u"incoming.tmp", ""}, {u"ANNUAL~1.XLS", "incoming\n"}})},
        {"AFolderIsReachedThroughItsShortName",
         "echo in > $D/LONGFO~1/inner.txt && ls $D/LONGFO~1 >/dev/null",
         Changed(kBefore, {{u"Long folder name\\inner.txt", "in\n"}})},
    };
}

void PrintTo(const AliasCase& test, std::ostream* out) {
    *out << test.name;
}

// Every entry below the mount folder: files with their content, folders as "/".
void ReadEntries(const std::u16string& below, std::map<std::u16string, std::string>& entries) {
    for (const WIN32_FIND_DATAW& data : Find(u"\\Encrypted\\" + below + u"*")) {
        const std::u16string name = below + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries[name] = "/";
            ReadEntries(name + u"\\", entries);
        } else {
            std::vector<uint8_t> content = ReadFileBytes(u"\\Encrypted\\" + name).value_or(TextBytes("?"));
            entries[name] = std::string(content.begin(), content.end());
        }
    }
}

class ShortNames : public MountedFolder, public ::testing::WithParamInterface<AliasCase> {};

TEST_P(ShortNames, NameTheirEntryForEveryCall) {
    for (const auto& [name, content] : kBefore) {
        if (content == "/")
            ASSERT_TRUE(CreateDirectoryW((u"\\Encrypted\\" + name).c_str(), nullptr));
        else
            ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\" + name, TextBytes(content)));
    }
    const ToolResult result = OnHost(GetParam().command);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::map<std::u16string, std::string> entries;
    ReadEntries(u"", entries);
    EXPECT_EQ(entries, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShortNames, ::testing::ValuesIn(AliasCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Releases after a close -------------------------------------------------------------------------------

TEST_F(MountedFolder, FilesClosedAndAtOnceRenamedOrDeletedAreNeverBusy) {
    // Each round of a worker is two sequences: close then rename, close then delete. The sanitizer's build
    // serves the folder at a fraction of the speed; it runs a tenth of them.
#if defined(__SANITIZE_ADDRESS__)
    constexpr long kSequences = 10000;
#else
    constexpr long kSequences = 100000;
#endif
    constexpr int kWorkers = 6;
    std::vector<std::unique_ptr<HostProgram>> workers;
    for (int worker = 0; worker < kWorkers; ++worker)
        workers.push_back(std::make_unique<HostProgram>(
            std::vector<std::string>{FOLDER_CHURN, "rename", m_host.string(), std::to_string(worker),
                                     std::to_string(kSequences / 2 / kWorkers)}));
    for (auto& worker : workers) {
        ASSERT_TRUE(worker->Started());
        EXPECT_EQ(worker->Finish(), 0) << worker->Said();
        EXPECT_EQ(worker->Said(), "ok " + std::to_string(kSequences / kWorkers / 2 * 2) + "\n");
    }
    EXPECT_EQ(Names(u"\\Encrypted\\*"), std::vector<std::u16string>{});
}

TEST_F(MountedFolder, AFileHeldOpenIsBusyAtOnce) {
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\held.txt", TextBytes("held")));
    // Held by this process; the shell that deletes it is a child that closes its inherited copy.
    const int held = ::open((m_host / "held.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    const ToolResult removed = OnHost("rm $D/held.txt");
    ::close(held);
    EXPECT_NE(removed.exitCode, 0);
    EXPECT_NE(removed.output.find("busy"), std::string::npos) << removed.output;
    EXPECT_EQ(ReadFileBytes(u"\\Encrypted\\held.txt"), TextBytes("held"));
}

// --- Extended attributes -------------------------------------------------------------------------------

// The platform's attributes are there; access lists, security labels and trusted attributes are not kept,
// which ls -l learns from the first file it asks about, not from every file.
TEST_F(MountedFolder, OnlyThePlatformsExtendedAttributesAreKept) {
    ASSERT_TRUE(WriteFileBytes(u"\\Encrypted\\hidden.txt", TextBytes("h")));
    ASSERT_TRUE(SetFileAttributesW(u"\\Encrypted\\hidden.txt", FILE_ATTRIBUTE_HIDDEN));
    const std::string file = (m_host / "hidden.txt").string();
    uint32_t attributes = 0;
    EXPECT_EQ(::getxattr(file.c_str(), "user.ferrovane.attributes", &attributes, sizeof attributes), 4);
    EXPECT_EQ(attributes, static_cast<uint32_t>(FILE_ATTRIBUTE_HIDDEN));
    errno = 0;
    EXPECT_EQ(::getxattr(file.c_str(), "user.other", nullptr, 0), -1);
    EXPECT_EQ(errno, ENODATA);
    for (const char* name :
         {"system.posix_acl_access", "security.selinux", "security.capability", "trusted.x"}) {
        errno = 0;
        EXPECT_EQ(::getxattr(file.c_str(), name, nullptr, 0), -1) << name;
        EXPECT_EQ(errno, ENOTSUP) << name;
    }
}

// --- fsync -------------------------------------------------------------------------------------------------

TEST_F(MountedFolder, FsyncOfAFileOrAFolderWritesTheContainerFileToDisk) {
    // The page cache shows the mapped container to every reader without a flush, so the flushes that the
    // driver makes of its view and of the file are what tells.
    size_t views = kernel::ViewFlushCount();
    size_t files = kernel::HostFileFlushCount();
    ASSERT_EQ(OnHost("printf data > $D/plain.txt && mkdir $D/folder").exitCode, 0);
    EXPECT_EQ(kernel::ViewFlushCount(), views);
    EXPECT_EQ(kernel::HostFileFlushCount(), files);

    ASSERT_EQ(OnHost("dd if=/dev/zero of=$D/synced.bin bs=4096 count=4 conv=fsync status=none").exitCode, 0);
    EXPECT_GT(kernel::ViewFlushCount(), views);
    EXPECT_GT(kernel::HostFileFlushCount(), files);

    views = kernel::ViewFlushCount();
    files = kernel::HostFileFlushCount();
    ASSERT_EQ(OnHost("mv $D/plain.txt $D/folder/moved.txt && sync $D/folder").exitCode, 0);
    EXPECT_GT(kernel::ViewFlushCount(), views);
    EXPECT_GT(kernel::HostFileFlushCount(), files);
}

// --- A killed server ------------------------------------------------------------------------------------

struct KillCase {
    const char* name;
    uint32_t size; // of the container, which decides the FAT type
};

void PrintTo(const KillCase& test, std::ostream* out) {
    *out << test.name;
}

class KilledServer : public SharedUse, public ::testing::WithParamInterface<KillCase> {};

TEST_P(KilledServer, LeavesAContainerThatTheNextMountHeals) {
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, U16(kPassword), u"Encrypted", GetParam().size));
    const fs::path host = m_root.Store() / "Encrypted";
    constexpr int kWriters = 3;
    // Killed once each writer has finished this many rounds; the kill lands somewhere in the next ones.
    for (int rounds : {2, 5, 9, 14, 20, 27}) {
        SCOPED_TRACE("killed after " + std::to_string(rounds) + " rounds of each writer");
        HostProgram server(Tool(m_root.Path(), {"mount", "--open", U8(kPath), "--password", kPassword}));
        ASSERT_TRUE(server.WaitFor("mounted")) << server.Said();
        ASSERT_EQ(server.Said().find("only this process"), std::string::npos) << server.Said();
        std::vector<std::unique_ptr<HostProgram>> writers;
        for (int writer = 0; writer < kWriters; ++writer)
            writers.push_back(std::make_unique<HostProgram>(std::vector<std::string>{
                FOLDER_CHURN, "write", host.string(), std::to_string(writer), "1000"}));
        for (auto& writer : writers)
            ASSERT_TRUE(writer->WaitFor("done " + std::to_string(rounds - 1) + "\n")) << writer->Said();
        server.Kill();
        for (auto& writer : writers)
            writer->Finish(); // each fails once the folder's server is gone
        server.Reap();

        Activation opened = Open(kPath, U16(kPassword));
        ASSERT_EQ(opened.folder, u"\\Encrypted");
        EXPECT_FALSE(Names(u"\\Encrypted\\*").empty());
        ASSERT_TRUE(Deactivate(opened));
        const ToolResult fsck = CheckContainer(kPath);
        EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Types, KilledServer,
                         ::testing::Values(KillCase{"Fat12", 2 * kMiB}, KillCase{"Fat16", 32 * kMiB}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The device tool --------------------------------------------------------------------------------------

struct HolderCase {
    const char* name;
    bool reaped; // else the killed command stays a zombie until the end of the case
};

void PrintTo(const HolderCase& test, std::ostream* out) {
    *out << test.name;
}

class GoneHolder : public SharedUse, public ::testing::WithParamInterface<HolderCase> {};

TEST_P(GoneHolder, HoldsNothingAndItsFolderIsCleared) {
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, U16(kPassword), u"Encrypted", 1 * kMiB));
    const fs::path host = m_root.Store() / "Encrypted";
    HostProgram holder(Tool(m_root.Path(), {"mount", "--open", U8(kPath), "--password", kPassword}));
    ASSERT_TRUE(holder.WaitFor("mounted")) << holder.Said();
    holder.Kill();
    if (GetParam().reaped)
        holder.Reap();
    else
        holder.AwaitDeath();
    struct stat st {};
    ASSERT_NE(::lstat(host.c_str(), &st), 0);
    ASSERT_EQ(errno, ENOTCONN);

    const ToolResult mounts = RunDeviceTool({"mounts"});
    EXPECT_EQ(mounts.exitCode, 0) << mounts.output;
    EXPECT_EQ(mounts.output, "");
    const ToolResult unmount = RunDeviceTool({"unmount", "Encrypted"});
    EXPECT_EQ(unmount.exitCode, 0) << unmount.output;
    EXPECT_EQ(unmount.output, "unmounted \\Encrypted: its mount command had ended\n");
    EXPECT_FALSE(fs::exists(host));
    EXPECT_EQ(RunTool("grep -c " + Quote(host) + " /proc/mounts").output, "0\n");
    // The container is free for the next mount.
    Activation opened = Open(kPath, U16(kPassword));
    EXPECT_EQ(opened.folder, u"\\Encrypted");
}

INSTANTIATE_TEST_SUITE_P(Holders, GoneHolder,
                         ::testing::Values(HolderCase{"Zombie", false}, HolderCase{"Reaped", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A mount command that fails, and what it says.
struct RefusedMount {
    const char* name;
    std::function<void(ContainerUse&)> prepare;
    std::vector<std::string> args;  // after "mount"
    std::string says;               // a part of its message
    const char* leftFile = nullptr; // a host file of the store that must not exist afterwards
};

void PrintTo(const RefusedMount& test, std::ostream* out) {
    *out << test.name;
}

class MountMessages : public ContainerUse, public ::testing::WithParamInterface<RefusedMount> {};

std::vector<RefusedMount> RefusedMounts() {
    const std::string path = U8(kPath);
    const std::vector<std::string> open = {"--open", path, "--password", kPassword};
    auto with = [](std::vector<std::string> args, std::vector<std::string> more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    auto create = [](const char* folder) {
        return std::vector<std::string>{"--create", "1M",       "\\new.fvc", "--password",
                                        kPassword,  "--folder", folder};
    };
    auto container = [](ContainerUse& test) { test.MakeContainer(); };
    return {
        {"NoSuchFile", {}, open, "the container file does not exist"},
        {"NoSuchFileWithAFolder", {}, with(open, {"--folder", "F"}), "the container file does not exist"},
        {"InUse", [](ContainerUse& test) { test.HoldContainer(); }, open, "the container file is in use"},
        {"InUseWithAFolder", [](ContainerUse& test) { test.HoldContainer(); }, with(open, {"--folder", "F"}),
         "the container file is in use"},
        {"TooShort", [](ContainerUse&) { WriteHostFile(Host(kPath), TextBytes("short")); }, open,
         "no container: it is too short"},
        {"WrongPassword",
         container,
         {"--open", path, "--password", "not the password"},
         "the file is no container, or the password is wrong"},
        {"ParentFolder", {}, create(".."), "the folder name \"..\" cannot be a folder", "new.fvc"},
        {"Slash",
         {},
         create("a/b"),
         "the folder name \"a/b\" cannot be a folder: '/' is not allowed",
         "new.fvc"},
        {"Colon", {}, create(":"), "the folder name \":\" cannot be a folder: ':' is not allowed", "new.fvc"},
        {"ControlCharacter",
         {},
         create("a\tb"),
         "cannot be a folder: it holds a control character",
         "new.fvc"},
        {"FolderFromTheContainer",
         [](ContainerUse& test) {
             test.MakeContainer();
             WriteNewTrailer(Host(kPath), U16(kPassword), u"a:b");
         },
         open, "the folder name \"a:b\" cannot be a folder: ':' is not allowed"},
        {"DamagedVolume",
         [](ContainerUse& test) {
             test.MakeContainer();
             const DataKey key = KeyOf(U16(kPassword));
             const VolumeGeometry geometry = GeometryOf(Host(kPath), key);
             // Not alike in every block, which would be a sector never written, and formatted anew.
             WritePlain(Host(kPath), key, uint64_t{geometry.location.firstSector} * 512,
                        PatternBytes(512, 7));
         },
         open, "the container's volume is damaged"},
    };
}

TEST_P(MountMessages, SayWhatIsWrong) {
    const RefusedMount& test = GetParam();
    if (test.prepare) {
        ASSERT_NO_FATAL_FAILURE(test.prepare(*this));
    }
    std::vector<std::string> args = {"mount"};
    args.insert(args.end(), test.args.begin(), test.args.end());
    const ToolResult result = RunDeviceTool(args);
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find(test.says), std::string::npos) << result.output;
    if (test.leftFile != nullptr) {
        EXPECT_FALSE(fs::exists(m_root.Store() / test.leftFile)) << "a container was made all the same";
    }
}

INSTANTIATE_TEST_SUITE_P(Refusals, MountMessages, ::testing::ValuesIn(RefusedMounts()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace storagetest
