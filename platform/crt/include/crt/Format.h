#pragma once
// The wide printf family of the handheld's C run time, with the conversions the system uses:
// %d %i %u %x %X %o %c %s %S %f %e %g %p %%, the length modifiers h, l, ll and I64, flags '-', '+',
// ' ', '0', '#', width and precision (numbers or '*'). In these wide forms %s and %ls take a UTF-16
// string and %S and %hs an 8-bit one (each byte one unit); %c takes a UTF-16 unit and %hc an 8-bit
// character. A NULL string prints "(null)"; a precision bounds how much of a string is read. l is the
// handheld's 32-bit long (LONG, DWORD); ll and I64 take 64 bits. %p prints the pointer's bits in
// upper-case hexadecimal, two digits a byte. A directive that is none of these is printed as written
// and takes no argument.
//
// Every bounded form writes at most count units including the terminator and always terminates when
// count > 0. It returns the number of units written without the terminator, or -1 when the output was
// cut short (count 0 always counts as cut short).

#include <cstdarg>

#include "crt/Types.h"

int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args);
int _snwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...);
int vswprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args);
int swprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...);
// The handheld's unbounded forms write into buffers the caller sized; here they are bounded at 1024
// units including the terminator, the limit of wsprintfW. Like wsprintfW they return the number of
// units stored, also when the text was cut at the limit.
int wsprintfW(WCHAR* buffer, const WCHAR* format, ...);
int wvsprintfW(WCHAR* buffer, const WCHAR* format, va_list args);
