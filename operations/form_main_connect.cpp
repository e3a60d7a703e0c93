// Connect and disconnect, the one send step every command ends with, line errors and the
// loss of the device.
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <cerrno>
#include <cstring>

#include "app/dialogs.h"
#include "app/form_main.h"
#include "operations/connection_controls.h"
#include "ui_form_main.h"

namespace r7730 {
namespace {

const QString kCheckSerialPort = QStringLiteral("단말기의 Serial Port 상태를 확인하십시오.");

// What a technician can do about the usual reasons a port does not open.
QString OpenFailureHint(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("The port does not exist: check that the device is plugged in and that COM Setup names "
                              "the right port.");
    case EACCES:
    case EPERM:
        return QStringLiteral("No permission: add your user to the dialout group (sudo usermod -aG dialout $USER), "
                              "then log in again.");
    case EBUSY:
    case EWOULDBLOCK:
        return QStringLiteral("Another program holds the port (often ModemManager or brltty): close it and try again.");
    case ENXIO:
    case EIO:
        return QStringLiteral("No hardware answers behind this port.");
    default:
        return {};
    }
}

QString LineErrorNames(TComErrors errors)
{
    static const std::pair<TComError, const char*> names[] = {
        {ceFrame, "framing"},  {ceRxParity, "parity"}, {ceOverrun, "overrun"},          {ceBreak, "break"},
        {ceIO, "I/O"},         {ceMode, "mode"},       {ceRxOver, "receive overflow"}, {ceTxFull, "transmit buffer full"},
    };
    QStringList found;
    for (const auto& [flag, name] : names)
        if (errors.Contains(flag))
            found << QString::fromLatin1(name);
    return found.join(QStringLiteral(", "));
}

} // namespace

void TForm_main::CreateSerialPort()
{
    ComPortEnvBoard = new TComPort(this);
    ComPortEnvBoard->setObjectName(QStringLiteral("ComPortEnvBoard"));
    ComPortEnvBoard->SetPort("COM1");
    ComPortEnvBoard->SetBaudRate(br115200);
    ComPortEnvBoard->SetDataBits(dbEight);
    ComPortEnvBoard->SetStopBits(sbOneStopBit);
    ComPortEnvBoard->Parity().SetBits(prNone);
    ComPortEnvBoard->SetEvents(kAllComEvents);
    ComPortEnvBoard->FlowControl().SetControlDTR(dtrEnable);
    ComPortEnvBoard->FlowControl().SetControlRTS(rtsDisable);
}

void TForm_main::WireDeviceLink()
{
    Wire(ui->ButtonStart, &TForm_main::ButtonStartClick);
    Wire(ui->ButtonStop, &TForm_main::ButtonStopClick);
    Wire(ui->Btn_CurrentStatus, &TForm_main::Btn_CurrentStatusClick);
    // Port events run on this thread inside the port's hand-over; the guard keeps an
    // exception from ending the port's event delivery.
    ComPortEnvBoard->OnRxChar = [this](TCustomComPort&, int count) { RunGuarded([=, this] { ComPortEnvBoardRxChar(count); }); };
    ComPortEnvBoard->OnError = [this](TCustomComPort&, TComErrors errors) {
        RunGuarded([=, this] { ComPortEnvBoardError(errors); });
    };
    ComPortEnvBoard->OnHangUp = [this](TCustomComPort&) { ComPortEnvBoardHangUp(); };
}

void TForm_main::ButtonStartClick()
{
    Btn_InitGridClick();
    ui->ButtonStop->setEnabled(false);
    ui->BtnExit->setEnabled(false);
    AddLogLine(QStringLiteral("Trying Kavlor R7730LX Comport Open... "));
    if (!ComPortEnvBoard->Connected()) {
        // A failed attempt leaves the program usable: the exit button comes back.
        try {
            ComPortEnvBoard->OpenPort();
        } catch (const EComPort& error) {
            ui->BtnExit->setEnabled(true);
            ReportOpenFailure(error);
            return;
        } catch (...) {
            ui->BtnExit->setEnabled(true);
            throw;
        }
    }
    if (!ComPortEnvBoard->Connected()) {
        ui->BtnExit->setEnabled(true);
        return;
    }
    AddLogLine(QStringLiteral("Connection Success with Kavlor R7730LX on Port[%1]")
                   .arg(QString::fromStdString(ComPortEnvBoard->Port())));
    SwitchConnectionControls(true);
}

void TForm_main::ReportOpenFailure(const EComPort& error)
{
    QString text = QString::fromUtf8(error.what());
    if (error.SystemErrorCode() > 0) {
        text += QStringLiteral("\n%1: %2").arg(QString::fromStdString(ComPortEnvBoard->Port()),
                                               QString::fromLocal8Bit(std::strerror(error.SystemErrorCode())));
        const QString hint = OpenFailureHint(error.SystemErrorCode());
        if (!hint.isEmpty())
            text += QLatin1Char('\n') + hint;
    }
    services_.dialogs.ErrorReport(text);
}

void TForm_main::ButtonStopClick()
{
    if (ComPortEnvBoard->Connected()) {
        AddLogLine(QStringLiteral("Connection Close from Kavlor R7730LX."));
        ComPortEnvBoard->ClosePort();
    }
    if (ComPortEnvBoard->Connected())
        return;
    SwitchConnectionControls(false);
}

void TForm_main::SwitchConnectionControls(bool connected)
{
    if (!connected) {
        // Unchecking automatic polling stops its timer before the box is disabled.
        ui->CB_RSSI_AutoChk->setChecked(false);
        Timer_AutoQryRSSI->stop();
    }
    for (const TConnectionControl& control : kConnectionControls) {
        if (QWidget* widget = findChild<QWidget*>(QString::fromLatin1(control.objectName)))
            widget->setEnabled(connected ? control.enabledWhenConnected : control.enabledWhenDisconnected);
    }
}

void TForm_main::ComPortEnvBoardError(TComErrors errors)
{
    const QString names = LineErrorNames(errors);
    AddLogLine(names.isEmpty() ? QStringLiteral("Serial Port OnError Occured!!")
                               : QStringLiteral("Serial Port OnError Occured!! [%1]").arg(names));
}

void TForm_main::ComPortEnvBoardHangUp()
{
    // Runs after the event step that reported it: the port cannot be closed from inside one.
    QTimer::singleShot(0, this, [this] {
        RunGuarded([this] {
            if (!ComPortEnvBoard->Connected())
                return;
            AddLogLine(QStringLiteral("Serial port lost: the device on Port[%1] hung up (cable or adapter removed?).")
                           .arg(QString::fromStdString(ComPortEnvBoard->Port())));
            ButtonStopClick();
            services_.dialogs.Notice(
                QStringLiteral("The serial port %1 went away. Check the cable or adapter, then press Connect again.")
                    .arg(QString::fromStdString(ComPortEnvBoard->Port())));
        });
    });
}

void TForm_main::SendCommandFrame(const TFrame& frame, const QString& idText, const QString& tail)
{
    try {
        if (!ComPortEnvBoard->Connected()) {
            services_.dialogs.Notice(kCheckSerialPort);
            AddLogLine(kCheckSerialPort);
            return;
        }
        AddLogLine(QString::fromStdString(TransmitLogLine(idText.toStdString(), frame, tail.toStdString())));
        ComPortEnvBoard->SendBytes(frame.data(), static_cast<int>(frame.size()));
    } catch (const std::exception&) {
        AddLogLine(QStringLiteral("Serial Port ERROR!!"));
    }
}

void TForm_main::Btn_CurrentStatusClick()
{
    AddLogLine(QStringLiteral("Send Current Status Read Command to Kavlor R7730LX... "));
    SendCommandFrame(BuildFrame(static_cast<std::uint8_t>(TMessageId::CurrentStatusRead)), QStringLiteral("41"),
                     QStringLiteral("]"));
}

} // namespace r7730
