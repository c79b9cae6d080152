#pragma once
// Test helpers that need nothing of the FAT engine, shared by the engine's tests and the storage
// manager's: temporary folders, sparse image files, UTF-8/UTF-16 conversion for names, pattern bytes, and
// the real tools (fsck.fat, mtools, mkfs.fat) run on images, with a sample tree to fill a volume from.

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fat/BlockDevice.h"
#include "fat/FatTypes.h"

namespace fat::test {

// A fresh temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Creates (or replaces) a sparse file of that many bytes.
void CreateSparseFile(const std::filesystem::path& path, uint64_t bytes);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path, uint64_t offset, size_t length);
void WriteBytes(const std::filesystem::path& path, uint64_t offset, const std::vector<uint8_t>& bytes);
// A whole host file (empty when it cannot be read), and one created or replaced with the content.
std::vector<uint8_t> ReadHostFile(const std::filesystem::path& path);
void WriteHostFile(const std::filesystem::path& path, const std::vector<uint8_t>& content);

std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& utf16);

struct ToolResult {
    int exitCode = -1;
    std::string output;
};
// Runs a shell command, output and errors together.
ToolResult RunTool(const std::string& command);
std::string Quote(const std::filesystem::path& path);

// fsck.fat -n on the volume at where in the image (copied out sparsely when it does not start at 0).
ToolResult CheckVolume(const std::filesystem::path& image, VolumeLocation where);
// The mtools image argument for a volume: "image@@offset".
std::string MtoolsImage(const std::filesystem::path& image, VolumeLocation where);
// The environment prefix for mtools commands.
std::string MtoolsEnv();
// Every path on the volume ("dir/", "dir/file", hidden ones too) as mdir -/ lists them, into paths.
ToolResult ListWithMdir(const std::string& mtoolsImage, std::set<std::string>& paths);
// A partition sector with one entry of that type for the volume, as partitioning tools write it.
std::vector<uint8_t> PartitionSector(VolumeLocation where, uint8_t type);
// mkfs.fat with the options on the volume at where in the image (after its hidden sectors when it does
// not start at 0).
ToolResult RunMkfs(const std::filesystem::path& image, VolumeLocation where, const std::string& options);

// A host tree to copy onto a volume: short, lower-case, long and non-ASCII names, nested, an empty folder,
// sizes around the sector and cluster boundaries, one file large for the volume.
struct SampleTree {
    std::map<std::string, std::vector<uint8_t>> files; // by path with '/'
    std::set<std::u16string> rootNames;                // what the volume's root then holds
};
SampleTree MakeSampleTree(uint64_t volumeBytes);
// Writes the tree under source (a new folder) and copies it onto the volume's root with mcopy.
ToolResult CopySampleTree(const SampleTree& tree, const std::filesystem::path& source,
                          const std::string& mtoolsImage);

// Whether fsck.fat -n found only what an interrupted call may leave: clusters nobody references, FAT
// copies of which only the first got the change, a stale free count, long-name slots without their short
// entry, the volume still marked in use; with allowShared also an entry left under two names by an
// interrupted rename.
bool FsckFoundOnlyLeaks(const std::string& output, bool allowShared);

std::vector<uint8_t> PatternBytes(size_t length, uint32_t seed);

} // namespace fat::test
