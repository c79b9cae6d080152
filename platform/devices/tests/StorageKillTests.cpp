// A program that writes files into a mounted container is killed (SIGKILL) after a random number of steps:
// the container still opens, every step the program completed is there, the step it was in is either done or
// not (a created file may hold the first pieces of its content, a renamed one both names), and fsck.fat finds
// at most clusters that nobody references.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <set>
#include <sstream>

#include "StorageTestSupport.h"
#include "WriterScript.h"

extern char** environ;

namespace storagetest {
namespace {

constexpr uint32_t kMiB = 1024 * 1024;
constexpr char16_t kPath[] = u"\\My Documents\\killed.fvc";
constexpr char kPassword[] = "kill me";

struct Tree {
    std::map<std::u16string, std::vector<uint8_t>> files; // below the mount folder
    std::set<std::u16string> folders;
    bool operator==(const Tree&) const = default;
};

void ReadTree(const std::u16string& mount, const std::u16string& path, Tree& tree) {
    for (const WIN32_FIND_DATAW& data : Find(mount + u"\\" + path + u"\\*")) {
        const std::u16string child = path + u"\\" + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree.folders.insert(child);
            ReadTree(mount, child, tree);
        } else {
            tree.files[child] = ReadFileBytes(mount + u"\\" + child).value_or(std::vector<uint8_t>{1, 2, 3});
        }
    }
}

// The tree of one round's folder as the file calls show it.
Tree ReadRound(const std::u16string& mount, const std::u16string& folder) {
    Tree tree;
    if (GetFileAttributesW((mount + u"\\" + folder).c_str()) == INVALID_FILE_ATTRIBUTES)
        return tree;
    tree.folders.insert(folder);
    ReadTree(mount, folder, tree);
    return tree;
}

Tree TreeOf(const WriterScript& script) {
    return Tree{script.Files(), script.Folders()};
}

// The states the round's folder may be in when the step after the script's was cut off.
std::vector<Tree> Acceptable(const WriterScript& script, const WriterStep& inFlight) {
    const Tree before = TreeOf(script);
    WriterScript done = script;
    done.Apply(inFlight);
    std::vector<Tree> states = {before, TreeOf(done)};
    if (inFlight.op == WriterOp::Create) {
        for (size_t length = 0; length < inFlight.data.size(); length += kWriterChunk) {
            Tree partial = before;
            partial.files[inFlight.path] =
                std::vector<uint8_t>(inFlight.data.begin(), inFlight.data.begin() + length);
            states.push_back(partial);
        }
    }
    if (inFlight.op == WriterOp::Rename) {
        Tree both = before;
        both.files[inFlight.target] = before.files.at(inFlight.path);
        states.push_back(both);
    }
    return states;
}

// How a writer run ended: the steps it reported done, and what else it said.
struct WriterRun {
    bool ready = false;
    uint32_t completed = 0;
    std::string output;
};

// Steps the writer reported done so far.
uint32_t CompletedSteps(const std::string& output) {
    uint32_t completed = 0;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("done ", 0) == 0)
            completed = static_cast<uint32_t>(std::stoul(line.substr(5))) + 1;
    return completed;
}

// Runs the writer of a seed and kills it as soon as it has reported killAfter steps done. It may go on
// for a few steps meanwhile, so the kill falls in the middle of some step, but never more than
// kRunOn steps further: what a round writes depends on the work done, not on the machine's speed.
constexpr uint32_t kRunOn = 30;

WriterRun RunWriterUntilKilled(const std::string& container, uint32_t seed, uint32_t killAfter) {
    WriterRun run;
    int pipes[2];
    if (::pipe2(pipes, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipes[1], STDOUT_FILENO);
    const std::string seedText = std::to_string(seed);
    const std::string limitText = std::to_string(killAfter + kRunOn);
    char* argv[] = {const_cast<char*>(STORAGE_WRITER),    const_cast<char*>(container.c_str()),
                    const_cast<char*>(kPassword),         const_cast<char*>(seedText.c_str()),
                    const_cast<char*>(limitText.c_str()), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawn(&child, STORAGE_WRITER, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipes[1]);
    if (spawned != 0) {
        ::close(pipes[0]);
        return run;
    }
    auto readSome = [&](int timeoutMs) {
        pollfd poller{pipes[0], POLLIN, 0};
        if (::poll(&poller, 1, timeoutMs) <= 0)
            return false;
        char buffer[4096];
        const ssize_t got = ::read(pipes[0], buffer, sizeof buffer);
        if (got <= 0)
            return false;
        run.output.append(buffer, static_cast<size_t>(got));
        return true;
    };
    auto finished = [&] {
        return CompletedSteps(run.output) >= killAfter || run.output.find("failed") != std::string::npos ||
               run.output.find("not mounted") != std::string::npos;
    };
    // The writer's output is the only clock: no deadline decides where the kill falls. The bound is
    // for a writer that hangs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!finished() && std::chrono::steady_clock::now() < deadline)
        if (!readSome(1000) && ::waitpid(child, nullptr, WNOHANG) != 0)
            break;
    run.ready = run.output.find("ready\n") != std::string::npos;
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    while (readSome(1000)) {
    }
    ::close(pipes[0]);
    run.completed = CompletedSteps(run.output);
    return run;
}

using KilledWriter = StorageTest;

TEST_F(KilledWriter, LeavesAContainerThatOpensWithAtMostTheInterruptedStepLost) {
    ASSERT_NO_FATAL_FAILURE(CreateContainer(kPath, U16(kPassword), u"Encrypted", 16 * kMiB));
    std::mt19937 random(2024);
    Tree earlier;           // what the rounds before left, as found after their kill
    bool renameCut = false; // a cut rename may leave an entry under two names, for fsck from then on
    for (uint32_t round = 1; round <= 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const uint32_t killAfter = 1 + random() % 200;
        WriterRun run = RunWriterUntilKilled(U8(kPath), round, killAfter);
        ASSERT_TRUE(run.ready) << run.output;
        ASSERT_GE(run.completed, killAfter) << run.output;
        ASSERT_EQ(run.output.find("failed"), std::string::npos) << run.output;

        WriterScript script(round);
        for (uint32_t step = 0; step < run.completed; ++step)
            script.Apply(script.Next());
        const WriterStep inFlight = script.Next();

        Activation opened = Open(kPath, U16(kPassword));
        ASSERT_EQ(opened.folder, u"\\Encrypted");
        Tree found;
        for (uint32_t before = 1; before < round; ++before) {
            Tree old = ReadRound(opened.folder, u"round" + U16(std::to_string(before)));
            found.files.insert(old.files.begin(), old.files.end());
            found.folders.insert(old.folders.begin(), old.folders.end());
        }
        EXPECT_TRUE(found == earlier) << "an earlier round changed";
        const Tree now = ReadRound(opened.folder, script.Folder());
        const std::vector<Tree> acceptable = Acceptable(script, inFlight);
        EXPECT_NE(std::find(acceptable.begin(), acceptable.end(), now), acceptable.end())
            << run.completed << " steps done, killed after " << killAfter << "; " << now.files.size()
            << " files found, " << script.Files().size() << " expected";
        earlier.files.insert(now.files.begin(), now.files.end());
        earlier.folders.insert(now.folders.begin(), now.folders.end());
        ASSERT_TRUE(Deactivate(opened));

        fat::test::TempDir dir;
        DecryptContainer(Host(kPath), KeyOf(U16(kPassword)), dir / "plain.img");
        fat::test::ToolResult fsck = fat::test::CheckVolume(
            dir / "plain.img", GeometryOf(Host(kPath), KeyOf(U16(kPassword))).location);
        renameCut = renameCut || inFlight.op == WriterOp::Rename;
        EXPECT_TRUE(fsck.exitCode == 0 || fat::test::FsckFoundOnlyLeaks(fsck.output, renameCut))
            << fsck.output;
    }
}

} // namespace
} // namespace storagetest
