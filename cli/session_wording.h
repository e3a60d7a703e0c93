#pragma once
// r7730ctl's session with the device: the port it names, opened, and reads that fail in its
// words.
//
// The waiting itself is the device layer's (device/device_session.h): reads answered within the
// timeout, the polling of a rebooting device, the save verified by reading it back. This class
// adds what the command line needs around it: the port and its line come from the settings file
// (settings_file.h) as the window takes them, a port named on the command line replaces the
// file's; an open failure, a read without an answer, a hang-up and a refusal become TCliFailure
// with r7730ctl's texts and exit codes. -v names the settings file read and copies every log
// line (the TX and RX frames as hex text) to standard error, stamped as the window's log stamps
// them, with the access point's password masked; -v -v adds each frame's decoded summary under
// its line.
#include <QString>
#include <functional>
#include <optional>

#include "cli/settings_file.h"
#include "device/device_session.h"
#include "device/log_line_secrets.h"

namespace r7730::cli {

struct TSessionOptions {
    QString portName; // from -p; empty: the settings file's
    int timeoutMs = 3000;
    bool verbose = false;
    bool decodeFrames = false; // -v -v: each frame's summary under its line
    std::function<void(const QString&)> progress; // waiting notes for a person, may be empty
};

// Puts a port on the port and line the settings file names (a relative path in the launcher's
// file taken from its folder); false when the file names no port.
bool SetUpPort(TComPort& port, const TSettingsFile& settings);
// Raises TCliFailure (exit 2): no -p and no port in the settings file.
[[noreturn]] void NoPortNamed(const TSettingsFile& settings);

class TCtlSession : public TLogLinesListener {
public:
    // Resolves the port name and line. Raises TCliFailure (exit 2) when no port is named.
    explicit TCtlSession(TSessionOptions options);

    // Opens the port; raises TCliFailure (exit 1) with the reason and what to do.
    void Open();
    TDeviceSession& Device() { return device_; }
    TDeviceLink& Link() { return device_.Link(); }
    QString PortName() const { return device_.Link().PortName(); }
    // The port's line as "115200 8N1".
    QString LineText() const;
    int TimeoutMs() const { return device_.TimeoutMs(); }
    const TSettingsFile& SettingsFile() const { return settings_; }
    int RebootWaitMs() const { return device_.RebootWaitMs(); }

    // One read and its reply within the timeout; raises TCliFailure (exit 1) without one.
    TStatusReply ReadStatus();
    TCurrentApReply ReadCurrentAp();
    TScanReply Scan();
    TSignalReply ReadSignal();
    // Raises TCliFailure (exit 1) for a read of `what` ("status") that got no answer in time.
    [[noreturn]] void NoAnswer(const char* what) const;

    // Right after a reset or reboot: see TDeviceSession::WaitForReturn.
    std::optional<TStatusReply> WaitForReturn(int waitMs);
    // Waits ms unless interrupted first; false when interrupted.
    bool Pause(int ms);
    // Ctrl+C: every wait ends at once.
    void Interrupt() { device_.Interrupt(); }
    bool Interrupted() const { return device_.Interrupted(); }

    // Runs a step of the device session; a session that cannot go on raises TCliFailure (exit 1).
    template <typename TStep>
    auto Run(TStep step) -> decltype(step())
    {
        try {
            return step();
        } catch (const ESessionEnded& ended) {
            Fail(ended);
        }
    }

    // Only the log lines matter here; the device session keeps the rest.
    void LogLine(const QString& line) override;

private:
    template <typename TReply>
    TReply Answered(const std::optional<TReply>& reply, const char* what) const;
    [[noreturn]] void Fail(const ESessionEnded& ended) const;

    TSessionOptions options_;
    TSettingsFile settings_;
    TDeviceSession device_;
    TLogLineMask mask_; // -v's lines, in their order
};

} // namespace r7730::cli
