#include "platform/mac_lookup.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tq50r::platform {
namespace {

constexpr const char* Table =
    "IP address       HW type     Flags       HW address            Mask     Device\n"
    "198.18.0.2       0x1         0x2         5a:3c:a9:92:21:c6     *        veth0\n"
    "198.18.0.3       0x1         0x0         00:00:00:00:00:00     *        veth0\n"
    "198.18.0.20      0x1         0x6         02:54:51:50:00:01     *        veth0\n";

std::optional<std::string> lookUp(const std::string& address) {
    std::istringstream in(Table);
    return macFromArpTable(in, address);
}

TEST(MacLookup, OnlyCompleteEntriesOfExactlyThatAddressAnswer) {
    EXPECT_EQ(lookUp("198.18.0.2"), "5A3CA99221C6");
    EXPECT_EQ(lookUp("198.18.0.20"), "025451500001"); // not the entry of .2
    EXPECT_EQ(lookUp("198.18.0.3"), std::nullopt);    // still resolving
    EXPECT_EQ(lookUp("198.18.0.4"), std::nullopt);
    EXPECT_EQ(lookupMac(0x7F000005, std::chrono::milliseconds(0)), "000000000000");
    EXPECT_EQ(ipv4Text(0xC6120002), "198.18.0.2");
}

} // namespace
} // namespace tq50r::platform
