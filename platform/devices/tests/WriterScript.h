#pragma once
// The writer program's work: a sequence of file operations under one folder ("round<seed>" below the
// mount folder) fixed by a seed, the model of what the completed steps leave behind, which the program
// and the test both keep, and the file calls that carry out a step.

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace storagetest {

enum class WriterOp { MakeFolder, Create, Append, Rename, Delete };

struct WriterStep {
    WriterOp op = WriterOp::MakeFolder;
    std::u16string path;       // below the mount folder
    std::u16string target;     // Rename: the new path
    std::vector<uint8_t> data; // Create: the content; Append: the bytes added
};

class WriterScript {
public:
    explicit WriterScript(uint32_t seed);

    // The step after the ones applied so far.
    WriterStep Next();
    void Apply(const WriterStep& step);

    const std::u16string& Folder() const { return m_folder; }
    const std::map<std::u16string, std::vector<uint8_t>>& Files() const { return m_files; }
    const std::set<std::u16string>& Folders() const { return m_folders; }

private:
    std::u16string m_folder;
    std::mt19937 m_random;
    uint32_t m_index = 0;
    std::map<std::u16string, std::vector<uint8_t>> m_files;
    std::set<std::u16string> m_folders;
};

// A created file is written in pieces of this size, so an interrupted creation leaves a prefix.
constexpr uint32_t kWriterChunk = 4096;

// Carries out a step through the file calls under the mount folder; false when a call fails.
bool RunWriterStep(const std::u16string& mountFolder, const WriterStep& step);

} // namespace storagetest
