#include "platform/serial_ports.h"

#include "base/unique_fd.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <mutex>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>

namespace tq50r::platform {
namespace {

constexpr std::string_view kLegacyUartPrefix = "ttyS";
constexpr int kUartTypeUnknown = 0; // PORT_UNKNOWN: a ttyS slot without a UART behind it

std::mutex extraMutex;
std::vector<std::string>& extraPorts() {
    static std::vector<std::string> ports;
    return ports;
}

// UART type from the sysfs `type` attribute; std::nullopt when it cannot be read.
std::optional<int> uartTypeFromSysfs(const std::filesystem::path& ttyDir) {
    std::ifstream in(ttyDir / "type");
    int type = 0;
    if (in >> type) {
        return type;
    }
    return std::nullopt;
}

// UART type from the driver; std::nullopt when the node cannot be opened or asked.
std::optional<int> uartTypeFromDriver(const std::filesystem::path& node) {
    const base::UniqueFd fd(::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        return std::nullopt;
    }
    serial_struct info{};
    if (::ioctl(fd.get(), TIOCGSERIAL, &info) != 0) {
        return std::nullopt;
    }
    return info.type;
}

bool isUsableLegacyUart(const std::filesystem::path& ttyDir, const std::filesystem::path& node) {
    std::optional<int> type = uartTypeFromSysfs(ttyDir);
    if (!type) {
        type = uartTypeFromDriver(node);
    }
    return type && *type != kUartTypeUnknown;
}

// Splits "ttyUSB10" into ("ttyUSB", 10); a name without trailing digits has number -1.
std::pair<std::string_view, long long> splitName(std::string_view name) {
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])) != 0) {
        --digits;
    }
    long long number = -1;
    if (digits < name.size()) {
        const auto* first = name.data() + digits;
        const auto* last = name.data() + name.size();
        if (std::from_chars(first, last, number).ec != std::errc{}) {
            number = -1;
        }
    }
    return {name.substr(0, digits), number};
}

} // namespace

bool serialPortNameLess(const std::string& a, const std::string& b) {
    const auto [prefixA, numberA] = splitName(a);
    const auto [prefixB, numberB] = splitName(b);
    if (prefixA != prefixB) {
        return prefixA < prefixB;
    }
    if (numberA != numberB) {
        return numberA < numberB;
    }
    return a < b;
}

std::vector<std::string> listSysfsSerialPorts(const std::filesystem::path& sysTtyRoot,
                                              const std::filesystem::path& devRoot) {
    std::vector<std::string> ports;
    std::error_code ec;
    std::filesystem::directory_iterator it(sysTtyRoot, ec);
    if (ec) {
        return ports;
    }
    for (const auto& entry : it) {
        const std::filesystem::path ttyDir = entry.path();
        const std::string name = ttyDir.filename().string();
        std::error_code existsEc;
        if (!std::filesystem::exists(ttyDir / "device", existsEc)) {
            continue; // virtual consoles, pseudo-terminals and the like
        }
        if (name.starts_with(kLegacyUartPrefix) && !isUsableLegacyUart(ttyDir, devRoot / name)) {
            continue;
        }
        ports.push_back(name);
    }
    std::sort(ports.begin(), ports.end(), serialPortNameLess);
    return ports;
}

void registerExtraSerialPorts(const std::vector<std::string>& portPaths) {
    const std::lock_guard lock(extraMutex);
    auto& ports = extraPorts();
    for (const auto& path : portPaths) {
        if (!path.empty() && std::find(ports.begin(), ports.end(), path) == ports.end()) {
            ports.push_back(path);
        }
    }
}

void clearExtraSerialPorts() {
    const std::lock_guard lock(extraMutex);
    extraPorts().clear();
}

std::vector<std::string> existingExtraSerialPorts() {
    std::vector<std::string> registered;
    {
        const std::lock_guard lock(extraMutex);
        registered = extraPorts();
    }
    std::vector<std::string> existing;
    for (const auto& path : registered) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            existing.push_back(path);
        }
    }
    return existing;
}

std::optional<std::vector<std::string>> readSerialPorts(const std::filesystem::path& sysTtyRoot) {
    std::vector<std::string> ports = listSysfsSerialPorts(sysTtyRoot);
    for (auto& extra : existingExtraSerialPorts()) {
        if (std::find(ports.begin(), ports.end(), extra) == ports.end()) {
            ports.push_back(std::move(extra));
        }
    }
    if (ports.empty()) {
        return std::nullopt;
    }
    return ports;
}

} // namespace tq50r::platform
