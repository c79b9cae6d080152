#include "user/Foreground.h"

#include <atomic>

#include "Internal.h"

namespace user {

namespace {

std::atomic<ForegroundObserver> g_observer{nullptr};

} // namespace

ForegroundObserver SetForegroundObserver(ForegroundObserver observer) {
    return g_observer.exchange(observer);
}

namespace detail {

void NotifyForegroundChanged() {
    if (ForegroundObserver observer = g_observer.load())
        observer(g_foreground);
}

} // namespace detail

} // namespace user
