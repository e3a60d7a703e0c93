#pragma once
// ListComPorts: the serial ports present, for the setup dialog's port list.
//
// Linux: walks /sys/class/tty and keeps each entry that has a `device` link and does not live
// under /sys/devices/virtual (that drops consoles, virtual terminals and pseudo-terminals);
// ttyS entries whose `type` reads 0 (a placeholder without a UART) are dropped too. Each port is
// given as its device path ("/dev/ttyUSB0"), which Port accepts as it is. Beside them come the
// simulated devices of the working folder: the links in ./dev that lead to a pseudo-terminal
// (the simulator makes ./dev/R7730LX-sim), given as "./dev/R7730LX-sim", which Port takes
// relative to the working folder. The list is sorted with a case-insensitive text order. A sysfs
// folder that cannot be read raises EComPort row 23 "Registry error" with the error number
// appended; a missing ./dev only means no simulated device.
// What each port is and whether this user may open it: com_port_description.h.
#include <string>
#include <vector>

namespace r7730 {

// Where simulated devices are looked for, against the working folder (the simulator's default).
inline constexpr const char* kSimulatedDevicesFolder = "./dev";

void ListComPorts(std::vector<std::string>& names);

// The same walk over another sysfs tty folder, with another device folder in the names, and
// the simulated devices of simulatedFolder ("" for none) (tests).
void ListComPorts(std::vector<std::string>& names, const std::string& sysClassTty, const std::string& devFolder,
                  const std::string& simulatedFolder = {});

// True when path is a link that leads to a pseudo-terminal: the serial end of a simulated device.
bool LeadsToPseudoTerminal(const std::string& path);

} // namespace r7730
