#include "net_guard.h"

#include <arpa/inet.h>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <vector>

namespace tq50r::sim {

namespace {
constexpr std::uint32_t LoopbackNet = 0x7F000000;  // 127.0.0.0
constexpr std::uint32_t LoopbackMask = 0xFF000000; // /8
} // namespace

bool isLoopback(in_addr address) {
    return (ntohl(address.s_addr) & LoopbackMask) == LoopbackNet;
}

bool destinationAllowed(in_addr address, bool namespaceOk) {
    return namespaceOk || isLoopback(address);
}

SendResult guardedSendTo(int fd, std::span<const std::uint8_t> data, const sockaddr_in& dest,
                         bool namespaceOk) {
    if (dest.sin_family != AF_INET || !destinationAllowed(dest.sin_addr, namespaceOk)) {
        return SendResult::Refused;
    }
    const ssize_t sent = ::sendto(fd, data.data(), data.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&dest), sizeof dest);
    return sent == static_cast<ssize_t>(data.size()) ? SendResult::Sent : SendResult::Failed;
}

bool hasDefaultRoute(std::istream& routes) {
    // Columns: interface, destination, gateway, flags, ..., mask (hexadecimal).
    constexpr std::size_t MaskColumn = 7;
    std::string line;
    std::getline(routes, line); // header
    while (std::getline(routes, line)) {
        std::istringstream in(line);
        std::vector<std::string> columns;
        for (std::string c; in >> c;) {
            columns.push_back(c);
        }
        if (columns.size() > MaskColumn && columns[1] == "00000000" &&
            columns[MaskColumn] == "00000000") {
            return true;
        }
    }
    return false;
}

bool inPrivateNetworkNamespace() {
    struct stat own {};
    struct stat init {};
    if (::stat("/proc/self/ns/net", &own) != 0) {
        return false;
    }
    if (::stat("/proc/1/ns/net", &init) == 0 && own.st_ino == init.st_ino &&
        own.st_dev == init.st_dev) {
        return false;
    }
    // Where process 1 cannot be looked at, a namespace with a way out (a
    // default route) is never taken for a test's own.
    std::ifstream routes("/proc/net/route");
    return routes && !hasDefaultRoute(routes);
}

std::string addressText(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

bool parseAddress(const std::string& text, in_addr& out) {
    return ::inet_pton(AF_INET, text.c_str(), &out) == 1;
}

in_addr offsetAddress(in_addr address, std::uint32_t n) {
    in_addr result{};
    result.s_addr = htonl(ntohl(address.s_addr) + n);
    return result;
}

} // namespace tq50r::sim
