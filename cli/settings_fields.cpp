// Settings texts to command values through the device's checks, and values and replies back
// to texts (see settings_fields.h).
#include "cli/settings_fields.h"

#include "device/command_checks.h"
#include "device/unreadable_values.h"
#include "protocol/code_page.h"
#include "protocol/conversion_error.h"
#include "protocol/frame.h"
#include "protocol/serial_line_codes.h"

namespace r7730::cli {
namespace {

struct TSectionKeys {
    TSection section;
    const char* name;
    QStringList keys;
    // Texts every check accepts: they stand in for the keys not being judged.
    TTexts neutral;
};

const std::array<TSectionKeys, 4>& AllSections()
{
    static const std::array<TSectionKeys, 4> sections = {{
        {TSection::Wan, "wan", {"ip", "gateway", "mask"}, {{"ip", "0.0.0.0"}, {"gateway", "0.0.0.0"}, {"mask", "0.0.0.0"}}},
        {TSection::Tcp,
         "tcp",
         {"mode", "listen", "expiry", "target"},
         {{"mode", "server"}, {"listen", "1"}, {"expiry", "0"}, {"target", "0.0.0.0:1"}}},
        {TSection::Serial,
         "serial",
         {"baud", "data", "parity", "stop", "flow"},
         {{"baud", "9600"}, {"data", "8"}, {"parity", "none"}, {"stop", "1"}, {"flow", "none"}}},
        {TSection::AccessPoint, "ap", {"ssid", "password"}, {{"ssid", "ap"}, {"password", ""}}},
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

// A refused text: carries its English wording out of the parsing below.
struct TRefused {
    QString message;
};

QString Text(const TTexts& texts, const QString& key)
{
    const auto found = texts.find(key);
    return found == texts.end() ? QString() : found->second;
}

TAddressTexts AddressParts(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        throw TRefused{QStringLiteral("expects an address like 192.168.0.10")};
    return {parts[0].toStdString(), parts[1].toStdString(), parts[2].toStdString(), parts[3].toStdString()};
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

QString ChoicesText(std::span<const std::string_view> choices)
{
    QStringList texts;
    for (std::string_view choice : choices)
        texts << QString::fromLatin1(choice.data(), static_cast<qsizetype>(choice.size())).toLower();
    return texts.join(QStringLiteral(", "));
}

int ChoiceIndex(std::span<const std::string_view> choices, const QString& text)
{
    const std::optional<int> index = SerialChoiceIndex(choices, text.toStdString());
    if (!index)
        throw TRefused{QStringLiteral("takes one of %1").arg(ChoicesText(choices))};
    return *index;
}

QString ChoiceText(std::span<const std::string_view> choices, int index)
{
    if (index < 0 || index >= static_cast<int>(choices.size()))
        return QStringLiteral("code %1").arg(index);
    const std::string_view choice = choices[static_cast<std::size_t>(index)];
    return QString::fromLatin1(choice.data(), static_cast<qsizetype>(choice.size())).toLower();
}

// The device's text fields are bytes of its code page: a character it cannot hold would
// arrive as '?'.
std::string DeviceText(const QString& text)
{
    const std::optional<std::string> ansi = WideToAnsiExactly(text.toStdU16String());
    if (!ansi)
        throw TRefused{QStringLiteral("has characters the device's code page (CP949) cannot hold")};
    return *ansi;
}

template <typename T>
TCheckedTexts Outcome(const TChecked<T>& checked)
{
    if (const TRefusal* refusal = std::get_if<TRefusal>(&checked))
        return {std::nullopt, QString::fromUtf8(EnglishMessage(refusal->rule))};
    return {TSettingsValue(std::get<T>(checked)), QString()};
}

TCheckedTexts CheckWan(const TTexts& texts, bool statusReceived)
{
    const TWanTexts wan{AddressParts(Text(texts, "ip")), AddressParts(Text(texts, "gateway")),
                        AddressParts(Text(texts, "mask"))};
    return Outcome(CheckWanSettings(statusReceived, wan));
}

TCheckedTexts CheckTcp(const TTexts& texts, bool statusReceived)
{
    TTcpTexts tcp;
    const QString mode = Text(texts, "mode").toLower();
    if (mode != QLatin1String("server") && mode != QLatin1String("client"))
        throw TRefused{QStringLiteral("expects server or client")};
    tcp.mode = mode == QLatin1String("server") ? TTcpMode::Server : TTcpMode::Client;
    tcp.listenPort = Text(texts, "listen").toStdString();
    tcp.expiryTime = Text(texts, "expiry").toStdString();
    const QString target = Text(texts, "target");
    const qsizetype colon = target.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        throw TRefused{QStringLiteral("expects an address and port like 192.168.0.100:5000")};
    tcp.targetIp = AddressParts(target.left(colon));
    tcp.targetPort = target.mid(colon + 1).toStdString();
    return Outcome(CheckTcpSettings(statusReceived, tcp));
}

TCheckedTexts CheckSerial(const TTexts& texts, bool statusReceived)
{
    TSerialSettings serial;
    serial.baudRate = ChoiceIndex(kBaudRateChoices, Text(texts, "baud"));
    serial.dataBits = ChoiceIndex(kDataBitsChoices, Text(texts, "data"));
    serial.parity = ChoiceIndex(kParityChoices, Text(texts, "parity"));
    serial.stopBits = ChoiceIndex(kStopBitsChoices, Text(texts, "stop"));
    serial.flowControl = ChoiceIndex(kFlowControlChoices, Text(texts, "flow"));
    return Outcome(CheckSerialSettings(statusReceived, serial));
}

TCheckedTexts CheckAp(const TTexts& texts)
{
    return Outcome(CheckAccessPoint(TAccessPoint{DeviceText(Text(texts, "ssid")), DeviceText(Text(texts, "password"))}));
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

bool IsNumberKey(const QString& key)
{
    static const QStringList numbers = {"listen", "expiry", "baud", "data", "stop"};
    return numbers.contains(key);
}

TCheckedTexts CheckTexts(TSection section, const TTexts& texts, bool statusReceived)
{
    try {
        switch (section) {
        case TSection::Wan: return CheckWan(texts, statusReceived);
        case TSection::Tcp: return CheckTcp(texts, statusReceived);
        case TSection::Serial: return CheckSerial(texts, statusReceived);
        case TSection::AccessPoint: return CheckAp(texts);
        }
    } catch (const TRefused& refused) {
        return {std::nullopt, refused.message};
    } catch (const EConvertError& error) {
        return {std::nullopt, QString::fromStdString(error.what())};
    }
    return {};
}

QString RefusalOfKey(TSection section, const QString& key, const QString& text, TSettingsValue* value)
{
    TTexts texts = KeysOf(section).neutral;
    texts[key] = text;
    const TCheckedTexts checked = CheckTexts(section, texts, true);
    if (value && checked.value)
        *value = *checked.value;
    return checked.refusal;
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

} // namespace r7730::cli
