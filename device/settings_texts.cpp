// Checked values and replies to their canonical texts (see settings_texts.h).
#include "device/settings_texts.h"

#include <array>
#include <span>

#include "device/unreadable_values.h"
#include "protocol/code_page.h"
#include "protocol/serial_line_codes.h"

namespace r7730 {
namespace {

struct TSectionKeys {
    TSection section;
    const char* name;
    QStringList keys;
};

const std::array<TSectionKeys, 4>& AllSections()
{
    static const std::array<TSectionKeys, 4> sections = {{
        {TSection::Wan, "wan", {"ip", "gateway", "mask"}},
        {TSection::Tcp, "tcp", {"mode", "listen", "expiry", "target"}},
        {TSection::Serial, "serial", {"baud", "data", "parity", "stop", "flow"}},
        {TSection::AccessPoint, "ap", {"ssid", "password"}},
    }};
    return sections;
}

const TSectionKeys& KeysOf(TSection section)
{
    for (const TSectionKeys& entry : AllSections())
        if (entry.section == section)
            return entry;
    return AllSections()[0];
}

QString Dotted(const TIpAddress& ip)
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

QString Dotted(const std::array<std::u16string, 4>& octets)
{
    QStringList parts;
    for (const std::u16string& octet : octets)
        parts << QString::fromStdU16String(octet);
    return parts.join(QLatin1Char('.'));
}

QString ChoiceText(std::span<const std::string_view> choices, int index)
{
    if (index < 0 || index >= static_cast<int>(choices.size()))
        return QStringLiteral("code %1").arg(index);
    const std::string_view choice = choices[static_cast<std::size_t>(index)];
    return QString::fromLatin1(choice.data(), static_cast<qsizetype>(choice.size())).toLower();
}

} // namespace

QString SectionName(TSection section)
{
    return QString::fromLatin1(KeysOf(section).name);
}

std::optional<TSection> SectionNamed(const QString& name)
{
    for (const TSectionKeys& entry : AllSections())
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.section;
    return std::nullopt;
}

const QStringList& SectionKeys(TSection section)
{
    return KeysOf(section).keys;
}

TSection SectionOf(const TSettingsValue& value)
{
    static constexpr std::array<TSection, 4> byIndex = {TSection::Wan, TSection::Tcp, TSection::Serial,
                                                        TSection::AccessPoint};
    return byIndex[value.index()];
}

TTexts TextsOfValue(const TSettingsValue& value)
{
    if (const auto* wan = std::get_if<TWanSettings>(&value))
        return {{"ip", Dotted(wan->ip)}, {"gateway", Dotted(wan->gateway)}, {"mask", Dotted(wan->subnetMask)}};
    if (const auto* tcp = std::get_if<TTcpSettings>(&value))
        return {{"mode", tcp->mode == TTcpMode::Server ? "server" : "client"},
                {"listen", QString::number(tcp->listenPort)},
                {"expiry", QString::number(tcp->expirySeconds)},
                {"target", QStringLiteral("%1:%2").arg(Dotted(tcp->targetIp)).arg(tcp->targetPort)}};
    if (const auto* serial = std::get_if<TSerialSettings>(&value))
        return {{"baud", ChoiceText(kBaudRateChoices, serial->baudRate)},
                {"data", ChoiceText(kDataBitsChoices, serial->dataBits)},
                {"parity", ChoiceText(kParityChoices, serial->parity)},
                {"stop", ChoiceText(kStopBitsChoices, serial->stopBits)},
                {"flow", ChoiceText(kFlowControlChoices, serial->flowControl)}};
    const auto& ap = std::get<TAccessPoint>(value);
    return {{"ssid", QString::fromStdString(AnsiToUtf8(ap.ssid))},
            {"password", QString::fromStdString(AnsiToUtf8(ap.password))}};
}

TTexts TextsOfStatus(TSection section, const TStatusReply& reply)
{
    TTexts texts;
    switch (section) {
    case TSection::Wan:
        texts = {{"ip", Dotted(reply.ip)}, {"gateway", Dotted(reply.gateway)}, {"mask", Dotted(reply.subnetMask)}};
        break;
    case TSection::Tcp:
        texts = {{"listen", QString::fromStdU16String(reply.listenPort)},
                 {"expiry", QString::fromStdU16String(reply.expiryTime)}};
        if (reply.tcpModeIndex)
            texts["mode"] = *reply.tcpModeIndex == 0 ? "server" : "client";
        if (reply.targetIp && reply.targetPort)
            texts["target"] = QStringLiteral("%1:%2").arg(Dotted(*reply.targetIp), QString::fromStdU16String(*reply.targetPort));
        break;
    case TSection::Serial: {
        // The status reply carries them as baud, data, stop, parity, flow.
        const std::array<std::pair<const char*, std::span<const std::string_view>>, 5> order = {{
            {"baud", kBaudRateChoices},
            {"data", kDataBitsChoices},
            {"stop", kStopBitsChoices},
            {"parity", kParityChoices},
            {"flow", kFlowControlChoices},
        }};
        for (std::size_t i = 0; i < reply.serialIndexes.size() && i < order.size(); ++i)
            texts[QString::fromLatin1(order[i].first)] = ChoiceText(order[i].second, reply.serialIndexes[i]);
        break;
    }
    case TSection::AccessPoint:
        break;
    }
    return texts;
}

TTexts TextsOfAccessPoint(const TCurrentApReply& reply)
{
    return {{"ssid", QString::fromStdU16String(reply.ssid)}, {"password", QString::fromStdU16String(reply.password)}};
}

QStringList UnreadableKeys(const TSettingsValue& value)
{
    static const std::pair<TUnreadableField, const char*> keys[] = {
        {TUnreadableField::Ip, "ip"},           {TUnreadableField::Gateway, "gateway"},
        {TUnreadableField::SubnetMask, "mask"}, {TUnreadableField::ListenPort, "listen"},
        {TUnreadableField::ExpiryTime, "expiry"}, {TUnreadableField::TargetIp, "target"},
        {TUnreadableField::TargetPort, "target"}, {TUnreadableField::Ssid, "ssid"},
        {TUnreadableField::Password, "password"},
    };
    QStringList found;
    const auto fields = std::visit([](const auto& settings) { return UnreadableFields(settings); }, value);
    for (const TUnreadableField field : fields)
        for (const auto& [named, key] : keys)
            if (named == field && !found.contains(QLatin1String(key)))
                found << QString::fromLatin1(key);
    return found;
}

} // namespace r7730
