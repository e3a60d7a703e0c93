#pragma once
// Helpers of the serial tests: a recorder of every port notification, event pumping, and
// per-thread CPU and wake-up figures from /proc. The device side of a pseudo-terminal is
// TPseudoTerminal (support/pseudo_terminal.h).
#include <QCoreApplication>
#include <QTest>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "serial/com_port.h"

namespace r7730::testing {

// Runs the event loop until done() holds or timeoutMs passed.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000)
{
    return QTest::qWaitFor(done, timeoutMs);
}

// Runs the event loop for about ms.
inline void Pump(int ms)
{
    QTest::qWait(ms);
}

// Records every notification of a port and of one link attached to it, in order.
class TRecorder {
public:
    explicit TRecorder(TCustomComPort& port, bool bindRxBuf = false) : port_(port)
    {
        port.OnBeforeOpen = [this](TCustomComPort&) { Add("OnBeforeOpen"); };
        port.OnAfterOpen = [this](TCustomComPort&) { Add("OnAfterOpen"); };
        port.OnBeforeClose = [this](TCustomComPort&) { Add("OnBeforeClose"); };
        port.OnAfterClose = [this](TCustomComPort&) { Add("OnAfterClose"); };
        port.OnCTSChange = [this](TCustomComPort&, bool on) { Add(std::string("OnCTSChange(") + (on ? "on" : "off") + ")"); };
        port.OnDSRChange = [this](TCustomComPort&, bool on) { Add(std::string("OnDSRChange(") + (on ? "on" : "off") + ")"); };
        port.OnRLSDChange = [this](TCustomComPort&, bool on) { Add(std::string("OnRLSDChange(") + (on ? "on" : "off") + ")"); };
        port.OnRxChar = [this](TCustomComPort&, int count) { Add("OnRxChar(" + std::to_string(count) + ")"); };
        port.OnRxBuf = [this](TCustomComPort&, const void* buffer, int count) {
            rxBufBytes.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
            Add("OnRxBuf(" + std::to_string(count) + ")");
        };
        port.OnTxEmpty = [this](TCustomComPort&) { Add("OnTxEmpty"); };
        port.OnBreak = [this](TCustomComPort&) { Add("OnBreak"); };
        port.OnRing = [this](TCustomComPort&) { Add("OnRing"); };
        port.OnRxFlag = [this](TCustomComPort&) { Add("OnRxFlag"); };
        port.OnRx80Full = [this](TCustomComPort&) { Add("OnRx80Full"); };
        port.OnError = [this](TCustomComPort&, TComErrors errors) { Add("OnError(" + std::to_string(errors.ToBits()) + ")"); };
        port.OnHangUp = [this](TCustomComPort&) { Add("OnHangUp"); };

        link.ConnNotify = [this](TCustomComPort&, bool on) { Add(std::string("ConnNotify(") + (on ? "on" : "off") + ")"); };
        link.CTSNotify = [this](TCustomComPort&, bool on) { Add(std::string("CTSNotify(") + (on ? "on" : "off") + ")"); };
        link.DSRNotify = [this](TCustomComPort&, bool on) { Add(std::string("DSRNotify(") + (on ? "on" : "off") + ")"); };
        link.RLSDNotify = [this](TCustomComPort&, bool on) { Add(std::string("RLSDNotify(") + (on ? "on" : "off") + ")"); };
        link.TxNotify = [this](TCustomComPort&, bool on) { Add(std::string("TxNotify(") + (on ? "on" : "off") + ")"); };
        link.RxNotify = [this](TCustomComPort&, bool on) { Add(std::string("RxNotify(") + (on ? "on" : "off") + ")"); };
        link.TxBufNotify = [this](TCustomComPort&, const void*, int count) { Add("TxBufNotify(" + std::to_string(count) + ")"); };
        link.TxEmptyNotify = [this](TCustomComPort&) { Add("TxEmptyNotify"); };
        link.RxFlagNotify = [this](TCustomComPort&) { Add("RxFlagNotify"); };
        link.RingNotify = [this](TCustomComPort&) { Add("RingNotify"); };
        if (bindRxBuf)
            link.RxBufNotify = [this](TCustomComPort&, const void* bytes, int count) {
                linkBytes.append(static_cast<const char*>(bytes), static_cast<std::size_t>(count));
                Add("RxBufNotify(" + std::to_string(count) + ")");
            };
        port.AttachLink(&link);
    }
    // Unbinds everything it bound: the port may outlive it, still open.
    ~TRecorder()
    {
        for (auto* slot : {&port_.OnBeforeOpen, &port_.OnAfterOpen, &port_.OnBeforeClose, &port_.OnAfterClose,
                           &port_.OnTxEmpty, &port_.OnBreak, &port_.OnRing, &port_.OnRxFlag, &port_.OnRx80Full,
                           &port_.OnHangUp})
            *slot = nullptr;
        port_.OnCTSChange = nullptr;
        port_.OnDSRChange = nullptr;
        port_.OnRLSDChange = nullptr;
        port_.OnRxChar = nullptr;
        port_.OnRxBuf = nullptr;
        port_.OnError = nullptr;
        try {
            port_.DetachLink(&link);
        } catch (...) {
        }
    }

    void Add(const std::string& entry) { log.push_back(entry); }
    int Count(const std::string& entry) const
    {
        int n = 0;
        for (const auto& e : log)
            n += e == entry ? 1 : 0;
        return n;
    }
    bool Has(const std::string& prefix) const
    {
        for (const auto& e : log)
            if (e.rfind(prefix, 0) == 0)
                return true;
        return false;
    }

    TComLink link;
    std::vector<std::string> log;
    std::string rxBufBytes;
    std::string linkBytes;

private:
    TCustomComPort& port_;
};

// CPU time (ms) and context switches (each one a wake-up of a sleeping thread) of one thread.
struct TThreadFigures {
    double cpuMs = 0;
    long voluntary = 0;
    long involuntary = 0;
    long Switches() const { return voluntary + involuntary; }
};

inline TThreadFigures ThreadFigures(long tid)
{
    TThreadFigures figures;
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close != std::string::npos) {
        std::istringstream fields(line.substr(close + 2));
        std::vector<std::string> values;
        for (std::string value; fields >> value;)
            values.push_back(value);
        // After the name: state is field 3; utime 14 and stime 15 are at 11 and 12 here.
        if (values.size() > 12)
            figures.cpuMs = (std::stod(values[11]) + std::stod(values[12])) * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
    while (std::getline(status, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
            figures.voluntary = std::stol(line.substr(line.find(':') + 1));
        if (line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
            figures.involuntary = std::stol(line.substr(line.find(':') + 1));
    }
    return figures;
}

// CPU time of the whole process in milliseconds.
inline double ProcessCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

} // namespace r7730::testing
