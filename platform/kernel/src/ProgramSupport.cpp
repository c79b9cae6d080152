#include "ProgramSupport.h"

#include <fcntl.h>

#include <cstring>

#include "crt/WideString.h"

namespace kernel::support {

bool IsHostBinary(const char* path) {
    FileDescriptor fd(::open(path, O_RDONLY | O_CLOEXEC));
    char magic[4] = {};
    return fd.IsOpen() && ::read(fd.Get(), magic, sizeof magic) == static_cast<ssize_t>(sizeof magic) &&
           std::memcmp(magic,
                       "\x7f"
                       "ELF",
                       sizeof magic) == 0;
}

} // namespace kernel::support
