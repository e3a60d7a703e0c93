#include "tools/local_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace r7730 {
namespace {

bool IsLoopbackNetwork(const std::string& address)
{
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1)
        return false;
    return (ntohl(parsed.s_addr) >> 24) == 127;
}

std::string DottedText(const sockaddr* address)
{
    char text[INET_ADDRSTRLEN] = {};
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
    return ::inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text) ? std::string(text) : std::string();
}

std::vector<std::string> HostNameAddresses()
{
    std::vector<std::string> addresses;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return addresses;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM; // one entry per address, not one per socket type
    addrinfo* found = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &found) != 0)
        return addresses;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next)
        if (entry->ai_family == AF_INET && entry->ai_addr)
            addresses.push_back(DottedText(entry->ai_addr));
    ::freeaddrinfo(found);
    return addresses;
}

std::vector<TInterfaceAddress> InterfaceAddresses()
{
    std::vector<TInterfaceAddress> addresses;
    for (const TInterfaceNetwork& network : InterfaceNetworks())
        addresses.push_back({network.address, network.up, network.loopback});
    return addresses;
}

} // namespace

std::vector<TInterfaceNetwork> InterfaceNetworks()
{
    std::vector<TInterfaceNetwork> networks;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return networks;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next)
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET)
            networks.push_back({entry->ifa_name ? entry->ifa_name : "", DottedText(entry->ifa_addr),
                                entry->ifa_netmask ? DottedText(entry->ifa_netmask) : std::string(),
                                (entry->ifa_flags & IFF_UP) != 0, (entry->ifa_flags & IFF_LOOPBACK) != 0});
    ::freeifaddrs(list);
    return networks;
}

std::string ChooseLocalIP(const std::vector<std::string>& hostNameAddresses,
                          const std::vector<TInterfaceAddress>& interfaces)
{
    for (const std::string& address : hostNameAddresses)
        if (!address.empty() && !IsLoopbackNetwork(address))
            return address;
    for (const TInterfaceAddress& entry : interfaces)
        if (entry.up && !entry.loopback && !entry.address.empty())
            return entry.address;
    return "127.0.0.1";
}

std::string GetLocalIP()
{
    return ChooseLocalIP(HostNameAddresses(), InterfaceAddresses());
}

} // namespace r7730
