#pragma once
// Size rules shared by every place that makes a bitmap.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "Objects.h"

namespace gdi {

// No bitmap's pixels may take more than this.
constexpr uint64_t kMaxBitmapBytes = uint64_t(1) << 27;

// The bytes of width x height pixels in rows padded to rowAlignment bytes; nullopt for a size of 0 or
// less, or one above kMaxBitmapBytes.
std::optional<size_t> BitmapBytes(int width, int height, int bitsPerPixel, size_t rowAlignment);

HBITMAP InsertBitmap(std::shared_ptr<BitmapObject> bitmap);

} // namespace gdi
