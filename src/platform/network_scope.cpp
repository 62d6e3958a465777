#include "platform/network_scope.h"

#include <atomic>

namespace tq50r::platform {

namespace {
std::atomic<bool> loopbackOnly{false};
} // namespace

void restrictToLoopback() {
    loopbackOnly = true;
}

bool loopbackOnlyProcess() {
    return loopbackOnly;
}

} // namespace tq50r::platform
