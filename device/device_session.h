#pragma once
// The device link driven by a caller that waits for answers: reads answered within a time, the
// return of a rebooting device, pauses. r7730ctl runs on it; the save verified by reading it
// back (apply_and_verify.h) is built on it.
//
// Principles of operation. The link sends fire-and-forget and hands replies to its listener;
// this session is that listener. It keeps the newest reply of each kind with a count of them,
// passes everything on to the front end's listener, and waits in a local event loop that any
// reply, a hang-up, a refusal or an interruption wakes, with a limit; a read is answered by the
// next reply of its kind. After a save, reset or reboot the device drops what it is sent while
// it starts again, so its return is polled. A device may go on answering for a while after the
// command (a slow one answers reads it took before it restarts, from the settings it started
// with; the link also sends status reads of its own after an unregistered reply): only an answer
// that comes once a status read went unanswered, the device silent, counts as its return
// (AwaitReturn). Polled reads are answered in the order sent, so each status reply answers the
// oldest read still open; a read counts as unanswered once it has waited twice the device's own
// answer time (the shortest of its last few answers to a read with nothing else open: a busy
// computer only adds to it) plus a poll interval, or a whole timeout while that time is
// unknown; a restart shorter than that may go unseen. Bytes waiting in the port when it opens
// are not this session's and are dropped.
//
// The port's events run inside the session's own guard: an exception that escapes one ends
// the waits with ESessionEnded instead of ending the port's event delivery. A hang-up and a
// command refused on a closed port end them the same way.
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>

#include "device/device_link.h"

class QEventLoop;

namespace r7730 {

// Why a wait of the session cannot go on.
class ESessionEnded : public std::runtime_error {
public:
    enum class TWhy {
        HungUp,  // the port went away under the open connection
        Refused, // a command was refused: the port is closed (Text: the refusal)
        Failed,  // a step of the port's events failed (Text: its error)
    };
    ESessionEnded(TWhy why, const QString& text) : std::runtime_error(text.toStdString()), why_(why), text_(text) {}
    TWhy Why() const { return why_; }
    QString Text() const { return text_; }

private:
    TWhy why_;
    QString text_;
};

// How a restarting device came back.
struct TReturn {
    // The answer it came back with; when it never went silent, its newest answer in the wait.
    std::optional<TStatusReply> status;
    bool silenceSeen = false; // a status read went unanswered before that answer
};

class TDeviceSession : private IDeviceListener {
public:
    // frontEnd receives every line, reply, refusal and loss the link hands over. timeoutMs: how
    // long a read waits for its reply. waitingForReturn, when set, is told the limit each time
    // the session begins to wait for a rebooting device.
    TDeviceSession(IDeviceListener& frontEnd, int timeoutMs, std::function<void(int waitMs)> waitingForReturn = {});
    ~TDeviceSession() override;
    TDeviceSession(const TDeviceSession&) = delete;
    TDeviceSession& operator=(const TDeviceSession&) = delete;

    TDeviceLink& Link() { return link_; }
    const TDeviceLink& Link() const { return link_; }
    int TimeoutMs() const { return timeoutMs_; }
    // How long a rebooting device may take to answer again: ten times the timeout.
    int RebootWaitMs() const { return timeoutMs_ * 10; }
    // Between status reads that poll: an eighth of the timeout, from 25 ms to a quarter second.
    int PollIntervalMs() const;

    // Opens the port (see TDeviceLink::Open) and drops the bytes already waiting in it. A hang-up
    // or refusal of an earlier connection no longer ends the waits.
    std::optional<TOpenFailure> Open();

    // One read and its reply within the timeout; nothing without one in time (or once
    // interrupted). Every wait raises ESessionEnded when the session cannot go on.
    std::optional<TStatusReply> ReadStatus();
    std::optional<TCurrentApReply> ReadCurrentAp();
    std::optional<TScanReply> Scan();
    std::optional<TSignalReply> ReadSignal();
    // A signal read that waits waitMs for its reply instead of the timeout (a survey's interval).
    std::optional<TSignalReply> ReadSignal(int waitMs);

    // Right after a save, reset or reboot: polls the status until the device, once silent,
    // answers again, at most waitMs. A device that answered throughout gives its newest answer,
    // without silenceSeen; one that never answered (or an interruption) gives no status.
    TReturn AwaitReturn(int waitMs);
    // The status of AwaitReturn.
    std::optional<TStatusReply> WaitForReturn(int waitMs);
    // Polls the status until a read is answered, at most waitMs (a unit that may be arriving on
    // the port): no read waits out a whole timeout before the next goes.
    std::optional<TStatusReply> PollStatus(int waitMs);

    // Waits ms unless interrupted first; false when interrupted. With the port open it raises
    // ESessionEnded like any wait; with the port closed it just waits.
    bool Pause(int ms);
    // Every wait ends at once, now and later (Ctrl+C).
    void Interrupt();
    bool Interrupted() const { return interrupted_; }

private:
    template <typename TReply>
    std::optional<TReply> Read(TMessageId id, const std::optional<TReply>& newest, int waitMs);
    // Runs the event loop until done() holds, the time is up or an interruption came; returns
    // done(). Raises ESessionEnded when the session cannot go on.
    bool WaitFor(const std::function<bool()>& done, int ms);
    // Sends a status read every poll interval for at most waitMs, asking enough after each
    // wake-up whether a status reply came since the last, and whether a read has gone unanswered
    // for silenceMs (once it has, it stays so); enough returning true ends the polling.
    void PollUntil(int waitMs, int silenceMs, const std::function<bool(bool replied, bool silent)>& enough);
    // How long a status read may go unanswered before the device counts as silent.
    int SilenceMs() const;
    void NoteAnswerMs(qint64 ms);
    void Wake();
    void Send(TMessageId id);
    void DiscardStaleInput();
    void RunGuarded(const std::function<void()>& step);
    int& Received(TMessageId id) { return received_[static_cast<std::uint8_t>(id)]; }

    // IDeviceListener
    void LogLine(const QString& line) override;
    void FrameLogLine(const QString& line, const TShownFrame& frame) override;
    void SendRefused(const QString& text) override;
    void StatusReplied(const TStatusReply& reply) override;
    void ScanReplied(const TScanReply& reply) override;
    void CurrentApReplied(const TCurrentApReply& reply) override;
    void SignalReplied(const TSignalReply& reply) override;
    void DeviceLost() override;

    IDeviceListener& frontEnd_;
    int timeoutMs_;
    std::function<void(int)> waitingForReturn_;
    std::map<std::uint8_t, int> received_; // replies of each kind so far
    std::deque<qint64> answerMs_;          // the device's last few answer times to a lone status read
    std::optional<TStatusReply> status_;
    std::optional<TCurrentApReply> currentAp_;
    std::optional<TScanReply> scan_;
    std::optional<TSignalReply> signal_;
    QEventLoop* waiting_ = nullptr;
    bool lost_ = false;
    bool interrupted_ = false;
    QString refused_;
    QString failed_;
    // Last: the port's events reach the members above.
    TDeviceLink link_{*this, [this](const std::function<void()>& step) { RunGuarded(step); }};
};

} // namespace r7730
