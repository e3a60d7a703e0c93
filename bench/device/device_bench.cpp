// Figures of the device link, printed rather than asserted:
//   1. the time from the status command's write to the first tab filled, against the
//      simulated device over a pseudo-terminal, beside the raw round trip of the same frames
//      over the same kind of port, measured in the same run;
//   2. frames per second through the receive path with the log view and the log file on.
// Run from the build folder: bench/device/device_bench [rounds]
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <memory>
#include <vector>

#include "support/device_frames.h"
#include "window/form_main.h"
#include "support/simulator_process.h"
#include "support/fake_services.h"
#include "support/pseudo_terminal.h"
#include "support/controls.h"

using namespace r7730;
using namespace r7730::testing;
using Clock = std::chrono::steady_clock;

namespace {

const QByteArray kStatusRead("\x7E\x05\x41\x50\xFE", 5);
const QByteArray kStatusFrame(reinterpret_cast<const char*>(r7730::testing::kStatusReply.data()),
                              static_cast<qsizetype>(r7730::testing::kStatusReply.size()));

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[static_cast<std::size_t>(p * (values.size() - 1))];
}

double MicrosecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// The window's way: button, send step, serial port, event thread, receive path, reply handler.
std::vector<double> WindowRoundTrips(TForm_main& form, int rounds)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        Ctl<QLineEdit>(form, "Panel_DevName")->clear();
        const auto start = Clock::now();
        Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
        while (Ctl<QLineEdit>(form, "Panel_DevName")->text().isEmpty())
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        times.push_back(MicrosecondsSince(start));
    }
    return times;
}

// The same exchange with plain reads and writes on the port.
std::vector<double> RawRoundTrips(const QString& path, int rounds)
{
    std::vector<double> times;
    int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return times;
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        if (::write(fd, kStatusRead.constData(), 5) != 5)
            break;
        int got = 0;
        char buffer[64];
        while (got < 43) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                break;
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got += static_cast<int>(n);
        }
        times.push_back(MicrosecondsSince(start));
    }
    ::close(fd);
    return times;
}

// Status replies written as fast as the port takes them, ended by an unregistered frame that
// the program answers with a status read: its arrival marks the end.
double ReceiveFramesPerSecond(TForm_main& form, int frames)
{
    TPseudoTerminal device;
    form.DeviceLink().Port().SetPort(device.SlavePath().toStdString());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    QByteArray burst;
    for (int i = 0; i < frames; ++i)
        burst += kStatusFrame;
    burst += QByteArray("\x7E\x05\x5A\x50\xFE", 5);

    const auto start = Clock::now();
    QThread* writer = QThread::create([&] { device.Write(burst); });
    writer->start();
    QByteArray answer;
    while (!answer.contains(kStatusRead)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        answer += device.ReadAvailable(0);
    }
    const double seconds = MicrosecondsSince(start) / 1e6;
    writer->wait();
    delete writer;
    Ctl<QPushButton>(form, "ButtonStop")->click();
    return frames / seconds;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;

    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    QDir().mkpath("Log");
    TFakeServices services;
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.show();

    auto simulator = std::make_unique<r7730::testing::SimulatorProcess>(std::vector<std::string>{"--quiet"});
    const QString link = QString::fromStdString(simulator->linkPath());
    form.DeviceLink().Port().SetPort(link.toStdString());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    WindowRoundTrips(form, 20); // warm up
    const std::vector<double> window = WindowRoundTrips(form, rounds);
    Ctl<QPushButton>(form, "ButtonStop")->click();
    const std::vector<double> raw = RawRoundTrips(link, rounds);
    simulator.reset();

    std::printf("status query, write to first tab filled (simulator over a pty, %d rounds):\n", rounds);
    std::printf("  window:   median %8.1f us   p90 %8.1f us\n", Median(window), Percentile(window, 0.9));
    std::printf("  raw pty:  median %8.1f us   p90 %8.1f us\n", Median(raw), Percentile(raw, 0.9));

    const int frames = 5000;
    std::printf("receive path, %d status replies with the log view and the log file on:\n", frames);
    std::printf("  %.0f frames/s\n", ReceiveFramesPerSecond(form, frames));
    return 0;
}
