#include "device/port_defaults.h"

#include "serial/com_text.h"

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

} // namespace r7730
