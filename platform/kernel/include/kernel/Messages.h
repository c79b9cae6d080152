#pragma once
// The platform's texts for its error codes, through FormatMessageW, and the local memory calls that
// release the buffers it allocates. Every code of kernel/Errors.h has a one-sentence text ending in
// "\r\n", as the handheld's do.

#include <cstdarg>

#include "crt/Types.h"

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

// The message table has no entry for the code.
#ifndef ERROR_MR_MID_NOT_FOUND
#define ERROR_MR_MID_NOT_FOUND 317L
#endif

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

// Only FORMAT_MESSAGE_FROM_SYSTEM is served (the texts hold no inserts, so IGNORE_INSERTS changes
// nothing); any other source gives ERROR_INVALID_PARAMETER. With FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer
// is an LPWSTR* that receives a LocalAlloc buffer of at least nSize units; otherwise the text must fit
// the nSize units of lpBuffer with its terminator (ERROR_INSUFFICIENT_BUFFER). Returns the units written
// without the terminator; 0 with ERROR_MR_MID_NOT_FOUND for a code that has no text. The language is
// not looked at.
DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPWSTR lpBuffer,
                     DWORD nSize, va_list* Arguments);

// Fixed blocks from the C heap. LocalFree returns NULL on success (also for NULL).
HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes);
HLOCAL LocalFree(HLOCAL hMem);
