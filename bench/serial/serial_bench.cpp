// Figures of the serial component on pseudo-terminals, printed, never asserted:
//   1. bytes per second delivered through OnRxChar while a pty peer writes as fast as it can,
//      beside plain read() calls on the same kind of pty
//      (the handler reads like the program's receive path: ReceiveBytes into 8192 bytes);
//   2. latency from a 43-byte write on the peer to OnRxChar on the user-interface thread;
//   3. CPU time and wake-ups of the event thread of an open, idle port (target: none).
// Usage: serial_bench [throughput-seconds=3] [idle-seconds=10]
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "serial/com_port.h"
#include "serial_test_support.h"
#include "support/pseudo_terminal.h"

using namespace r7730;
using namespace r7730::testing;
using Clock = std::chrono::steady_clock;

namespace {

void RunFor(int milliseconds)
{
    QTimer::singleShot(milliseconds, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
}

void Throughput(int seconds, TSyncMethod method)
{
    TPseudoTerminal peer;
    TComPort port;
    port.SetPort(peer.SlavePath().toStdString());
    port.SetBaudRate(br115200);
    port.SetSyncMethod(method);
    std::atomic<long long> received{0};
    std::atomic<long long> events{0};
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        char buffer[8192];
        received += sender.ReceiveBytes(buffer, std::min(count, 8192));
        ++events;
    };
    port.OpenPort();

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const std::string chunk(65536, 'U');
        while (!stop) {
            if (::write(peer.Master(), chunk.data(), chunk.size()) < 0) {
                pollfd fd{peer.Master(), POLLOUT, 0};
                ::poll(&fd, 1, 10);
            }
        }
    });
    const double cpuBefore = ProcessCpuMs();
    const long long startBytes = received;
    const long long startEvents = events;
    const auto start = Clock::now();
    if (method == smNone)
        QThread::msleep(static_cast<unsigned long>(seconds) * 1000);
    else
        RunFor(seconds * 1000);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const long long bytes = received - startBytes;
    const long long batches = events - startEvents;
    const double cpu = ProcessCpuMs() - cpuBefore;
    stop = true;
    writer.join();
    port.ClosePort();
    std::printf("  %-13s %8.2f MB/s  %9.0f OnRxChar/s  %7.0f bytes per event  process CPU %5.1f%% of one core\n",
                method == smNone ? "smNone" : "smThreadSync", bytes / elapsed / 1e6, batches / elapsed,
                batches ? static_cast<double>(bytes) / static_cast<double>(batches) : 0.0, cpu / (elapsed * 10.0));
}

// The anchor: the same peer and pty, read with plain read() calls into the same 8192 bytes.
void RawThroughput(int seconds)
{
    TPseudoTerminal peer;
    const int fd = ::open(peer.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const std::string chunk(65536, 'U');
        while (!stop) {
            if (::write(peer.Master(), chunk.data(), chunk.size()) < 0) {
                pollfd out{peer.Master(), POLLOUT, 0};
                ::poll(&out, 1, 10);
            }
        }
    });
    long long bytes = 0;
    const auto start = Clock::now();
    char buffer[8192];
    while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
        pollfd in{fd, POLLIN, 0};
        if (::poll(&in, 1, 100) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            bytes += n;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    stop = true;
    writer.join();
    ::close(fd);
    std::printf("  %-13s %8.2f MB/s  (anchor: plain read() on the same kind of pty)\n", "raw pty", bytes / elapsed / 1e6);
}

void Latency(int rounds)
{
    TPseudoTerminal peer;
    TComPort port;
    port.SetPort(peer.SlavePath().toStdString());
    Clock::time_point sent;
    std::vector<double> micros;
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
        char buffer[8192];
        sender.ReceiveBytes(buffer, std::min(count, 8192));
        QCoreApplication::quit();
    };
    port.OpenPort();
    const std::string reply(43, 'r');
    for (int i = 0; i < rounds; ++i) {
        sent = Clock::now();
        if (::write(peer.Master(), reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()))
            break;
        QCoreApplication::exec();
    }
    port.ClosePort();
    std::sort(micros.begin(), micros.end());
    if (micros.empty())
        return;
    std::printf("  43-byte write to OnRxChar (smThreadSync): median %.0f us, p99 %.0f us, max %.0f us over %zu rounds\n",
                micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back(), micros.size());
}

void Idle(int seconds)
{
    TPseudoTerminal peer;
    TComPort port;
    port.SetPort(peer.SlavePath().toStdString());
    port.OpenPort(); // all ten events, as the program opens it
    QThread::msleep(50);
    const long tid = port.EventThreadId();
    const TThreadFigures before = ThreadFigures(tid);
    const double cpuBefore = ProcessCpuMs();
    RunFor(seconds * 1000);
    const TThreadFigures after = ThreadFigures(tid);
    const double cpu = ProcessCpuMs() - cpuBefore;
    port.ClosePort();
    std::printf("  open idle port, %d s: event thread CPU %.1f ms, wake-ups %ld (voluntary) + %ld (involuntary); "
                "whole process CPU %.1f ms\n",
                seconds, after.cpuMs - before.cpuMs, after.voluntary - before.voluntary,
                after.involuntary - before.involuntary, cpu);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int throughputSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    std::printf("serial_bench: pseudo-terminal peer, %u cores\n", std::thread::hardware_concurrency());
    std::printf("Receive throughput through OnRxChar (peer writes as fast as it can, %d s each):\n", throughputSeconds);
    Throughput(throughputSeconds, smThreadSync);
    Throughput(throughputSeconds, smNone);
    RawThroughput(throughputSeconds);
    std::printf("Receive latency:\n");
    Latency(2000);
    std::printf("Idle:\n");
    Idle(idleSeconds);
    return 0;
}
