#pragma once
// Number parsing and 8-bit conversions of the handheld's C run time.

#include <cstdlib>
#include <cwchar>

#include "crt/Types.h"

// <cwchar> and <cstdlib> come first: the standard library's std::wcstol (std::stol takes its address)
// must name the host's function alone, whatever the includes after this header.

// _wtol rules: leading white space, an optional sign, then decimal digits up to the first other unit;
// no digits give 0; values beyond the 32-bit range clamp to the limits of LONG, 2147483647 and
// -2147483648 (the host's LONG_MAX and LONG_MIN are those of its 64-bit long, not these).
LONG _wtol(const WCHAR* s);
int _wtoi(const WCHAR* s);
// wcstol/wcstoul with base 0 (prefix decides: 0x hex, 0 octal), or 2 to 36, letters of either case.
// Overflow clamps to the limits of LONG (of ULONG) and sets errno to ERANGE; wcstoul negates a value
// with '-' as C does. Without digits (or with another base) the result is 0 and *end is s.
LONG wcstol(const WCHAR* s, WCHAR** end, int base);
ULONG wcstoul(const WCHAR* s, WCHAR** end, int base);
// Radix 2 to 36 in lower-case digits; decimal keeps the sign, other radixes print the 32-bit two's
// complement. buffer must hold 33 units; an invalid radix leaves it empty.
WCHAR* _itow(int value, WCHAR* buffer, int radix);
WCHAR* _ltow(LONG value, WCHAR* buffer, int radix);
WCHAR* _ultow(ULONG value, WCHAR* buffer, int radix);

// 8-bit text as the handheld treated it: one byte per character. mbstowcs widens each byte to one unit
// (bytes 0x80-0xFF become U+0080-U+00FF); wcstombs narrows each unit below U+0100 to its byte and every
// other unit to '?'. Both stop after the terminator or after count output elements; the terminator is
// written only when it fits. With a NULL destination they return the length the conversion would have.
// The result is the number of elements written, without the terminator. A NULL source counts as empty.
size_t mbstowcs(WCHAR* dst, const char* src, size_t count);
// The length query written mbstowcs(nullptr, src, 0); without this overload the call would be ambiguous
// with the host's mbstowcs(wchar_t*, ...). (NULL is an integer in C++ and stays ambiguous: use nullptr.)
size_t mbstowcs(std::nullptr_t, const char* src, size_t count);
size_t wcstombs(char* dst, const WCHAR* src, size_t count);
