// The link's port: opening with the reason a failure has, closing, and following the device's
// serial line (see device_link.h).
#include <algorithm>
#include <span>

#include "device/device_link.h"
#include "protocol/serial_line_codes.h"
#include "serial/com_platform.h"
#include "serial/com_text.h"

namespace r7730 {
namespace {

std::string ChoiceString(std::span<const std::string_view> choices, int index)
{
    return std::string(choices[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(choices.size()) - 1))]);
}

} // namespace

std::optional<TOpenFailure> TDeviceLink::Open()
{
    if (port_.Connected())
        return std::nullopt;
    try {
        port_.OpenPort();
    } catch (const EComPort& error) {
        // A failure after the device opened (reading its modem lines) leaves it open: close it
        // first, so that opening can be tried again.
        const bool opened = port_.Connected();
        if (opened)
            port_.ClosePort();
        return OpenFailureOf(error, ComPortDevicePath(port_.Port()), opened);
    }
    return std::nullopt;
}

void TDeviceLink::Close()
{
    port_.ClosePort();
}

void TDeviceLink::MoveLine(const TSerialSettings& settings)
{
    port_.BeginSettingsUpdate();
    const std::string baudText = ChoiceString(kBaudRateChoices, settings.baudRate);
    const TBaudRate rate = BaudRateFromText(baudText);
    if (BaudRateValue(rate) == std::stoi(baudText)) {
        port_.SetBaudRate(rate);
    } else {
        port_.SetCustomBaudRate(std::stoi(baudText));
        port_.SetBaudRate(brCustom);
    }
    port_.SetDataBits(DataBitsFromText(ChoiceString(kDataBitsChoices, settings.dataBits)));
    port_.SetStopBits(StopBitsFromText(ChoiceString(kStopBitsChoices, settings.stopBits)));
    port_.Parity().SetBits(ParityFromText(ChoiceString(kParityChoices, settings.parity)));
    port_.FlowControl().SetFlowControl(ChoiceString(kFlowControlChoices, settings.flowControl) == "RTS/CTS" ? fcHardware
                                                                                                            : fcNone);
    port_.EndSettingsUpdate();
}

TPortLine TDeviceLink::Line() const
{
    return {port_.BaudRate(), port_.CustomBaudRate(), port_.DataBits(), port_.StopBits(), port_.Parity(),
            port_.FlowControl()};
}

void TDeviceLink::RestoreLine(const TPortLine& line)
{
    port_.BeginSettingsUpdate();
    port_.SetCustomBaudRate(line.customBaudRate);
    port_.SetBaudRate(line.baudRate);
    port_.SetDataBits(line.dataBits);
    port_.SetStopBits(line.stopBits);
    port_.SetParity(line.parity);
    port_.SetFlowControl(line.flowControl);
    port_.EndSettingsUpdate();
}

} // namespace r7730
