// The PC's address in the device's network (see serve_address.h).
#include "firmware/serve_address.h"

#include <QStringList>
#include <arpa/inet.h>
#include <bit>

namespace r7730::firmware {
namespace {

std::uint32_t Value(const TOctets& octets)
{
    return (std::uint32_t{octets[0]} << 24) | (std::uint32_t{octets[1]} << 16) | (std::uint32_t{octets[2]} << 8) | octets[3];
}

TOctets Octets(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value)};
}

bool Parse(const std::string& dotted, std::uint32_t& value)
{
    in_addr parsed{};
    if (::inet_pton(AF_INET, dotted.c_str(), &parsed) != 1)
        return false;
    value = ntohl(parsed.s_addr);
    return true;
}

} // namespace

QString DottedText(const TOctets& address)
{
    return QStringLiteral("%1.%2.%3.%4").arg(address[0]).arg(address[1]).arg(address[2]).arg(address[3]);
}

std::optional<TOctets> OctetsOfDotted(const std::string& dotted)
{
    std::uint32_t value = 0;
    if (!Parse(dotted, value))
        return std::nullopt;
    return Octets(value);
}

QString NetworkText(const TOctets& address, const TOctets& mask)
{
    const std::uint32_t bits = Value(mask);
    const TOctets network = Octets(Value(address) & bits);
    const int prefix = std::popcount(bits);
    const bool isPrefix = bits == (prefix == 0 ? 0u : ~std::uint32_t{0} << (32 - prefix));
    return isPrefix ? QStringLiteral("%1/%2").arg(DottedText(network)).arg(prefix)
                    : QStringLiteral("%1 mask %2").arg(DottedText(network), DottedText(mask));
}

QString UnfetchableAddress(const TOctets& address, const TOctets& deviceIp)
{
    if (address[0] == 0)
        return QStringLiteral("%1 names no address the device can fetch from (0.0.0.0/8 means \"this host\"): give this "
                              "PC's address in the device's network")
            .arg(DottedText(address));
    if (address[0] >= 224)
        return QStringLiteral("%1 is a %2 address, which no device fetches from: give this PC's address in the device's network")
            .arg(DottedText(address), address == TOctets{255, 255, 255, 255} ? QStringLiteral("broadcast")
                                  : address[0] < 240                      ? QStringLiteral("multicast")
                                                                          : QStringLiteral("reserved"));
    if (address[0] == 127 && deviceIp[0] != 127)
        return QStringLiteral("%1 is this PC's loopback address, which the device at %2 cannot reach: give this PC's address "
                              "in the device's network")
            .arg(DottedText(address), DottedText(deviceIp));
    return {};
}

TAddressChoice ChooseServeAddress(const TOctets& deviceIp, const TOctets& deviceMask,
                                  const std::vector<TInterfaceNetwork>& interfaces)
{
    const std::uint32_t device = Value(deviceIp);
    const std::uint32_t mask = Value(deviceMask);
    QStringList networks;
    for (const TInterfaceNetwork& entry : interfaces) {
        std::uint32_t address = 0, ownMask = 0;
        if (!entry.up || !Parse(entry.address, address))
            continue;
        if (address != device && (address & mask) == (device & mask) && UnfetchableAddress(Octets(address), deviceIp).isEmpty())
            return {Octets(address), {}};
        const QString network = Parse(entry.netmask, ownMask) ? NetworkText(Octets(address), Octets(ownMask))
                                                              : QString::fromStdString(entry.address);
        networks << QStringLiteral("%1 (%2, %3)").arg(network, QString::fromStdString(entry.name), QString::fromStdString(entry.address));
    }
    return {{}, QStringLiteral("no address of this PC can be reached from the device's network %1 (the device is %2): this "
                               "PC's networks are %3. Put the PC and the device on one network, or give the address with "
                               "--serve ADDR")
                    .arg(NetworkText(deviceIp, deviceMask), DottedText(deviceIp),
                         networks.isEmpty() ? QStringLiteral("none") : networks.join(QStringLiteral(", ")))};
}

} // namespace r7730::firmware
