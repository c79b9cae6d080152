// The UTF-16 string functions: plain loops over char16_t units, with the C library's semantics.

#include "crt/WideString.h"

#include <cstdlib>
#include <cstring>
#include <limits>

size_t wcslen(const WCHAR* s) {
    const WCHAR* p = s;
    while (*p != 0)
        ++p;
    return static_cast<size_t>(p - s);
}

size_t wcsnlen(const WCHAR* s, size_t maxCount) {
    size_t n = 0;
    while (n < maxCount && s[n] != 0)
        ++n;
    return n;
}

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src) {
    WCHAR* out = dst;
    while ((*out++ = *src++) != 0) {
    }
    return dst;
}

WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t count) {
    size_t i = 0;
    for (; i < count && src[i] != 0; ++i)
        dst[i] = src[i];
    for (; i < count; ++i)
        dst[i] = 0;
    return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src) {
    wcscpy(dst + wcslen(dst), src);
    return dst;
}

WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t count) {
    WCHAR* out = dst + wcslen(dst);
    size_t i = 0;
    for (; i < count && src[i] != 0; ++i)
        out[i] = src[i];
    out[i] = 0;
    return dst;
}

namespace {

// Compares up to count units after mapping each through fold; the sign follows the first unequal pair
// taken as unsigned 16-bit values.
template <typename Fold>
int CompareUnits(const WCHAR* a, const WCHAR* b, size_t count, Fold fold) {
    for (size_t i = 0; i < count; ++i) {
        const int x = fold(a[i]);
        const int y = fold(b[i]);
        if (x != y)
            return x - y;
        if (x == 0)
            return 0;
    }
    return 0;
}

WCHAR Same(WCHAR c) {
    return c;
}

constexpr size_t kUnbounded = std::numeric_limits<size_t>::max();

} // namespace

int wcscmp(const WCHAR* a, const WCHAR* b) {
    return CompareUnits(a, b, kUnbounded, Same);
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count) {
    return CompareUnits(a, b, count, Same);
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) {
    return CompareUnits(a, b, kUnbounded, ToLowerW);
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count) {
    return CompareUnits(a, b, count, ToLowerW);
}

WCHAR* wcschr(const WCHAR* s, WCHAR c) {
    for (;; ++s) {
        if (*s == c)
            return const_cast<WCHAR*>(s);
        if (*s == 0)
            return nullptr;
    }
}

WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
    const WCHAR* found = nullptr;
    for (;; ++s) {
        if (*s == c)
            found = s;
        if (*s == 0)
            return const_cast<WCHAR*>(found);
    }
}

WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle) {
    if (*needle == 0)
        return const_cast<WCHAR*>(haystack);
    for (; *haystack != 0; ++haystack) {
        size_t i = 0;
        while (needle[i] != 0 && haystack[i] == needle[i])
            ++i;
        if (needle[i] == 0)
            return const_cast<WCHAR*>(haystack);
    }
    return nullptr;
}

WCHAR* _wcsdup(const WCHAR* s) {
    if (s == nullptr)
        return nullptr;
    const size_t length = wcslen(s);
    // length + 1 units cannot overflow size_t: the source already occupies them in memory.
    auto* copy = static_cast<WCHAR*>(std::malloc((length + 1) * sizeof(WCHAR)));
    if (copy == nullptr)
        return nullptr;
    std::memcpy(copy, s, (length + 1) * sizeof(WCHAR));
    return copy;
}

WCHAR* _wcslwr(WCHAR* s) {
    for (WCHAR* p = s; *p != 0; ++p)
        *p = ToLowerW(*p);
    return s;
}

WCHAR* _wcsupr(WCHAR* s) {
    for (WCHAR* p = s; *p != 0; ++p)
        *p = ToUpperW(*p);
    return s;
}

size_t CopyStringW(WCHAR* dst, size_t capacity, const WCHAR* src) {
    if (dst == nullptr || capacity == 0)
        return 0;
    size_t n = 0;
    if (src != nullptr) {
        while (n + 1 < capacity && src[n] != 0) {
            dst[n] = src[n];
            ++n;
        }
    }
    dst[n] = 0;
    return n;
}

bool crt::EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ToLowerW(a[i]) != ToLowerW(b[i]))
            return false;
    return true;
}
