#pragma once
// The clock that stamps log lines and names the daily log file. The window is handed one,
// so tests can fix the time.
namespace r7730 {

struct TLocalTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual TLocalTime Now() const = 0;
};

// Local time of this machine.
class TSystemClock : public IClock {
public:
    TLocalTime Now() const override;
};

} // namespace r7730
