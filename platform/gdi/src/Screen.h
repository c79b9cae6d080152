#pragma once
// The process's screen bitmap.

#include <memory>

#include "Objects.h"

namespace gdi {

std::shared_ptr<BitmapObject> TheScreen();

} // namespace gdi
