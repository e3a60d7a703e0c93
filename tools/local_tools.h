#pragma once
// The launches of the local tools, and the one input they check. The window reads its boxes
// and hands the texts in as they stand; the launcher (launcher.h) starts the result.
#include <string>

#include "tools/launcher.h"

namespace r7730 {

// The HTTP server's port box holds a whole number from 1 to 65535 (digits only, so an empty
// text, a sign or a blank is refused).
bool IsHttpServerPort(const std::string& portText);

// python3's HTTP server on that port, serving the home folder, in a terminal window that stays
// open after the server ends so its last message stays readable.
TLaunchRequest HttpServerLaunch(const std::string& portText, const std::string& homeFolder);

// "http://" + address + ":" + port text, the port text as it stands (empty included).
std::string HttpServerUrl(const std::string& address, const std::string& portText);

// The desktop's default browser on url.
TLaunchRequest BrowserLaunch(const std::string& url);

// A continuous ping of address (the default of ping on this system) in a terminal window.
TLaunchRequest PingLaunch(const std::string& address);

// ./Simulator from the program's working folder; it opens a window of its own.
TLaunchRequest SimulatorLaunch();

} // namespace r7730
