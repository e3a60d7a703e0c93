#include "protocol/command_frames.h"

#include "protocol/hex_text.h"

namespace r7730 {
namespace {

using TPayload = std::vector<std::uint8_t>;

void AppendWord(TPayload& payload, std::uint16_t value)
{
    payload.push_back(static_cast<std::uint8_t>(value >> 8));
    payload.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

void AppendIp(TPayload& payload, const TIpAddress& ip)
{
    payload.insert(payload.end(), ip.begin(), ip.end());
}

void AppendText(TPayload& payload, const std::string& text, int width)
{
    const std::string field = FixedWidthField(text, width);
    payload.insert(payload.end(), field.begin(), field.end());
}

std::uint8_t Id(TMessageId id)
{
    return static_cast<std::uint8_t>(id);
}

} // namespace

std::string FixedWidthField(const std::string& text, int width)
{
    return PadLeft(text, width, ' ');
}

TFrame BuildReadRequest(TMessageId messageId)
{
    return BuildFrame(Id(messageId));
}

TFrame BuildSaveWan(const TWanSettings& settings)
{
    TPayload payload;
    AppendIp(payload, settings.ip);
    AppendIp(payload, settings.gateway);
    AppendIp(payload, settings.subnetMask);
    return BuildFrame(Id(TMessageId::SaveWanSettings), payload);
}

TFrame BuildSaveTcp(const TTcpSettings& settings)
{
    TPayload payload;
    AppendWord(payload, settings.listenPort);
    payload.push_back(settings.expirySeconds);
    payload.push_back(settings.mode == TTcpMode::Server ? 'S' : 'C');
    AppendWord(payload, settings.targetPort);
    AppendIp(payload, settings.targetIp);
    return BuildFrame(Id(TMessageId::SaveTcpSettings), payload);
}

TFrame BuildSaveSerial(const TSerialSettings& settings)
{
    const TPayload payload = {
        static_cast<std::uint8_t>(NibbleToHexChar(settings.baudRate)),
        static_cast<std::uint8_t>(NibbleToHexChar(settings.dataBits)),
        static_cast<std::uint8_t>(NibbleToHexChar(settings.stopBits)),
        static_cast<std::uint8_t>(NibbleToHexChar(settings.parity)),
        static_cast<std::uint8_t>(NibbleToHexChar(settings.flowControl)),
        0x46,
    };
    return BuildFrame(Id(TMessageId::SaveSerialSettings), payload);
}

TFrame BuildSetAccessPoint(const TAccessPoint& accessPoint)
{
    TPayload payload;
    AppendText(payload, accessPoint.ssid, kSsidWidth);
    AppendText(payload, accessPoint.password, kApPasswordWidth);
    return BuildFrame(Id(TMessageId::SetCurrentAp), payload);
}

TFrame BuildFactoryReset(TMessageId messageId)
{
    return BuildFrame(Id(messageId), {0x4E});
}

TFrame BuildSystemReboot()
{
    return BuildFrame(Id(TMessageId::SystemReboot));
}

TFrame BuildFlashSave(const TFlashSaveSettings& settings)
{
    TPayload payload;
    AppendWord(payload, settings.interval);
    payload.push_back(settings.delay);
    return BuildFrame(Id(TMessageId::FlashSave), payload);
}

TFrame BuildFirmwareDownload(const TFirmwareDownload& download)
{
    TPayload payload;
    AppendIp(payload, download.serverIp);
    AppendWord(payload, download.serverPort);
    AppendText(payload, download.fileName, kFirmwareFileWidth);
    return BuildFrame(Id(TMessageId::FirmwareDownload), payload);
}

TFrame BuildFlashErase(TMessageId messageId)
{
    return BuildFrame(Id(messageId));
}

} // namespace r7730
