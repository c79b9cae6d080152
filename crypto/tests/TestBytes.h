#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace testbytes {

inline std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

inline std::vector<uint8_t> Random(std::mt19937& rng, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

} // namespace testbytes
