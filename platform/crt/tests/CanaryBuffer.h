#pragma once
// A fixed buffer pre-filled with a marker unit, so a test can see exactly which units a call wrote.

#include <cstddef>
#include <string>

#include "crt/Types.h"

template <typename Unit, std::size_t N>
struct CanaryBuffer {
    static constexpr Unit kMarker = static_cast<Unit>(sizeof(Unit) == 1 ? 0x7F : 0x5A5A);
    Unit units[N];

    CanaryBuffer() {
        for (Unit& unit : units)
            unit = kMarker;
    }

    // The first count units as they are now, terminators and markers included.
    std::basic_string<Unit> Prefix(std::size_t count) const { return std::basic_string<Unit>(units, count); }

    // True when no unit from index on was written.
    bool UntouchedFrom(std::size_t index) const {
        for (std::size_t i = index; i < N; ++i) {
            if (units[i] != kMarker)
                return false;
        }
        return true;
    }
};

using WideBuffer = CanaryBuffer<WCHAR, 40>;
using ByteBuffer = CanaryBuffer<char, 32>;
