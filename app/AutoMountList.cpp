#include "AutoMountList.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "ContainerFormat.h"
#include "crt/Convert.h"
#include "crt/WideString.h"
#include "kernel/Files.h"
#include "kernel/Stdio.h"

namespace automount {
namespace {

// The start-up reader takes lines of up to 259 bytes; the others read 249 bytes at a time.
constexpr int kReaderLine = 260;
constexpr int kScanLine = 250;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File Open(const char16_t* path, const char16_t* mode) {
    return File(_wfopen(path, mode));
}

// The lines of the list as fgets gives them with a buffer of that size: a longer line comes in pieces.
std::vector<std::string> Lines(FILE* file, int size) {
    std::vector<std::string> lines;
    std::vector<char> buffer(static_cast<size_t>(size));
    while (std::fgets(buffer.data(), size, file) != nullptr)
        lines.emplace_back(buffer.data());
    return lines;
}

std::u16string Wide(const std::string& text) {
    std::u16string wide(text.size() + 1, u'\0');
    const size_t length = mbstowcs(wide.data(), text.c_str(), kContainerTextUnits);
    wide.resize(length == static_cast<size_t>(-1) ? 0 : length);
    return wide;
}

// Replaces the list by its lines without those from first to first + count - 1. The list is replaced only
// once every line has reached amount.tmp and it closed cleanly; otherwise the list stays as it was and the
// half-written copy goes.
bool Rewrite(const std::vector<std::string>& lines, size_t first, size_t count) {
    File temp = Open(kTempPath, u"w");
    if (!temp)
        return false;
    bool written = true;
    for (size_t i = 0; i < lines.size() && written; ++i)
        if (i < first || i >= first + count)
            written = std::fputs(lines[i].c_str(), temp.get()) >= 0;
    // The stream's buffer reaches the file at the close, where a full volume shows.
    const bool closed = std::fclose(temp.release()) == 0;
    if (!written || !closed) {
        _wremove(kTempPath);
        return false;
    }
    if (_wremove(kListPath) != 0)
        return false;
    return _wrename(kTempPath, kListPath) == 0;
}

} // namespace

std::string Preamble() {
    // Seven lines of 208 bytes in all.
    std::string text = "# Ferrovane auto-mount list\n"
                       "# Each entry below names a container to mount at start:\n"
                       "# [container], its path, its folder, [/container].\n"
                       "#\n#\n#\n";
    text += "#" + std::string(kPreambleBytes - text.size() - 2, '-') + "\n";
    return text;
}

std::string LineText(const char* line) {
    std::string text;
    for (const char* c = line; *c != 0; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte < 32 || byte > 127)
            break;
        text += *c;
    }
    return text;
}

std::string ListForm(const char16_t* text, size_t maxBytes) {
    std::string narrow(maxBytes + 1, '\0');
    const size_t length = wcstombs(narrow.data(), text, maxBytes);
    narrow.resize(length == static_cast<size_t>(-1) ? 0 : length);
    return narrow;
}

bool AppendEntry(const char16_t* path, const char16_t* folder) {
    const bool isNew = GetFileAttributesW(kListPath) == INVALID_FILE_ATTRIBUTES;
    File list = Open(kListPath, u"a");
    if (!list)
        return false;
    std::fseek(list.get(), 0, SEEK_END);
    if (isNew || std::ftell(list.get()) == 0)
        std::fputs(Preamble().c_str(), list.get());
    std::fputs("[container]\n", list.get());
    fputws(path, list.get());
    std::fputs("\n", list.get());
    fputws(folder, list.get());
    std::fputs("\n[/container]\n", list.get());
    return true;
}

bool IsListed(const char16_t* path) {
    File list = Open(kListPath, u"r");
    if (!list)
        return false;
    const std::string wanted = ListForm(path);
    for (const std::string& line : Lines(list.get(), kScanLine))
        if (LineText(line.c_str()) == wanted)
            return true;
    return false;
}

bool RemoveEntry(const char16_t* path) {
    std::vector<std::string> lines;
    {
        File list = Open(kListPath, u"r");
        if (!list)
            return false;
        lines = Lines(list.get(), kScanLine);
    }
    const std::string wanted = ListForm(path);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (LineText(lines[i].c_str()) != wanted)
            continue;
        // The "[container]" line before the path through "[/container]".
        const size_t first = i > 0 ? i - 1 : 0;
        return Rewrite(lines, first, 4);
    }
    return false;
}

std::vector<Entry> ReadEntries() {
    std::vector<Entry> entries;
    File list = Open(kListPath, u"r");
    if (!list || std::fseek(list.get(), kPreambleBytes, SEEK_SET) != 0)
        return entries;
    const std::vector<std::string> lines = Lines(list.get(), kReaderLine);
    for (size_t i = 0; i < lines.size(); ++i) {
        // "[container]" has ']' at index 10; "[/container]" has 'r' there.
        if (lines[i].size() <= 10 || lines[i][10] != ']')
            continue;
        Entry entry;
        entry.firstLine = kPreambleLines + static_cast<int>(i);
        if (i + 1 < lines.size())
            entry.path = Wide(LineText(lines[i + 1].c_str()));
        if (i + 2 < lines.size())
            entry.folder = Wide(LineText(lines[i + 2].c_str()));
        entries.push_back(std::move(entry));
        i += 3; // the path, the folder and the closing line
    }
    return entries;
}

bool RemoveEntryAt(int firstLine) {
    std::vector<std::string> lines;
    {
        File list = Open(kListPath, u"r");
        if (!list)
            return false;
        lines = Lines(list.get(), kReaderLine);
    }
    // The preamble's lines are counted although they are not read as such.
    return firstLine >= 0 && Rewrite(lines, static_cast<size_t>(firstLine), 4);
}

} // namespace automount
