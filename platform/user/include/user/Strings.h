#pragma once
// String tables: RT_STRING resources of a module as a resource compiler lays them out. Strings are kept
// in blocks of 16; block n (the resource id n) holds the strings with ids (n - 1) * 16 to n * 16 - 1, each
// as a 16-bit length and that many UTF-16 units without a terminator. An empty slot is a missing string.

#include "crt/Types.h"

// Copies string uID of the module (NULL: the program) into lpBuffer and terminates it; a string longer
// than cchBufferMax - 1 units is cut there. Returns the units copied, without the terminator. 0 when the
// string does not exist (ERROR_RESOURCE_NAME_NOT_FOUND, or the error of FindResourceW; the buffer then
// holds ""), when the block is malformed (ERROR_INVALID_DATA), or when lpBuffer is NULL or cchBufferMax
// is not positive (ERROR_INVALID_PARAMETER; nothing is written).
int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
