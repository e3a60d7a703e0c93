#pragma once
// Keeping the simulator visible when it is started without a terminal.
//
// Principles of operation: the setup program's "TCP Simulator" button starts ./Simulator
// detached, with no terminal to show its output. When it has no controlling terminal, or its
// standard input or output is not a terminal, a display is available and --no-terminal was not
// given, the simulator replaces
// itself (exec) with "xterm -e Simulator <same arguments>"; an environment variable marks the
// second start so it never loops. If xterm cannot be started, the simulator just goes on where it is.
#include <string>
#include <vector>

namespace sim {

// Returns only when no re-launch happened (not wanted, or xterm failed: then a note on stderr).
void relaunchInTerminalIfUnseen(const std::vector<std::string>& arguments, bool noTerminal);

// True inside the terminal window that relaunchInTerminalIfUnseen opened.
bool runningInOwnTerminal();

} // namespace sim
