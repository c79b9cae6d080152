#pragma once
// Whether this machine lets a test serve a folder through FUSE, for the cases that need host programs to
// see a mounted folder.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace testing_support {

// Why FUSE cannot work on this machine; empty where it must.
inline std::string FuseMissing() {
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return "no usable /dev/fuse";
    if (::geteuid() == 0)
        return {};
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && ::access((std::filesystem::path(folder) / "fusermount3").c_str(), X_OK) == 0)
            return {};
    }
    return "no fusermount3 for a user who may not mount";
}

} // namespace testing_support
