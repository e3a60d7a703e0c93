#include "tools/local_tools.h"

namespace r7730 {

bool IsHttpServerPort(const std::string& portText)
{
    if (portText.empty())
        return false;
    long value = 0;
    for (char c : portText) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > 65535)
            return false;
    }
    return value >= 1;
}

TLaunchRequest HttpServerLaunch(const std::string& portText, const std::string& homeFolder)
{
    return {"python3", {"-m", "http.server", portText}, homeFolder, TLaunchWindow::TerminalKeptOpen};
}

std::string HttpServerUrl(const std::string& address, const std::string& portText)
{
    return "http://" + address + ":" + portText;
}

TLaunchRequest BrowserLaunch(const std::string& url)
{
    return {"xdg-open", {url}, "", TLaunchWindow::None};
}

TLaunchRequest PingLaunch(const std::string& address)
{
    return {"ping", {address}, "", TLaunchWindow::Terminal};
}

TLaunchRequest SimulatorLaunch()
{
    return {"./Simulator", {}, "", TLaunchWindow::None};
}

} // namespace r7730
