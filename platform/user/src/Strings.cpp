#include "user/Strings.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "kernel/Errors.h"
#include "kernel/Resources.h"

namespace {

constexpr UINT kStringsPerBlock = 16;

// Format notes: a block is 16 entries back to back, each a 16-bit unit count and the units; the block may
// end after its last non-empty entry. Every read is checked against the block's size.
class BlockReader {
public:
    BlockReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}

    std::optional<WORD> Unit() {
        if (m_size - m_pos < sizeof(WORD))
            return std::nullopt;
        WORD unit = 0;
        std::memcpy(&unit, m_data + m_pos, sizeof unit);
        m_pos += sizeof unit;
        return unit;
    }
    // The position of count units from here, or nullopt when the block is shorter.
    std::optional<size_t> Skip(size_t count) {
        if ((m_size - m_pos) / sizeof(WORD) < count)
            return std::nullopt;
        size_t start = m_pos;
        m_pos += count * sizeof(WORD);
        return start;
    }
    bool AtEnd() const { return m_pos == m_size; }

private:
    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace

int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax <= 0)
        return kernel::Fail(ERROR_INVALID_PARAMETER, 0);
    lpBuffer[0] = 0;
    if (uID > 0xFFFF)
        return kernel::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, 0);
    HRSRC resource = FindResourceW(hInstance, MAKEINTRESOURCE(uID / kStringsPerBlock + 1), RT_STRING);
    if (!resource)
        return 0; // FindResourceW's error
    HGLOBAL loaded = LoadResource(hInstance, resource);
    const auto* data = static_cast<const BYTE*>(LockResource(loaded));
    DWORD size = SizeofResource(hInstance, resource);
    if (!data)
        return kernel::Fail(ERROR_INVALID_DATA, 0);

    BlockReader reader(data, size);
    for (UINT index = 0;; ++index) {
        if (reader.AtEnd())
            return kernel::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, 0); // a block cut after its last string
        std::optional<WORD> length = reader.Unit();
        if (!length)
            return kernel::Fail(ERROR_INVALID_DATA, 0);
        std::optional<size_t> start = reader.Skip(*length);
        if (!start)
            return kernel::Fail(ERROR_INVALID_DATA, 0);
        if (index != uID % kStringsPerBlock)
            continue;
        if (*length == 0)
            return kernel::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, 0);
        size_t count = std::min<size_t>(*length, static_cast<size_t>(cchBufferMax) - 1);
        std::memcpy(lpBuffer, data + *start, count * sizeof(WCHAR));
        lpBuffer[count] = 0;
        return static_cast<int>(count);
    }
}
