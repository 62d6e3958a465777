#pragma once
// This process's open descriptors, counted to show that failing calls leak none.
#include <filesystem>
#include <functional>
#include <iterator>

namespace tq50r::testing {

/// Entries of /proc/self/fd.
inline long openDescriptorCount() {
    return static_cast<long>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

/// Runs `calls` once so that whatever a library opens once and keeps is open, then again, and
/// returns how many more descriptors are open after the second round than before it.
inline long descriptorsLeakedBy(const std::function<void()>& calls) {
    calls();
    const long before = openDescriptorCount();
    calls();
    return openDescriptorCount() - before;
}

} // namespace tq50r::testing
