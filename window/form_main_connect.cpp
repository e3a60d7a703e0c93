// Connect and disconnect, the status query, and their wiring; after a lost device, the offer to
// connect again when its port is back.
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <cstring>

#include "window/connection_controls.h"
#include "window/widgets/dialogs.h"
#include "window/form_main.h"
#include "ui_form_main.h"
#include "ui_form_main_status.h"
#include "ui_form_main_access_point.h"

namespace r7730 {
namespace {

// What a technician can do about the usual reasons a port does not open.
QString OpenFailureHint(TOpenFailureReason reason)
{
    switch (reason) {
    case TOpenFailureReason::NoSuchPort:
        return QStringLiteral("The port does not exist: check that the device is plugged in and that COM Setup names "
                              "the right port.");
    case TOpenFailureReason::Permission:
        return QStringLiteral("No permission: add your user to the dialout group (sudo usermod -aG dialout $USER), "
                              "then log in again.");
    case TOpenFailureReason::HeldByAnother:
    case TOpenFailureReason::Busy:
        return QStringLiteral("Another program holds the port (often ModemManager or brltty): close it and try again.");
    case TOpenFailureReason::NoHardware:
        return QStringLiteral("No hardware answers behind this port.");
    case TOpenFailureReason::Other:
        break;
    }
    return {};
}

} // namespace

void TForm_main::WireDeviceLink()
{
    Wire(ui->ButtonStart, &TForm_main::ButtonStartClick);
    Wire(ui->ButtonStop, &TForm_main::ButtonStopClick);
    Wire(statusPage_->Btn_CurrentStatus, &TForm_main::Btn_CurrentStatusClick);
}

void TForm_main::ButtonStartClick()
{
    Btn_InitGridClick();
    ui->ButtonStop->setEnabled(false);
    ui->BtnExit->setEnabled(false);
    AddLogLine(QStringLiteral("Trying Kavlor R7730LX Comport Open... "));
    // A failed attempt leaves the program usable: the exit button comes back.
    std::optional<TOpenFailure> failure;
    try {
        failure = link_.Open();
    } catch (...) {
        ui->BtnExit->setEnabled(true);
        throw;
    }
    if (failure) {
        ui->BtnExit->setEnabled(true);
        ReportOpenFailure(*failure);
        return;
    }
    if (!link_.Connected()) {
        ui->BtnExit->setEnabled(true);
        return;
    }
    // Connected: a port lost before is no longer waited for.
    portReturn_.Stop();
    AddLogLine(QStringLiteral("Connection Success with Kavlor R7730LX on Port[%1]").arg(link_.PortName()));
    SwitchConnectionControls(true);
}

void TForm_main::ReportOpenFailure(const TOpenFailure& failure)
{
    QString text = QString::fromStdString(failure.message);
    if (failure.systemError > 0) {
        // The device tried, which is not always the name configured ("COM1" is /dev/ttyS0).
        const QString device = QString::fromStdString(failure.devicePath);
        text += QStringLiteral("\n%1: %2").arg(device, QString::fromLocal8Bit(std::strerror(failure.systemError)));
        const QString hint = failure.afterOpening ? QStringLiteral("The port opened, but the adapter refused a request that "
                                                                   "followed; it has been closed again. Try another adapter or driver.")
                                                  : OpenFailureHint(failure.reason);
        if (!hint.isEmpty())
            text += QLatin1Char('\n') + hint;
    }
    services_.dialogs.ErrorReport(text);
}

void TForm_main::ButtonStopClick()
{
    if (link_.Connected()) {
        AddLogLine(QStringLiteral("Connection Close from Kavlor R7730LX."));
        link_.Close();
    }
    if (link_.Connected())
        return;
    SwitchConnectionControls(false);
}

void TForm_main::SwitchConnectionControls(bool connected)
{
    if (!connected) {
        // Unchecking automatic polling stops its timer before the box is disabled.
        accessPointPage_->CB_RSSI_AutoChk->setChecked(false);
        Timer_AutoQryRSSI->stop();
    }
    for (const TConnectionControl& control : kConnectionControls) {
        if (QWidget* widget = findChild<QWidget*>(QString::fromLatin1(control.objectName)))
            widget->setEnabled(connected ? control.enabledWhenConnected : control.enabledWhenDisconnected);
    }
}

void TForm_main::ReportDeviceLost()
{
    ButtonStopClick();
    // Followed from now on, so a return while the notice is up counts; the question waits for
    // the notice to be closed.
    portReturn_.Start(link_.Port().Port());
    deviceLostNoticeOpen_ = true;
    portBackWhileBusy_ = false;
    try {
        services_.dialogs.Notice(
            QStringLiteral("The serial port %1 went away. Check the cable or adapter; when it is back, you are "
                           "asked whether to connect again.")
                .arg(link_.PortName()));
    } catch (...) {
        deviceLostNoticeOpen_ = false;
        throw;
    }
    deviceLostNoticeOpen_ = false;
    if (portBackWhileBusy_)
        PortCameBack();
}

void TForm_main::PortCameBack()
{
    if (deviceLostNoticeOpen_ || reconnectQuestionOpen_) {
        // Asked once the notice is closed, or once the question withdrawn meanwhile has returned.
        portBackWhileBusy_ = true;
        return;
    }
    portBackWhileBusy_ = false;
    // Only the port that was lost, and only while nothing else has been connected or chosen.
    TComPort& port = link_.Port();
    if (port.Connected() || port.Port() != portReturn_.PortName())
        return;
    AddLogLine(QStringLiteral("Serial port %1 is back.").arg(link_.PortName()));
    // Still followed while the question is up: if the port goes again, the question is withdrawn
    // and the wait goes on, so a late Yes never tries a port that is not there.
    portReturn_.Start(port.Port());
    reconnectQuestionOpen_ = true;
    reconnectQuestionWithdrawn_ = false;
    TConfirmAnswer answer = TConfirmAnswer::No;
    try {
        answer = services_.dialogs.Confirm(QStringLiteral("The serial port %1 is back. Connect again?").arg(link_.PortName()));
    } catch (...) {
        reconnectQuestionOpen_ = false;
        throw;
    }
    reconnectQuestionOpen_ = false;
    if (reconnectQuestionWithdrawn_) {
        if (portBackWhileBusy_)
            PortCameBack(); // gone and back again while the question was closing
        return;
    }
    portReturn_.Stop();
    if (answer == TConfirmAnswer::Yes)
        ButtonStartClick();
}

void TForm_main::PortWentAgain()
{
    if (!reconnectQuestionOpen_ || reconnectQuestionWithdrawn_)
        return;
    reconnectQuestionWithdrawn_ = true;
    AddLogLine(QStringLiteral("Serial port %1 went away again.").arg(link_.PortName()));
    services_.dialogs.WithdrawQuestion();
}

void TForm_main::Btn_CurrentStatusClick()
{
    link_.ReadCurrentStatus();
}

} // namespace r7730
