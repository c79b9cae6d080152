#pragma once
// An in-memory model of the tree under a mount folder, and a random workload that drives the platform's
// file calls (CreateFileW, WriteFile, SetEndOfFile, MoveFileW, DeleteFileW, CreateDirectoryW, ...) and the
// model side by side: every result and error code, every listing and every byte read is checked against
// what the model expects.

#include <cstdint>
#include <string>

#include "ModelTree.h"
#include "crt/Types.h"

namespace storagetest {

using fat::test::ModelNode;

class ApiWorkload : public fat::test::ModelTree {
public:
    // mountFolder: "\Encrypted"; clusterBytes steers file sizes around cluster boundaries.
    ApiWorkload(std::u16string mountFolder, uint32_t seed, uint32_t clusterBytes);

    // Runs one random operation and checks it; false (with a message) on the first divergence.
    bool Step(std::string& failure);
    // Compares the whole tree (names, kinds, sizes, attributes, contents) with what the file calls show.
    bool Verify(std::string& failure);

private:
    std::u16string Full(const std::u16string& path) const;
    std::u16string NewName();
    // Bytes a write may add, keeping a good part of the volume free.
    uint32_t Allowance() const;

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
    uint32_t m_clusterBytes;
    uint32_t m_nameCounter = 0;
};

} // namespace storagetest
