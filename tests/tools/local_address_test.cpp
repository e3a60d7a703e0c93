// The PC's own address as a device on the network reaches it: the host name's first address
// outside 127.0.0.0/8, else the first interface that is up and not a loopback, else 127.0.0.1.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "tools/local_address.h"

using namespace r7730;

TEST(LocalAddress, TheHostNameComesFirstThenAnInterfaceThenTheLoopback)
{
    const struct {
        const char* what;
        std::vector<std::string> hostName;
        std::vector<TInterfaceAddress> interfaces;
        const char* expected;
    } cases[] = {
        {"the host name's address", {"192.168.0.5"}, {{"10.0.0.7", true, false}}, "192.168.0.5"},
        {"Debian's 127.0.1.1 is passed over", {"127.0.1.1", "192.168.0.5"}, {}, "192.168.0.5"},
        {"all of 127.0.0.0/8 is passed over", {"127.255.255.254", "128.0.0.1"}, {}, "128.0.0.1"},
        {"only loopback names: the first interface up",
         {"127.0.1.1"},
         {{"127.0.0.1", true, true}, {"10.0.0.7", false, false}, {"172.16.1.2", true, false}, {"10.9.9.9", true, false}},
         "172.16.1.2"},
        {"no host name address at all", {}, {{"172.16.1.2", true, false}}, "172.16.1.2"},
        {"nothing but loopback", {"127.0.1.1"}, {{"127.0.0.1", true, true}, {"10.0.0.7", false, false}}, "127.0.0.1"},
        {"nothing known", {}, {}, "127.0.0.1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseLocalIP(c.hostName, c.interfaces), c.expected) << c.what;
}

TEST(LocalAddress, ThisMachinesAddressIsDottedIPv4AndNeverAnotherLoopbackAddress)
{
    const std::string address = GetLocalIP();
    in_addr parsed{};
    ASSERT_EQ(inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
    if (address.rfind("127.", 0) == 0) {
        EXPECT_EQ(address, "127.0.0.1");
    }
}
