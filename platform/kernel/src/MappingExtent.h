#pragma once
// What the mappings of this process span of each host file, so that the file is never cut below a live
// view (a view past the end of its file would fault).

#include <sys/types.h>

#include "crt/Types.h"

namespace kernel::files {

// The largest size that a live mapping of the host file spans; 0 when it has none.
ULONGLONG MappedExtent(dev_t device, ino_t inode);

} // namespace kernel::files
