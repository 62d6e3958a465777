#include "platform/mac_lookup.h"

#include "base/unique_fd.h"
#include "platform/network_scope.h"

#include <arpa/inet.h>
#include <cctype>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tq50r::platform {

namespace {

constexpr const char* kArpTablePath = "/proc/net/arp";
// ATF_COM: the entry holds a resolved hardware address.
constexpr unsigned kArpFlagComplete = 0x2;
constexpr std::size_t kMacDigits = 12;
constexpr int kHexBase = 16;

// "aa:bb:cc:dd:ee:ff" as "AABBCCDDEEFF"; nothing for any other form.
std::optional<std::string> compactMac(const std::string& text) {
    std::string digits;
    for (const char c : text) {
        if (c == ':')
            continue;
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0)
            return std::nullopt;
        digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (digits.size() != kMacDigits)
        return std::nullopt;
    return digits;
}

} // namespace

std::string ipv4Text(std::uint32_t address) {
    in_addr in{};
    in.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &in, text, sizeof text);
    return text;
}

std::optional<std::string> macFromArpTable(std::istream& table, const std::string& address) {
    std::string line;
    std::getline(table, line); // column titles
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string ip;
        std::string hwType;
        std::string flags;
        std::string mac;
        if (!(fields >> ip >> hwType >> flags >> mac) || ip != address)
            continue;
        unsigned long flagBits = 0;
        try {
            flagBits = std::stoul(flags, nullptr, kHexBase);
        } catch (const std::exception&) {
            continue;
        }
        if ((flagBits & kArpFlagComplete) == 0)
            continue;
        if (auto compact = compactMac(mac))
            return compact;
    }
    return std::nullopt;
}

std::optional<std::string> neighbourMac(std::uint32_t address) {
    std::ifstream table(kArpTablePath);
    if (!table)
        return std::nullopt;
    return macFromArpTable(table, ipv4Text(address));
}

void nudgeNeighbour(std::uint32_t address) {
    if (loopbackOnlyProcess() && !isLoopbackIpv4(address))
        return;
    const base::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kNudgePort);
    to.sin_addr.s_addr = htonl(address);
    (void)::sendto(fd.get(), nullptr, 0, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to);
}

std::optional<std::string> lookupMac(std::uint32_t address, std::chrono::milliseconds wait,
                                     std::stop_token stop) {
    if (isLoopbackIpv4(address))
        return std::string(kLoopbackMac);
    if (auto mac = neighbourMac(address))
        return mac;
    nudgeNeighbour(address);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kNeighbourPollStep);
        if (auto mac = neighbourMac(address))
            return mac;
    }
    return std::nullopt;
}

} // namespace tq50r::platform
