// The device root of the process: chosen once from DEVICE_ROOT (or the per-user default), replaceable by
// SetDeviceRoot. Its layout, and the standard folders of its store, are made the first time a root is used.

#include "kernel/DeviceRoot.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace kernel {
namespace {

struct RootState {
    std::mutex lock;
    std::filesystem::path root;
    bool chosen = false;
    std::vector<std::u16string> standardFolders;
};

RootState& State() {
    static RootState* state = new RootState; // never destroyed: used by handles closed at exit
    return *state;
}

std::filesystem::path Absolute(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? path : absolute).lexically_normal();
}

void MakeLayout(const std::filesystem::path& root) {
    std::error_code ignored;
    std::filesystem::create_directories(root / "store", ignored);
    std::filesystem::create_directories(root / "run", ignored);
}

// Each folder of the paths and the folders above it, matched to what the store has as every device path is.
void MakeFolders(const std::vector<std::u16string>& devicePaths) {
    std::error_code ignored;
    for (const std::u16string& path : devicePaths) {
        for (size_t at = path.find(u'\\', 1);; at = path.find(u'\\', at + 1)) {
            const std::u16string folder = path.substr(0, at);
            if (std::optional<std::filesystem::path> host = DeviceToHostPath(folder.c_str(), nullptr))
                std::filesystem::create_directory(*host, ignored);
            if (at == std::u16string::npos)
                break;
        }
    }
}

std::vector<std::u16string> StandardFolders() {
    RootState& state = State();
    std::lock_guard guard(state.lock);
    return state.standardFolders;
}

std::filesystem::path DefaultRoot() {
    const char* fromEnvironment = std::getenv("DEVICE_ROOT");
    if (fromEnvironment != nullptr && fromEnvironment[0] != 0)
        return Absolute(fromEnvironment);
    return std::filesystem::path("/tmp") / ("ferrovane-device-" + std::to_string(::getuid()));
}

} // namespace

std::filesystem::path DeviceRoot() {
    RootState& state = State();
    std::filesystem::path root;
    {
        std::lock_guard guard(state.lock);
        if (state.chosen)
            return state.root;
        state.root = DefaultRoot();
        MakeLayout(state.root);
        state.chosen = true;
        root = state.root;
    }
    MakeFolders(StandardFolders());
    return root;
}

std::filesystem::path ObjectStoreFolder() {
    return DeviceRoot() / "store";
}

std::filesystem::path RuntimeFolder() {
    return DeviceRoot() / "run";
}

void SetDeviceRoot(const std::filesystem::path& root) {
    std::filesystem::path absolute = Absolute(root);
    MakeLayout(absolute);
    RootState& state = State();
    {
        std::lock_guard guard(state.lock);
        state.root = absolute;
        state.chosen = true;
        // Child processes inherit the environment, so they open the same device.
        ::setenv("DEVICE_ROOT", absolute.c_str(), 1);
    }
    MakeFolders(StandardFolders());
}

void AddStandardFolders(const std::vector<std::u16string>& devicePaths) {
    RootState& state = State();
    bool chosen = false;
    {
        std::lock_guard guard(state.lock);
        state.standardFolders.insert(state.standardFolders.end(), devicePaths.begin(), devicePaths.end());
        chosen = state.chosen;
    }
    if (chosen)
        MakeFolders(devicePaths);
}

} // namespace kernel
