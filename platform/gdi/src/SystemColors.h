#pragma once

#include <cstddef>

namespace gdi {

// COLOR_SCROLLBAR to COLOR_GRADIENTINACTIVECAPTION.
constexpr size_t kSystemColorCount = 29;

} // namespace gdi
