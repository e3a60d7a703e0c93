#pragma once
// Starting helper programs (HTTP server, browser, ping, simulator) and leaving them to run.
//
// Principles of operation. A launch names a program, its argument list and a working folder;
// the arguments reach the program one by one, never through a shell. A program named with a
// slash ("./Simulator") is taken relative to the working folder; any other name is looked up on
// PATH. A launch may ask for a terminal window of its own (xterm, looked up on PATH), and for
// that window to stay open after the program ends, so its last lines stay readable; without a
// display the program runs detached, without a window. Everything is looked up before anything
// starts, so a launch that cannot start says why. Nothing started is watched, waited for or
// ended. The window is handed an ILauncher, so tests record launches instead of starting
// anything.
#include <optional>
#include <string>
#include <vector>

namespace r7730 {

// Where the started program shows itself.
enum class TLaunchWindow {
    None,             // no window of its own (it may open one itself)
    Terminal,         // a terminal window that closes when the program ends
    TerminalKeptOpen, // a terminal window that stays open after the program ends
};

struct TLaunchRequest {
    std::string program;
    std::vector<std::string> arguments;
    std::string workingFolder; // empty: the program's current folder
    TLaunchWindow window = TLaunchWindow::None;

    bool operator==(const TLaunchRequest&) const = default;
};

struct TLaunchResult {
    bool started = false;
    std::string reason; // when nothing started: why, as a line for the log

    static TLaunchResult Started() { return {true, {}}; }
    static TLaunchResult Failed(std::string reason) { return {false, std::move(reason)}; }
};

class ILauncher {
public:
    virtual ~ILauncher() = default;
    // Starts the program detached and returns at once.
    virtual TLaunchResult Launch(const TLaunchRequest& request) = 0;
};

// What a launch depends on around it.
struct TLaunchEnvironment {
    bool hasDisplay = false; // an X display for a terminal window
    std::string path;        // the PATH list, folders separated by ':'

    // DISPLAY and PATH of this process.
    static TLaunchEnvironment OfThisProcess();
};

// The command a request comes to: the program with its full path, the arguments, the folder;
// or, when something is missing, the reason and nothing else.
struct TLaunchCommand {
    std::string program;
    std::vector<std::string> arguments;
    std::string workingFolder;
    std::string failure; // not empty: nothing can be started

    bool operator==(const TLaunchCommand&) const = default;
};
TLaunchCommand PlanLaunch(const TLaunchRequest& request, const TLaunchEnvironment& environment);

// The file of an executable program called name in one of the folders of path ("" when none;
// an empty entry of the list stands for the current folder).
std::string FindOnPath(const std::string& name, const std::string& path);

// Starts processes for real, detached from this one.
class TProcessLauncher : public ILauncher {
public:
    // Reads DISPLAY and PATH at each launch.
    TProcessLauncher() = default;
    explicit TProcessLauncher(TLaunchEnvironment environment) : environment_(std::move(environment)) {}
    TLaunchResult Launch(const TLaunchRequest& request) override;

private:
    std::optional<TLaunchEnvironment> environment_;
};

} // namespace r7730
