#include "device/device_link.h"

#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <array>

#include "device/port_defaults.h"
#include "protocol/received_frame.h"

namespace r7730 {
namespace {

const QString kCheckSerialPort = QStringLiteral("단말기의 Serial Port 상태를 확인하십시오.");

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

// Hands what the receive path lets go back to the link: frames to dispatch, dropped bytes to
// report and to show the frame observers.
class TDeviceLink::TFrameDispatch : public IReceiveSink {
public:
    explicit TFrameDispatch(TDeviceLink& link) : link_(link) {}
    void FrameCompleted(std::span<const std::uint8_t> frame) override { link_.DispatchCompletedFrame(frame); }
    void BytesDiscarded(std::span<const std::uint8_t> held) override { Observe(TFrameKind::Discarded, held); }
    void FrameOverflowed(std::span<const std::uint8_t> dropped) override { link_.ReportOverflowedFrame(dropped); }
    void OverflowRestSkipped(std::span<const std::uint8_t> skipped) override { Observe(TFrameKind::Overflowed, skipped); }

private:
    void Observe(TFrameKind kind, std::span<const std::uint8_t> bytes)
    {
        link_.frameObservers_.Notify(TFrameDirection::Received, kind, bytes);
    }

    TDeviceLink& link_;
};

TDeviceLink::TDeviceLink(IDeviceListener& listener, TEventGuard guard)
    : listener_(listener),
      guard_(guard ? std::move(guard) : TEventGuard([](const std::function<void()>& step) { step(); })),
      automaticReads_([this] { SendAutomaticStatusRead(); }, [this](const QString& line) { Log(line); })
{
    port_.setObjectName(QStringLiteral("ComPortEnvBoard"));
    ApplyPortDefaults(port_);
    port_.OnRxChar = [this](TCustomComPort&, int count) { guard_([=, this] { ComPortEnvBoardRxChar(count); }); };
    port_.OnError = [this](TCustomComPort&, TComErrors errors) { guard_([=, this] { ComPortEnvBoardError(errors); }); };
    port_.OnHangUp = [this](TCustomComPort&) { guard_([this] { ComPortEnvBoardHangUp(); }); };
    // Whoever closes the port, no automatic read is left to go out after it.
    port_.OnAfterClose = [this](TCustomComPort&) { automaticReads_.Cancel(); };
}

TDeviceLink::~TDeviceLink()
{
    Shutdown();
}

void TDeviceLink::Shutdown()
{
    try {
        port_.ClosePort();
    } catch (const std::exception&) {
        // The program is ending: nothing is left to tell.
    }
    // A port that failed to close still serves its last events on the way out, without us.
    port_.OnRxChar = nullptr;
    port_.OnError = nullptr;
    port_.OnHangUp = nullptr;
    port_.OnAfterClose = nullptr;
}

void TDeviceLink::Log(const QString& line)
{
    listener_.LogLine(line);
}

void TDeviceLink::Log(const std::string& line)
{
    listener_.LogLine(QString::fromStdString(line));
}

void TDeviceLink::Log(const std::u16string& line)
{
    listener_.LogLine(QString::fromStdU16String(line));
}

void TDeviceLink::LogFrame(const std::string& line, TFrameDirection direction, std::span<const std::uint8_t> frame)
{
    listener_.FrameLogLine(QString::fromStdString(line), TShownFrame{direction, frame});
}

void TDeviceLink::SendCommandFrame(const TFrame& frame, const QString& tail, const QStringList& before)
{
    Transmit(frame, tail, before);
}

void TDeviceLink::Transmit(const TFrame& frame, const QString& tail, const QStringList& before)
{
    try {
        if (!port_.Connected()) {
            for (const QString& line : before)
                Log(line);
            listener_.SendRefused(kCheckSerialPort);
            Log(kCheckSerialPort);
            return;
        }
        // The bytes leave first: the device answers while the lines are written.
        bool written = true;
        try {
            port_.SendBytes(frame.data(), static_cast<int>(frame.size()));
        } catch (const std::exception&) {
            written = false;
        }
        if (written)
            frameObservers_.Notify(TFrameDirection::Sent, TFrameKind::Frame, frame);
        for (const QString& line : before)
            Log(line);
        // A frame that never left was not observed: its line names no frame.
        const std::string line = TransmitLogLine(frame, tail.toStdString());
        if (written) {
            LogFrame(line, TFrameDirection::Sent, frame);
        } else {
            Log(line);
            Log(QStringLiteral("Serial Port ERROR!!"));
        }
    } catch (const std::exception&) {
        Log(QStringLiteral("Serial Port ERROR!!"));
    }
}

void TDeviceLink::ComPortEnvBoardRxChar(int count)
{
    std::array<std::uint8_t, kRxBufferSize> bytes{};
    int received = 0;
    try {
        received = port_.ReceiveBytes(bytes.data(), std::min(count, kRxBufferSize));
    } catch (const EComPort& error) {
        // Most often the device has just gone away; the port reports that on its own.
        Log(QStringLiteral("Serial port read failed: %1").arg(QString::fromUtf8(error.what())));
        return;
    }
    try {
        TFrameDispatch dispatch(*this);
        rxPath_.Feed(bytes.data(), received, dispatch);
    } catch (const std::exception& error) {
        // Never let a failing step end the port's event delivery: note it and go on.
        Log(QStringLiteral("Receive error: %1").arg(QString::fromUtf8(error.what())));
    }
}

void TDeviceLink::DispatchCompletedFrame(std::span<const std::uint8_t> frame)
{
    frameObservers_.Notify(TFrameDirection::Received, TFrameKind::Frame, frame);
    Log(QStringLiteral("[EOT]"));
    const TReplyAction action = ReplyAction(frame);
    if (action == TReplyAction::AcceptSilently)
        return;
    if (action == TReplyAction::Unregistered)
        Log(UnregisteredLogLine(frame));
    LogFrame(ReceiveLogLine(frame), TFrameDirection::Received, frame);

    switch (action) {
    case TReplyAction::ShowStatus:
        statusReceived_ = true;
        automaticReads_.StatusReplyArrived();
        listener_.StatusReplied(DecodeStatusReply(frame));
        break;
    case TReplyAction::FillScanGrid: {
        const TScanReply reply = DecodeScanReply(frame);
        frameObservers_.NotifyDecoded(reply);
        Log(reply.logLine);
        listener_.ScanReplied(reply);
        break;
    }
    case TReplyAction::ShowCurrentAp: {
        const TCurrentApReply reply = DecodeCurrentApReply(frame);
        Log(reply.logLine);
        listener_.CurrentApReplied(reply);
        break;
    }
    case TReplyAction::ShowSignal: {
        const TSignalReply reply = DecodeSignalReply(frame);
        frameObservers_.NotifyDecoded(reply);
        Log(reply.logLine);
        listener_.SignalReplied(reply);
        break;
    }
    case TReplyAction::Unregistered:
        automaticReads_.UnregisteredFrameArrived();
        break;
    case TReplyAction::AcceptSilently:
    case TReplyAction::DropWrongLength:
        break;
    }
}

void TDeviceLink::ReportOverflowedFrame(std::span<const std::uint8_t> dropped)
{
    frameObservers_.Notify(TFrameDirection::Received, TFrameKind::Overflowed, dropped);
    Log(QStringLiteral("Frame dropped: %1 bytes without an end byte exceed the receive buffer of %2 bytes; "
                       "the rest of it is skipped up to its end byte")
            .arg(dropped.size())
            .arg(kRxBufferSize));
}

void TDeviceLink::ComPortEnvBoardError(TComErrors errors)
{
    const QString names = LineErrorNames(errors);
    Log(names.isEmpty() ? QStringLiteral("Serial Port OnError Occured!!")
                        : QStringLiteral("Serial Port OnError Occured!! [%1]").arg(names));
}

void TDeviceLink::ComPortEnvBoardHangUp()
{
    QTimer::singleShot(0, &port_, [this] {
        guard_([this] {
            if (!port_.Connected())
                return;
            Log(QStringLiteral("Serial port lost: the device on Port[%1] hung up (cable or adapter removed?).")
                    .arg(PortName()));
            listener_.DeviceLost();
        });
    });
}

} // namespace r7730
