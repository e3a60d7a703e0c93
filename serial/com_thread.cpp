#include "serial/com_thread.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "serial/com_port.h"

namespace r7730 {

// --- TComHandOver -------------------------------------------------------------------------

void TComHandOver::Queue(TComEvents events, bool hangUp)
{
    std::lock_guard<std::mutex> lock(mutex_);
    events_ = events;
    hangUp_ = hangUp;
    error_ = nullptr;
    done_ = false;
    queued_ = true;
    changed_.notify_all();
}

std::exception_ptr TComHandOver::WaitDone()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return done_; });
    return error_;
}

void TComHandOver::Finish(std::exception_ptr endedBy)
{
    std::lock_guard<std::mutex> lock(mutex_);
    endedBy_ = endedBy;
    finished_ = true;
    changed_.notify_all();
}

bool TComHandOver::Take(TComEvents& events, bool& hangUp)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!queued_)
        return false;
    queued_ = false;
    events = events_;
    hangUp = hangUp_;
    return true;
}

void TComHandOver::Complete(std::exception_ptr error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!done_) {
        error_ = error;
        done_ = true;
    }
    changed_.notify_all();
}

void TComHandOver::Release()
{
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    changed_.notify_all();
}

bool TComHandOver::WaitQueuedOrFinished()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queued_ || finished_; });
    return queued_;
}

bool TComHandOver::Finished() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

std::exception_ptr TComHandOver::EndedBy() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return endedBy_;
}

// --- TComThread ---------------------------------------------------------------------------

TComThread::TComThread(TCustomComPort& port, IComDevice& device, TComEvents events, TSyncMethod method,
                       int rx80Threshold)
    : port_(port),
      device_(device),
      events_(events),
      method_(method),
      rx80Threshold_(rx80Threshold),
      handOver_(std::make_shared<TComHandOver>(method))
{
}

TComThread::~TComThread()
{
    RequestStop();
    wait();
}

TSysResult TComThread::Prepare()
{
    return device_.CreateWakeSignal(wake_);
}

void TComThread::RequestStop()
{
    stop_.store(true);
    if (wake_)
        wake_->Raise();
}

void TComThread::NotifyTransmitted()
{
    transmitted_.store(true);
    if (wake_)
        wake_->Raise();
}

void TComThread::run()
{
    nativeId_.store(static_cast<long>(::gettid()));
    std::exception_ptr endedBy;
    try {
        Loop();
    } catch (...) {
        endedBy = std::current_exception(); // ends the thread without its clean-up
    }
    if (endedBy && !stop_.load()) {
        // A step that failed because the device went away in the middle of a batch (a read or
        // a queue count of a hung-up port fails with EIO) is a hang-up all the same: the user
        // must learn that the port is gone, not be left with a port that is silently dead.
        TWaitResult now;
        hungUp_ = !device_.Wait(nullptr, true, false, 0, now).Ok() || now.hangUp;
    }
    if (!endedBy || hungUp_) {
        if (!endedBy)
            device_.DiscardQueues();
        if (hungUp_ && !stop_.load()) {
            port_.endedOnHangUp_.store(true);
            try {
                Dispatch({}, true);
            } catch (...) {
                if (!endedBy)
                    endedBy = std::current_exception();
            }
        }
    }
    nativeId_.store(0);
    handOver_->Finish(endedBy);
}

void TComThread::Loop()
{
    const bool wantRx = events_.Contains(evRxChar) || events_.Contains(evRx80Full);
    const bool wantTx = events_.Contains(evTxEmpty);
    const TComEvents lineEvents{evError, evBreak, evRing, evCTS, evDSR, evRLSD};
    const TComEvents modemEvents{evRing, evCTS, evDSR, evRLSD};

    // What the driver supports decides whether there is anything to poll at all.
    TLineCounters counters;
    bool countersSupported = false;
    if (!(events_ & lineEvents).Empty() && !device_.LineCounters(counters, countersSupported).Ok())
        countersSupported = false;
    ModemLineSet lines;
    bool modemSupported = false;
    if (!(events_ & modemEvents).Empty() && !device_.ModemLines(lines, modemSupported).Ok())
        modemSupported = false;

    // Bytes announced by an rx event and not yet read. Reads happen on other threads (the
    // handlers), so they are counted by the port; a byte that arrives while a batch is being
    // handled - of whatever event - is announced by the next batch.
    int lastQueue = 0;
    long long readMark = port_.bytesReceived_.load();
    auto forgetReadBytes = [&] {
        const long long readNow = port_.bytesReceived_.load();
        lastQueue = static_cast<int>(std::max<long long>(0, lastQueue - (readNow - readMark)));
        readMark = readNow;
    };
    bool rxPending = false; // unannounced bytes are queued: look again at once
    bool rxArmed = true;  // nothing left unread: wait for POLLIN
    bool txWaiting = false;

    for (;;) {
        int timeout = -1;
        auto lower = [&timeout](int ms) { timeout = timeout < 0 ? ms : std::min(timeout, ms); };
        if (countersSupported || modemSupported)
            lower(kLinePollMs);
        if (wantRx && !rxArmed)
            lower(rxPending ? 0 : kRxRecheckMs);
        if (txWaiting)
            lower(kTxRecheckMs);

        TWaitResult woke;
        if (!device_.Wait(wake_.get(), wantRx && rxArmed, false, timeout, woke).Ok())
            return; // a failed wait ends the thread quietly
        if (woke.woken)
            wake_->Clear();
        if (stop_.load())
            return;
        if (woke.hangUp) {
            hungUp_ = true;
            return;
        }

        TComEvents batch;
        if (wantRx) {
            forgetReadBytes();
            int queued = 0;
            if (const TSysResult result = device_.InputQueue(queued); !result.Ok()) {
                hungUp_ = result.error == EIO || result.error == ENXIO; // the device went away
                return;                                                   // either way: end quietly
            }
            if (queued > lastQueue)
                batch.Include(evRxChar);
            if (rx80Threshold_ > 0 && lastQueue < rx80Threshold_ && queued >= rx80Threshold_)
                batch.Include(evRx80Full);
            lastQueue = queued;
        }
        if (transmitted_.exchange(false) && wantTx)
            txWaiting = true;
        if (txWaiting) {
            int pending = 0;
            if (!device_.OutputQueue(pending).Ok() || pending == 0) {
                batch.Include(evTxEmpty);
                txWaiting = false;
            }
        }
        if (countersSupported) {
            TLineCounters now;
            bool supported = false;
            if (device_.LineCounters(now, supported).Ok() && supported) {
                if (now.frame != counters.frame || now.parity != counters.parity || now.overrun != counters.overrun ||
                    now.bufOverrun != counters.bufOverrun)
                    batch.Include(evError);
                if (now.brk != counters.brk)
                    batch.Include(evBreak);
                if (now.rng != counters.rng)
                    batch.Include(evRing);
                if (now.cts != counters.cts)
                    batch.Include(evCTS);
                if (now.dsr != counters.dsr)
                    batch.Include(evDSR);
                if (now.dcd != counters.dcd)
                    batch.Include(evRLSD);
                counters = now;
            }
        }
        if (modemSupported) {
            ModemLineSet now;
            bool supported = false;
            if (device_.ModemLines(now, supported).Ok() && supported) {
                if (now.Contains(CTS) != lines.Contains(CTS))
                    batch.Include(evCTS);
                if (now.Contains(DSR) != lines.Contains(DSR))
                    batch.Include(evDSR);
                if (now.Contains(RLSD) != lines.Contains(RLSD))
                    batch.Include(evRLSD);
                if (lines.Contains(Ring) && !now.Contains(Ring)) // trailing edge, as the UART reports it
                    batch.Include(evRing);
                lines = now;
            }
        }

        batch = batch & events_;
        if (!batch.Empty())
            Dispatch(batch, false);

        if (wantRx) {
            forgetReadBytes();
            int queued = 0;
            if (device_.InputQueue(queued).Ok()) {
                rxArmed = queued == 0;
                rxPending = queued > lastQueue;
            }
        }
    }
}

void TComThread::Dispatch(TComEvents events, bool hangUp)
{
    if (method_ == smNone) {
        if (hangUp)
            port_.DoHangUp();
        else
            port_.RunEventSteps(events, false);
        return;
    }
    handOver_->Queue(events, hangUp);
    port_.PostHandOver(handOver_);
    std::exception_ptr error = handOver_->WaitDone();
    if (error && method_ == smThreadSync)
        std::rethrow_exception(error);
}

} // namespace r7730
