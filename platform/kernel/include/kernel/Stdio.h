#pragma once
// The C run time's streams on device paths. _wfopen opens through the kernel's files, so share modes
// (the streams share reading and writing) and mounted volumes apply, and returns an ordinary FILE* for
// fgets, fputs, fread, fwrite, fseek, ftell and fclose. Modes "r", "r+", "w", "w+", "a" and "a+", each
// with an optional 'b' or 't': text mode translates nothing ("\n" stays one byte). In the append modes
// every write goes to the end of the file.
//
// The wide writes store 8-bit text, one byte per character (wcstombs: units above U+00FF become '?').
// On failure the calls set errno and the last error.

#include <cstdio>

#include "crt/Types.h"

// NULL on failure: an unknown mode (ERROR_INVALID_PARAMETER, EINVAL) or the error of CreateFileW.
FILE* _wfopen(const WCHAR* fileName, const WCHAR* mode);
// A non-negative value, or EOF.
int fputws(const WCHAR* text, FILE* stream);
// The number of characters written, or a negative value. Formats with the crt's wide printf rules.
int fwprintf(FILE* stream, const WCHAR* format, ...);
// 0, or -1: DeleteFileW and MoveFileW (a new name that exists is refused).
int _wremove(const WCHAR* fileName);
int _wrename(const WCHAR* oldName, const WCHAR* newName);
