#pragma once
// An in-memory model of a volume's tree and a random workload that drives the engine and the model side
// by side: every call's result and every byte read is checked against what the model expects.

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace fat::test {

struct ModelNode {
    std::u16string name; // as created (case kept)
    bool folder = false;
    std::vector<uint8_t> content;
    std::map<std::u16string, ModelNode> children; // by upper-cased name
    uint32_t slotsEver = 0;                       // directory slots ever taken, an upper bound of its size
};

class Workload {
public:
    Workload(FatVolume& volume, uint32_t seed, uint32_t clusterBytes, uint32_t totalClusters);

    // Runs one random operation and checks it; false (with a message) on the first divergence.
    bool Step(std::string& failure);
    // Compares the whole tree (names, kinds, sizes, contents) with the volume.
    bool Verify(std::string& failure);

    const ModelNode& Root() const { return m_root; }
    uint64_t Operations() const { return m_operations; }

private:
    struct Located {
        ModelNode* node = nullptr;
        ModelNode* parent = nullptr;
        std::u16string path; // as the engine is asked, case varied
    };

    std::u16string NewName();
    std::u16string VaryCase(const std::u16string& path);
    void Collect(ModelNode& node, ModelNode* parent, const std::u16string& path, bool folders,
                 std::vector<Located>& out);
    bool PickFile(Located& out);
    bool PickFolder(Located& out);
    uint64_t ClustersUsed(const ModelNode& node) const;
    uint32_t MaxWrite() const;
    bool VerifyNode(const ModelNode& node, const std::u16string& path, std::string& failure);

    bool CreateFolder(std::string& failure);
    bool WriteFile(std::string& failure);
    bool WriteAt(std::string& failure);
    bool Truncate(std::string& failure);
    bool DeleteFile(std::string& failure);
    bool RemoveFolder(std::string& failure);
    bool Move(std::string& failure);
    bool ReadBack(std::string& failure);

    FatVolume& m_volume;
    std::mt19937 m_random;
    uint32_t m_clusterBytes;
    uint32_t m_totalClusters;
    ModelNode m_root;
    uint64_t m_operations = 0;
    uint32_t m_nameCounter = 0;
};

// The upper-case form that names are compared in.
std::u16string FoldName(const std::u16string& name);

} // namespace fat::test
