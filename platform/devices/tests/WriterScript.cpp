#include "WriterScript.h"

#include <iterator>

#include "ToolSupport.h"
#include "kernel/Kernel.h"

namespace storagetest {

namespace {

std::u16string Number(uint32_t value) {
    return fat::test::U16(std::to_string(value));
}

template <typename Container>
auto PickFrom(const Container& items, std::mt19937& random) {
    auto it = items.begin();
    std::advance(it, random() % items.size());
    return it;
}

bool WriteAll(HANDLE file, const std::vector<uint8_t>& data, uint32_t chunk) {
    for (size_t at = 0; at < data.size(); at += chunk) {
        const DWORD length = static_cast<DWORD>(std::min<size_t>(chunk, data.size() - at));
        DWORD written = 0;
        if (!WriteFile(file, data.data() + at, length, &written, nullptr) || written != length)
            return false;
    }
    return true;
}

} // namespace

WriterScript::WriterScript(uint32_t seed) : m_folder(u"round" + Number(seed)), m_random(seed) {}

WriterStep WriterScript::Next() {
    WriterStep step;
    const uint32_t index = m_index;
    if (index == 0) {
        step.op = WriterOp::MakeFolder;
        step.path = m_folder;
        return step;
    }
    const uint32_t roll = m_random() % 20;
    auto folder = PickFrom(m_folders, m_random);
    if (roll < 3 && m_folders.size() < 20) {
        step.op = WriterOp::MakeFolder;
        step.path = *folder + u"\\d" + Number(index);
    } else if (roll < 9 || m_files.empty()) {
        step.op = WriterOp::Create;
        step.path = *folder + u"\\File number " + Number(index) + u".bin";
        step.data = fat::test::PatternBytes(m_random() % (3 * kWriterChunk + 100), m_random());
    } else if (roll < 13) {
        step.op = WriterOp::Append;
        step.path = PickFrom(m_files, m_random)->first;
        step.data = fat::test::PatternBytes(1 + m_random() % (2 * kWriterChunk), m_random());
    } else if (roll < 17) {
        step.op = WriterOp::Rename;
        step.path = PickFrom(m_files, m_random)->first;
        step.target = *folder + u"\\renamed " + Number(index) + u".bin";
    } else {
        step.op = WriterOp::Delete;
        step.path = PickFrom(m_files, m_random)->first;
    }
    return step;
}

void WriterScript::Apply(const WriterStep& step) {
    ++m_index;
    switch (step.op) {
    case WriterOp::MakeFolder:
        m_folders.insert(step.path);
        break;
    case WriterOp::Create:
        m_files[step.path] = step.data;
        break;
    case WriterOp::Append: {
        std::vector<uint8_t>& content = m_files[step.path];
        content.insert(content.end(), step.data.begin(), step.data.end());
        break;
    }
    case WriterOp::Rename: {
        auto node = m_files.extract(step.path);
        node.key() = step.target;
        m_files.insert(std::move(node));
        break;
    }
    case WriterOp::Delete:
        m_files.erase(step.path);
        break;
    }
}

bool RunWriterStep(const std::u16string& mountFolder, const WriterStep& step) {
    const std::u16string path = mountFolder + u"\\" + step.path;
    switch (step.op) {
    case WriterOp::MakeFolder:
        return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
    case WriterOp::Create: {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = WriteAll(file, step.data, kWriterChunk);
        return CloseHandle(file) && ok;
    }
    case WriterOp::Append: {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
                        WriteAll(file, step.data, static_cast<uint32_t>(step.data.size()));
        return CloseHandle(file) && ok;
    }
    case WriterOp::Rename:
        return MoveFileW(path.c_str(), (mountFolder + u"\\" + step.target).c_str()) != FALSE;
    case WriterOp::Delete:
        return DeleteFileW(path.c_str()) != FALSE;
    }
    return false;
}

} // namespace storagetest
