#pragma once
// Device path text: parsing and checking paths, case-insensitive names, wildcard patterns, and the UTF-8
// names of host entries.

#include <optional>
#include <string>
#include <string_view>

#include "crt/Types.h"
#include "kernel/Volume.h"

namespace kernel::files {

enum class PathUse {
    Name,        // every component is a plain name
    FindPattern, // the last component may hold '*' and '?'
};

// Splits a device path into its components. Repeated and trailing separators are dropped; a path that does
// not start with '\' is taken from the root, as the handheld does. Errors: ERROR_INVALID_PARAMETER (NULL),
// ERROR_FILENAME_EXCED_RANGE (MAX_PATH units or more), ERROR_INVALID_NAME (empty, a refused character, a
// "." or ".." component, an unpaired surrogate, a wildcard outside the last component of a pattern).
DWORD ParseDevicePath(LPCWSTR path, PathUse use, PathComponents* components);

// Whether a host entry's name can be a device name: what ParseDevicePath accepts as one component.
bool IsDeviceName(std::u16string_view name);
bool HasWildcards(std::u16string_view name);

// Names folded with ToLowerW, the key under which the platform compares them.
std::u16string FoldName(std::u16string_view name);
bool ComponentsEqual(const PathComponents& a, const PathComponents& b);
// Whether path starts with (or equals) prefix, compared case-insensitively.
bool StartsWithComponents(const PathComponents& path, const PathComponents& prefix);

// '*' matches any run of units, '?' exactly one, other units case-insensitively; a pattern that ends in
// ".*" also matches a name without that dot ("*.*" matches every name).
bool MatchesPattern(std::u16string_view name, std::u16string_view pattern);

// "\a\b" of {"a", "b"}; "\" of none.
std::u16string JoinDevicePath(const PathComponents& components);

// Strict conversions: nullopt for unpaired surrogates, or for malformed or overlong UTF-8.
std::optional<std::string> ToUtf8(std::u16string_view text);
std::optional<std::u16string> FromUtf8(std::string_view text);

} // namespace kernel::files
