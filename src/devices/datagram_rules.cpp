#include "devices/datagram_rules.h"

#include <algorithm>

namespace tq50r::devices {

std::string_view routeName(Route route) {
    switch (route) {
    case Route::Port8000:
        return "port8000";
    case Route::Ssdp:
        return "ssdp";
    case Route::Module:
        return "module";
    case Route::Serial:
        return "serial";
    }
    return "serial";
}

namespace datagram {

namespace {

bool containsMarker(std::span<const std::uint8_t> data) {
    const auto head = data.first(std::min(data.size(), SsdpReadSize));
    const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
    return text.find(SsdpMarker) != std::string_view::npos;
}

} // namespace

Verdict judge(Route route, std::span<const std::uint8_t> data, bool known, bool listPause) {
    switch (route) {
    case Route::Port8000:
        if (known)
            return {Action::ResetAge, Port8000PauseMs};
        return {data.size() > Port8000MinAnswer ? Action::Find : Action::Ignore, Port8000PauseMs};
    case Route::Ssdp:
        if (known) {
            // While the lists change, a known device's announcement is dropped at once.
            if (listPause)
                return {Action::Ignore, 0};
            return {Action::ResetAge, SsdpPauseMs};
        }
        return {containsMarker(data) ? Action::Find : Action::Ignore, SsdpPauseMs};
    case Route::Module:
        if (data.size() <= ModuleMinAnswer)
            return {Action::Ignore, ModulePauseMs};
        return {known ? Action::ResetAge : Action::Find, ModuleAnswerPauseMs + ModulePauseMs};
    case Route::Serial:
        break;
    }
    return {};
}

} // namespace datagram
} // namespace tq50r::devices
