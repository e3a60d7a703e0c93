#pragma once
// The serial line the program starts with, in the one place that names it: the port "COM1" at
// 115200 baud, 8 data bits, 1 stop bit, no parity, DTR on and RTS off, every line event watched.
// The settings file stores the first five as these texts, and the four line settings are always
// written back as them, so every start begins on this line.
#include "serial/com_port.h"

namespace r7730 {

struct TPortSettingTexts {
    const char* port;
    const char* baudRate;
    const char* dataBits;
    const char* stopBits;
    const char* parity;
};

inline constexpr TPortSettingTexts kDefaultPortTexts{"COM1", "115200", "8", "1", "None"};

// Puts a port on the default line.
void ApplyPortDefaults(TComPort& port);

} // namespace r7730
