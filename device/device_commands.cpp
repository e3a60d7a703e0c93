// The device's commands: each frame, sent through SendCommandFrame with the lines logged
// before its transmit line. The values have passed their checks (command_checks.h).
#include "device/device_link.h"
#include "protocol/code_page.h"
#include "protocol/h_refer_lib.h"

namespace r7730 {
namespace {

const QString kTail = QStringLiteral("]");
const QString kStatusReadAnnouncement = QStringLiteral("Send Current Status Read Command to Kavlor R7730LX... ");
const QString kCommandAnnouncement = QStringLiteral("Send Command to Kavlor R7730LX... ");

std::uint8_t IdOf(const QString& idText)
{
    return HexPairToByte(idText.toStdString());
}

// "tmpSSIDName : [32][<the padded SSID>]": the label, the field's width and the field.
QString PaddedFieldLine(const char* label, const std::string& text, int width)
{
    const std::string field = FixedWidthField(text, width);
    return QStringLiteral("%1 : [%2][%3]")
        .arg(QString::fromLatin1(label))
        .arg(field.size())
        .arg(QString::fromStdU16String(AnsiToWide(field)));
}

} // namespace

void TDeviceLink::ReadCurrentStatus()
{
    SendCommandFrame(BuildReadRequest(static_cast<std::uint8_t>(TMessageId::CurrentStatusRead)), QStringLiteral("41"),
                     kTail, {kStatusReadAnnouncement});
}

void TDeviceLink::SendAutomaticStatusRead()
{
    // Only ever an answer to what came in: on a closed port there is nothing to answer.
    if (!port_.Connected())
        return;
    Transmit(BuildReadRequest(static_cast<std::uint8_t>(TMessageId::CurrentStatusRead)), QStringLiteral("41"), kTail,
             {kStatusReadAnnouncement});
}

void TDeviceLink::ReadRequest(const QString& idText)
{
    SendCommandFrame(BuildReadRequest(IdOf(idText)), idText, kTail);
}

void TDeviceLink::SaveWanSettings(const TWanSettings& settings)
{
    SendCommandFrame(BuildSaveWan(settings), QStringLiteral("43"), kTail);
}

void TDeviceLink::SaveTcpSettings(const TTcpSettings& settings)
{
    SendCommandFrame(BuildSaveTcp(settings), QStringLiteral("44"), kTail);
}

void TDeviceLink::SaveSerialSettings(const TSerialSettings& settings)
{
    SendCommandFrame(BuildSaveSerial(settings), QStringLiteral("45"), kTail);
}

void TDeviceLink::SetAccessPoint(const TAccessPoint& accessPoint)
{
    // The password is logged in clear text, as the device's setup has always shown it.
    SendCommandFrame(BuildSetAccessPoint(accessPoint), QStringLiteral("42"), kTail,
                     {PaddedFieldLine("tmpSSIDName", accessPoint.ssid, kSsidWidth),
                      PaddedFieldLine("tmpSSIDPW  ", accessPoint.password, kApPasswordWidth)});
}

void TDeviceLink::FactoryReset(const QString& idText)
{
    SendCommandFrame(BuildFactoryReset(IdOf(idText)), idText, kTail, {kCommandAnnouncement});
}

void TDeviceLink::SystemReboot()
{
    SendCommandFrame(BuildSystemReboot(), QStringLiteral("47"), QStringLiteral("] : System reboot Command"),
                     {QStringLiteral("Send Reboot Command to Kavlor R7730LX... ")});
}

void TDeviceLink::FlashErase(const QString& idText)
{
    SendCommandFrame(BuildFlashErase(IdOf(idText)), idText, kTail, {kCommandAnnouncement});
}

void TDeviceLink::FlashSave(const TFlashSaveSettings& settings)
{
    SendCommandFrame(BuildFlashSave(settings), QStringLiteral("53"), kTail,
                     {QStringLiteral("[%1]").arg(settings.interval, 4, 16, QLatin1Char('0')).toUpper()});
}

void TDeviceLink::DownloadFirmware(const TFirmwareDownload& download)
{
    SendCommandFrame(BuildFirmwareDownload(download), QStringLiteral("55"), kTail,
                     {PaddedFieldLine("tmpFileName", download.fileName, kFirmwareFileWidth)});
}

} // namespace r7730
