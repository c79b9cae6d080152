#pragma once
// An in-memory model of the tree under a mount folder, and a random workload that drives the platform's
// file calls (CreateFileW, WriteFile, SetEndOfFile, MoveFileW, DeleteFileW, CreateDirectoryW, ...) and the
// model side by side: every result and error code, every listing and every byte read is checked against
// what the model expects.

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "crt/Types.h"

namespace storagetest {

struct ApiNode {
    std::u16string name; // as last given
    bool folder = false;
    std::vector<uint8_t> content;
    DWORD attributes = 0;                       // a file's stored bits (read-only never set here)
    std::map<std::u16string, ApiNode> children; // by folded name
    uint32_t slotsEver = 0;                     // directory slots ever taken: a bound on the folder's size
};

class ApiWorkload {
public:
    // mountFolder: "\Encrypted"; clusterBytes steers file sizes around cluster boundaries.
    ApiWorkload(std::u16string mountFolder, uint32_t seed, uint32_t clusterBytes);

    // Runs one random operation and checks it; false (with a message) on the first divergence.
    bool Step(std::string& failure);
    // Compares the whole tree (names, kinds, sizes, attributes, contents) with what the file calls show.
    bool Verify(std::string& failure);

    const ApiNode& Root() const { return m_root; }

private:
    struct Located {
        ApiNode* node = nullptr;
        ApiNode* parent = nullptr;
        std::u16string path; // below the mount folder, as the calls are given it (case varied)
    };

    std::u16string Full(const std::u16string& path) const;
    std::u16string Child(const std::u16string& folder, const std::u16string& name) const;
    std::u16string NewName();
    std::u16string VaryCase(const std::u16string& path);
    void Collect(ApiNode& node, ApiNode* parent, const std::u16string& path, bool folders,
                 std::vector<Located>& out);
    bool PickFile(Located& out);
    void PickFolder(Located& out);
    bool HasRoom(const ApiNode& folder, const std::u16string& name) const;
    // Bytes a write may add, keeping a good part of the volume free.
    uint32_t Allowance() const;
    bool VerifyNode(const ApiNode& node, const std::u16string& path, std::string& failure);

    bool CreateFolder(std::string& failure);
    bool WriteWhole(std::string& failure);
    bool WriteAt(std::string& failure);
    bool Resize(std::string& failure);
    bool DeleteEntry(std::string& failure);
    bool RemoveFolder(std::string& failure);
    bool Move(std::string& failure);
    bool ChangeAttributes(std::string& failure);
    bool ReadBack(std::string& failure);

    std::u16string m_mount;
    std::mt19937 m_random;
    uint32_t m_clusterBytes;
    ApiNode m_root;
    uint32_t m_nameCounter = 0;
};

// The form names are compared in on the volume for the names the workload makes: ASCII letters upper-cased.
std::u16string FoldAscii(const std::u16string& name);

} // namespace storagetest
