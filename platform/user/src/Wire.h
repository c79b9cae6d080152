#pragma once
// The payloads of requests between processes: values little-endian as the host writes them, strings as
// a 32-bit unit count and the UTF-16 units. The reader checks every read against the bytes that arrived
// and string lengths against a fixed limit; the writer cuts a longer string to that limit.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace user::detail {

inline constexpr uint32_t kMaxWireUnits = 32768;

class WireWriter {
public:
    template <typename T>
    void Put(T value) {
        const auto* p = reinterpret_cast<const uint8_t*>(&value);
        m_bytes.insert(m_bytes.end(), p, p + sizeof value);
    }
    void String(std::u16string_view text) {
        uint32_t units = static_cast<uint32_t>(std::min<size_t>(text.size(), kMaxWireUnits));
        Put(units);
        const auto* p = reinterpret_cast<const uint8_t*>(text.data());
        m_bytes.insert(m_bytes.end(), p, p + size_t{units} * 2);
    }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<uint8_t> m_bytes;
};

class WireReader {
public:
    explicit WireReader(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    template <typename T>
    bool Get(T& value) {
        if (m_bytes.size() - m_pos < sizeof(T))
            return false;
        std::memcpy(&value, m_bytes.data() + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return true;
    }
    bool String(std::u16string& text) {
        uint32_t units = 0;
        if (!Get(units) || units > kMaxWireUnits || (m_bytes.size() - m_pos) / 2 < units)
            return false;
        text.resize(units);
        std::memcpy(text.data(), m_bytes.data() + m_pos, size_t{units} * 2);
        m_pos += size_t{units} * 2;
        return true;
    }
    bool AtEnd() const { return m_pos == m_bytes.size(); }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_pos = 0;
};

} // namespace user::detail
