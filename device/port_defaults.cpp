#include "device/port_defaults.h"

#include "protocol/code_page.h"
#include "serial/com_text.h"
#include "shell/profile_file.h"

namespace r7730 {

void ApplyPortDefaults(TComPort& port)
{
    port.SetPort(kDefaultPortTexts.port);
    port.SetBaudRate(BaudRateFromText(kDefaultPortTexts.baudRate));
    port.SetDataBits(DataBitsFromText(kDefaultPortTexts.dataBits));
    port.SetStopBits(StopBitsFromText(kDefaultPortTexts.stopBits));
    port.Parity().SetBits(ParityFromText(kDefaultPortTexts.parity));
    port.SetEvents(kAllComEvents);
    port.FlowControl().SetControlDTR(dtrEnable);
    port.FlowControl().SetControlRTS(rtsDisable);
}

bool LoadPortSettings(TComPort& port, const std::string& settingsFile)
{
    const char* section = "EnvBoard";
    auto read = [&](const char* key, const char* defaultValue) {
        return AnsiToUtf8(ReadProfileString(settingsFile, section, key, defaultValue));
    };
    const std::string name = read("ComPort", "");
    port.SetPort(name.empty() ? kDefaultPortTexts.port : name);
    port.SetBaudRate(BaudRateFromText(read("BaudRate", kDefaultPortTexts.baudRate)));
    port.SetDataBits(DataBitsFromText(read("DataBits", kDefaultPortTexts.dataBits)));
    port.SetStopBits(StopBitsFromText(read("StopBits", kDefaultPortTexts.stopBits)));
    port.Parity().SetBits(ParityFromText(read("Parity", kDefaultPortTexts.parity)));
    return !name.empty();
}

} // namespace r7730
