#include "device/unreadable_values.h"

#include <algorithm>
#include <string>

#include "protocol/frame.h"

namespace r7730 {
namespace {

bool HasFrameEnd(std::uint8_t byte)
{
    return byte == kFrameEnd;
}

bool HasFrameEnd(std::uint16_t value)
{
    return HasFrameEnd(static_cast<std::uint8_t>(value >> 8)) || HasFrameEnd(static_cast<std::uint8_t>(value & 0xFF));
}

bool HasFrameEnd(const TIpAddress& ip)
{
    return std::any_of(ip.begin(), ip.end(), [](std::uint8_t octet) { return HasFrameEnd(octet); });
}

bool HasFrameEnd(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return HasFrameEnd(static_cast<std::uint8_t>(c)); });
}

// Keeps the fields whose value holds the end byte, in the order given.
std::vector<TUnreadableField> Holding(std::initializer_list<std::pair<bool, TUnreadableField>> fields)
{
    std::vector<TUnreadableField> found;
    for (const auto& [holds, field] : fields)
        if (holds)
            found.push_back(field);
    return found;
}

} // namespace

std::vector<TUnreadableField> UnreadableFields(const TWanSettings& settings)
{
    return Holding({{HasFrameEnd(settings.ip), TUnreadableField::Ip},
                    {HasFrameEnd(settings.gateway), TUnreadableField::Gateway},
                    {HasFrameEnd(settings.subnetMask), TUnreadableField::SubnetMask}});
}

std::vector<TUnreadableField> UnreadableFields(const TTcpSettings& settings)
{
    return Holding({{HasFrameEnd(settings.listenPort), TUnreadableField::ListenPort},
                    {HasFrameEnd(settings.expirySeconds), TUnreadableField::ExpiryTime},
                    {HasFrameEnd(settings.targetPort), TUnreadableField::TargetPort},
                    {HasFrameEnd(settings.targetIp), TUnreadableField::TargetIp}});
}

std::vector<TUnreadableField> UnreadableFields(const TAccessPoint& accessPoint)
{
    return Holding({{HasFrameEnd(accessPoint.ssid), TUnreadableField::Ssid},
                    {HasFrameEnd(accessPoint.password), TUnreadableField::Password}});
}

} // namespace r7730
