#include "ToolSupport.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "crt/Utf8.h"

namespace fat::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "fat-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

void CreateSparseFile(const fs::path& path, uint64_t bytes) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path.string());
    int rc = ::ftruncate(fd, static_cast<off_t>(bytes));
    ::close(fd);
    if (rc != 0)
        throw std::runtime_error("cannot size " + path.string());
}

std::vector<uint8_t> ReadBytes(const fs::path& path, uint64_t offset, size_t length) {
    std::vector<uint8_t> bytes(length, 0);
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path.string());
    ssize_t got = ::pread(fd, bytes.data(), length, static_cast<off_t>(offset));
    ::close(fd);
    if (got < 0)
        throw std::runtime_error("cannot read " + path.string());
    bytes.resize(static_cast<size_t>(got));
    return bytes;
}

void WriteBytes(const fs::path& path, uint64_t offset, const std::vector<uint8_t>& bytes) {
    int fd = ::open(path.c_str(), O_RDWR);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path.string());
    ssize_t put = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    ::close(fd);
    if (put != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("cannot write " + path.string());
}

std::vector<uint8_t> ReadHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHostFile(const fs::path& path, const std::vector<uint8_t>& content) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

std::u16string U16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t c = static_cast<uint8_t>(utf8[i]);
        size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra > 0)
            c &= (0x3F >> extra);
        for (size_t k = 1; k <= extra && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string U8(const std::u16string& utf16) {
    return crt::ToUtf8(utf16);
}

ToolResult RunTool(const std::string& command) {
    ToolResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        result.output.append(buffer, got);
    int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

namespace {

std::string Tool(const char* name) {
    for (const char* folder : {"/usr/sbin/", "/sbin/", "/usr/bin/"}) {
        std::string candidate = std::string(folder) + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return name;
}

// Copies bytes [offset, offset + length) of source into a new sparse file, skipping holes.
void CopySparse(const fs::path& source, uint64_t offset, uint64_t length, const fs::path& target) {
    CreateSparseFile(target, length);
    int in = ::open(source.c_str(), O_RDONLY);
    int out = ::open(target.c_str(), O_RDWR);
    if (in < 0 || out < 0)
        throw std::runtime_error("cannot copy " + source.string());
    std::vector<uint8_t> buffer(1 << 20);
    off_t end = static_cast<off_t>(offset + length);
    off_t at = static_cast<off_t>(offset);
    while (at < end) {
        off_t data = ::lseek(in, at, SEEK_DATA);
        if (data < 0 || data >= end)
            break;
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0 || hole > end)
            hole = end;
        for (off_t p = data; p < hole;) {
            size_t chunk = static_cast<size_t>(std::min<off_t>(hole - p, static_cast<off_t>(buffer.size())));
            ssize_t got = ::pread(in, buffer.data(), chunk, p);
            if (got <= 0)
                break;
            ::pwrite(out, buffer.data(), static_cast<size_t>(got), p - static_cast<off_t>(offset));
            p += got;
        }
        at = hole;
    }
    ::close(in);
    ::close(out);
}

} // namespace

ToolResult CheckVolume(const fs::path& image, VolumeLocation where) {
    fs::path target = image;
    if (where.firstSector != 0) {
        target = image.string() + ".volume";
        CopySparse(image, static_cast<uint64_t>(where.firstSector) * kSectorSize,
                   static_cast<uint64_t>(where.sectorCount) * kSectorSize, target);
    }
    ToolResult result = RunTool(Tool("fsck.fat") + " -n " + Quote(target));
    if (target != image)
        fs::remove(target);
    return result;
}

std::string MtoolsImage(const fs::path& image, VolumeLocation where) {
    return Quote(image.string() + "@@" +
                 std::to_string(static_cast<uint64_t>(where.firstSector) * kSectorSize));
}

std::string MtoolsEnv() {
    return "MTOOLS_SKIP_CHECK=1 MTOOLS_LOWER_CASE=0 LC_ALL=C.UTF-8 ";
}

ToolResult ListWithMdir(const std::string& mtoolsImage, std::set<std::string>& paths) {
    ToolResult listing = RunTool(MtoolsEnv() + "mdir -/ -b -a -i " + mtoolsImage + " ::");
    std::istringstream lines(listing.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("::/", 0) == 0)
            paths.insert(line.substr(3));
    }
    return listing;
}

std::vector<uint8_t> PartitionSector(VolumeLocation where, uint8_t type) {
    std::vector<uint8_t> sector(kSectorSize, 0);
    sector[446 + 4] = type;
    for (int i = 0; i < 4; ++i) {
        sector[446 + 8 + i] = static_cast<uint8_t>(where.firstSector >> (8 * i));
        sector[446 + 12 + i] = static_cast<uint8_t>(where.sectorCount >> (8 * i));
    }
    sector[510] = 0x55;
    sector[511] = 0xAA;
    return sector;
}

ToolResult RunMkfs(const fs::path& image, VolumeLocation where, const std::string& options) {
    const std::string offset = where.firstSector != 0 ? " --offset=" + std::to_string(where.firstSector) +
                                                            " -h " + std::to_string(where.firstSector)
                                                      : "";
    return RunTool("/usr/sbin/mkfs.fat " + options + offset + " " + Quote(image) + " " +
                   std::to_string(where.sectorCount / 2));
}

SampleTree MakeSampleTree(uint64_t volumeBytes) {
    SampleTree tree;
    tree.files = {
        {"README.TXT", PatternBytes(1, 1)},
        {"lower.txt", PatternBytes(511, 2)},
        {"A long file name.text", PatternBytes(512, 3)},
        {"Sub Folder/Ünïcødé é.bin", PatternBytes(513, 4)},
        {"Sub Folder/deeper/cluster.dat", PatternBytes(4096, 5)},
        {"Sub Folder/deeper/empty", {}},
        {"big.bin", PatternBytes(volumeBytes < 1024 * 1024 ? 20000 : 300000, 6)},
    };
    tree.rootNames = {u"README.TXT", u"lower.txt", u"A long file name.text",
                      u"Sub Folder", u"EMPTY",     u"big.bin"};
    return tree;
}

ToolResult CopySampleTree(const SampleTree& tree, const fs::path& source, const std::string& mtoolsImage) {
    fs::create_directories(source / "Sub Folder" / "deeper");
    fs::create_directories(source / "EMPTY");
    for (const auto& [path, content] : tree.files)
        WriteHostFile(source / path, content);
    return RunTool("cd " + Quote(source) + " && " + MtoolsEnv() + "mcopy -s -i " + mtoolsImage + " * ::/");
}

// A rename cut between writing the new entry and removing the old one leaves both, sharing the file's
// clusters (a moved folder's ".." matching only one of them).
bool FsckFoundOnlyLeaks(const std::string& output, bool allowShared) {
    std::istringstream lines(output);
    std::string line;
    static const char* kHarmless[] = {"fsck.fat ",
                                      "FATs differ but appear to be intact",
                                      "Using first FAT",
                                      "Reclaimed",
                                      "Free cluster summary",
                                      "cluster chain length is >",
                                      "Truncating file to",
                                      "Leaving filesystem unchanged",
                                      " files, ",
                                      "Orphan",
                                      "long file name",
                                      "Auto-deleting",
                                      "Long filename fragment",
                                      "start bit is missing",
                                      "Not auto-correcting",
                                      "Dirty bit is set",
                                      "removing dirty bit"};
    static const char* kShared[] = {"share clusters", "Truncating second to 0 bytes",
                                    "cluster chain length is 0 bytes", "Invalid '..' entry"};
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '/')
            continue; // a path that a message below is about
        bool harmless = false;
        for (const char* text : kHarmless)
            harmless = harmless || line.find(text) != std::string::npos;
        for (const char* text : kShared)
            harmless = harmless || (allowShared && line.find(text) != std::string::npos);
        if (!harmless)
            return false;
    }
    return true;
}

std::vector<uint8_t> PatternBytes(size_t length, uint32_t seed) {
    std::vector<uint8_t> bytes(length);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < length; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<uint8_t>(state >> 16);
    }
    return bytes;
}

} // namespace fat::test
