#pragma once
// Which address of this PC the device is told to fetch from: one that lies in the device's own
// WAN network (its address and mask from a status read), so the device reaches it without a
// router. A PC with several adapters (wired, WiFi, a VPN, a virtual bridge) has several; the
// one in the device's network is the only one the device can be expected to reach. Some
// addresses no device can fetch from whatever its mask says: 0.0.0.0/8 (this host, any
// address), multicast and broadcast addresses, and this PC's loopback 127.0.0.0/8, which only
// a device in that network itself (a simulated one) reaches; a mask of 0.0.0.0 puts every
// address in the device's network, and the loopback is still no choice then.
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/local_address.h"

namespace r7730::firmware {

using TOctets = std::array<std::uint8_t, 4>;

struct TAddressChoice {
    std::optional<TOctets> address; // nothing when none fits
    QString refusal;     // names the device's network and this PC's, when none fits
};

// Why the device at deviceIp cannot fetch from address; empty when it can.
QString UnfetchableAddress(const TOctets& address, const TOctets& deviceIp);

// The first interface that is up and whose address lies in deviceIp/deviceMask and can be
// fetched from, the device's own address excepted.
TAddressChoice ChooseServeAddress(const TOctets& deviceIp, const TOctets& deviceMask,
                                  const std::vector<TInterfaceNetwork>& interfaces);

// "192.168.0.5" and back; nothing for a text that is no IPv4 address.
QString DottedText(const TOctets& address);
std::optional<TOctets> OctetsOfDotted(const std::string& dotted);

// "192.168.0.0/24", or "192.168.0.0 mask 255.0.255.0" for a mask that is no prefix.
QString NetworkText(const TOctets& address, const TOctets& mask);

} // namespace r7730::firmware
