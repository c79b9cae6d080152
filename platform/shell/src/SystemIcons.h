#pragma once
// The system icon list behind SHGetFileInfo.

#include <string>

#include "crt/Types.h"

namespace shell::detail {

// The index of a file type's icon as its DefaultIcon value names it ("module,-id"), added on first use;
// the file icon's index when the icon cannot be loaded.
int TypeIconIndex(const std::u16string& defaultIcon);
// The shell's image list of the small or the large icons, made on first use and kept in step with the
// icons; NULL when it cannot be made.
HIMAGELIST SystemImageList(bool small);

} // namespace shell::detail
