#pragma once
// Which address of this PC the device is told to fetch from: one that lies in the device's own
// WAN network (its address and mask from a status read), so the device reaches it without a
// router. A PC with several adapters (wired, WiFi, a VPN, a virtual bridge) has several; the
// one in the device's network is the only one the device can be expected to reach.
#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/local_address.h"

namespace r7730::firmware {

using TOctets = std::array<std::uint8_t, 4>;

struct TAddressChoice {
    std::string address; // dotted; empty when none fits
    QString refusal;     // names the device's network and this PC's, when none fits
};

// The first interface that is up and whose address lies in deviceIp/deviceMask, the device's
// own address excepted.
TAddressChoice ChooseServeAddress(const TOctets& deviceIp, const TOctets& deviceMask,
                                  const std::vector<TInterfaceNetwork>& interfaces);

// "192.168.0.0/24", or "192.168.0.0 mask 255.0.255.0" for a mask that is no prefix.
QString NetworkText(const TOctets& address, const TOctets& mask);

} // namespace r7730::firmware
