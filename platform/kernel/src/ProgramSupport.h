#pragma once
// Helpers of the kernel's system calls: UTF-16 text on the host side (the environment, argv and the
// registry file are UTF-8) and host descriptors.

#include <unistd.h>

#include <optional>
#include <string>
#include <string_view>

namespace kernel::support {

// Whether the host file starts like a host program or shared library (an ELF image).
bool IsHostBinary(const char* path);

// Owns a host file descriptor.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            Close();
            m_fd = other.Release();
        }
        return *this;
    }
    ~FileDescriptor() { Close(); }
    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes now and reports whether the close succeeded (a write error may only show here).
    bool Close() {
        int fd = Release();
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

} // namespace kernel::support
