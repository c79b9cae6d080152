#pragma once
// Test helpers that need nothing of the FAT engine, shared by the engine's tests and the storage
// manager's: temporary folders, sparse image files, UTF-8/UTF-16 conversion for names, pattern bytes, and
// the real tools (fsck.fat, mtools, mkfs.fat) run on images.

#include <cstdint>
#include <filesystem>
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
// Whether fsck.fat -n found only what an interrupted call may leave: clusters nobody references, FAT
// copies of which only the first got the change, a stale free count, long-name slots without their short
// entry; with allowShared also an entry left under two names by an interrupted rename.
bool FsckFoundOnlyLeaks(const std::string& output, bool allowShared);

std::vector<uint8_t> PatternBytes(size_t length, uint32_t seed);

} // namespace fat::test
