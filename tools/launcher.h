#pragma once
// Starting helper programs (HTTP server, browser, ping, simulator). The window is handed an
// ILauncher, so tests can see a launch instead of starting anything.
#include <string>
#include <vector>

namespace r7730 {

struct TLaunchRequest {
    std::string program;
    std::vector<std::string> arguments;
    std::string workingFolder; // empty: the program's current folder
};

class ILauncher {
public:
    virtual ~ILauncher() = default;
    // Starts the program detached; returns false when it could not be started.
    virtual bool Launch(const TLaunchRequest& request) = 0;
};

// Starts processes for real, detached from this one.
class TProcessLauncher : public ILauncher {
public:
    bool Launch(const TLaunchRequest& request) override;
};

} // namespace r7730
