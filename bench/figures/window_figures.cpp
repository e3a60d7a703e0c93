// Figures of the window against the simulated device over a pseudo-terminal, each printed beside
// an anchor measured in the same run: the machine is shared, so a figure means something only
// next to what the bare means did at the same moment. Nothing is asserted.
//   roundtrip  status query: from the command's write to the fields set, and to the fields
//              painted, beside the raw pty round trip of the same frames with the simulator;
//              clicks 30 ms apart (each after a pause, as a technician clicks) and back to back
//   receive    frames/s through the receive path (log view and file on), beside a plain reader
//   loglines   log lines/s, one line per pass of the event loop, with and without the file,
//              beside plain appends of the same lines to a file
//   flood      unasked status replies at RATE/s for SECONDS: CPU share, memory, UI-thread
//              lateness, frames logged; beside a plain reader of the same flood; then again
//              with the frame store full (100,000 frames) and the frames window open
//   frames     a regular expression filter over 100,000 frames in the frames window, applied
//              and painted, beside a plain match of the same texts
//   idle       CPU over SECONDS, connected and idle, beside a bare Qt window run at the same time
// Usage: window_figures [--seconds S] [--rate R] [--rounds N] [--bare PATH] [--only NAME]
#include <QApplication>
#include <QCheckBox>
#include <QRegularExpression>
#include <QTableView>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSocketNotifier>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "figures/plain_reader.h"
#include "support/controls.h"
#include "support/device_frames.h"
#include "support/fake_services.h"
#include "support/pseudo_terminal.h"
#include "support/simulator_process.h"
#include "device/frame_store.h"
#include "window/frames/form_frames.h"
#include "window/form_main.h"

using namespace r7730;
using namespace r7730::testing;
using r7730::figures::TPlainReader;
using Clock = std::chrono::steady_clock;

namespace {

const QByteArray kStatusRead("\x7E\x05\x41\x50\xFE", 5);
const QByteArray kStatusFrame(reinterpret_cast<const char*>(kStatusReply.data()),
                              static_cast<qsizetype>(kStatusReply.size()));

struct TOptions {
    int seconds = 30;
    int rate = 1070;
    int rounds = 200;
    QString bare;
    std::string only;
};

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

double MicrosecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU time of the whole process (every thread), in seconds.
double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// CPU time of another process, in seconds, from /proc.
double OtherProcessCpuSeconds(qint64 pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    std::size_t at = close + 2;
    while (at < text.size()) {
        const auto end = text.find(' ', at);
        fields.push_back(text.substr(at, end - at));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    if (fields.size() < 13)
        return 0;
    return (std::stod(fields[11]) + std::stod(fields[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A field of /proc/self/status in kB (VmRSS, VmHWM).
long StatusKilobytes(const char* name)
{
    std::ifstream status("/proc/self/status");
    std::string field;
    long value = 0;
    while (status >> field)
        if (field == name && status >> value)
            return value;
    return 0;
}

void Row(const std::string& figure, const std::string& value, const std::string& anchor, const std::string& ratio = {})
{
    std::printf("  %-44s %-24s | %-44s %s\n", figure.c_str(), value.c_str(), anchor.c_str(), ratio.c_str());
    std::fflush(stdout);
}

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Ratio(double value, double anchor)
{
    return anchor > 0 ? Format("%.1fx", value / anchor) : std::string();
}

// Runs the event loop for a while (the bench's own waiting, never the program's).
void RunEventLoopFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void Header(const char* text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}

// --- status round trip ----------------------------------------------------------------------

// Tells when a widget is painted.
class TPaintWatch : public QObject {
public:
    std::function<void()> onPaint;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && onPaint)
            onPaint();
        return false;
    }
};

struct TRoundTrip {
    std::vector<double> set;
    std::vector<double> painted;
};

// Button, send step, port, event thread, receive path, reply handler; then the window's paint
// and its flush to the display (the paint's own pass of the event loop ends with the flush).
// The bench waits in the event loop as the program does, never spinning: a spinning thread
// would take a core from the simulator and the port's thread. Before each click the window
// settles for `settle` (a technician's clicks are far apart; 0 for clicks back to back).
TRoundTrip WindowRoundTrips(TForm_main& form, int rounds, std::chrono::milliseconds settle)
{
    TRoundTrip result;
    auto* field = Ctl<QLineEdit>(form, "Panel_DevName");
    auto* button = Ctl<QPushButton>(form, "Btn_CurrentStatus");
    TPaintWatch watch;
    field->installEventFilter(&watch);
    for (int i = 0; i < rounds; ++i) {
        field->clear();
        RunEventLoopFor(static_cast<int>(settle.count()));
        QEventLoop loop;
        Clock::time_point start;
        std::optional<Clock::time_point> set;
        std::optional<Clock::time_point> painted;
        const auto connection = QObject::connect(field, &QLineEdit::textChanged, [&](const QString& text) {
            if (!text.isEmpty() && !set)
                set = Clock::now();
        });
        watch.onPaint = [&] {
            if (set && !painted)
                QTimer::singleShot(0, &loop, [&] {
                    painted = Clock::now();
                    loop.quit();
                });
        };
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        start = Clock::now();
        button->click();
        loop.exec();
        QObject::disconnect(connection);
        watch.onPaint = nullptr;
        if (!set || !painted)
            continue;
        result.set.push_back(std::chrono::duration<double, std::micro>(*set - start).count());
        result.painted.push_back(std::chrono::duration<double, std::micro>(*painted - start).count());
    }
    field->removeEventFilter(&watch);
    return result;
}

int OpenRaw(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return fd;
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    return fd;
}

// The same exchange with plain reads and writes on the port, after the same pause: a pause
// lets the processor and the simulator fall idle, and waking them is part of the round trip.
std::vector<double> RawRoundTrips(const QString& path, int rounds, std::chrono::milliseconds settle)
{
    std::vector<double> times;
    const int fd = OpenRaw(path);
    if (fd < 0)
        return times;
    for (int i = 0; i < rounds; ++i) {
        std::this_thread::sleep_for(settle);
        const auto start = Clock::now();
        if (::write(fd, kStatusRead.constData(), 5) != 5)
            break;
        int got = 0;
        char buffer[64];
        while (got < static_cast<int>(kStatusFrame.size())) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                break;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got += static_cast<int>(n);
        }
        times.push_back(MicrosecondsSince(start));
    }
    ::close(fd);
    return times;
}

std::string MedianAndP90(const std::vector<double>& times)
{
    return Format("median %.0f us", Percentile(times, 0.5)) + Format(", p90 %.0f", Percentile(times, 0.9));
}

void RoundTripFigures(TForm_main& form, const TOptions& options)
{
    Header(QString("Status round trip, command's write to the first tab (simulator over a pty, %1 rounds, %2):")
               .arg(options.rounds)
               .arg(QGuiApplication::platformName())
               .toLocal8Bit()
               .constData());
    using std::chrono::milliseconds;
    const milliseconds settled(30);
    const milliseconds backToBack(0);
    auto simulator = std::make_unique<SimulatorProcess>(std::vector<std::string>{"--quiet"});
    const QString link = QString::fromStdString(simulator->linkPath());
    form.DeviceLink().Port().SetPort(link.toStdString());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    WindowRoundTrips(form, 10, settled); // warm up
    const TRoundTrip window = WindowRoundTrips(form, options.rounds, settled);
    const TRoundTrip hot = WindowRoundTrips(form, options.rounds, backToBack);
    Ctl<QPushButton>(form, "ButtonStop")->click();
    RunEventLoopFor(50);
    const std::vector<double> raw = RawRoundTrips(link, options.rounds, settled);
    const std::vector<double> rawHot = RawRoundTrips(link, options.rounds, backToBack);
    const double rawMedian = Percentile(raw, 0.5);
    const double rawHotMedian = Percentile(rawHot, 0.5);
    const std::string anchor = "raw, 30 ms apart: " + MedianAndP90(raw);
    const std::string hotAnchor = "raw, back to back: " + MedianAndP90(rawHot);
    Row("to the fields set, clicks 30 ms apart", MedianAndP90(window.set), anchor,
        Ratio(Percentile(window.set, 0.5), rawMedian) + " (target <= 4x)");
    Row("to the fields set, clicks back to back", MedianAndP90(hot.set), hotAnchor,
        Ratio(Percentile(hot.set, 0.5), rawHotMedian) + " (target <= 4x)");
    Row("to the fields painted, clicks 30 ms apart", MedianAndP90(window.painted), anchor,
        Ratio(Percentile(window.painted, 0.5), rawMedian) + " (target on X11 < 2000 us)");
}

// --- receive path ---------------------------------------------------------------------------

// Status replies written as fast as the port takes them, ended by an unregistered frame that
// the program answers with a status read: its arrival marks the end.
double WindowFramesPerSecond(TForm_main& form, int frames)
{
    TPseudoTerminal device;
    form.DeviceLink().Port().SetPort(device.SlavePath().toStdString());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    QByteArray burst;
    for (int i = 0; i < frames; ++i)
        burst += kStatusFrame;
    burst += QByteArray("\x7E\x05\x5A\x50\xFE", 5);

    QByteArray answer;
    QEventLoop loop;
    QSocketNotifier readable(device.Master(), QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, [&] {
        answer += device.ReadAvailable(0);
        if (answer.contains(kStatusRead))
            loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    const auto start = Clock::now();
    std::thread writer([&] { device.Write(burst); });
    loop.exec();
    const double seconds = SecondsSince(start);
    writer.join();
    Ctl<QPushButton>(form, "ButtonStop")->click();
    RunEventLoopFor(50);
    return frames / seconds;
}

double PlainReaderFramesPerSecond(int frames, const std::string& logPath)
{
    TPseudoTerminal device;
    const int fd = OpenRaw(device.SlavePath());
    QByteArray burst;
    for (int i = 0; i < frames; ++i)
        burst += kStatusFrame;
    TPlainReader reader(logPath);
    const auto start = Clock::now();
    std::thread writer([&] { device.Write(burst); });
    std::uint8_t buffer[8192];
    while (reader.Frames() < frames && SecondsSince(start) < 60) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            reader.Feed(buffer, static_cast<std::size_t>(n));
    }
    const double seconds = SecondsSince(start);
    writer.join();
    ::close(fd);
    return frames / seconds;
}

void ReceiveFigures(TForm_main& form)
{
    const int frames = 5000;
    Header(QString("Receive path, %1 status replies as fast as the pty takes them, log view and file on:")
               .arg(frames)
               .toLocal8Bit()
               .constData());
    const double window = WindowFramesPerSecond(form, frames);
    const double plain = PlainReaderFramesPerSecond(frames, "plain-receive.log");
    Row("frames/s through the window", Format("%.0f frames/s", window), Format("plain reader, 2 lines/frame to a file: %.0f/s", plain),
        Ratio(plain, window) + " slower");
}

// --- log lines ------------------------------------------------------------------------------

const QString kRxLine = QStringLiteral(
    "RX 0x41 : [43][7E.2B.41.50.00.01.01.03.00.1A.2B.3C.4D.5E.C0.A8.00.64.C0.A8.00.01.FF.FF.FF.00.00.1F.90.00.00."
    "00.00.00.00.00.00.00.00.00.03.00.FE.]");

// Lines logged one per pass of the event loop, as replies bring them.
double LogLinesPerSecond(TForm_main& form, bool toFile, int lines)
{
    Ctl<QCheckBox>(form, "CB_SaveLogFile")->setChecked(toFile);
    QEventLoop loop;
    int left = lines;
    std::function<void()> next = [&] {
        form.AddLogLine(kRxLine);
        if (--left > 0)
            QMetaObject::invokeMethod(&form, next, Qt::QueuedConnection);
        else
            loop.quit();
    };
    const auto start = Clock::now();
    QMetaObject::invokeMethod(&form, next, Qt::QueuedConnection);
    loop.exec();
    const double seconds = SecondsSince(start);
    Ctl<QCheckBox>(form, "CB_SaveLogFile")->setChecked(true);
    RunEventLoopFor(50);
    return lines / seconds;
}

double PlainAppendsPerSecond(int lines)
{
    const std::string line = kRxLine.toStdString();
    const auto start = Clock::now();
    for (int i = 0; i < lines; ++i)
        TPlainReader::AppendStampedLine("plain-lines.log", line);
    return lines / SecondsSince(start);
}

void LogLineFigures(TForm_main& form)
{
    const int lines = 20000;
    Header(QString("Log lines, %1 hex lines of a status reply, one per pass of the event loop:").arg(lines).toLocal8Bit().constData());
    const double plain = PlainAppendsPerSecond(lines);
    const double withFile = LogLinesPerSecond(form, true, lines);
    const double viewOnly = LogLinesPerSecond(form, false, lines);
    const std::string anchor = Format("plain open-append-close of a line: %.0f/s", plain);
    Row("log lines/s, view and file", Format("%.0f lines/s", withFile), anchor, Ratio(plain, withFile) + " slower");
    Row("log lines/s, view only", Format("%.0f lines/s", viewOnly), anchor);
}

// --- flood ----------------------------------------------------------------------------------

long CountInFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().count(text);
}

// One run of the window under the flood; its rows, and the window's share of a core.
double WindowFlood(TForm_main& form, const TOptions& options, const QString& logFile, const char* label)
{
    auto simulator = std::make_unique<SimulatorProcess>(std::vector<std::string>{"--quiet", "--flood", std::to_string(options.rate)});
    form.DeviceLink().Port().SetPort(simulator->linkPath());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    RunEventLoopFor(2000);

    // The UI thread's lateness: a 10 ms timer, and how much later than 10 ms each tick came.
    std::vector<double> lateness;
    auto last = Clock::now();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        lateness.push_back(std::max(0.0, std::chrono::duration<double, std::milli>(now - last).count() - 10.0));
        last = now;
    });
    const long eotBefore = CountInFile(logFile, "[EOT]");
    const long rssStart = StatusKilobytes("VmRSS:");
    const double cpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    last = start;
    probe.start();
    long rssMid = 0;
    QTimer::singleShot(options.seconds * 500, [&] { rssMid = StatusKilobytes("VmRSS:"); });
    RunEventLoopFor(options.seconds * 1000);
    probe.stop();
    const double wall = SecondsSince(start);
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const long rssEnd = StatusKilobytes("VmRSS:");
    Ctl<QPushButton>(form, "ButtonStop")->click();
    RunEventLoopFor(100);
    const long logged = CountInFile(logFile, "[EOT]") - eotBefore;
    simulator.reset();
    const double share = 100 * cpu / wall;
    std::printf("  %s\n", label);
    Row("window process CPU (UI and port threads)", Format("%.1f%% of a core", share), "(plain reader below)", "(target <= 15%)");
    Row("resident memory: start, half-way, end", Format("%.1f", rssStart / 1024.0) + Format(" / %.1f", rssMid / 1024.0) + Format(" / %.1f MB", rssEnd / 1024.0),
        Format("peak (VmHWM) %.1f MB", StatusKilobytes("VmHWM:") / 1024.0));
    Row("UI-thread lateness of a 10 ms timer", Format("p99 %.1f ms", Percentile(lateness, 0.99)) + Format(", max %.1f ms", Percentile(lateness, 1.0)),
        Format("%.0f ticks", static_cast<double>(lateness.size())), "(target p99 < 20 ms)");
    Row("frames in the daily file", Format("%.0f", static_cast<double>(logged)) + Format(" (%.0f/s)", logged / wall),
        Format("due at the flood's rate: %.0f", options.rate * wall));
    return share;
}

// Fills the frame store to its cap with a technician's traffic: status and signal polls (the
// RSSI wandering), now and then a scan; a few hundred distinct frames among 100,000.
void FillFrameStore(TFrameStore& store)
{
    const Bytes statusRead = hex("7E 05 41 50 FE");
    const Bytes signalRead = hex("7E 05 4A 50 FE");
    const Bytes scanRead = hex("7E 05 48 50 FE");
    const Bytes scanReply = join({hex("7E 3A 48 50"), text("1"), blanks(26), text("Office"), text("   6"), text(" -65"), blanks(8), text("WPA2"), hex("FE")});
    auto at = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch());
    const auto now = std::chrono::system_clock::now();
    const auto observe = [&](TFrameDirection direction, const Bytes& bytes) {
        at += std::chrono::microseconds(2000);
        store.FrameObserved({at, now, direction, TFrameKind::Frame, bytes});
    };
    // Full is checked after each frame: a store that starts with an odd number of frames would
    // otherwise step over its capacity, let a hundredth go and never be full.
    const auto full = [&store] { return store.Size() >= store.Capacity(); };
    for (int i = 0; !full(); ++i) {
        Bytes status = kStatusReply;
        status[27] = static_cast<std::uint8_t>(i % 256); // the expiry time
        const std::string rssi = "  -" + std::to_string(40 + i % 50) + " ";
        const Bytes signal = join({hex("7E 2B 4A 50"), blanks(26), text("Office"), text(rssi), hex("FE")});
        observe(TFrameDirection::Sent, i % 50 == 0 ? scanRead : (i % 2 ? signalRead : statusRead));
        if (!full())
            observe(TFrameDirection::Received, i % 50 == 0 ? scanReply : (i % 2 ? signal : status));
    }
}

void FloodFigures(TForm_main& form, const TOptions& options)
{
    Header(QString("Flood: unasked status replies at %1/s for %2 s, log view and file on:")
               .arg(options.rate)
               .arg(options.seconds)
               .toLocal8Bit()
               .constData());
    const QString logFile = QDir::current().filePath(
        QString::fromStdString(DailyLogFileName(TSystemClock().Now())));
    const double windowShare = WindowFlood(form, options, logFile, "frames window closed:");
    {
        auto simulator = std::make_unique<SimulatorProcess>(std::vector<std::string>{"--quiet", "--flood", std::to_string(options.rate)});
        const int fd = OpenRaw(QString::fromStdString(simulator->linkPath()));
        TPlainReader reader("plain-flood.log");
        std::atomic<bool> stop{false};
        double threadCpu = 0;
        double wall = 0;
        std::thread plain([&] {
            std::uint8_t buffer[8192];
            const auto start = Clock::now();
            const double cpuStart = ThreadCpuSeconds();
            while (!stop) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 100) <= 0)
                    continue;
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0)
                    reader.Feed(buffer, static_cast<std::size_t>(n));
            }
            threadCpu = ThreadCpuSeconds() - cpuStart;
            wall = SecondsSince(start);
        });
        RunEventLoopFor(options.seconds * 1000);
        stop = true;
        plain.join();
        ::close(fd);
        const double plainShare = wall > 0 ? 100 * threadCpu / wall : 0;
        Row("anchor: plain reader, same flood and lines", Format("%.1f%% of a core", plainShare),
            Format("%.0f frames/s read", reader.Frames() / std::max(wall, 1e-9)), Ratio(windowShare, plainShare) + " the window's share");
    }
    // The store at its cap from the start, so the memory rows show whether it stays flat.
    FillFrameStore(form.FrameStore());
    form.InspectFrames();
    const double openShare = WindowFlood(form, options, logFile, "frame store full (100,000 frames), frames window open:");
    Row("frames window open, more than closed", Format("%+.1f points of a core", openShare - windowShare),
        Format("closed: %.1f%% of a core", windowShare), "(target <= +5 points)");
    form.FramesForm()->close();
}

// --- frames window ---------------------------------------------------------------------------

void FramesFigures(TForm_main& form)
{
    Header("Frames window, a regular expression filter over 100,000 frames:");
    FillFrameStore(form.FrameStore());
    form.InspectFrames();
    TForm_Frames& frames = *form.FramesForm();
    RunEventLoopFor(200);
    auto* filter = Ctl<QLineEdit>(frames, "Edit_FrameFilter");
    auto* table = Ctl<QTableView>(frames, "Grid_Frames");
    Ctl<QCheckBox>(frames, "CB_FrameRegex")->setChecked(true);
    const QString patterns[] = {QStringLiteral("signal: .* -6[0-9] dBm"), QStringLiteral("7E\\.3A\\.48"), QStringLiteral("expiry|TCP server :80[0-9]0")};
    for (const QString& pattern : patterns) {
        filter->clear();
        RunEventLoopFor(50);
        const auto start = Clock::now();
        filter->setText(pattern); // applied at once
        table->viewport()->repaint();
        const double ms = MicrosecondsSince(start) / 1000.0;

        // The anchor: the same expression over every frame's summary and hex, no table, no cache.
        const QRegularExpression expression(pattern);
        const TFrameStore& store = form.FrameStore();
        const auto plainStart = Clock::now();
        std::size_t plainMatches = 0;
        for (std::size_t row = 0; row < store.Size(); ++row) {
            const TFrameContent& content = *store.At(row).content;
            plainMatches += expression.match(content.summary).hasMatch() || expression.match(content.hex).hasMatch();
        }
        const double plainMs = MicrosecondsSince(plainStart) / 1000.0;
        Row("\"" + pattern.toStdString() + "\"", Format("%.1f ms", ms) + Format(", %.0f rows", table->model()->rowCount()),
            Format("plain match of the 100,000 texts: %.1f ms", plainMs) + Format(" (%.0f)", static_cast<double>(plainMatches)),
            "(target < 50 ms)");
    }
    frames.close();
}

// --- idle -----------------------------------------------------------------------------------

void IdleFigures(TForm_main& form, const TOptions& options)
{
    Header(QString("Idle, connected to the simulator, %1 s:").arg(options.seconds).toLocal8Bit().constData());
    auto simulator = std::make_unique<SimulatorProcess>(std::vector<std::string>{"--quiet"});
    form.DeviceLink().Port().SetPort(simulator->linkPath());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    QProcess bare;
    if (!options.bare.isEmpty()) {
        bare.start(options.bare, {});
        bare.waitForStarted();
    }
    RunEventLoopFor(2000);
    const double bareStart = bare.processId() ? OtherProcessCpuSeconds(bare.processId()) : 0;
    const double cpuStart = ProcessCpuSeconds();
    const auto start = Clock::now();
    RunEventLoopFor(options.seconds * 1000);
    const double wall = SecondsSince(start);
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const double bareCpu = bare.processId() ? OtherProcessCpuSeconds(bare.processId()) - bareStart : 0;
    Ctl<QPushButton>(form, "ButtonStop")->click();
    bare.terminate();
    bare.waitForFinished(3000);
    Row("window CPU, port open and idle", Format("%.2f ms/s", 1000 * cpu / wall),
        options.bare.isEmpty() ? std::string("(no bare window)") : Format("bare Qt window: %.2f ms/s", 1000 * bareCpu / wall));
}

TOptions ParseOptions(const QStringList& arguments)
{
    TOptions options;
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        const QString& name = arguments[i];
        const QString& value = arguments[i + 1];
        if (name == "--seconds")
            options.seconds = std::max(1, value.toInt());
        else if (name == "--rate")
            options.rate = std::max(1, value.toInt());
        else if (name == "--rounds")
            options.rounds = std::max(10, value.toInt());
        else if (name == "--bare")
            options.bare = value;
        else if (name == "--only")
            options.only = value.toStdString();
    }
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    const TOptions options = ParseOptions(QCoreApplication::arguments());
    auto wanted = [&](const char* name) { return options.only.empty() || options.only == name; };

    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    QDir().mkpath("Log");
    QDir().mkpath("cfg");
    TFakeServices services;
    TSystemClock clock;
    TForm_main form({services.dialogs, clock, services.launcher});
    form.show();
    RunEventLoopFor(200);

    if (wanted("roundtrip"))
        RoundTripFigures(form, options);
    if (wanted("receive"))
        ReceiveFigures(form);
    if (wanted("loglines"))
        LogLineFigures(form);
    if (wanted("flood"))
        FloodFigures(form, options);
    if (wanted("frames"))
        FramesFigures(form);
    if (wanted("idle"))
        IdleFigures(form, options);
    return 0;
}
