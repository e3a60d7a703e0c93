#pragma once
// An in-memory serial platform for tests: what a pseudo-terminal cannot show.
//
// A TFakeComPlatform holds devices by path. Each TFakeSerialLine is the far end of the cable and
// the driver together: the test puts bytes on the line, reads what the port sent, sets the modem
// lines, counts line errors, hangs the device up, and makes chosen calls fail with an error
// number. Change() makes several changes at once (for example a framing error together with the
// bytes it spoiled), so the event thread sees them in one wake-up. Every change wakes a waiting
// Wait, so events arrive without the 50 ms line polling delay; the modem lines and counters are
// reported as supported unless the test says otherwise.
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/com_platform.h"

namespace r7730 {

struct TFakeLineState {
    // The line and the driver.
    std::deque<unsigned char> input;   // received, not yet read by the port
    std::vector<unsigned char> output; // written by the port
    int outputQueue = 0;               // bytes the driver still holds (TIOCOUTQ)
    int writeRoom = -1;                // bytes a write may still place; -1 unlimited
    ModemLineSet modemLines;
    bool modemSupported = true;
    TLineCounters counters;
    bool countersSupported = true;
    bool hungUp = false;
    std::map<std::string, int> failures; // call name -> error number, until erased

    // What the port did.
    bool open = false;
    int openCount = 0;
    int waitCount = 0; // Wait calls begun (the event thread is waiting once this grows)
    std::vector<std::string> calls; // names of the calls in order
    std::vector<TLineSettings> lineSettings;
    std::vector<TTimeoutSettings> timeouts;
    std::vector<std::pair<int, int>> queueSizes;
};

class TFakeSerialLine {
public:
    // Test side.
    void Receive(const std::string& bytes);
    void Change(const std::function<void(TFakeLineState&)>& change);
    void HangUp();
    void FailCall(const std::string& call, int error);
    std::vector<unsigned char> TakeOutput();
    TFakeLineState State() const;

private:
    friend class TFakeComDevice;
    friend class TFakeWakeSignal;
    friend class TFakeComPlatform;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    unsigned long changes_ = 0;
    TFakeLineState state_;
};

class TFakeComPlatform : public IComPlatform {
public:
    // A device the port can open at path (use an absolute path, taken as it is).
    std::shared_ptr<TFakeSerialLine> AddDevice(const std::string& path);
    TSysResult Open(const std::string& path, std::unique_ptr<IComDevice>& device) override;

private:
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<TFakeSerialLine>> devices_;
};

} // namespace r7730
