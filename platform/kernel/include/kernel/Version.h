#pragma once
// Version information: the version resource (RT_VERSION, id VS_VERSION_INFO) among a module's resources,
// read by the module's file name, and the values inside it. A file's version information is that of the
// program or of a library this process has loaded from it; other files have none.
//
// The block keeps the handheld's layout, a tree of nodes, each DWORD-aligned from the block's start:
// its length in bytes (children included), its value's length (in bytes for a binary value, in units,
// the terminator included, for text), its type (0 binary, 1 text), its key as NUL-terminated UTF-16,
// padding, the value, padding, the children. The root "VS_VERSION_INFO" holds a VS_FIXEDFILEINFO;
// "StringFileInfo" holds a table per language and code page ("040904E4") of named texts;
// "VarFileInfo" holds "Translation", the language and code page pairs.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "crt/Types.h"
#include "kernel/Resources.h"

#define RT_VERSION MAKEINTRESOURCE(16)
#define VS_VERSION_INFO 1
#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "the handheld's layout");

// The size of the file's version information block; 0 with ERROR_FILE_NOT_FOUND for a missing file,
// ERROR_RESOURCE_DATA_NOT_FOUND for a file that is no module of this process, ERROR_RESOURCE_TYPE_NOT_FOUND
// or ERROR_RESOURCE_NAME_NOT_FOUND for a module without a version resource. *handle (may be NULL) gets 0.
DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle);
// Copies the block into data, which must hold the size above (else ERROR_INSUFFICIENT_BUFFER). The
// handle is not used.
BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, LPVOID data);
// A value of a block: "\" the VS_FIXEDFILEINFO, "\StringFileInfo\040904E4\FileVersion" a text,
// "\VarFileInfo\Translation" the pairs; keys compare without regard to case. *buffer points into the
// block, *length is the value's length as the node gives it. FALSE for a path the block does not have or
// a value that is empty.
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length);

namespace kernel {

// The bytes of a version resource, for a module's resource table: the fixed information, the texts of one
// language and code page (such as "040904E4"), and the matching translation pair.
class VersionResourceBytes {
public:
    VersionResourceBytes(const VS_FIXEDFILEINFO& fixed, const std::u16string& languageAndCodePage,
                         const std::vector<std::pair<std::u16string, std::u16string>>& texts);

    const void* Data() const { return m_bytes.data(); }
    size_t Size() const { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
};

} // namespace kernel
