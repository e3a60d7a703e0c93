#pragma once
// The simulator's event loop: the pseudo-terminal, the device model and the trial options.
//
// Principles of operation: one thread and one poll() over the stop pipe (written by the signal
// handler), the master side of the pseudo-terminal and, while the program has the port closed,
// the inotify watch that reports its next open. Timers are deadlines folded into poll's timeout:
// scheduled writes (reply delay, chunk pauses), the end of a "reboot", the longest hold of merged
// replies, the next flood reply, an unfinished frame that stopped arriving, the re-plug after a
// hang-up, a unit taken away from the bench or the next one plugged in. With nothing to do, poll sleeps without a timeout, so an idle simulator uses no CPU;
// while the port is closed it sleeps on the watch, with a 250 ms timeout as a safety net.
// Bytes read go through the CommandReader; each frame goes to the device model of the unit on the
// bench; its replies are shaped (garbage, merge, chunks, delay) and queued as timed writes on the
// non-blocking master. While the unit reboots, or no unit answers, bytes read are dropped.
#include "bench.h"
#include "frame_log.h"
#include "options.h"

#include <memory>

namespace sim {

class Session {
public:
    // stopFd: read end of the pipe that the signal handler writes to.
    Session(const Options& options, Bench& bench, FrameLog& log, int stopFd);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs until the stop pipe becomes readable. Throws std::runtime_error when the
    // pseudo-terminal or the link cannot be made.
    void run();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace sim
