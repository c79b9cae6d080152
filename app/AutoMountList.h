#pragma once
// The auto-mount list, "\program files\ferrovane\amount.cfg": the containers to mount at start. 8-bit text
// whose lines end in "\n": a preamble of 7 lines and 208 bytes that readers skip, then one entry of four
// lines per container: "[container]", the container path, the folder name, "[/container]". A line's text
// is its bytes up to the first byte outside 32..127, so only ASCII paths and names survive.

#include <string>
#include <vector>

#include "crt/Types.h"

namespace automount {

inline constexpr char16_t kListPath[] = u"\\program files\\ferrovane\\amount.cfg";
inline constexpr char16_t kTempPath[] = u"\\program files\\ferrovane\\amount.tmp";
inline constexpr size_t kPreambleBytes = 208;
inline constexpr int kPreambleLines = 7;

// The preamble that a new list starts with.
std::string Preamble();

// The text of a line as every reader takes it.
std::string LineText(const char* line);
// A path or name as the list holds it: 8-bit, at most maxBytes bytes.
std::string ListForm(const char16_t* text, size_t maxBytes = 250);

// Appends the entry; a list that does not exist yet (or is empty) gets the preamble first, so that the
// start-up reader finds the entry. False when the list cannot be opened.
bool AppendEntry(const char16_t* path, const char16_t* folder);
// Whether a line of the list is the path (a missing list holds nothing).
bool IsListed(const char16_t* path);
// Removes the first entry whose path line is the path (the line before it through the two after it),
// through amount.tmp; false when the path is not listed or the list could not be replaced.
bool RemoveEntry(const char16_t* path);

// One entry as the start-up reader finds it: its first line's index from the start of the file.
struct Entry {
    int firstLine = 0;
    std::u16string path;
    std::u16string folder;
};
// Every entry after the preamble, in file order.
std::vector<Entry> ReadEntries();
// Removes the four lines of the entry that starts at that line index (as ReadEntries gives it).
bool RemoveEntryAt(int firstLine);

} // namespace automount
