#pragma once
// The serial platform layer: the few calls that touch a serial device.
//
// Principles of operation. The port component (com_port.h) and its event thread (com_thread.h)
// never call the operating system themselves: they open a device through an IComPlatform and
// work on the IComDevice it returns. Every call reports success or the platform's error number
// with the name of the call that failed (TSysResult); the component turns that number into an
// EComPort in one place (RaiseSystemError). Nothing here ever blocks except Wait, which waits on
// the device and, optionally, a wake signal together, with an optional time limit.
//
// Implementations: com_platform_linux.cpp (the real one: open, flock, termios, ioctl, poll, read,
// write, eventfd) and com_platform_fake.h (an in-memory device for what a pseudo-terminal cannot
// show: modem lines, line errors, hang-up at a chosen moment, failing calls).
#include <cstdint>
#include <memory>
#include <string>

#include "serial/com_error.h"
#include "serial/com_types.h"

namespace r7730 {

// The line settings block (the platform's DCB), built from scratch by ApplyLineSettings.
struct TLineSettings {
    int baudRate = 9600; // bit/s
    int byteSize = 8;    // 5..8
    TParityBits parity = prNone;
    TStopBits stopBits = sbOneStopBit;
    int xonLim = 0;
    int xoffLim = 0;
    char eventChar = 0;
    char xonChar = 17;
    char xoffChar = 19;
    char errorChar = 0;
    // Flags.
    bool binary = true;
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    TDTRFlowControl dtrControl = dtrDisable;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    bool outX = false;
    bool inX = false;
    bool errorCharReplace = false;
    bool discardNull = false;
    TRTSFlowControl rtsControl = rtsDisable;

    bool operator==(const TLineSettings&) const = default;
};

// The five timeouts in milliseconds; -1 stands for the maximum value (all bits set).
struct TTimeoutSettings {
    int readInterval = -1;
    int readTotalMultiplier = 0;
    int readTotalConstant = 0;
    int writeTotalMultiplier = 100;
    int writeTotalConstant = 1000;

    bool operator==(const TTimeoutSettings&) const = default;
};

// Line error and modem line change counters of the driver (Linux: struct serial_icounter_struct).
struct TLineCounters {
    std::uint32_t frame = 0;
    std::uint32_t parity = 0;
    std::uint32_t overrun = 0;
    std::uint32_t bufOverrun = 0;
    std::uint32_t brk = 0;
    std::uint32_t cts = 0;
    std::uint32_t dsr = 0;
    std::uint32_t rng = 0;
    std::uint32_t dcd = 0;
};

struct TWaitResult {
    bool readable = false; // bytes are waiting (asked with forRead)
    bool writable = false; // the transmit buffer has room (asked with forWrite)
    bool hangUp = false;   // the device went away: every later read ends at once with nothing
    bool woken = false;    // the wake signal is raised
};

// A signal another thread raises to end a Wait early (Linux: an eventfd). Raise is thread-safe;
// the signal stays raised until Clear.
class IComWakeSignal {
public:
    virtual ~IComWakeSignal() = default;
    virtual void Raise() = 0;
    virtual void Clear() = 0;
};

// One open device. Destroying it closes the device. Calls may come from the user-interface
// thread and the event thread at the same time.
class IComDevice {
public:
    virtual ~IComDevice() = default;

    // Driver queue sizes (SetupComm).
    virtual TSysResult SetQueueSizes(int inputSize, int outputSize) = 0;
    // Line settings (SetCommState), including the DTR and RTS lines they ask for.
    virtual TSysResult SetLine(const TLineSettings& line) = 0;
    // Timeouts (SetCommTimeouts). The component times its own waits; the device may keep them.
    virtual TSysResult SetTimeouts(const TTimeoutSettings& timeouts) = 0;

    // Reads what is queued, at most count bytes; never waits. endOfFile: the device hung up.
    virtual TSysResult Read(void* buffer, int count, int& done, bool& endOfFile) = 0;
    // Writes what fits into the transmit buffer now, at most count bytes; never waits.
    virtual TSysResult Write(const void* bytes, int count, int& done) = 0;

    virtual TSysResult InputQueue(int& count) = 0;
    virtual TSysResult OutputQueue(int& count) = 0;
    // supported false (and success) when the driver has no such counters or lines.
    virtual TSysResult LineCounters(TLineCounters& counters, bool& supported) = 0;
    virtual TSysResult ModemLines(ModemLineSet& lines, bool& supported) = 0;

    // Ends transfers in progress (PurgeComm with the abort flags).
    virtual TSysResult AbortTransfers() = 0;
    // Discards both queues (PurgeComm with the clear flags); the result is not tested.
    virtual void DiscardQueues() = 0;

    virtual TSysResult CreateWakeSignal(std::unique_ptr<IComWakeSignal>& signal) = 0;
    // Waits until one of the asked conditions holds, the device hangs up or the signal (may be
    // null) is raised; timeoutMs -1 waits without limit. A time-out returns success with nothing set.
    virtual TSysResult Wait(IComWakeSignal* signal, bool forRead, bool forWrite, int timeoutMs,
                            TWaitResult& result) = 0;
};

class IComPlatform {
public:
    virtual ~IComPlatform() = default;
    // Opens the device at path exclusively, for reading and writing, without waiting.
    virtual TSysResult Open(const std::string& path, std::unique_ptr<IComDevice>& device) = 0;
};

// The operating system's serial ports (Linux).
IComPlatform& SystemComPlatform();

// The device path of a port name: an absolute path as it is; a relative path with a slash to a
// file that exists, or one that starts with "./" or "../", that file (against the working
// folder); "COMn" (n from 1, any letter case)
// is /dev/ttyS(n-1); any other name is /dev/<name>; an empty name stays empty (opens nothing).
std::string ComPortDevicePath(const std::string& portName);

} // namespace r7730
