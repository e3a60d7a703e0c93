// The port setup dialog behind "COM Setup", and the three status lamps of the top bar.
#include <QPushButton>

#include "window/form_main.h"
#include "window/widgets/com_led.h"
#include "window/widgets/com_setup_dialog.h"
#include "ui_form_main.h"

namespace r7730 {
namespace {

constexpr int kLampRingDuration = 500;

} // namespace

void TForm_main::WirePortSetup()
{
    Wire(ui->Btn_ComSetup, &TForm_main::Btn_ComSetupClick);
    // Connection green, transmit blue, receive red; all follow the device link's port.
    const struct {
        TComLed* lamp;
        TComLedSignal signal;
        TLedKind kind;
    } lamps[] = {
        {ui->ComLed1, lsConn, lkGreenLight},
        {ui->BCRTx1, lsTx, lkBlueLight},
        {ui->BCRRx1, lsRx, lkRedLight},
    };
    for (const auto& entry : lamps) {
        entry.lamp->SetLedSignal(entry.signal);
        entry.lamp->SetKind(entry.kind);
        entry.lamp->SetRingDuration(kLampRingDuration);
        entry.lamp->SetComPort(&link_.Port());
    }
}

// The button is disabled while connected, so the dialog changes a closed port: the choices
// take effect at the next connect.
void TForm_main::Btn_ComSetupClick()
{
    RunSetupDialog(link_.Port(), portSource_);
}

} // namespace r7730
