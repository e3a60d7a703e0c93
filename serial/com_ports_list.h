#pragma once
// ListComPorts: the serial ports present, for the setup dialog's port list.
//
// Linux: walks /sys/class/tty and keeps each entry that has a `device` link and does not live
// under /sys/devices/virtual (that drops consoles, virtual terminals and pseudo-terminals);
// ttyS entries whose `type` reads 0 (a placeholder without a UART) are dropped too. Each port is
// given as its device path ("/dev/ttyUSB0"), which Port accepts as it is; the list is sorted
// with a case-insensitive text order. A folder that cannot be read raises EComPort row 23
// "Registry error" with the error number appended.
// What each port is and whether this user may open it: com_port_description.h.
#include <string>
#include <vector>

namespace r7730 {

void ListComPorts(std::vector<std::string>& names);

// The same walk over another sysfs tty folder, with another device folder in the names (tests).
void ListComPorts(std::vector<std::string>& names, const std::string& sysClassTty, const std::string& devFolder);

} // namespace r7730
