// Settings texts to command values through the device's checks (see settings_text_checks.h).
#include "device/settings_text_checks.h"

#include <bit>
#include <span>

#include "device/command_checks.h"
#include "protocol/code_page.h"
#include "protocol/conversion_error.h"
#include "protocol/frame.h"
#include "protocol/frame_anatomy.h"
#include "protocol/serial_line_codes.h"

namespace r7730 {
namespace {

// Texts every check accepts: they stand in for the keys not being judged.
const TTexts& NeutralTexts(TSection section)
{
    static const std::map<TSection, TTexts> neutral = {
        {TSection::Wan, {{"ip", "0.0.0.0"}, {"gateway", "0.0.0.0"}, {"mask", "255.255.255.0"}}},
        {TSection::Tcp, {{"mode", "server"}, {"listen", "1"}, {"expiry", "0"}, {"target", "0.0.0.0:1"}}},
        {TSection::Serial, {{"baud", "9600"}, {"data", "8"}, {"parity", "none"}, {"stop", "1"}, {"flow", "none"}}},
        {TSection::AccessPoint, {{"ssid", "ap"}, {"password", ""}}},
    };
    return neutral.at(section);
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

bool IsTextKey(const QString& key)
{
    return key == QLatin1String("ssid") || key == QLatin1String("password");
}

QString FieldName(const QString& key)
{
    return key == QLatin1String("ssid") ? QStringLiteral("the SSID") : QStringLiteral("the password");
}

// A mask's ones must stand together from the left (255.255.255.0, 255.255.240.0): anything else
// is no network at all, and 0.0.0.0 leaves the device none of its own.
QString MaskRefusal(const TIpAddress& mask)
{
    const std::uint32_t bits = (std::uint32_t{mask[0]} << 24) | (std::uint32_t{mask[1]} << 16) |
                               (std::uint32_t{mask[2]} << 8) | std::uint32_t{mask[3]};
    const QString text = QStringLiteral("%1.%2.%3.%4").arg(mask[0]).arg(mask[1]).arg(mask[2]).arg(mask[3]);
    if (bits == 0)
        return QStringLiteral("%1 is no subnet mask: it leaves the device no network of its own (--force sends it all "
                              "the same)")
            .arg(text);
    if (std::countl_one(bits) + std::countr_zero(bits) != 32)
        return QStringLiteral("%1 is no subnet mask: its ones are not contiguous (--force sends it all the same)").arg(text);
    return {};
}

TCheckedTexts CheckAp(const TTexts& texts)
{
    return Outcome(CheckAccessPoint(TAccessPoint{DeviceText(Text(texts, "ssid")), DeviceText(Text(texts, "password"))}));
}

} // namespace

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
    TTexts texts = NeutralTexts(section);
    texts[key] = text;
    const TCheckedTexts checked = CheckTexts(section, texts, true);
    if (value && checked.value)
        *value = *checked.value;
    return checked.refusal;
}

QString RefusalOfGiven(TSection section, const QString& key, const QString& text, bool forceMask, TSettingsValue* value)
{
    TSettingsValue checked;
    const QString refusal = RefusalOfKey(section, key, text, &checked);
    if (!refusal.isEmpty())
        return refusal;
    if (const QString control = ControlCharacterRefusal(key, text); !control.isEmpty())
        return control;
    if (key == QLatin1String("mask") && !forceMask)
        if (const QString mask = MaskRefusal(std::get<TWanSettings>(checked).subnetMask); !mask.isEmpty())
            return mask;
    if (value)
        *value = checked;
    return {};
}

QString ControlCharacterRefusal(const QString& key, const QString& text)
{
    if (!IsTextKey(key))
        return {};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 || c == 0x7F)
            return QStringLiteral("%1 holds the control character 0x%2 (character %3), which no SSID or password may carry")
                .arg(FieldName(key))
                .arg(QStringLiteral("%1").arg(static_cast<int>(c), 2, 16, QLatin1Char('0')).toUpper())
                .arg(i + 1);
    }
    return {};
}

QString UnreadableValueWording(const QString& key, const QString& text)
{
    if (IsTextKey(key))
        for (const QChar character : text) {
            const std::string bytes = WideToAnsi(std::u16string(1, character.unicode()));
            if (bytes.find(static_cast<char>(kFrameEnd)) != std::string::npos)
                return QStringLiteral("a text with %1 (%2 in CP949, the byte 254)")
                    .arg(character)
                    .arg(QString::fromStdString(SpacedHex(
                        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))));
        }
    return QStringLiteral("a value with the byte 254");
}

} // namespace r7730
