#include "session.h"

#include "firmware_fetch.h"
#include "pseudo_terminal.h"
#include "reply_shaping.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Milliseconds = std::chrono::milliseconds;

constexpr Milliseconds kClosedPortRecheck{250};
constexpr Milliseconds kUnfinishedFrameTimeout{1000};
constexpr Milliseconds kDroppedRunQuiet{100};
constexpr std::size_t kFloodQueueLimit = 64 * 1024;

// The rates of the device's serial setting, by index, and the pseudo-terminal's speed codes.
constexpr std::pair<unsigned, speed_t> kBaudRates[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
};

struct PendingWrite {
    TimePoint due;
    Bytes bytes;
};

} // namespace

struct Session::Impl {
    const Options& options;
    Bench& bench;
    FrameLog& log;
    int stopFd;

    std::unique_ptr<PseudoTerminal> port;
    std::unique_ptr<PortLink> link;
    bool portOpen = false;                 // the program has the serial end open
    std::optional<TimePoint> replugAt;     // after a hang-up: when the new serial end appears
    CommandReader reader;
    TimePoint lastByteAt{};
    struct DroppedRun {
        ReaderEvent first{};
        int pieces = 0;
        std::size_t bytes = 0;
    } dropped;
    int framesSinceReplug = 0;
    std::optional<TimePoint> rebootUntil;
    // A device with a reply delay restarts once the reply to its save has gone out; until then it
    // still runs with the settings it started with, and answers from them.
    std::optional<TimePoint> restartAt;
    std::optional<DeviceModel> running;
    std::unique_ptr<FirmwareFetch> firmware; // a download under way: the device is silent
    bool unknownIdSent = false;

    std::deque<PendingWrite> writes;
    TimePoint lastScheduled{};
    bool writeBlocked = false;
    std::vector<Bytes> held;               // replies held for a merged write
    TimePoint heldSince{};

    TimePoint floodStart{};
    long long floodDue = 0;      // replies due since the port opened
    long long floodWritten = 0;  // of those, queued for writing (the rest found the queue full)
    long long floodReported = 0;
    TimePoint floodReportAt{};

    Impl(const Options& o, Bench& b, FrameLog& l, int s) : options(o), bench(b), log(l), stopFd(s) {}

    void openPort()
    {
        port = std::make_unique<PseudoTerminal>();
        if (link)
            link->pointAt(port->serialPath());
        else if (!options.linkPath.empty())
            link = std::make_unique<PortLink>(options.linkPath, port->serialPath());
        else
            claimDefaultLink();
        portOpen = false;
        replugAt.reset();
        framesSinceReplug = 0;
        std::printf("serial port: %s\n", port->serialPath().c_str());
        if (link)
            std::printf("link: %s -> %s\n", link->path().c_str(), port->serialPath().c_str());
        std::fflush(stdout);
    }

    void claimDefaultLink()
    {
        link = PortLink::claimFree(kDefaultLinkPath, port->serialPath());
        if (link->path() != kDefaultLinkPath)
            std::printf("%s belongs to another simulator that is running; this one is %s\n", kDefaultLinkPath,
                        link->path().c_str());
    }

    void forgetConnection(const std::string& why = "port closed inside a frame")
    {
        if (auto dropped = reader.discardPartial(why))
            reportDropped(*dropped);
        writes.clear();
        held.clear();
        writeBlocked = false;
    }

    void portClosedByProgram()
    {
        portOpen = false;
        forgetConnection();
        log.note("port closed by the program; waiting for the next open");
    }

    void portOpened(TimePoint now)
    {
        portOpen = true;
        unknownIdSent = false;
        floodStart = floodReportAt = now;
        floodDue = floodWritten = floodReported = 0;
        log.note("port opened by the program");
    }

    void hangUp()
    {
        // Whatever is queued goes out at once, then the serial end vanishes.
        for (PendingWrite& pending : writes)
            if (write(port->masterFd(), pending.bytes.data(), pending.bytes.size()) > 0)
                log.wrote(pending.bytes);
        forgetConnection();
        if (link)
            link->remove(); // the name goes with the port, as a pulled adapter's does
        port.reset();
        portOpen = false;
        replugAt = Clock::now() + Milliseconds(options.replugDelayMs);
        log.note("hung up after " + std::to_string(options.hangupAfterFrames) +
                 " frames: the serial end is gone; a new one opens in " + std::to_string(options.replugDelayMs) +
                 " ms");
    }

    // Why the device says nothing: rebooting, or no unit (or a silent one) on the bench.
    std::string silence() const
    {
        return firmware ? std::string("downloading firmware") : rebootUntil ? std::string("rebooting") : bench.silence();
    }

    // Bytes that made no frame are told once per run, not once per piece: a line full of noise
    // would otherwise write a note for nearly every byte.
    void reportDropped(const ReaderEvent& event)
    {
        if (dropped.pieces == 0)
            dropped.first = event;
        ++dropped.pieces;
        dropped.bytes += event.bytes.size();
    }

    void tellDropped()
    {
        if (dropped.pieces == 1) {
            const ReaderEvent& event = dropped.first;
            if (event.kind == ReaderEvent::Kind::Skipped)
                log.note("skipped " + std::to_string(event.bytes.size()) + " bytes outside a frame: " + hexText(event.bytes));
            else
                log.note("malformed frame ignored (" + event.reason + "): " + hexText(event.bytes));
        } else if (dropped.pieces > 1) {
            const Bytes& first = dropped.first.bytes;
            const Bytes shown(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(first.size(), 16)));
            log.note("skipped " + std::to_string(dropped.bytes) + " bytes in " + std::to_string(dropped.pieces) +
                     " pieces that made no frame (the first: " + dropped.first.reason + "): " + hexText(shown) +
                     (first.size() > shown.size() ? " ..." : ""));
        }
        dropped = {};
    }

    void scheduleBlock(const Bytes& block, TimePoint now)
    {
        TimePoint due = std::max(now + Milliseconds(options.replyDelayMs), lastScheduled);
        bool first = true;
        for (Bytes& chunk : splitIntoChunks(block, options.chunkSizes)) {
            if (!first)
                due += Milliseconds(options.chunkGapMs);
            first = false;
            writes.push_back({due, std::move(chunk)});
        }
        lastScheduled = due;
    }

    void flushHeld(TimePoint now)
    {
        Bytes block;
        for (const Bytes& reply : held)
            block.insert(block.end(), reply.begin(), reply.end());
        held.clear();
        if (!block.empty())
            scheduleBlock(block, now);
    }

    void queueReply(const Bytes& frame, TimePoint now)
    {
        log.sent(frame);
        const Bytes bytes = withGarbageInFront(frame, options.garbage);
        if (options.mergeCount < 2) {
            scheduleBlock(bytes, now);
            return;
        }
        if (held.empty())
            heldSince = now;
        held.push_back(bytes);
        if (static_cast<int>(held.size()) >= options.mergeCount)
            flushHeld(now);
    }

    void handleFrame(const Bytes& frame, TimePoint now)
    {
        log.received(frame);
        DeviceModel* model = bench.unit();
        if (rebootUntil || firmware || !model) {
            log.note(silence() + ": frame ignored");
            return;
        }
        std::optional<DeviceModel> before;
        if (options.replyDelayMs > 0 && !running)
            before = *model;
        CommandOutcome outcome = (running ? &*running : model)->handle(frame);
        bench.answered(now);
        for (const std::string& note : outcome.notes)
            log.note(note);
        if (outcome.stateChanged && !options.stateFile.empty()) {
            try {
                saveStateFile(options.stateFile, model->state());
            } catch (const StateFileError& error) {
                log.note(error.what());
            }
        }
        if (!outcome.replies.empty() && options.unknownId && !unknownIdSent) {
            unknownIdSent = true;
            queueReply(buildFrame(*options.unknownId, {}), now);
        }
        for (const Bytes& reply : outcome.replies)
            queueReply(reply, now);
        if (outcome.reboot) {
            if (!held.empty())
                flushHeld(now);
            const TimePoint starts = std::max(now, lastScheduled);
            if (options.replyDelayMs > 0 && starts > now) {
                if (!restartAt) {
                    restartAt = starts;
                    running = std::move(before);
                    log.note("restarting once the reply has gone out, in " +
                             std::to_string(std::chrono::duration_cast<Milliseconds>(starts - now).count()) +
                             " ms; until then the settings it started with answer");
                }
            } else {
                startReboot(starts);
            }
        }
        if (outcome.firmwareDownload)
            startFirmwareFetch(*outcome.firmwareDownload);
    }

    void startReboot(TimePoint at)
    {
        rebootUntil = at + Milliseconds(options.rebootMs);
        bench.rebootStarted();
        if (auto dropped = reader.discardPartial("device rebooting"))
            reportDropped(*dropped);
        log.note("rebooting for " + std::to_string(options.rebootMs) + " ms");
    }

    void startFirmwareFetch(const FirmwareRequest& request)
    {
        if (!mayFetchFrom(request.ip)) {
            log.note("not fetched: the simulator fetches firmware only from 127.0.0.0/8");
            return;
        }
        if (options.firmwareFetch == "never") {
            log.note("not fetched (--firmware-fetch never)");
            return;
        }
        const DeviceModel* model = bench.unit();
        if (!model)
            return;
        // The request leaves from the device's WAN address, as it stands when the frame came.
        firmware = std::make_unique<FirmwareFetch>(request, model->state().ip,
                                                   options.firmwareFetch == "halfway"      ? FetchTrial::Halfway
                                                   : options.firmwareFetch == "wrong-name" ? FetchTrial::WrongName
                                                                                           : FetchTrial::Whole);
        log.note("fetching " + firmware->url() +
                 (firmware->source().empty() ? " (the WAN address is not this PC's: from the address the PC picks)"
                                             : " from " + firmware->source()));
    }

    // A whole image is installed and the device restarts with it; anything less leaves the old
    // firmware running.
    void finishFirmwareFetch(TimePoint now)
    {
        const FetchResult result = firmware->result();
        firmware.reset();
        log.note("firmware fetch: HTTP " + std::to_string(result.status) + ", " + std::to_string(result.received) + " of " +
                 std::to_string(result.length) + " bytes" + (result.error.empty() ? "" : " (" + result.error + ")"));
        DeviceModel* model = bench.unit();
        if (!result.complete() || !model) {
            log.note("firmware not installed: the old one keeps running");
            return;
        }
        const DeviceState& state = model->state();
        const auto [major, minor] = options.newVersion.value_or(std::make_pair(state.firmwareMajor, static_cast<std::uint8_t>(state.firmwareMinor + 1)));
        model->installFirmware(major, minor);
        if (!options.stateFile.empty()) {
            try {
                saveStateFile(options.stateFile, model->state());
            } catch (const StateFileError& error) {
                log.note(error.what());
            }
        }
        rebootUntil = now + Milliseconds(options.rebootMs);
        bench.rebootStarted();
        log.note("firmware " + std::to_string(major) + "." + std::to_string(minor) + " installed; rebooting for " +
                 std::to_string(options.rebootMs) + " ms");
    }

    void readFromPort(TimePoint now)
    {
        std::uint8_t buffer[4096];
        const ssize_t count = read(port->masterFd(), buffer, sizeof buffer);
        if (count < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (count <= 0) {
            portClosedByProgram();
            return;
        }
        if (rebootUntil || firmware || !bench.unit()) {
            log.note(silence() + ": " + std::to_string(count) + " bytes ignored: " +
                     hexText(std::span(buffer, static_cast<std::size_t>(count))));
            return;
        }
        if (options.lineFollowsSerial && !atDeviceRate(count))
            return;
        lastByteAt = now;
        for (const ReaderEvent& event : reader.feed(std::span(buffer, static_cast<std::size_t>(count)))) {
            if (event.kind != ReaderEvent::Kind::Frame) {
                reportDropped(event);
                continue;
            }
            tellDropped();
            handleFrame(event.bytes, now);
            ++framesSinceReplug;
            if (options.hangupAfterFrames > 0 && framesSinceReplug >= options.hangupAfterFrames) {
                flushHeld(now);
                hangUp();
                return;
            }
        }
    }

    // With --line-follows-serial: whether the program's end of the line runs at the device's own
    // baud rate (the master side reads the serial end's settings); bytes at another are noise.
    bool atDeviceRate(ssize_t count)
    {
        termios line{};
        if (tcgetattr(port->masterFd(), &line) != 0)
            return true;
        const auto& [deviceRate, deviceSpeed] = kBaudRates[std::min<std::size_t>(bench.unit()->state().baudIndex, 9)];
        const speed_t speed = cfgetospeed(&line);
        if (speed == deviceSpeed)
            return true;
        std::string lineRate = "another rate";
        for (const auto& [rate, code] : kBaudRates)
            if (code == speed)
                lineRate = std::to_string(rate) + " baud";
        log.note("the program's line runs at " + lineRate + ", the device's at " + std::to_string(deviceRate) +
                 " baud: " + std::to_string(count) + " bytes not understood");
        return false;
    }

    void performDueWrites(TimePoint now)
    {
        writeBlocked = false;
        while (!writes.empty() && writes.front().due <= now) {
            Bytes& bytes = writes.front().bytes;
            const ssize_t count = write(port->masterFd(), bytes.data(), bytes.size());
            if (count < 0) {
                if (errno == EAGAIN)
                    writeBlocked = true;
                else if (errno == EIO)
                    portClosedByProgram();
                else
                    log.note(std::string("write failed: ") + std::strerror(errno));
                return;
            }
            log.wrote(Bytes(bytes.begin(), bytes.begin() + count));
            if (static_cast<std::size_t>(count) < bytes.size()) {
                bytes.erase(bytes.begin(), bytes.begin() + count);
                writeBlocked = true;
                return;
            }
            writes.pop_front();
        }
    }

    std::size_t queuedBytes() const
    {
        std::size_t total = 0;
        for (const PendingWrite& pending : writes)
            total += pending.bytes.size();
        return total;
    }

    void flood(TimePoint now, const DeviceModel& model)
    {
        const double elapsed = std::chrono::duration<double>(now - floodStart).count();
        const auto due = static_cast<long long>(std::floor(elapsed * options.floodRate)) + 1;
        if (due > floodDue && queuedBytes() < kFloodQueueLimit) {
            const long long count = std::min<long long>(due - floodDue, 1000);
            Bytes block;
            for (long long i = 0; i < count; ++i) {
                const Bytes reply = model.statusReply();
                block.insert(block.end(), reply.begin(), reply.end());
            }
            if (floodWritten == 0)
                log.sent(model.statusReply());
            writes.push_back({now, std::move(block)});
            floodWritten += count;
        }
        floodDue = std::max(floodDue, due); // replies that found the queue full are skipped
        if (now - floodReportAt >= std::chrono::seconds(1)) {
            log.note("flood: " + std::to_string(floodWritten - floodReported) + " status replies queued in the last second");
            floodReported = floodWritten;
            floodReportAt = now;
        }
    }

    TimePoint nextFloodAt() const
    {
        return floodStart + std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(static_cast<double>(floodDue) / options.floodRate));
    }

    // One pass over the timers; returns the earliest deadline left, if any.
    std::optional<TimePoint> runTimers(TimePoint now)
    {
        std::optional<TimePoint> next;
        auto consider = [&next](TimePoint at) {
            if (!next || at < *next)
                next = at;
        };
        if (bench.advance(now)) {
            forgetConnection("unit taken away inside a frame"); // its replies leave with it
            restartAt.reset();
            running.reset();
        }
        if (const auto change = bench.nextChange())
            consider(*change);
        if (!port) {
            if (now >= *replugAt) {
                openPort();
                log.note("plugged in again");
            } else {
                consider(*replugAt);
                return next;
            }
        }
        if (!portOpen) {
            if (port->serialEndOpen())
                portOpened(now);
            else
                consider(now + kClosedPortRecheck);
        }
        if (restartAt && now >= *restartAt) {
            restartAt.reset();
            running.reset();
            startReboot(now);
        }
        if (restartAt)
            consider(*restartAt);
        if (rebootUntil && now >= *rebootUntil) {
            rebootUntil.reset();
            if (bench.rebootEnded(now))
                log.note("reboot finished");
            if (const auto change = bench.nextChange())
                consider(*change);
        }
        if (rebootUntil)
            consider(*rebootUntil);
        if (!held.empty()) {
            const TimePoint flushAt = heldSince + Milliseconds(options.mergeWaitMs);
            if (now >= flushAt)
                flushHeld(now);
            else
                consider(flushAt);
        }
        // A run of dropped bytes is told once the line has been quiet for a moment.
        if (dropped.pieces > 0) {
            if (now - lastByteAt >= kDroppedRunQuiet)
                tellDropped();
            else
                consider(lastByteAt + kDroppedRunQuiet);
        }
        if (reader.hasPartial()) {
            if (now - lastByteAt >= kUnfinishedFrameTimeout) {
                if (auto dropped = reader.discardPartial("no more bytes for 1 s"))
                    reportDropped(*dropped);
            } else {
                consider(lastByteAt + kUnfinishedFrameTimeout);
            }
        }
        if (portOpen && options.floodRate > 0 && !rebootUntil && bench.unit()) {
            flood(now, *bench.unit());
            consider(nextFloodAt());
        }
        if (portOpen) {
            performDueWrites(now);
            if (!writes.empty() && !writeBlocked)
                consider(writes.front().due);
        }
        return next;
    }

    void run()
    {
        openPort();
        log.note(std::string("ready: model code ") + std::to_string(bench.unit()->state().modelCode) +
                 ", waiting for the program to open the port");
        while (true) {
            const TimePoint now = Clock::now();
            const std::optional<TimePoint> next = runTimers(now);

            pollfd fds[4];
            nfds_t count = 0;
            fds[count++] = {stopFd, POLLIN, 0};
            const int portIndex = port && portOpen ? static_cast<int>(count) : -1;
            if (portIndex >= 0)
                fds[count++] = {port->masterFd(), static_cast<short>(POLLIN | (writeBlocked ? POLLOUT : 0)), 0};
            const int watchIndex = port && !portOpen && port->openWatchFd() >= 0 ? static_cast<int>(count) : -1;
            if (watchIndex >= 0)
                fds[count++] = {port->openWatchFd(), POLLIN, 0};
            const int fetchIndex = firmware ? static_cast<int>(count) : -1;
            if (fetchIndex >= 0)
                fds[count++] = {firmware->doneFd(), POLLIN, 0};

            int timeoutMs = -1;
            if (next) {
                const auto wait = std::chrono::ceil<Milliseconds>(*next - Clock::now()).count();
                timeoutMs = static_cast<int>(std::clamp<long long>(wait, 0, 60000));
            }
            if (poll(fds, count, timeoutMs) < 0) {
                if (errno == EINTR)
                    continue;
                throw std::runtime_error(std::string("poll failed: ") + std::strerror(errno));
            }
            if (fds[0].revents)
                break;
            if (watchIndex >= 0 && fds[watchIndex].revents)
                port->drainOpenWatch();
            if (fetchIndex >= 0 && fds[fetchIndex].revents)
                finishFirmwareFetch(Clock::now());
            if (portIndex >= 0) {
                const short events = fds[portIndex].revents;
                if (events & POLLIN)
                    readFromPort(Clock::now());
                else if (events & (POLLHUP | POLLERR))
                    portClosedByProgram();
            }
        }
        log.note("stopped");
    }
};

Session::Session(const Options& options, Bench& bench, FrameLog& log, int stopFd)
    : impl_(std::make_unique<Impl>(options, bench, log, stopFd))
{
}

Session::~Session() = default;

void Session::run()
{
    impl_->run();
}

} // namespace sim
