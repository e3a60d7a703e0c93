#pragma once
// The device link driven from the command line: one port, one listener, and waits.
//
// Principles of operation. The link sends fire-and-forget and hands replies to its listener;
// this session is that listener. It keeps the last reply of each kind with a count of them, and
// waits for a reply in a local event loop that any reply, a hang-up or an interruption (Ctrl+C)
// wakes, with the command's timeout as the limit; a read is answered by the next reply of its
// kind. After a save the device reboots and drops what it is sent meanwhile, so its return is
// polled; the link also sends a status read of its own after an unregistered reply, and the
// answer to such a read, sent before the save, must not pass for the read-back (WaitForReturn).
// Bytes waiting in the port when it opens are not this run's and are dropped.
//
// The port and its line come from the settings file (settings_file.h) as the window takes them;
// a port named on the command line replaces the file's. -v names the settings file read. -v copies every log line (the TX and RX
// frames as hex text) to standard error, stamped as the window's log stamps them.
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <map>
#include <optional>

#include "cli/settings_file.h"
#include "device/device_link.h"

class QEventLoop;

namespace r7730::cli {

struct TSessionOptions {
    QString portName; // from -p; empty: the settings file's
    int timeoutMs = 3000;
    bool verbose = false;
    std::function<void(const QString&)> progress; // waiting notes for a person, may be empty
};

class TDeviceSession : public IDeviceListener {
public:
    // Resolves the port name and line. Raises TCliFailure (exit 2) when no port is named.
    explicit TDeviceSession(TSessionOptions options);
    ~TDeviceSession() override;

    // Opens the port; raises TCliFailure (exit 1) with the reason and what to do.
    void Open();
    TDeviceLink& Link() { return link_; }
    QString PortName() const { return link_.PortName(); }
    // The port's line as "115200 8N1".
    QString LineText() const;
    int TimeoutMs() const { return options_.timeoutMs; }
    const TSettingsFile& SettingsFile() const { return settings_; }
    // How long a rebooting device may take to answer again: ten times the timeout.
    int RebootWaitMs() const { return options_.timeoutMs * 10; }

    // One read and its reply within the timeout; raises TCliFailure (exit 1) without one.
    TStatusReply ReadStatus();
    TCurrentApReply ReadCurrentAp();
    TScanReply Scan();
    TSignalReply ReadSignal();

    // Right after a save, reset or reboot: polls the status until the rebooted device answers,
    // at most waitMs; nothing when it did not answer in time (or an interruption came).
    std::optional<TStatusReply> WaitForReturn(int waitMs);
    // One status read on the port's present line, answered within the timeout or not.
    std::optional<TStatusReply> TryStatusOnce();
    // Moves the port to the device's new serial line (after a serial save).
    void MoveLine(const TSerialSettings& settings);

    // Waits ms unless interrupted first; false when interrupted.
    bool Pause(int ms);
    // Ctrl+C: every wait ends at once.
    void Interrupt();
    bool Interrupted() const { return interrupted_; }

    // IDeviceListener
    void LogLine(const QString& line) override;
    void SendRefused(const QString& text) override;
    void StatusReplied(const TStatusReply& reply) override;
    void ScanReplied(const TScanReply& reply) override;
    void CurrentApReplied(const TCurrentApReply& reply) override;
    void SignalReplied(const TSignalReply& reply) override;
    void DeviceLost() override;

private:
    template <typename TReply>
    TReply Read(TMessageId id, const std::optional<TReply>& newest, const char* what);
    // Runs the event loop until done() holds, the time is up, the port hung up (raises) or an
    // interruption came; returns done().
    bool WaitFor(const std::function<bool()>& done, int ms);
    void Wake();
    void Send(TMessageId id);
    void DiscardStaleInput();

    TSessionOptions options_;
    TSettingsFile settings_;
    TDeviceLink link_{*this};
    std::map<std::uint8_t, int> received_; // replies of each kind so far
    std::optional<TStatusReply> status_;
    std::optional<TCurrentApReply> currentAp_;
    std::optional<TScanReply> scan_;
    std::optional<TSignalReply> signal_;
    QEventLoop* waiting_ = nullptr;
    bool lost_ = false;
    bool interrupted_ = false;
    QString refused_;
};

} // namespace r7730::cli
