#pragma once
// The link to the device, without a window.
//
// The link owns the serial port, the receive path and the flag "a status reply has been
// received". Every command frame leaves through SendCommandFrame, which writes the bytes and
// then logs the command's lines; on a closed port it refuses instead. Received bytes are fed to the
// receive path as the port announces them; every finished frame is logged as hex text and
// dispatched by its ID: the replies that carry data reach the listener decoded, as values, and
// an unregistered ID is answered with a status read (paced when it keeps coming, see
// automatic_status_reads.h). Every frame sent and received also reaches the frame observers
// (frame_observer.h).
//
// The link never shows anything itself: log lines (a frame's transmit or receive line handed with
// the frame), replies, refusals and the loss of the device all go to its listener (the window,
// or a command-line front end). It owns the port's life: it opens and closes it, telling why an
// open failed, and takes the port's received-data, line-error and hang-up events itself. They run on the front end's thread, handed over by the
// port's event thread, inside the guard the front end hands in, so that an exception reaches
// the front end's own report instead of ending the port's event delivery.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "device/automatic_status_reads.h"
#include "device/frame_observer.h"
#include "device/open_failure.h"
#include "protocol/command_frames.h"
#include "protocol/frame.h"
#include "protocol/receive_path.h"
#include "protocol/reply_decoders.h"
#include "serial/com_port.h"

namespace r7730 {

// The frame a log line shows, as the frame observers were handed it just before.
struct TShownFrame {
    TFrameDirection direction = TFrameDirection::Sent;
    std::span<const std::uint8_t> bytes;
};

class IDeviceListener {
public:
    virtual ~IDeviceListener() = default;
    // One line for the log, without its time stamp.
    virtual void LogLine(const QString& line) = 0;
    // The transmit line of a frame that went out, or the receive line of a frame that came in,
    // handed with that frame, so that a listener keeping frames need not read the line back. A
    // listener that does not follow frames logs it as any other line.
    virtual void FrameLogLine(const QString& line, const TShownFrame& /*frame*/) { LogLine(line); }
    // A command was refused because the port is closed. The refusal's log line follows once
    // this returns, so a box showing it comes before the line.
    virtual void SendRefused(const QString& text) = 0;
    virtual void StatusReplied(const TStatusReply& reply) = 0;
    virtual void ScanReplied(const TScanReply& reply) = 0;
    virtual void CurrentApReplied(const TCurrentApReply& reply) = 0;
    virtual void SignalReplied(const TSignalReply& reply) = 0;
    // The port went away under an open connection (cable or adapter pulled). The link has
    // logged it; the port is still open, for the listener to close.
    virtual void DeviceLost() = 0;
};

// Runs one step of the port's events; the front end's guard around it.
using TEventGuard = std::function<void(const std::function<void()>& step)>;

// A front end that wants the log lines only: whoever waits for the replies (a device session)
// takes them, so they are ignored here.
class TLogLinesListener : public IDeviceListener {
public:
    void SendRefused(const QString&) override {}
    void StatusReplied(const TStatusReply&) override {}
    void ScanReplied(const TScanReply&) override {}
    void CurrentApReplied(const TCurrentApReply&) override {}
    void SignalReplied(const TSignalReply&) override {}
    void DeviceLost() override {}
};

// A port's line (what MoveLine changes), kept to be put back.
struct TPortLine {
    TBaudRate baudRate = br115200;
    int customBaudRate = 0;
    TDataBits dataBits = dbEight;
    TStopBits stopBits = sbOneStopBit;
    TComParity parity;
    TComFlowControl flowControl;
};

class TDeviceLink {
public:
    // The port starts closed, with the default line (see port_defaults.h). Without a guard the
    // port's events run bare.
    explicit TDeviceLink(IDeviceListener& listener, TEventGuard guard = {});
    ~TDeviceLink();
    TDeviceLink(const TDeviceLink&) = delete;
    TDeviceLink& operator=(const TDeviceLink&) = delete;

    // The port itself, for the settings file, the port setup dialog and the lamps.
    TComPort& Port() { return port_; }
    const TComPort& Port() const { return port_; }
    QString PortName() const { return QString::fromStdString(port_.Port()); }
    // Whether the port is open now.
    bool Connected() const { return port_.Connected(); }

    // --- device_link_port.cpp: the port's life.
    // Opens the port unless open. Nothing when it opened; otherwise why not. A failure after the
    // device opened (reading its modem lines) closes it again, so opening can be tried again.
    // Other failures than the port's escape.
    std::optional<TOpenFailure> Open();
    // Closes the port; a failure to close escapes with the port still open.
    void Close();
    // Moves the port to the device's serial line of these settings (after the device saved them).
    void MoveLine(const TSerialSettings& settings);
    // The port's line now, and the port put back on a line kept before.
    TPortLine Line() const;
    void RestoreLine(const TPortLine& line);

    // Set by the first complete status reply and never cleared: the save commands need it.
    bool StatusReceived() const { return statusReceived_; }

    // A command of the user: writes the frame, then logs the lines that announce it (`before`)
    // and its transmit line, which names the frame's ID byte. The device's answer is handled in a later pass of the event loop,
    // so the log keeps its order while the device is already answering. A closed port refuses
    // with a notice and a log line; a failing write logs "Serial Port ERROR!!". Nothing escapes.
    void SendCommandFrame(const TFrame& frame, const QString& tail, const QStringList& before = {});

    // --- device_commands.cpp: every command, from checked values. Each sends its frame with the
    // lines logged before its transmit line (an announcement, the padded texts). A read request,
    // factory reset or flash erase goes out with the ID it is given.
    void ReadCurrentStatus();
    void ReadRequest(TMessageId id);
    void SaveWanSettings(const TWanSettings& settings);
    void SaveTcpSettings(const TTcpSettings& settings);
    void SaveSerialSettings(const TSerialSettings& settings);
    void SetAccessPoint(const TAccessPoint& accessPoint);
    void FactoryReset(TMessageId id);
    void SystemReboot();
    void FlashErase(TMessageId id);
    void FlashSave(const TFlashSaveSettings& settings);
    void DownloadFirmware(const TFirmwareDownload& download);

    // Everything sent and received, from now on, until removed (see frame_observer.h).
    void AddFrameObserver(IFrameObserver& observer) { frameObservers_.Add(observer); }
    void RemoveFrameObserver(IFrameObserver& observer) { frameObservers_.Remove(observer); }

    // The program is ending: closes the port (a failure is not reported, nobody is left to see
    // it) and stops its events.
    void Shutdown();

private:
    class TFrameDispatch;
    // The port's events, bound by the constructor.
    void ComPortEnvBoardRxChar(int count);
    void ComPortEnvBoardError(TComErrors errors);
    // Runs after the event step that reported it, since the port cannot be closed from inside
    // one: logs the loss and tells the listener, unless the port was closed meanwhile.
    void ComPortEnvBoardHangUp();
    void Log(const QString& line);
    void Log(const std::string& line);
    void Log(const std::u16string& line);
    void LogFrame(const std::string& line, TFrameDirection direction, std::span<const std::uint8_t> frame);
    void Transmit(const TFrame& frame, const QString& tail, const QStringList& before);
    void SendAutomaticStatusRead();
    void DispatchCompletedFrame(std::span<const std::uint8_t> frame);
    void ReportOverflowedFrame(std::span<const std::uint8_t> dropped);

    IDeviceListener& listener_;
    TEventGuard guard_;
    TComPort port_;
    TReceivePath rxPath_;
    bool statusReceived_ = false;
    TAutomaticStatusReads automaticReads_;
    TFrameObservers frameObservers_;
};

} // namespace r7730
