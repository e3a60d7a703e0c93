#pragma once
// The simulator's own output: the frame log and its notes.
//
// Principles of operation: one line per event, stamped with the local time to the millisecond:
// "RX" for a command frame received, "TX" for a reply frame produced, "write" for each write to
// the port (after delay, merging and chunking) and "note" for everything a person should know
// (rejected frames, state changes, port opened or closed). Frames and writes go to the log
// (standard output or a file, or nowhere with --quiet); notes go to standard output and to the
// log file. Every line is flushed at once, so a test or a person sees it without delay.
#include "frame_codec.h"

#include <cstdio>
#include <string>

namespace sim {

class FrameLog {
public:
    // path "-": standard output; empty: no frame log. Notes go to standard output (and the log)
    // unless `notes` is false. Throws std::runtime_error if the file cannot be opened.
    explicit FrameLog(const std::string& path, bool notes = true);
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    void received(const Bytes& frame);
    void sent(const Bytes& frame);
    void wrote(const Bytes& bytes);
    void note(const std::string& text);

private:
    void line(std::FILE* to, const std::string& text);
    std::FILE* log_ = nullptr;
    bool ownsLog_ = false;
    bool notes_ = true;
};

} // namespace sim
