#pragma once
// The tree that model-based tests keep beside a volume: folders and files with their contents, by folded
// name; the random choices a workload makes of it (an entry to act on, its path in varied case); the
// count of directory slots that keeps folders within what the volume holds; and the walk that compares
// the whole tree with what the volume lists.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace fat::test {

struct ModelNode {
    std::u16string name; // as last given (case kept)
    bool folder = false;
    std::vector<uint8_t> content;
    uint32_t attributes = 0;                      // a file's stored bits, where the workload sets them
    std::map<std::u16string, ModelNode> children; // by folded name
    uint32_t slotsEver = 0;                       // directory slots ever taken: a bound on the folder's size
};

// The letters whose case the volume folds when it compares names, and that the workload varies.
enum class NameLetters { Ascii, Latin1 };
// Whether a path is now and then given with a leading '\'.
enum class RootPrefix { Never, Sometimes };

class ModelTree {
public:
    const ModelNode& Root() const { return m_root; }

protected:
    struct Located {
        ModelNode* node = nullptr;
        ModelNode* parent = nullptr;
        std::u16string path; // as the volume is asked (case varied), empty or "\" for the root
    };
    // An entry as the volume lists it.
    struct Listed {
        std::u16string name;
        bool folder = false;
        uint64_t size = 0;
        uint32_t attributes = 0;
    };
    // Lists a folder (its path as in Located); false with a message when the listing fails.
    using Lister =
        std::function<bool(const std::u16string& path, std::vector<Listed>& out, std::string& failure)>;
    // Checks a listed file against the model beyond its kind and size.
    using FileCheck = std::function<bool(const ModelNode& file, const Listed& entry,
                                         const std::u16string& path, std::string& failure)>;

    ModelTree(uint32_t seed, NameLetters letters, RootPrefix prefix, uint32_t folderSlotLimit);

    std::u16string Fold(const std::u16string& name) const;
    std::u16string VaryCase(const std::u16string& path);
    static std::u16string Child(const std::u16string& folder, const std::u16string& name);
    // Whether node is folder or lies below it.
    static bool IsInside(const ModelNode& folder, const ModelNode* node);

    // A random file (false when there is none) or folder (the root included).
    bool PickFile(Located& out);
    void PickFolder(Located& out);
    // The fresh name, or one time in five the name of the folder's first entry.
    std::u16string FreshOrFirst(const ModelNode& folder, std::u16string fresh);
    // The fresh name, or one time in three the name of an entry already in the folder.
    std::u16string FreshOrTaken(const ModelNode& folder, std::u16string fresh);
    // Whether a new entry of that name keeps the folder within its slot limit.
    bool HasRoom(const ModelNode& folder, const std::u16string& name) const;

    // What a successful call did, in the model.
    void AddFolder(ModelNode& parent, const std::u16string& name);
    ModelNode& StoreFile(ModelNode& folder, const std::u16string& name, std::vector<uint8_t> content);
    static void WriteInto(std::vector<uint8_t>& content, uint32_t offset, const std::vector<uint8_t>& data);
    void Remove(const Located& entry);
    void MoveEntry(const Located& source, ModelNode& target, const std::u16string& name);

    // Compares the whole tree (names, kinds, sizes, and what check adds) with what list shows.
    bool VerifyTree(const Lister& list, const FileCheck& check, std::string& failure);

    std::mt19937 m_random;
    ModelNode m_root;

private:
    void Collect(ModelNode& node, ModelNode* parent, const std::u16string& path, bool folders,
                 std::vector<Located>& out);
    bool VerifyNode(const ModelNode& node, const std::u16string& path, const Lister& list,
                    const FileCheck& check, std::string& failure);

    NameLetters m_letters;
    RootPrefix m_prefix;
    uint32_t m_folderSlotLimit;
};

// Every path of the tree ("dir/", "dir/file") in UTF-8, as mdir -/ -b lists them.
std::set<std::string> ModelPaths(const ModelNode& root);
// Expects a host folder (one that mcopy filled from the volume) to hold exactly the tree.
void ExpectHostTreeMatches(const ModelNode& node, const std::filesystem::path& folder);

} // namespace fat::test
