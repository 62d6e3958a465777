#include "platform/host_addresses.h"

#include "platform/mac_lookup.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace tq50r::platform {

std::optional<std::uint32_t> firstHostIpv4() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return std::nullopt;
    std::optional<std::uint32_t> found;
    for (const ifaddrs* it = list; it != nullptr && !found; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET ||
            (it->ifa_flags & IFF_UP) == 0)
            continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        const std::uint32_t address = ntohl(in->sin_addr.s_addr);
        if (!isLoopbackIpv4(address))
            found = address;
    }
    ::freeifaddrs(list);
    return found;
}

} // namespace tq50r::platform
