#include "kernel/Version.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "crt/Convert.h"
#include "crt/WideString.h"
#include "kernel/Errors.h"
#include "kernel/Files.h"
#include "kernel/Modules.h"

namespace {

constexpr WORD kBinary = 0;
constexpr WORD kText = 1;
constexpr size_t kHeader = 3 * sizeof(WORD);

size_t Aligned(size_t offset) {
    return (offset + 3) & ~size_t{3};
}

// --- Writing ---------------------------------------------------------------------------------------------

void PutWord(std::vector<uint8_t>& out, size_t at, WORD value) {
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Pad(std::vector<uint8_t>& out) {
    out.resize(Aligned(out.size()), 0);
}

// Appends a node whose children the callback appends; its length is filled in at the end.
template <typename Children>
void AppendNode(std::vector<uint8_t>& out, const std::u16string& key, WORD type, const void* value,
                size_t valueBytes, WORD valueLength, Children children) {
    Pad(out);
    const size_t start = out.size();
    out.resize(start + kHeader, 0);
    PutWord(out, start + 2, valueLength);
    PutWord(out, start + 4, type);
    for (char16_t unit : key) {
        out.push_back(static_cast<uint8_t>(unit));
        out.push_back(static_cast<uint8_t>(unit >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    Pad(out);
    const auto* bytes = static_cast<const uint8_t*>(value);
    out.insert(out.end(), bytes, bytes + valueBytes);
    children(out);
    PutWord(out, start, static_cast<WORD>(out.size() - start));
}

void AppendLeaf(std::vector<uint8_t>& out, const std::u16string& key, WORD type, const void* value,
                size_t valueBytes, WORD valueLength) {
    AppendNode(out, key, type, value, valueBytes, valueLength, [](std::vector<uint8_t>&) {});
}

// --- Reading ---------------------------------------------------------------------------------------------

struct Node {
    const uint8_t* start = nullptr;
    size_t length = 0;
    const char16_t* key = nullptr;
    const uint8_t* value = nullptr;
    WORD valueLength = 0;
    WORD type = kBinary;
    size_t childrenOffset = 0; // from start
};

WORD WordAt(const uint8_t* at) {
    return static_cast<WORD>(at[0] | (at[1] << 8));
}

// The node at start, within limit bytes; nullopt when it does not fit.
std::optional<Node> ReadNode(const uint8_t* start, size_t limit) {
    if (limit < kHeader)
        return std::nullopt;
    Node node;
    node.start = start;
    node.length = WordAt(start);
    node.valueLength = WordAt(start + 2);
    node.type = WordAt(start + 4);
    if (node.length < kHeader || node.length > limit)
        return std::nullopt;
    size_t at = kHeader;
    node.key = reinterpret_cast<const char16_t*>(start + at);
    while (at + 1 < node.length && WordAt(start + at) != 0)
        at += 2;
    if (at + 1 >= node.length)
        return std::nullopt;
    at = Aligned(at + 2);
    const size_t valueBytes = node.type == kText ? size_t{node.valueLength} * 2 : node.valueLength;
    if (at + valueBytes > node.length)
        return std::nullopt;
    node.value = start + at;
    node.childrenOffset = std::min(Aligned(at + valueBytes), node.length);
    return node;
}

// The child of a node whose key is name (compared without regard to case).
std::optional<Node> Child(const Node& parent, const std::u16string& name) {
    for (size_t at = parent.childrenOffset; at < parent.length;) {
        std::optional<Node> child = ReadNode(parent.start + at, parent.length - at);
        if (!child)
            return std::nullopt;
        if (_wcsicmp(child->key, name.c_str()) == 0)
            return child;
        at = Aligned(at + child->length);
    }
    return std::nullopt;
}

// The module of a file this process runs or has loaded.
std::optional<HMODULE> ModuleOfFile(LPCWSTR fileName) {
    if (_wcsicmp(fileName, kernel::ProgramDevicePath().c_str()) == 0)
        return static_cast<HMODULE>(nullptr);
    if (HMODULE module = GetModuleHandleW(fileName))
        return module;
    return std::nullopt;
}

// The version resource of a file: its bytes and size, or 0 with the last error set.
DWORD FindVersion(LPCWSTR fileName, const void** bytes) {
    if (fileName == nullptr)
        return kernel::Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    std::optional<HMODULE> module = ModuleOfFile(fileName);
    if (!module) {
        if (GetFileAttributesW(fileName) == INVALID_FILE_ATTRIBUTES)
            return kernel::Fail(ERROR_FILE_NOT_FOUND, DWORD{0});
        return kernel::Fail(ERROR_RESOURCE_DATA_NOT_FOUND, DWORD{0});
    }
    HRSRC resource = FindResourceW(*module, MAKEINTRESOURCE(VS_VERSION_INFO), RT_VERSION);
    if (resource == nullptr)
        return 0;
    *bytes = LockResource(LoadResource(*module, resource));
    return SizeofResource(*module, resource);
}

} // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle) {
    if (handle != nullptr)
        *handle = 0;
    const void* bytes = nullptr;
    return FindVersion(fileName, &bytes);
}

BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD, DWORD length, LPVOID data) {
    if (data == nullptr)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    const void* bytes = nullptr;
    const DWORD size = FindVersion(fileName, &bytes);
    if (size == 0)
        return FALSE;
    if (length < size)
        return kernel::Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    std::memcpy(data, bytes, size);
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length) {
    if (block == nullptr || subBlock == nullptr || buffer == nullptr || length == nullptr)
        return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    const auto* start = static_cast<const uint8_t*>(block);
    std::optional<Node> node = ReadNode(start, WordAt(start));
    const std::u16string path(subBlock);
    for (size_t at = 0; node && at < path.size();) {
        if (path[at] == u'\\') {
            ++at;
            continue;
        }
        const size_t end = std::min(path.find(u'\\', at), path.size());
        node = Child(*node, path.substr(at, end - at));
        at = end;
    }
    if (!node || node->valueLength == 0)
        return kernel::Fail(ERROR_RESOURCE_TYPE_NOT_FOUND, FALSE);
    *buffer = const_cast<uint8_t*>(node->value);
    *length = node->valueLength;
    return TRUE;
}

namespace kernel {

VersionResourceBytes::VersionResourceBytes(
    const VS_FIXEDFILEINFO& fixed, const std::u16string& languageAndCodePage,
    const std::vector<std::pair<std::u16string, std::u16string>>& texts) {
    // The translation pair from the table's name: language, then code page, each a hexadecimal word.
    const DWORD both = static_cast<DWORD>(wcstoul(languageAndCodePage.c_str(), nullptr, 16));
    const WORD translation[2] = {static_cast<WORD>(both >> 16), static_cast<WORD>(both)};
    AppendNode(m_bytes, u"VS_VERSION_INFO", kBinary, &fixed, sizeof fixed, sizeof fixed,
               [&](std::vector<uint8_t>& out) {
                   AppendNode(out, u"StringFileInfo", kText, nullptr, 0, 0, [&](std::vector<uint8_t>& table) {
                       AppendNode(table, languageAndCodePage, kText, nullptr, 0, 0,
                                  [&](std::vector<uint8_t>& strings) {
                                      for (const auto& [name, text] : texts)
                                          AppendLeaf(strings, name, kText, text.c_str(),
                                                     (text.size() + 1) * 2,
                                                     static_cast<WORD>(text.size() + 1));
                                  });
                   });
                   AppendNode(out, u"VarFileInfo", kText, nullptr, 0, 0, [&](std::vector<uint8_t>& vars) {
                       AppendLeaf(vars, u"Translation", kBinary, translation, sizeof translation,
                                  sizeof translation);
                   });
               });
}

} // namespace kernel
