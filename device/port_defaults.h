#pragma once
// The serial line the program starts with, in the one place that names it: the port "COM1" at
// 115200 baud, 8 data bits, 1 stop bit, no parity, DTR on and RTS off, every line event watched.
// The settings file stores the first five as these texts, and the four line settings are always
// written back as them, so every start begins on this line.
#include <string>

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

// The program's settings file, relative to the working folder; its [EnvBoard] keys ComPort,
// BaudRate, DataBits, StopBits and Parity hold the port and its line as the texts above.
inline constexpr const char* kProgramSettingsFile = "./cfg/SETUP.INI";

// Puts a port on the port and line the settings file names, each key defaulting to the line
// above. Returns false when the file names no port (no file, or no ComPort key); the port then
// keeps the default name.
bool LoadPortSettings(TComPort& port, const std::string& settingsFile = kProgramSettingsFile);

} // namespace r7730
