#pragma once
// File mappings: shared mappings of host files, so that bytes written through a view reach the file (and
// every other view and reader of it). A mapping keeps its file open, and usable, after the file's handle
// is closed; a view keeps its mapping after the mapping's handle is closed. While a mapping exists its
// file cannot be cut below the mapping's size (ERROR_USER_MAPPED_FILE). Files of mounted volumes cannot
// be mapped (ERROR_NOT_SUPPORTED).

#include <cstddef>

#include "crt/Types.h"

#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04

#define FILE_MAP_COPY 0x0001
#define FILE_MAP_WRITE 0x0002
#define FILE_MAP_READ 0x0004
#define FILE_MAP_ALL_ACCESS 0x000F001F

// The handheld's allocation granularity: view offsets are multiples of it.
constexpr DWORD kMappingGranularity = 65536;

// CreateFileW for a file that will be mapped.
HANDLE CreateFileForMappingW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                             LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                             DWORD flagsAndAttributes, HANDLE templateFile);
// protect is PAGE_READONLY (needs GENERIC_READ) or PAGE_READWRITE (needs GENERIC_READ and GENERIC_WRITE).
// A size of 0 maps the whole file (ERROR_FILE_INVALID for an empty one); a larger size grows the file
// with zeros (PAGE_READWRITE only). Named mappings and mappings without a file are not supported.
// Returns NULL on failure.
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name);
// desiredAccess: FILE_MAP_READ, FILE_MAP_WRITE or FILE_MAP_ALL_ACCESS; the offset a multiple of
// kMappingGranularity; length 0 maps up to the mapping's end. NULL on failure.
LPVOID MapViewOfFile(HANDLE fileMappingObject, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                     SIZE_T numberOfBytesToMap);
// Writes the pages of [baseAddress, baseAddress + length) back to the file and waits for it; the range
// lies in one view (length 0: to the view's end). ERROR_INVALID_ADDRESS outside every view.
BOOL FlushViewOfFile(LPCVOID baseAddress, SIZE_T numberOfBytesToFlush);
// baseAddress is what MapViewOfFile returned; ERROR_INVALID_ADDRESS otherwise.
BOOL UnmapViewOfFile(LPCVOID baseAddress);

namespace kernel {
// The number of mapped views in this process, for tests that check that everything was released.
size_t OpenViewCount();
// How many times FlushViewOfFile wrote a view back in this process, for tests that check that a flush
// reached it.
size_t ViewFlushCount();
} // namespace kernel
