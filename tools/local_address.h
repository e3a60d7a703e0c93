#pragma once
// GetLocalIP: this PC's IPv4 address, in dotted form, as a device on the network reaches it
// (the HTTP server's log line and the connection test's address).
//
// In this order: the first IPv4 address of the host's name that is not in 127.0.0.0/8 (Debian
// resolves the host name to 127.0.1.1, which no other machine can reach); else the first IPv4
// address of a network interface that is up and not a loopback; else "127.0.0.1".
#include <string>
#include <vector>

namespace r7730 {

std::string GetLocalIP();

struct TInterfaceAddress {
    std::string address; // dotted IPv4
    bool up = false;
    bool loopback = false;
};

// An IPv4 network of one of this PC's interfaces, in the order the system gives them.
struct TInterfaceNetwork {
    std::string name;    // "eth0", "lo"
    std::string address; // dotted IPv4
    std::string netmask; // dotted IPv4
    bool up = false;
    bool loopback = false;
};

std::vector<TInterfaceNetwork> InterfaceNetworks();

// The choice itself, from the host name's addresses and the interfaces, both in the order the
// system gives them.
std::string ChooseLocalIP(const std::vector<std::string>& hostNameAddresses,
                          const std::vector<TInterfaceAddress>& interfaces);

} // namespace r7730
