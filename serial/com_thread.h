#pragma once
// TComThread: the event thread of an open port, and TComHandOver, the meeting point
// where it hands a batch of events to the port's own thread and waits.
//
// Principles of operation. The thread waits in one poll on the device and an eventfd (the stop
// and "bytes were sent" signal). It wakes for: received bytes (only while none are left unread
// from an earlier event; otherwise it rechecks the queue every 20 ms until it is read or grows),
// a write that needs a transmit-empty event (rechecked every 10 ms while the driver still holds
// bytes), and, only where the driver supports them, a 50 ms poll of the modem lines and line
// error counters. On a pseudo-terminal none of these is supported, so an idle open port never
// wakes. Each wake-up gives a batch of TComEvents (filtered by the port's Events); the batch is
// dispatched by SyncMethod. A failed wait ends the thread quietly; so does a hang-up (POLLHUP,
// POLLERR, or a read of 0), which also sets the port's EndedOnHangUp and raises OnHangUp once.
// On a normal end the thread discards both queues; an exception from an event step ends it
// without that step.
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

#include "serial/com_platform.h"
#include "serial/com_types.h"

namespace r7730 {

class TCustomComPort;

// One batch at a time travels from the event thread to the port's thread and back.
class TComHandOver {
public:
    explicit TComHandOver(TSyncMethod method) : method_(method) {}
    TSyncMethod Method() const { return method_; }

    // Event thread: queue a batch (or the hang-up notice); then wait until it was run.
    void Queue(TComEvents events, bool hangUp);
    std::exception_ptr WaitDone();
    // Event thread, last thing it does.
    void Finish(std::exception_ptr endedBy);

    // Port's thread: take the queued batch, if any; report it done.
    bool Take(TComEvents& events, bool& hangUp);
    void Complete(std::exception_ptr error);
    // Port's thread, ClosePort inside a step of this batch: let the event thread go on now.
    void Release();
    // Port's thread, ClosePort: wait until a batch is queued (true) or the thread ended (false).
    bool WaitQueuedOrFinished();

    bool Finished() const;
    std::exception_ptr EndedBy() const;

private:
    const TSyncMethod method_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool queued_ = false;
    bool done_ = true;
    bool finished_ = false;
    TComEvents events_;
    bool hangUp_ = false;
    std::exception_ptr error_;
    std::exception_ptr endedBy_;
};

class TComThread : public QThread {
public:
    // Modem lines and line error counters are polled this often where the driver has them.
    static constexpr int kLinePollMs = 50;
    // Bytes left unread after an event: the queue is checked this often for new bytes.
    static constexpr int kRxRecheckMs = 20;
    // A write is done but the driver still holds bytes: checked this often for transmit-empty.
    static constexpr int kTxRecheckMs = 10;

    // The port must keep device open until the thread has ended. rx80Threshold: the queue
    // count that raises evRx80Full (80% of Buffer.InputSize), 0 for none.
    TComThread(TCustomComPort& port, IComDevice& device, TComEvents events, TSyncMethod method, int rx80Threshold);
    ~TComThread() override;

    // Makes the stop signal; call before start(). Failure: the eventfd could not be made.
    TSysResult Prepare();
    // Signals stop (thread-safe). The thread ends after its current batch.
    void RequestStop();
    // True once ClosePort has asked the thread to end.
    bool StopRequested() const { return stop_.load(); }
    // A write completed: look for the transmit queue to drain (thread-safe).
    void NotifyTransmitted();

    const std::shared_ptr<TComHandOver>& HandOver() const { return handOver_; }
    long NativeId() const { return nativeId_.load(); }

protected:
    void run() override;

private:
    void Loop();
    void Dispatch(TComEvents events, bool hangUp);

    TCustomComPort& port_;
    IComDevice& device_;
    const TComEvents events_;
    const TSyncMethod method_;
    const int rx80Threshold_;
    std::unique_ptr<IComWakeSignal> wake_;
    std::shared_ptr<TComHandOver> handOver_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> transmitted_{false};
    std::atomic<long> nativeId_{0};
    bool hungUp_ = false;
};

} // namespace r7730
