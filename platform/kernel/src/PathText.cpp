// Device path parsing, name comparison, wildcard matching and UTF-8 conversion of names.

#include "PathText.h"

#include "crt/Utf8.h"
#include "crt/WideString.h"
#include "kernel/Errors.h"

namespace kernel::files {
namespace {

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The characters the handheld's file system refuses in a name; the wildcards are allowed by the caller.
bool IsRefusedUnit(char16_t c) {
    if (c < 0x20)
        return true;
    switch (c) {
    case u'<':
    case u'>':
    case u':':
    case u'"':
    case u'/':
    case u'|':
    case u'\\':
        return true;
    default:
        return false;
    }
}

bool IsValidComponent(std::u16string_view name, bool allowWildcards) {
    if (name.empty() || name == u"." || name == u"..")
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (IsRefusedUnit(c))
            return false;
        if ((c == u'*' || c == u'?') && !allowWildcards)
            return false;
        if (IsLowSurrogate(c))
            return false;
        if (IsHighSurrogate(c)) {
            if (i + 1 >= name.size() || !IsLowSurrogate(name[i + 1]))
                return false;
            ++i;
        }
    }
    return true;
}

bool UnitsEqual(char16_t a, char16_t b) {
    return ToLowerW(a) == ToLowerW(b);
}

// Wildcard matching with one backtracking point: the latest '*' absorbs one more unit on a mismatch.
bool MatchesCore(std::u16string_view name, std::u16string_view pattern) {
    size_t n = 0;
    size_t p = 0;
    size_t starPattern = std::u16string_view::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || UnitsEqual(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starPattern != std::u16string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

DWORD ParseDevicePath(LPCWSTR path, PathUse use, PathComponents* components) {
    if (path == nullptr || components == nullptr)
        return ERROR_INVALID_PARAMETER;
    const size_t length = wcsnlen(path, MAX_PATH);
    if (length >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    if (length == 0)
        return ERROR_INVALID_NAME;

    PathComponents parts;
    const std::u16string_view text(path, length);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u'\\', start);
        if (end == std::u16string_view::npos)
            end = text.size();
        if (end > start)
            parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        if (!IsValidComponent(parts[i], use == PathUse::FindPattern && last))
            return ERROR_INVALID_NAME;
    }
    *components = std::move(parts);
    return ERROR_SUCCESS;
}

bool IsDeviceName(std::u16string_view name) {
    return name.size() < MAX_PATH && IsValidComponent(name, false);
}

bool HasWildcards(std::u16string_view name) {
    return name.find_first_of(u"*?") != std::u16string_view::npos;
}

std::u16string FoldName(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded)
        c = ToLowerW(c);
    return folded;
}

bool ComponentsEqual(const PathComponents& a, const PathComponents& b) {
    return a.size() == b.size() && StartsWithComponents(a, b);
}

bool StartsWithComponents(const PathComponents& path, const PathComponents& prefix) {
    if (prefix.size() > path.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (!crt::EqualsIgnoringCase(path[i], prefix[i]))
            return false;
    return true;
}

bool MatchesPattern(std::u16string_view name, std::u16string_view pattern) {
    if (MatchesCore(name, pattern))
        return true;
    // "name.*" also names "name" without an extension.
    const size_t lastStar = pattern.find_last_not_of(u'*');
    if (lastStar != std::u16string_view::npos && lastStar + 1 < pattern.size() && pattern[lastStar] == u'.')
        return MatchesCore(name, pattern.substr(0, lastStar));
    return false;
}

std::u16string JoinDevicePath(const PathComponents& components) {
    if (components.empty())
        return u"\\";
    std::u16string path;
    for (const std::u16string& component : components) {
        path += u'\\';
        path += component;
    }
    return path;
}

std::optional<std::string> ToUtf8(std::u16string_view text) {
    return crt::ToUtf8Exact(text);
}

std::optional<std::u16string> FromUtf8(std::string_view text) {
    return crt::FromUtf8Exact(text);
}

} // namespace kernel::files
