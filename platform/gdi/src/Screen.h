#pragma once
// The process's screen bitmap.

#include <memory>

#include "Objects.h"

namespace gdi {

// Made on first use and never deleted.
const std::shared_ptr<BitmapObject>& TheScreen();

} // namespace gdi
