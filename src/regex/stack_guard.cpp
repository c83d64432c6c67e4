#include "regex/stack_guard.h"

#include <pthread.h>

#include <algorithm>

namespace {

struct StackBounds {
    std::uintptr_t low = 0;
    std::size_t size = 0;
};

StackBounds ReadBounds()
{
    StackBounds bounds;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0)
        return bounds;
    void* low = nullptr;
    std::size_t size = 0;
    if (pthread_attr_getstack(&attr, &low, &size) == 0 && low && size > 0) {
        bounds.low = reinterpret_cast<std::uintptr_t>(low);
        bounds.size = size;
    }
    pthread_attr_destroy(&attr);
    return bounds;
}

} // namespace

std::uintptr_t ThreadStackFloor(std::size_t margin)
{
    thread_local const StackBounds bounds = ReadBounds();
    thread_local const std::uintptr_t fallback_top = CurrentStackAddress();
    if (bounds.size == 0) {
        constexpr std::size_t kAssumed = 256 * 1024;
        const std::size_t keep = std::min(margin, kAssumed / 4);
        return fallback_top > kAssumed ? fallback_top - kAssumed + keep : 0;
    }
    return bounds.low + std::min(margin, bounds.size / 4);
}
