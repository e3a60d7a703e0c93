#pragma once
// TCustomComPort and TComPort: the non-visual component that owns one serial port.
//
// Principles of operation. The component holds the settings, opens the device through the
// platform layer (com_platform.h) and applies the settings to it, writes and reads bytes and
// reports failures as EComPort (com_error.h). While it is open with a non-empty Events set, a
// TComThread (com_thread.h) waits for line events and hands each batch back; the component then
// runs the event steps in their fixed order, notifying the attached TComLink records
// (com_link.h) before raising its own events. With SyncMethod smThreadSync (the default) every
// step runs on the thread that owns the component (the user-interface thread): the event thread
// posts the batch to it and waits until the steps have run. Everything else (settings, OpenPort,
// ClosePort, SendBytes, ReceiveBytes, ...) is called on that thread too.
//
// Linux: port names and device paths in ComPortDevicePath; the event wait is poll on the device
// and an eventfd; modem lines and line errors are polled only where the driver has them (never
// on a pseudo-terminal, where an idle open port makes no wake-ups at all); a device that goes
// away (adapter pulled, pty master closed) ends the event thread quietly, EndedOnHangUp becomes
// true and OnHangUp is raised once; the port stays open until ClosePort.
#include <QObject>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/com_error.h"
#include "serial/com_link.h"
#include "serial/com_platform.h"
#include "serial/com_settings.h"
#include "serial/com_types.h"

namespace r7730 {

class TComThread;
class TComHandOver;

class TCustomComPort : public QObject {
public:
    // platform: the device layer to open ports through; the operating system's when null.
    explicit TCustomComPort(QObject* owner = nullptr, IComPlatform* platform = nullptr);
    ~TCustomComPort() override;
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // --- settings (a change is applied at once only while open) -------------
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    int CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(int value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool value);
    char EventChar() const { return eventChar_; }
    void SetEventChar(char value);
    TComEvents Events() const { return events_; }
    void SetEvents(TComEvents value) { events_ = value; } // takes effect at the next open
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod value); // raises row 14 when changed while open
    bool RxCharTrigger() const { return rxCharTrigger_; }
    void SetRxCharTrigger(bool value) { rxCharTrigger_ = value; }
    QThread::Priority EventThreadPriority() const { return eventThreadPriority_; }
    void SetEventThreadPriority(QThread::Priority value) { eventThreadPriority_ = value; }

    TComParity& Parity() { return parity_; }
    const TComParity& Parity() const { return parity_; }
    void SetParity(const TComParity& value) { parity_ = value; }
    TComFlowControl& FlowControl() { return flowControl_; }
    const TComFlowControl& FlowControl() const { return flowControl_; }
    void SetFlowControl(const TComFlowControl& value) { flowControl_ = value; }
    TComTimeouts& Timeouts() { return timeouts_; }
    const TComTimeouts& Timeouts() const { return timeouts_; }
    void SetTimeouts(const TComTimeouts& value) { timeouts_ = value; }
    TComBuffer& Buffer() { return buffer_; }
    const TComBuffer& Buffer() const { return buffer_; }
    void SetBuffer(const TComBuffer& value) { buffer_ = value; }

    // The device layer; may be changed only while closed (row 14 otherwise).
    IComPlatform& Platform() const { return *platform_; }
    void SetPlatform(IComPlatform& platform);

    bool Connected() const { return connected_; }
    void SetConnected(bool value); // true opens, false closes, when different

    void BeginSettingsUpdate() { ++updateDepth_; }
    void EndSettingsUpdate();

    // --- operations -----------------------------------------------------------------------
    void OpenPort();
    void ClosePort();
    // Writes count bytes and waits for completion, at most WriteTotalMultiplier * count +
    // WriteTotalConstant ms; a write that runs out of time returns fewer bytes, without error.
    int SendBytes(const void* bytes, int count);
    // Reads at most count bytes; with the default timeouts only what is queued, at once.
    int ReceiveBytes(void* buffer, int count);
    int InputQueueCount();        // also clears the line error flags, as on Windows
    ModemLineSet ModemSignals();  // empty where the driver has no modem lines (a pty)
    TComErrors TakeLineErrors();  // empty where the driver counts no line errors (a pty)

    void AttachLink(TComLink* link);
    void DetachLink(TComLink* link);

    // --- Linux additions --------------------------------------------------------------------
    // The event thread ended because the device hung up (adapter pulled, pty master closed).
    // Cleared by the next OpenPort.
    bool EndedOnHangUp() const { return endedOnHangUp_.load(); }
    // The event thread exists and has not ended (hang-up, failed wait or an escaped exception).
    bool EventThreadRunning() const;
    // The exception that ended the event thread (from an event step), or null.
    std::exception_ptr EventThreadError() const;
    // The event thread's kernel thread id while it runs (for CPU accounting), or 0.
    long EventThreadId() const;

    // --- events -------------------------------------------------------------------------------
    std::function<void(TCustomComPort& sender, int count)> OnRxChar;
    std::function<void(TCustomComPort& sender, const void* buffer, int count)> OnRxBuf;
    std::function<void(TCustomComPort& sender)> OnTxEmpty;
    std::function<void(TCustomComPort& sender)> OnBreak;
    std::function<void(TCustomComPort& sender)> OnRing;
    std::function<void(TCustomComPort& sender, bool onOff)> OnCTSChange;
    std::function<void(TCustomComPort& sender, bool onOff)> OnDSRChange;
    std::function<void(TCustomComPort& sender, bool onOff)> OnRLSDChange;
    std::function<void(TCustomComPort& sender, TComErrors errors)> OnError;
    std::function<void(TCustomComPort& sender)> OnRxFlag;
    std::function<void(TCustomComPort& sender)> OnAfterOpen;
    std::function<void(TCustomComPort& sender)> OnAfterClose;
    std::function<void(TCustomComPort& sender)> OnBeforeOpen;
    std::function<void(TCustomComPort& sender)> OnBeforeClose;
    std::function<void(TCustomComPort& sender)> OnRx80Full;
    // Linux: the event thread ended because the device hung up. Raised once, dispatched like
    // the other events (on this object's thread under smThreadSync and smWindowSync, on the
    // event thread under smNone); the port stays open until ClosePort, which may be called here
    // except under smNone (a thread cannot wait for its own end: close from another thread).
    std::function<void(TCustomComPort& sender)> OnHangUp;
    // Under smWindowSync an exception that escapes an event step goes to the application's
    // standard error report: this slot. Unbound, the text is written with qWarning.
    std::function<void(TCustomComPort& sender, std::exception_ptr error)> OnSyncError;

protected:
    // Overridable operations, in slot order.
    virtual void CreatePortHandle();
    virtual void DestroyPortHandle();
    virtual void ApplyAllSettings();
    virtual void DoAfterClose();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoBeforeOpen();
    virtual void DoRxChar(int count);
    virtual void DoRxBuf(const void* buffer, int count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoRxFlag();
    virtual void DoCTSChange(bool onOff);
    virtual void DoDSRChange(bool onOff);
    virtual void DoError(TComErrors errors);
    virtual void DoRLSDChange(bool onOff);
    virtual void DoRx80Full();
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyBufferSettings();
    virtual void DoHangUp();

private:
    friend class TComParity;
    friend class TComFlowControl;
    friend class TComTimeouts;
    friend class TComBuffer;
    friend class TComThread;

    bool CanApply() const { return connected_ && updateDepth_ == 0 && device_ != nullptr; }
    void CreateEventThread();
    void StopEventThread();
    void PostHandOver(const std::shared_ptr<TComHandOver>& handOver);
    void ServeHandOver(const std::shared_ptr<TComHandOver>& handOver);
    void RunEventSteps(TComEvents events, bool reportEachStep);
    void RunEventStep(TComEvent event);
    void ReportStepError(std::exception_ptr error);
    void StepError();
    void StepRxChar();
    void StepTxEmpty();
    void StepRing();
    void StepModemLine(TModemLine line);
    void StepRxFlag();
    void AnnounceLinesOff();
    void NotifyLinks(const std::function<void(TComLink&)>& call);
    void RecomputeRxBufferFlag();
    void TakeLineErrorBaseline();
    std::uint32_t SampleLineErrorWord(int row);
    void Shutdown() noexcept;

    // Fields, in declaration order.
    std::unique_ptr<TComThread> thread_;
    bool threadCreated_ = false;
    std::unique_ptr<IComDevice> device_; // the handle; null when closed
    int updateDepth_ = 0;
    std::vector<TComLink*> links_;
    bool rxCharTrigger_ = true;
    QThread::Priority eventThreadPriority_ = QThread::NormalPriority;
    bool hasRxBufferLink_ = false;
    bool connected_ = false;
    bool closing_ = false; // a ClosePort is under way: a nested one (from a handler it runs) does nothing
    TBaudRate baudRate_ = br9600;
    int customBaudRate_ = 9600;
    std::string port_ = "COM1";
    TStopBits stopBits_ = sbOneStopBit;
    TDataBits dataBits_ = dbEight;
    bool discardNull_ = false;
    char eventChar_ = 0;
    TComEvents events_ = kAllComEvents;
    TComBuffer buffer_{this};
    TComParity parity_{this};
    TComTimeouts timeouts_{this};
    TComFlowControl flowControl_{this};
    TSyncMethod syncMethod_ = smThreadSync;

    // Linux state.
    IComPlatform* platform_;
    TTimeoutSettings appliedTimeouts_;
    std::uint64_t openGeneration_ = 0;                       // counts opens: a transfer notices a close+reopen
    std::vector<std::shared_ptr<TComHandOver>> servingHandOvers_; // hand-overs whose steps run now
    std::atomic<bool> endedOnHangUp_{false};
    // Bytes taken out of the input queue by ReceiveBytes since the port opened; the event
    // thread uses it to tell bytes already announced from bytes that arrived later.
    std::atomic<long long> bytesReceived_{0};
    bool lineCountersSupported_ = false;  // the driver counts line errors (TakeLineErrors' snapshot)
    TLineCounters lineCounters_;          // counters at the last TakeLineErrors / InputQueueCount
};

// Adds no behaviour: the settings a window's design stores.
class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};

} // namespace r7730
