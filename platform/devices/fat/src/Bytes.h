#pragma once
// Checked little-endian access to on-disk records and overflow-checked size arithmetic. Every field of
// a sector is read and written through these: an access outside the buffer reads as 0 and writes
// nothing, so a wrong offset can never touch memory beyond the record.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fat {

class ConstBytes {
public:
    ConstBytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Size() const { return m_size; }
    bool Has(size_t offset, size_t length) const { return offset <= m_size && length <= m_size - offset; }
    uint8_t U8(size_t offset) const { return Has(offset, 1) ? m_data[offset] : 0; }
    uint16_t U16(size_t offset) const {
        if (!Has(offset, 2))
            return 0;
        return static_cast<uint16_t>(m_data[offset] | (m_data[offset + 1] << 8));
    }
    uint32_t U32(size_t offset) const {
        if (!Has(offset, 4))
            return 0;
        return static_cast<uint32_t>(m_data[offset]) | (static_cast<uint32_t>(m_data[offset + 1]) << 8) |
               (static_cast<uint32_t>(m_data[offset + 2]) << 16) |
               (static_cast<uint32_t>(m_data[offset + 3]) << 24);
    }
    // Copies length bytes to out, or zeros when the range is outside the buffer.
    void Copy(size_t offset, void* out, size_t length) const {
        if (Has(offset, length))
            std::memcpy(out, m_data + offset, length);
        else
            std::memset(out, 0, length);
    }
    bool Equals(size_t offset, const void* expected, size_t length) const {
        return Has(offset, length) && std::memcmp(m_data + offset, expected, length) == 0;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

class MutableBytes {
public:
    MutableBytes(uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    ConstBytes Read() const { return ConstBytes(m_data, m_size); }
    bool Has(size_t offset, size_t length) const { return offset <= m_size && length <= m_size - offset; }
    void Put8(size_t offset, uint8_t value) {
        if (Has(offset, 1))
            m_data[offset] = value;
    }
    void Put16(size_t offset, uint16_t value) {
        if (!Has(offset, 2))
            return;
        m_data[offset] = static_cast<uint8_t>(value);
        m_data[offset + 1] = static_cast<uint8_t>(value >> 8);
    }
    void Put32(size_t offset, uint32_t value) {
        if (!Has(offset, 4))
            return;
        for (int i = 0; i < 4; ++i)
            m_data[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    void PutBytes(size_t offset, const void* bytes, size_t length) {
        if (Has(offset, length))
            std::memcpy(m_data + offset, bytes, length);
    }
    void Fill(size_t offset, uint8_t value, size_t length) {
        if (Has(offset, length))
            std::memset(m_data + offset, value, length);
    }

private:
    uint8_t* m_data;
    size_t m_size;
};

// Overflow-checked arithmetic: false when the result does not fit.
template <typename T>
bool CheckedAdd(T a, T b, T& out) {
    return !__builtin_add_overflow(a, b, &out);
}
template <typename T>
bool CheckedMul(T a, T b, T& out) {
    return !__builtin_mul_overflow(a, b, &out);
}

} // namespace fat
