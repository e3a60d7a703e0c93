#pragma once
// Runs the real Simulator binary for a test and talks to it over its pseudo-terminal, the way
// the setup program does: through the link it makes, in raw mode, with literal frames.
#include "support/device_frames.h"

#include <QTemporaryDir>
#include <string>
#include <sys/types.h>
#include <vector>

namespace r7730::testing {

class SimulatorProcess {
public:
    // Starts Simulator with a link, a frame log and a short reboot in a temporary folder, plus
    // the given extra arguments, and waits for its link to appear.
    explicit SimulatorProcess(std::vector<std::string> extraArguments = {}, QString folder = {});
    ~SimulatorProcess();
    // Starts Simulator without --link in workingFolder, as the window's button does, and waits
    // for the link it names on its output (its logs stay in a temporary folder of their own).
    struct TOwnLink {
        QString workingFolder;
    };
    explicit SimulatorProcess(TOwnLink start, std::vector<std::string> extraArguments = {});

    // Opens the serial end through the link (raw, non-blocking); false if it cannot.
    bool openPort();
    void closePort();
    void send(const Bytes& bytes);
    // Reads until count bytes arrived or 3 s passed; returns what arrived.
    Bytes receive(std::size_t count);
    // Reads until the port reports a hang-up (read of 0 or EIO) or 3 s passed.
    bool waitForHangUp();

    // Waits up to 3 s for a text in the frame log or on standard output.
    bool logContains(const std::string& text);
    bool outputContains(const std::string& text);
    std::string log() const;
    std::string output() const;

    std::string linkPath() const;
    std::string linkTarget() const;
    QString folder() const { return folder_; }
    // SIGTERM, then waits for the process; returns its exit status.
    int stop();

private:
    QTemporaryDir temporary_;
    QString folder_;
    std::string linkPath_;
    pid_t pid_ = -1;
    int port_ = -1;
};

// Runs Simulator to completion with these arguments (for option errors); returns the exit code
// and fills output with its standard error and output.
int runSimulatorOnce(const std::vector<std::string>& arguments, std::string& output);

} // namespace r7730::testing
