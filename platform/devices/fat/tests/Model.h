#pragma once
// An in-memory model of a volume's tree and a random workload that drives the engine and the model side
// by side: every call's result and every byte read is checked against what the model expects.

#include <cstdint>
#include <string>

#include "ModelTree.h"
#include "TestSupport.h"

namespace fat::test {

class Workload : public ModelTree {
public:
    Workload(FatVolume& volume, uint32_t seed, uint32_t clusterBytes, uint32_t totalClusters);

    // Runs one random operation and checks it; false (with a message) on the first divergence.
    bool Step(std::string& failure);
    // Compares the whole tree (names, kinds, sizes, contents) with the volume.
    bool Verify(std::string& failure);

    uint64_t Operations() const { return m_operations; }

private:
    std::u16string NewName();
    uint64_t ClustersUsed(const ModelNode& node) const;
    uint32_t MaxWrite() const;

    bool CreateFolder(std::string& failure);
    bool WriteFile(std::string& failure);
    bool WriteAt(std::string& failure);
    bool Truncate(std::string& failure);
    bool DeleteFile(std::string& failure);
    bool RemoveFolder(std::string& failure);
    bool Move(std::string& failure);
    bool ReadBack(std::string& failure);

    FatVolume& m_volume;
    uint32_t m_clusterBytes;
    uint32_t m_totalClusters;
    uint64_t m_operations = 0;
    uint32_t m_nameCounter = 0;
};

} // namespace fat::test
