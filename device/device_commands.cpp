// The device's commands: each frame, sent through SendCommandFrame with the lines logged
// before its transmit line. The values have passed their checks (command_checks.h).
#include "device/device_link.h"
#include "device/log_line_secrets.h"
#include "protocol/code_page.h"

namespace r7730 {
namespace {

const QString kTail = QStringLiteral("]");
const QString kStatusReadAnnouncement = QStringLiteral("Send Current Status Read Command to Kavlor R7730LX... ");
const QString kCommandAnnouncement = QStringLiteral("Send Command to Kavlor R7730LX... ");

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
    SendCommandFrame(BuildReadRequest(TMessageId::CurrentStatusRead), kTail, {kStatusReadAnnouncement});
}

void TDeviceLink::SendAutomaticStatusRead()
{
    Transmit(BuildReadRequest(TMessageId::CurrentStatusRead), kTail, {kStatusReadAnnouncement});
}

void TDeviceLink::ReadRequest(TMessageId id)
{
    SendCommandFrame(BuildReadRequest(id), kTail);
}

void TDeviceLink::SaveWanSettings(const TWanSettings& settings)
{
    SendCommandFrame(BuildSaveWan(settings), kTail);
}

void TDeviceLink::SaveTcpSettings(const TTcpSettings& settings)
{
    SendCommandFrame(BuildSaveTcp(settings), kTail);
}

void TDeviceLink::SaveSerialSettings(const TSerialSettings& settings)
{
    SendCommandFrame(BuildSaveSerial(settings), kTail);
}

void TDeviceLink::SetAccessPoint(const TAccessPoint& accessPoint)
{
    // The password is logged in clear text, as the device's setup has always shown it.
    SendCommandFrame(BuildSetAccessPoint(accessPoint), kTail,
                     {PaddedFieldLine("tmpSSIDName", accessPoint.ssid, kSsidWidth),
                      PaddedFieldLine(kPasswordLineLabel, accessPoint.password, kApPasswordWidth)});
}

void TDeviceLink::FactoryReset(TMessageId id)
{
    SendCommandFrame(BuildFactoryReset(id), kTail, {kCommandAnnouncement});
}

void TDeviceLink::SystemReboot()
{
    SendCommandFrame(BuildSystemReboot(), QStringLiteral("] : System reboot Command"),
                     {QStringLiteral("Send Reboot Command to Kavlor R7730LX... ")});
}

void TDeviceLink::FlashErase(TMessageId id)
{
    SendCommandFrame(BuildFlashErase(id), kTail, {kCommandAnnouncement});
}

void TDeviceLink::FlashSave(const TFlashSaveSettings& settings)
{
    SendCommandFrame(BuildFlashSave(settings), kTail,
                     {QStringLiteral("[%1]").arg(settings.interval, 4, 16, QLatin1Char('0')).toUpper()});
}

void TDeviceLink::DownloadFirmware(const TFirmwareDownload& download)
{
    SendCommandFrame(BuildFirmwareDownload(download), kTail,
                     {PaddedFieldLine("tmpFileName", download.fileName, kFirmwareFileWidth)});
}

} // namespace r7730
