// A long run of the window against the simulated device, the way a technician leaves it on a
// bench: the signal polled every 3 s and a scan every 10 s, the log view and the daily file on.
// Prints what a leak, a lost frame or an error would show; asserts nothing.
//   window_soak [minutes]          (default 10)
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "shell/clock.h"
#include "support/controls.h"
#include "support/fake_services.h"
#include "support/simulator_process.h"
#include "window/form_main.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

// Resident memory of this process in kB, from /proc.
long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string field;
    long value = 0;
    while (status >> field)
        if (field == "VmRSS:" && status >> value)
            return value;
    return 0;
}

int CountLines(const QByteArray& log, const char* text)
{
    return static_cast<int>(log.count(text));
}

} // namespace

int main(int argc, char** argv)
{
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 10;
    QApplication application(argc, argv);
    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    QDir().mkpath("Log");
    QDir().mkpath("cfg");

    SimulatorProcess simulator(std::vector<std::string>{"--quiet"});
    TRecordingDialogs dialogs;
    TSystemClock clock;
    TRecordingLauncher launcher;
    auto form = std::make_unique<TForm_main>(TFormServices{dialogs, clock, launcher});
    form->show();
    form->DeviceLink().Port().SetPort(simulator.linkPath());
    Ctl<QPushButton>(*form, "ButtonStart")->click();
    if (!form->DeviceLink().Port().Connected()) {
        std::fprintf(stderr, "could not connect to the simulator\n");
        return 1;
    }
    Ctl<QComboBox>(*form, "CB_Chk_RSSI_Interval")->setCurrentText("3");
    Ctl<QCheckBox>(*form, "CB_RSSI_AutoChk")->click();
    QTimer scans;
    QObject::connect(&scans, &QTimer::timeout, [&] { Ctl<QPushButton>(*form, "Btn_Search_AP")->click(); });
    scans.start(10000);

    long firstMinutePeak = 0;
    long peak = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        const long rss = ResidentKilobytes();
        peak = std::max(peak, rss);
        if (elapsed.elapsed() <= 60000)
            firstMinutePeak = std::max(firstMinutePeak, rss);
        std::fprintf(stderr, "\r%3lld s  resident %ld kB ", elapsed.elapsed() / 1000, rss);
    });
    sample.start(1000);
    QTimer::singleShot(minutes * 60000, &application, &QApplication::quit);
    QApplication::exec();
    std::fprintf(stderr, "\n");

    Ctl<QCheckBox>(*form, "CB_RSSI_AutoChk")->click();
    scans.stop();
    QTest::qWait(1500); // the last replies come in
    QByteArray log;
    for (const QString& name : QDir("Log").entryList(QDir::Files)) {
        QFile file("Log/" + name);
        if (file.open(QIODevice::ReadOnly))
            log += file.readAll();
    }
    const int signalsSent = CountLines(log, "TX 0x4A");
    const int signalsBack = CountLines(log, "RX MSG ID:[0x4A]");
    const int scansSent = CountLines(log, "TX 0x48");
    const int scansBack = CountLines(log, "RX MSG ID:[0x48]");
    const int errors = CountLines(log, "ERROR") + CountLines(log, "failed") + CountLines(log, "not written") +
                       CountLines(log, "Unregistered") + CountLines(log, "OnError");
    std::printf("soak of %d min against the simulated device (signal every 3 s, scan every 10 s, view and file on)\n",
                minutes);
    std::printf("  signal reads  sent %d, replies in the daily file %d\n", signalsSent, signalsBack);
    std::printf("  scans         sent %d, replies in the daily file %d\n", scansSent, scansBack);
    std::printf("  resident memory: peak of the first minute %ld kB, peak of the run %ld kB (+%ld kB)\n",
                firstMinutePeak, peak, peak - firstMinutePeak);
    std::printf("  error lines in the log: %d; error reports: %lld; notices: %lld\n", errors,
                static_cast<long long>(dialogs.errors.size()), static_cast<long long>(dialogs.notices.size()));
    for (const QString& error : dialogs.errors)
        std::printf("  error report: %s\n", error.toLocal8Bit().constData());
    form.reset();
    return 0;
}
