// TCustomComPort: its settings and applying them, opening and closing the device, the event
// thread and the event steps it hands back, links, transfers, and the queue, modem lines and
// line errors. The settings objects it owns are in com_settings.cpp.
#include "serial/com_port.h"

#include <QMetaObject>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <optional>
#include <stdexcept>

#include "serial/com_thread.h"

namespace r7730 {

namespace {

using Clock = std::chrono::steady_clock;

// The CE_ bits of the Windows error word, as TakeLineErrors maps them.
constexpr std::uint32_t kCeRxOver = 0x1;
constexpr std::uint32_t kCeOverrun = 0x2;
constexpr std::uint32_t kCeRxParity = 0x4;
constexpr std::uint32_t kCeFrame = 0x8;
constexpr std::uint32_t kCeBreak = 0x10;
constexpr std::uint32_t kCeTxFull = 0x100;
constexpr std::uint32_t kCeIoe = 0x400;
constexpr std::uint32_t kCeMode = 0x8000;

// A timeout value as the platform sees it: -1 is the maximum (all bits set).
std::uint64_t Unsigned(int value)
{
    return static_cast<std::uint32_t>(value);
}
constexpr std::uint64_t kMaxTimeout = 0xFFFFFFFFu;

// Milliseconds left until deadline, at least 0, at most what poll takes.
int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return static_cast<int>(std::min<long long>(left + 1, std::numeric_limits<int>::max()));
}

std::optional<Clock::time_point> Deadline(Clock::time_point start, std::uint64_t milliseconds)
{
    return start + std::chrono::milliseconds(milliseconds);
}

// A device operation on a closed port fails like a call on an invalid handle.
const TSysResult kNoDevice = TSysResult::Failure(EBADF, "closed port");

} // namespace

TCustomComPort::TCustomComPort(QObject* owner, IComPlatform* platform)
    : QObject(owner), platform_(platform ? platform : &SystemComPlatform())
{
}

TCustomComPort::~TCustomComPort()
{
    Shutdown();
}

void TCustomComPort::Shutdown() noexcept
{
    try {
        ClosePort();
    } catch (...) {
    }
    // A close that failed (row 5) leaves the port open: end the thread and the handle anyway.
    try {
        StopEventThread();
    } catch (...) {
    }
    device_.reset();
    connected_ = false;
}

// --- settings -----------------------------------------------------------------------------

void TCustomComPort::SetPort(const std::string& value)
{
    if (value == port_)
        return;
    port_ = value;
    if (connected_) {
        ClosePort();
        OpenPort();
    }
}

void TCustomComPort::SetBaudRate(TBaudRate value)
{
    if (value != baudRate_) {
        baudRate_ = value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetCustomBaudRate(int value)
{
    if (value != customBaudRate_) {
        customBaudRate_ = value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetDataBits(TDataBits value)
{
    if (value != dataBits_) {
        dataBits_ = value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetStopBits(TStopBits value)
{
    if (value != stopBits_) {
        stopBits_ = value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetDiscardNull(bool value)
{
    if (value != discardNull_) {
        discardNull_ = value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetEventChar(char value)
{
    if (value != eventChar_) {
        eventChar_ = value;
        ApplyLineSettings();
    }
}

void TCustomComPort::SetSyncMethod(TSyncMethod value)
{
    if (value == syncMethod_)
        return;
    if (connected_)
        throw EComPort(CError_ConnChangeProp);
    syncMethod_ = value;
}

void TCustomComPort::SetPlatform(IComPlatform& platform)
{
    if (&platform == platform_)
        return;
    if (connected_)
        throw EComPort(CError_ConnChangeProp);
    platform_ = &platform;
}

void TCustomComPort::SetConnected(bool value)
{
    if (value == connected_)
        return;
    if (value)
        OpenPort();
    else
        ClosePort();
}

void TCustomComPort::EndSettingsUpdate()
{
    if (updateDepth_ == 0)
        return;
    --updateDepth_;
    if (updateDepth_ == 0)
        ApplyAllSettings();
}

// --- applying settings ----------------------------------------------------------------------

void TCustomComPort::ApplyLineSettings()
{
    if (!CanApply())
        return;
    TLineSettings line;
    line.baudRate = baudRate_ == brCustom ? customBaudRate_ : BaudRateValue(baudRate_);
    line.byteSize = DataBitsValue(dataBits_);
    line.parity = parity_.Bits();
    line.stopBits = stopBits_;
    line.xonLim = buffer_.InputSize() / 4;
    line.xoffLim = buffer_.InputSize() / 4;
    line.eventChar = eventChar_;
    line.xonChar = flowControl_.XonChar();
    line.xoffChar = flowControl_.XoffChar();
    line.binary = true;
    line.discardNull = discardNull_;
    line.outxCtsFlow = flowControl_.OutCTSFlow();
    line.outxDsrFlow = flowControl_.OutDSRFlow();
    line.dtrControl = flowControl_.ControlDTR();
    line.rtsControl = flowControl_.ControlRTS();
    line.outX = flowControl_.XonXoffOut();
    line.inX = flowControl_.XonXoffIn();
    line.dsrSensitivity = flowControl_.DSRSensitivity();
    line.txContinueOnXoff = flowControl_.TxContinueOnXoff();
    if (parity_.Check()) {
        line.parityCheck = true;
        if (parity_.Replace()) {
            line.errorCharReplace = true;
            line.errorChar = parity_.ReplaceChar();
        }
    }
    CheckSystemResult(device_->SetLine(line), CError_SetStateFailed);
}

void TCustomComPort::ApplyTimeoutSettings()
{
    if (!CanApply())
        return;
    TTimeoutSettings settings;
    settings.readInterval = timeouts_.ReadInterval();
    settings.readTotalMultiplier = timeouts_.ReadTotalMultiplier();
    settings.readTotalConstant = timeouts_.ReadTotalConstant();
    settings.writeTotalMultiplier = timeouts_.WriteTotalMultiplier();
    settings.writeTotalConstant = timeouts_.WriteTotalConstant();
    CheckSystemResult(device_->SetTimeouts(settings), CError_TimeoutsFailed);
    appliedTimeouts_ = settings;
}

void TCustomComPort::ApplyBufferSettings()
{
    if (!CanApply())
        return;
    CheckSystemResult(device_->SetQueueSizes(buffer_.InputSize(), buffer_.OutputSize()), CError_SetupComFailed);
}

void TCustomComPort::ApplyAllSettings()
{
    ApplyBufferSettings();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

// --- open and close -------------------------------------------------------------------------

void TCustomComPort::CreatePortHandle()
{
    std::unique_ptr<IComDevice> device;
    CheckSystemResult(platform_->Open(ComPortDevicePath(port_), device), CError_OpenFailed);
    device_ = std::move(device);
}

void TCustomComPort::DestroyPortHandle()
{
    device_.reset();
}

void TCustomComPort::OpenPort()
{
    if (connected_)
        return;
    DoBeforeOpen();
    if (connected_)
        return; // opened meanwhile by a handler that let the window run
    CreatePortHandle();
    connected_ = true;
    ++openGeneration_;
    endedOnHangUp_.store(false);
    appliedTimeouts_ = TTimeoutSettings{};
    try {
        ApplyAllSettings();
        TakeLineErrorBaseline();
        if (!events_.Empty())
            CreateEventThread();
    } catch (...) {
        DestroyPortHandle();
        connected_ = false;
        throw;
    }
    // Handlers may let the window run (the lamps do) and a click may close the port meanwhile:
    // each later step needs the port still open.
    NotifyLinks([this](TComLink& link) {
        if (link.ConnNotify)
            link.ConnNotify(*this, true);
    });
    if (connected_)
        DoAfterOpen();
    for (TModemLine line : {CTS, DSR, RLSD})
        if (connected_)
            StepModemLine(line);
}

void TCustomComPort::ClosePort()
{
    if (!connected_ || closing_)
        return;
    closing_ = true;
    struct TClosingScope {
        bool& closing;
        ~TClosingScope() { closing = false; }
    } closingScope{closing_};
    if (thread_ && QThread::currentThread() == thread_.get())
        throw std::logic_error("ClosePort called on the port's event thread");
    AnnounceLinesOff();
    DoBeforeClose();
    if (!connected_)
        return; // closed meanwhile by a handler that let the window run
    CheckSystemResult(device_->AbortTransfers(), CError_PurgeFailed);
    StopEventThread();
    DestroyPortHandle();
    connected_ = false;
    NotifyLinks([this](TComLink& link) {
        if (link.ConnNotify)
            link.ConnNotify(*this, false);
    });
    DoAfterClose();
}

void TCustomComPort::AnnounceLinesOff()
{
    NotifyLinks([this](TComLink& link) {
        if (link.CTSNotify)
            link.CTSNotify(*this, false);
    });
    DoCTSChange(false);
    NotifyLinks([this](TComLink& link) {
        if (link.DSRNotify)
            link.DSRNotify(*this, false);
    });
    DoDSRChange(false);
    NotifyLinks([this](TComLink& link) {
        if (link.RLSDNotify)
            link.RLSDNotify(*this, false);
    });
    DoRLSDChange(false);
}

// --- the event thread -----------------------------------------------------------------------

void TCustomComPort::CreateEventThread()
{
    const int inputSize = buffer_.InputSize();
    const int rx80Threshold = inputSize > 0 ? static_cast<int>(static_cast<long long>(inputSize) * 8 / 10) : 0;
    auto thread = std::make_unique<TComThread>(*this, *device_, events_, syncMethod_, rx80Threshold);
    // No row is raised for a thread that cannot start on Windows; here the eventfd can fail
    // (no file descriptors left): the port then does not open, as if the device had not.
    CheckSystemResult(thread->Prepare(), CError_OpenFailed);
    thread_ = std::move(thread);
    thread_->start(eventThreadPriority_);
    threadCreated_ = true;
}

void TCustomComPort::StopEventThread()
{
    if (!thread_)
        return;
    // Under smNone a handler runs on the event thread, which cannot wait for its own end.
    if (QThread::currentThread() == thread_.get())
        throw std::logic_error("ClosePort called on the port's event thread");
    thread_->RequestStop();
    QThread::yieldCurrentThread();
    const std::shared_ptr<TComHandOver> handOver = thread_->HandOver();
    // Closed from inside a step of this thread's batch: the event thread may go on now.
    if (std::find(servingHandOvers_.begin(), servingHandOvers_.end(), handOver) != servingHandOvers_.end())
        handOver->Release();
    // Keep serving the hand-overs the thread queues until it has ended: never wait on each other.
    while (handOver->WaitQueuedOrFinished())
        ServeHandOver(handOver);
    if (thread_) {
        thread_->wait();
        thread_.reset();
    }
    threadCreated_ = false;
}

bool TCustomComPort::EventThreadRunning() const
{
    return thread_ && !thread_->HandOver()->Finished();
}

std::exception_ptr TCustomComPort::EventThreadError() const
{
    return thread_ ? thread_->HandOver()->EndedBy() : nullptr;
}

long TCustomComPort::EventThreadId() const
{
    return thread_ ? thread_->NativeId() : 0;
}

void TCustomComPort::PostHandOver(const std::shared_ptr<TComHandOver>& handOver)
{
    // Runs on this object's thread when its event loop gets to it (or earlier, from ClosePort).
    QMetaObject::invokeMethod(
        this, [this, handOver] { ServeHandOver(handOver); }, Qt::QueuedConnection);
}

void TCustomComPort::ServeHandOver(const std::shared_ptr<TComHandOver>& handOver)
{
    TComEvents events;
    bool hangUp = false;
    if (!handOver->Take(events, hangUp))
        return; // already served (by ClosePort) or stale
    servingHandOvers_.push_back(handOver);
    std::exception_ptr error;
    try {
        if (hangUp) {
            // A hang-up noticed while the port is being closed anyway is no news to anyone.
            if (!(thread_ && thread_->StopRequested()))
                DoHangUp();
        }
        else
            RunEventSteps(events, handOver->Method() == smWindowSync);
    } catch (...) {
        error = std::current_exception();
    }
    servingHandOvers_.erase(std::find(servingHandOvers_.begin(), servingHandOvers_.end(), handOver));
    handOver->Complete(error);
}

void TCustomComPort::RunEventSteps(TComEvents events, bool reportEachStep)
{
    static constexpr TComEvent kStepOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                               evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};
    for (TComEvent event : kStepOrder) {
        if (!events.Contains(event))
            continue;
        if (!connected_)
            return; // closed inside an earlier step: the rest of the batch has no port to work on
        if (!reportEachStep) {
            RunEventStep(event);
            continue;
        }
        try {
            RunEventStep(event);
        } catch (...) {
            ReportStepError(std::current_exception());
        }
    }
}

void TCustomComPort::ReportStepError(std::exception_ptr error)
{
    if (OnSyncError) {
        OnSyncError(*this, error);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        qWarning("Serial event step failed: %s", e.what());
    } catch (...) {
        qWarning("Serial event step failed");
    }
}

void TCustomComPort::RunEventStep(TComEvent event)
{
    switch (event) {
    case evError: StepError(); break;
    case evRxChar: StepRxChar(); break;
    case evTxEmpty: StepTxEmpty(); break;
    case evBreak: DoBreak(); break;
    case evRing: StepRing(); break;
    case evCTS: StepModemLine(CTS); break;
    case evDSR: StepModemLine(DSR); break;
    case evRxFlag: StepRxFlag(); break;
    case evRLSD: StepModemLine(RLSD); break;
    case evRx80Full: DoRx80Full(); break;
    }
}

void TCustomComPort::StepError()
{
    const TComErrors errors = TakeLineErrors();
    if (!errors.Empty())
        DoError(errors);
}

void TCustomComPort::StepRxChar()
{
    int count = InputQueueCount();
    if (count > 0) {
        NotifyLinks([this](TComLink& link) {
            if (link.RxNotify)
                link.RxNotify(*this, true);
        });
        if (!connected_)
            return; // a link's handler let the window run, and it closed the port
    }
    const bool directRule = rxCharTrigger_ && !hasRxBufferLink_;
    if (count > 0 && !directRule) {
        std::unique_ptr<unsigned char[]> buffer;
        auto readOnce = [&] {
            buffer = std::make_unique<unsigned char[]>(static_cast<std::size_t>(count));
            ReceiveBytes(buffer.get(), count);
            DoRxBuf(buffer.get(), count);
        };
        try {
            for (std::size_t i = 0; i < links_.size(); ++i) {
                TComLink* link = links_[i];
                if (!link->RxBufNotify)
                    continue;
                if (!buffer)
                    readOnce();
                link->RxBufNotify(*this, buffer.get(), count);
            }
            if (!buffer && !rxCharTrigger_)
                readOnce();
        } catch (...) {
            if (buffer)
                count = 0;
            throw;
        }
        if (buffer)
            count = 0;
    }
    if (count > 0)
        DoRxChar(count);
}

void TCustomComPort::StepTxEmpty()
{
    NotifyLinks([this](TComLink& link) {
        if (link.TxNotify)
            link.TxNotify(*this, false);
    });
    NotifyLinks([this](TComLink& link) {
        if (link.TxEmptyNotify)
            link.TxEmptyNotify(*this);
    });
    DoTxEmpty();
}

void TCustomComPort::StepRing()
{
    NotifyLinks([this](TComLink& link) {
        if (link.RingNotify)
            link.RingNotify(*this);
    });
    DoRing();
}

void TCustomComPort::StepRxFlag()
{
    NotifyLinks([this](TComLink& link) {
        if (link.RxFlagNotify)
            link.RxFlagNotify(*this);
    });
    DoRxFlag();
}

void TCustomComPort::StepModemLine(TModemLine line)
{
    const bool on = ModemSignals().Contains(line);
    NotifyLinks([this, line, on](TComLink& link) {
        auto& slot = line == CTS ? link.CTSNotify : line == DSR ? link.DSRNotify : link.RLSDNotify;
        if (slot)
            slot(*this, on);
    });
    if (line == CTS)
        DoCTSChange(on);
    else if (line == DSR)
        DoDSRChange(on);
    else
        DoRLSDChange(on);
}

// Links in attachment order; by index, so a link may attach or detach links meanwhile.
void TCustomComPort::NotifyLinks(const std::function<void(TComLink&)>& call)
{
    for (std::size_t i = 0; i < links_.size(); ++i)
        call(*links_[i]);
}

// --- event steps (overridable) ------------------------------------------------------------------

void TCustomComPort::DoAfterClose()
{
    if (OnAfterClose)
        OnAfterClose(*this);
}
void TCustomComPort::DoAfterOpen()
{
    if (OnAfterOpen)
        OnAfterOpen(*this);
}
void TCustomComPort::DoBeforeClose()
{
    if (OnBeforeClose)
        OnBeforeClose(*this);
}
void TCustomComPort::DoBeforeOpen()
{
    if (OnBeforeOpen)
        OnBeforeOpen(*this);
}
void TCustomComPort::DoRxChar(int count)
{
    if (OnRxChar)
        OnRxChar(*this, count);
}
void TCustomComPort::DoRxBuf(const void* buffer, int count)
{
    if (OnRxBuf)
        OnRxBuf(*this, buffer, count);
}
void TCustomComPort::DoTxEmpty()
{
    if (OnTxEmpty)
        OnTxEmpty(*this);
}
void TCustomComPort::DoBreak()
{
    if (OnBreak)
        OnBreak(*this);
}
void TCustomComPort::DoRing()
{
    if (OnRing)
        OnRing(*this);
}
void TCustomComPort::DoRxFlag()
{
    if (OnRxFlag)
        OnRxFlag(*this);
}
void TCustomComPort::DoCTSChange(bool onOff)
{
    if (OnCTSChange)
        OnCTSChange(*this, onOff);
}
void TCustomComPort::DoDSRChange(bool onOff)
{
    if (OnDSRChange)
        OnDSRChange(*this, onOff);
}
void TCustomComPort::DoError(TComErrors errors)
{
    if (OnError)
        OnError(*this, errors);
}
void TCustomComPort::DoRLSDChange(bool onOff)
{
    if (OnRLSDChange)
        OnRLSDChange(*this, onOff);
}
void TCustomComPort::DoRx80Full()
{
    if (OnRx80Full)
        OnRx80Full(*this);
}
void TCustomComPort::DoHangUp()
{
    if (OnHangUp)
        OnHangUp(*this);
}

// --- links ------------------------------------------------------------------------------------

void TCustomComPort::AttachLink(TComLink* link)
{
    if (!link || std::find(links_.begin(), links_.end(), link) != links_.end())
        throw EComPort(CError_RegFailed);
    links_.push_back(link);
    RecomputeRxBufferFlag();
}

void TCustomComPort::DetachLink(TComLink* link)
{
    const auto found = std::find(links_.begin(), links_.end(), link);
    if (found == links_.end())
        throw EComPort(CError_RegFailed);
    links_.erase(found);
    RecomputeRxBufferFlag();
}

void TCustomComPort::RecomputeRxBufferFlag()
{
    hasRxBufferLink_ = std::any_of(links_.begin(), links_.end(), [](const TComLink* link) { return bool(link->RxBufNotify); });
}

// --- transfers --------------------------------------------------------------------------------

int TCustomComPort::SendBytes(const void* bytes, int count)
{
    if (!device_)
        RaiseSystemError(CError_WriteFailed, kNoDevice);
    if (count < 0)
        count = 0;
    const Clock::time_point start = Clock::now();
    const std::uint64_t multiplier = Unsigned(appliedTimeouts_.writeTotalMultiplier);
    const std::uint64_t constant = Unsigned(appliedTimeouts_.writeTotalConstant);
    std::optional<Clock::time_point> deadline;
    if (multiplier != 0 || constant != 0)
        deadline = Deadline(start, multiplier * static_cast<std::uint64_t>(count) + constant);

    const std::uint64_t generation = openGeneration_;
    const auto* data = static_cast<const unsigned char*>(bytes);
    int written = 0;
    CheckSystemResult(device_->Write(data, count, written), CError_WriteFailed);
    NotifyLinks([this](TComLink& link) {
        if (link.TxNotify)
            link.TxNotify(*this, true);
    });
    while (written < count) {
        // A link's handler may have closed the port: the write was aborted with it.
        if (!device_ || openGeneration_ != generation)
            RaiseSystemError(CError_WriteFailed, TSysResult::Failure(ECANCELED, "write"));
        int wait = -1;
        if (deadline) {
            wait = MillisecondsLeft(*deadline);
            if (wait == 0)
                break; // out of time: fewer bytes, no error
        }
        TWaitResult ready;
        CheckSystemResult(device_->Wait(nullptr, false, true, wait, ready), CError_WriteFailed);
        if (!ready.writable && !ready.hangUp)
            continue;
        int more = 0;
        CheckSystemResult(device_->Write(data + written, count - written, more), CError_WriteFailed);
        if (more == 0 && ready.hangUp)
            RaiseSystemError(CError_WriteFailed, TSysResult::Failure(EIO, "write"));
        written += more;
    }
    NotifyLinks([this, data, count](TComLink& link) {
        if (link.TxBufNotify)
            link.TxBufNotify(*this, data, count);
    });
    if (thread_ && openGeneration_ == generation)
        thread_->NotifyTransmitted();
    return written;
}

int TCustomComPort::ReceiveBytes(void* buffer, int count)
{
    if (!device_)
        RaiseSystemError(CError_ReadFailed, kNoDevice);
    if (count < 0)
        count = 0;
    // The Windows read timeouts (COMMTIMEOUTS), -1 being the maximum value.
    const std::uint64_t interval = Unsigned(appliedTimeouts_.readInterval);
    const std::uint64_t multiplier = Unsigned(appliedTimeouts_.readTotalMultiplier);
    const std::uint64_t constant = Unsigned(appliedTimeouts_.readTotalConstant);
    const bool atOnce = interval == kMaxTimeout && multiplier == 0 && constant == 0;
    const bool firstByteOnly = interval == kMaxTimeout && multiplier == kMaxTimeout && constant != 0 && constant != kMaxTimeout;
    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> totalDeadline;
    if (firstByteOnly)
        totalDeadline = Deadline(start, constant);
    else if (!atOnce && (multiplier != 0 || constant != 0))
        totalDeadline = Deadline(start, multiplier * static_cast<std::uint64_t>(count) + constant);
    const bool useInterval = !atOnce && !firstByteOnly && interval != 0 && interval != kMaxTimeout;

    auto* bytes = static_cast<unsigned char*>(buffer);
    int done = 0;
    bool endOfFile = false;
    Clock::time_point lastByte = start;
    for (;;) {
        int got = 0;
        CheckSystemResult(device_->Read(bytes + done, count - done, got, endOfFile), CError_ReadFailed);
        if (got > 0) {
            done += got;
            bytesReceived_.fetch_add(got);
            lastByte = Clock::now();
        }
        if (done >= count || endOfFile || atOnce || (firstByteOnly && done > 0))
            break;
        int wait = -1;
        if (totalDeadline)
            wait = MillisecondsLeft(*totalDeadline);
        if (useInterval && done > 0) {
            const int gap = MillisecondsLeft(lastByte + std::chrono::milliseconds(interval));
            wait = wait < 0 ? gap : std::min(wait, gap);
        }
        if (wait == 0)
            break;
        TWaitResult ready;
        CheckSystemResult(device_->Wait(nullptr, true, false, wait, ready), CError_ReadFailed);
    }
    // Asked of the driver directly: the bytes are taken, so nothing may fail from here on.
    int stillQueued = 0;
    if (endOfFile || !device_->InputQueue(stillQueued).Ok() || stillQueued == 0)
        NotifyLinks([this](TComLink& link) {
            if (link.RxNotify)
                link.RxNotify(*this, false);
        });
    return done;
}

// --- queue, lines and errors ---------------------------------------------------------------------

void TCustomComPort::TakeLineErrorBaseline()
{
    lineCountersSupported_ = false;
    TLineCounters counters;
    bool supported = false;
    if (device_->LineCounters(counters, supported).Ok() && supported) {
        lineCountersSupported_ = true;
        lineCounters_ = counters;
    }
}

// The Windows error word since the last call (ClearCommError), from the driver's counters.
std::uint32_t TCustomComPort::SampleLineErrorWord(int row)
{
    if (!device_)
        RaiseSystemError(row, kNoDevice);
    if (!lineCountersSupported_)
        return 0;
    TLineCounters now;
    bool supported = false;
    CheckSystemResult(device_->LineCounters(now, supported), row);
    if (!supported)
        return 0;
    std::uint32_t word = 0;
    if (now.frame != lineCounters_.frame)
        word |= kCeFrame;
    if (now.parity != lineCounters_.parity)
        word |= kCeRxParity;
    if (now.overrun != lineCounters_.overrun)
        word |= kCeOverrun;
    if (now.bufOverrun != lineCounters_.bufOverrun)
        word |= kCeRxOver;
    if (now.brk != lineCounters_.brk)
        word |= kCeBreak;
    lineCounters_ = now;
    return word;
}

int TCustomComPort::InputQueueCount()
{
    if (!device_)
        RaiseSystemError(CError_ClearComFailed, kNoDevice);
    int count = 0;
    CheckSystemResult(device_->InputQueue(count), CError_ClearComFailed);
    SampleLineErrorWord(CError_ClearComFailed); // clears the error flags, as ClearCommError does
    return count;
}

TComErrors TCustomComPort::TakeLineErrors()
{
    const std::uint32_t word = SampleLineErrorWord(CError_ClearComFailed);
    TComErrors errors;
    if (word & kCeFrame)
        errors.Include(ceFrame);
    if ((word & kCeRxParity) && parity_.Check())
        errors.Include(ceRxParity);
    if (word & kCeOverrun)
        errors.Include(ceOverrun);
    if (word & kCeBreak)
        errors.Include(ceBreak);
    if (word & kCeIoe)
        errors.Include(ceIO);
    if (word & kCeMode)
        errors.Include(ceMode);
    if (word & kCeRxOver)
        errors.Include(ceRxOver);
    if (word & kCeTxFull)
        errors.Include(ceTxFull);
    return errors;
}

ModemLineSet TCustomComPort::ModemSignals()
{
    if (!device_)
        RaiseSystemError(CError_ModemStatFailed, kNoDevice);
    ModemLineSet lines;
    bool supported = false;
    CheckSystemResult(device_->ModemLines(lines, supported), CError_ModemStatFailed);
    return lines;
}

} // namespace r7730
