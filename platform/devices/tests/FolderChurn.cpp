// A host program that works on a shared folder the way editors and build tools do, as fast as it can:
//
//   mounted_folder_churn rename FOLDER WORKER COUNT
//       COUNT times: create a file, write it, close it and at once rename it; open the new name, read
//       it, close it and at once delete it. Each close followed by a rename or delete is one sequence
//       (two per round).
//   mounted_folder_churn write FOLDER WORKER COUNT
//       COUNT rounds: one of five files of several clusters emptied and written anew in pieces, every
//       third one deleted afterwards; "done N" after each round, for a test that kills the folder's server
//       meanwhile.
//
// The names carry the worker's number, so that workers run side by side in one folder. The first call
// that fails ends the program: "failed <call> <errno name> after <n>" on standard output, exit code 1;
// otherwise "ok <sequences>" and 0.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string g_folder;
std::string g_worker;

std::string PathOf(const char* name) {
    return g_folder + "/w" + g_worker + "-" + name;
}

void Say(const std::string& line) {
    const std::string text = line + "\n";
    ssize_t ignored = ::write(STDOUT_FILENO, text.data(), text.size());
    (void)ignored;
}

[[noreturn]] void Failed(const char* call, long done) {
    const int error = errno;
    Say(std::string("failed ") + call + " " + (error == EBUSY ? "EBUSY" : std::strerror(error)) + " after " +
        std::to_string(done));
    std::exit(1);
}

bool WriteAll(int fd, const std::vector<char>& data, size_t piece) {
    for (size_t at = 0; at < data.size(); at += piece) {
        const size_t length = std::min(piece, data.size() - at);
        if (::write(fd, data.data() + at, length) != static_cast<ssize_t>(length))
            return false;
    }
    return true;
}

int Rename(long rounds) {
    const std::string first = PathOf("first.tmp");
    const std::string second = PathOf("second.txt");
    const std::vector<char> data(100, 'r');
    std::vector<char> back(data.size());
    long sequences = 0;
    for (long round = 0; round < rounds; ++round) {
        int fd = ::open(first.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || !WriteAll(fd, data, data.size()) || ::close(fd) != 0)
            Failed("write", sequences);
        if (::rename(first.c_str(), second.c_str()) != 0)
            Failed("rename", sequences);
        ++sequences;
        fd = ::open(second.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::read(fd, back.data(), back.size()) != static_cast<ssize_t>(back.size()) ||
            ::close(fd) != 0)
            Failed("read", sequences);
        if (::unlink(second.c_str()) != 0)
            Failed("unlink", sequences);
        ++sequences;
    }
    Say("ok " + std::to_string(sequences));
    return 0;
}

int Write(long rounds) {
    long sequences = 0;
    for (long round = 0; round < rounds; ++round) {
        const std::vector<char> data(20000 + (round % 7) * 9000, static_cast<char>('a' + round % 26));
        const std::string file = PathOf(("file" + std::to_string(round % 5) + ".bin").c_str());
        const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || !WriteAll(fd, data, 4096) || ::close(fd) != 0)
            Failed("write", sequences);
        if (round % 3 == 2 && ::unlink(file.c_str()) != 0)
            Failed("unlink", sequences);
        ++sequences;
        Say("done " + std::to_string(round));
    }
    Say("ok " + std::to_string(sequences));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        Say("usage: mounted_folder_churn rename|write FOLDER WORKER COUNT");
        return 2;
    }
    g_folder = argv[2];
    g_worker = argv[3];
    const long count = std::strtol(argv[4], nullptr, 10);
    if (std::strcmp(argv[1], "rename") == 0)
        return Rename(count);
    if (std::strcmp(argv[1], "write") == 0)
        return Write(count);
    Say("unknown mode");
    return 2;
}
