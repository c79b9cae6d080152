// The device root of the process: chosen once from DEVICE_ROOT (or the per-user default), replaceable by
// SetDeviceRoot. Its layout is made the first time a root is used.

#include "kernel/DeviceRoot.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>

namespace kernel {
namespace {

struct RootState {
    std::mutex lock;
    std::filesystem::path root;
    bool chosen = false;
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

std::filesystem::path DefaultRoot() {
    const char* fromEnvironment = std::getenv("DEVICE_ROOT");
    if (fromEnvironment != nullptr && fromEnvironment[0] != 0)
        return Absolute(fromEnvironment);
    return std::filesystem::path("/tmp") / ("ferrovane-device-" + std::to_string(::getuid()));
}

} // namespace

std::filesystem::path DeviceRoot() {
    RootState& state = State();
    std::lock_guard guard(state.lock);
    if (!state.chosen) {
        state.root = DefaultRoot();
        MakeLayout(state.root);
        state.chosen = true;
    }
    return state.root;
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
    std::lock_guard guard(state.lock);
    state.root = absolute;
    state.chosen = true;
    // Child processes inherit the environment, so they open the same device.
    ::setenv("DEVICE_ROOT", absolute.c_str(), 1);
}

} // namespace kernel
