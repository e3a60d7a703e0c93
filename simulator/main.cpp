// Simulator: a simulated R7730LX device on a pseudo-terminal, for trials, demos and tests.
// main() only wires the parts: options, terminal window, state, frame log, signals, session.
#include "bench.h"
#include "device_state.h"
#include "frame_log.h"
#include "options.h"
#include "session.h"
#include "terminal_window.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace {

int stopPipe[2] = {-1, -1};

void requestStop(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(stopPipe[1], &byte, 1);
}

void installStopSignals()
{
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("pipe2 failed");
    struct sigaction action{};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// In a terminal window of its own, keep an error readable until the person presses Enter.
int failed(const std::string& message)
{
    std::cerr << "Simulator: " << message << std::endl;
    if (sim::runningInOwnTerminal()) {
        std::cerr << "Press Enter to close this window." << std::endl;
        std::cin.get();
    }
    return 1;
}

int runSimulator(const sim::Options& options)
{
    sim::DeviceState state;
    if (!options.stateFile.empty()) {
        if (auto loaded = sim::loadStateFile(options.stateFile))
            state = *loaded;
        else
            sim::saveStateFile(options.stateFile, state); // a new file shows where the state lives
    }
    if (options.modelCode)
        state.modelCode = *options.modelCode;
    sim::FrameLog log(options.quiet ? std::string() : options.logPath, !options.quiet);
    sim::Bench bench(options, state, log);
    installStopSignals();
    sim::Session session(options, bench, log, stopPipe[0]);
    session.run();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const sim::ParsedOptions parsed = sim::parseOptions(arguments);
    if (!parsed.error.empty()) {
        std::cerr << "Simulator: " << parsed.error << "\n(Simulator --help lists the options)" << std::endl;
        return 2;
    }
    if (parsed.options.help) {
        std::cout << sim::usageText();
        return 0;
    }
    sim::relaunchInTerminalIfUnseen(arguments, parsed.options.noTerminal);
    try {
        return runSimulator(parsed.options);
    } catch (const std::exception& error) {
        return failed(error.what());
    }
}
