#pragma once
// File names on FAT: validating long names, comparing them without regard to case, matching search
// patterns, and the 8.3 short names (decoding, deriving an alias with a numeric tail, the checksum that
// ties long-name entries to their short entry).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace fat {

constexpr size_t kMaxLongName = 255;
using ShortName = std::array<uint8_t, 11>; // 8 + 3 bytes, space padded, as stored

// Drops trailing dots and spaces, as the platform does, and checks what is left: 1 to 255 units, no
// control characters and none of " * / : < > ? \ |. False when the name is not valid.
bool NormalizeLongName(std::u16string_view name, std::u16string& out);

// Upper-case mapping used for every comparison (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic).
char16_t FoldCase(char16_t c);
bool NamesEqual(std::u16string_view a, std::u16string_view b);

bool HasWildcards(std::u16string_view pattern);
// '*' matches any run of units, '?' exactly one; "*.*" matches every name.
bool MatchPattern(std::u16string_view pattern, std::u16string_view name);

// The short name as text: "NAME.EXT", lower-cased per part when the entry's case bits say so.
std::u16string DecodeShortName(const ShortName& raw, uint8_t caseBits);

// True when the name can be stored as a short name alone (an upper-case 8.3 name); raw gets it.
bool ExactShortName(std::u16string_view name, ShortName& raw);

// The basis of an alias for a long name: upper case, characters a short name cannot hold replaced by
// '_', spaces and extra dots dropped, cut to 8 + 3. lossy says that a numeric tail is required.
struct AliasBasis {
    ShortName name{};
    bool lossy = false;
};
AliasBasis MakeAliasBasis(std::u16string_view longName);
// The basis with "~n" put into its base part (n from 1 to 999999).
ShortName WithNumericTail(const AliasBasis& basis, uint32_t n);

uint8_t ShortNameChecksum(const ShortName& raw);

} // namespace fat
