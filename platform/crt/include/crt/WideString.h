#pragma once
// UTF-16 string functions of the handheld's C run time. They take and return char16_t strings and
// overload the host's wchar_t functions of the same name, so the system's code calls them by the
// names it was written with.

#include <string_view>

#include "crt/Types.h"

size_t wcslen(const WCHAR* s);
size_t wcsnlen(const WCHAR* s, size_t maxCount);
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
// Copies at most count units; pads with NULs up to count like the C function (no terminator when src
// is count units or longer).
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t count);
WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
// Appends at most count units of src and always a terminator.
WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t count);
// Comparisons return a value whose sign is that of the first differing pair of units, taken as unsigned.
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count);
// Case-insensitive comparisons: both sides folded with ToLowerW, compared as unsigned units.
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count);
WCHAR* wcschr(const WCHAR* s, WCHAR c);
WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
WCHAR* wcsstr(const WCHAR* haystack, const WCHAR* needle);
// Duplicates with malloc; the caller frees with free(). NULL when out of memory or s is NULL.
WCHAR* _wcsdup(const WCHAR* s);
WCHAR* _wcslwr(WCHAR* s);
WCHAR* _wcsupr(WCHAR* s);

// Simple case mapping of one unit for ASCII, Latin-1, Latin Extended-A (U+0000-U+017F), Greek
// (U+0370-U+03FF) and Cyrillic (U+0400-U+04FF); every other unit maps to itself, and so do letters
// without a one-unit counterpart (sharp s) and the micro sign. A few mappings are one-way: dotted
// capital I lowers to 'i', dotless i and long s raise to 'I' and 'S', final sigma raises to sigma.
WCHAR ToLowerW(WCHAR c);
WCHAR ToUpperW(WCHAR c);

namespace crt {
// True when both texts have the same length and equal units once folded with ToLowerW: the platform's
// comparison of names (files, registry keys and values, modules).
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);
} // namespace crt
// Tab, line feed, vertical tab, form feed, carriage return and space.
bool IsSpaceW(WCHAR c);
// '0' to '9' only.
bool IsDigitW(WCHAR c);

// Bounded copy that always terminates when capacity > 0; returns the units copied. The safe helper that
// our own platform code uses where the handheld code would use wcsncpy with a fixed buffer.
size_t CopyStringW(WCHAR* dst, size_t capacity, const WCHAR* src);
