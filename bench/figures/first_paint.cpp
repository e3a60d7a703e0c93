// Start-up to the first painted window, from outside the program: the clock starts before the
// fork, so dynamic linking, fontconfig, building the form and the first paint all count; it
// stops at the X server's first damage report on a window the program created (a Qt window has
// no background of its own, so the first damage is the program's own paint). The private dirty
// memory is read from /proc at that moment. The program under test and a bare Qt window of the
// size the program's window had take turns, run after run, on the same display.
//   first_paint [--runs N] [--folder DIR] PROGRAM BARE_WINDOW
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct TStart {
    bool ok = false;
    double ms = 0;
    long privateDirtyKb = 0;
    int width = 0;
    int height = 0;
};

int IgnoreXErrors(Display*, XErrorEvent*)
{
    return 0; // a window that went away before its damage was made or destroyed
}

long SmapsKilobytes(pid_t pid, const char* field)
{
    std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string name;
    long value = 0;
    while (smaps >> name)
        if (name == field && smaps >> value)
            return value;
    return 0;
}

void Stop(pid_t pid)
{
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

TStart RunOnce(Display* display, int damageEventBase, const std::vector<std::string>& command, const std::string& folder)
{
    TStart result;
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);

    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!folder.empty() && ::chdir(folder.c_str()) != 0)
            ::_exit(127);
        std::vector<char*> arguments;
        for (const std::string& argument : command)
            arguments.push_back(const_cast<char*>(argument.c_str()));
        arguments.push_back(nullptr);
        ::execv(arguments[0], arguments.data());
        ::_exit(127);
    }
    std::vector<Window> windows;
    while (std::chrono::duration<double>(Clock::now() - start).count() < 10) {
        if (!XPending(display)) {
            if (::waitpid(pid, nullptr, WNOHANG) == pid) {
                std::fprintf(stderr, "first_paint: %s ended before painting (another copy running?)\n", command[0].c_str());
                return result;
            }
            pollfd p{ConnectionNumber(display), POLLIN, 0};
            ::poll(&p, 1, 2);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == CreateNotify && event.xcreatewindow.parent == root) {
            XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
            windows.push_back(event.xcreatewindow.window);
            XFlush(display);
        } else if (event.type == damageEventBase + XDamageNotify) {
            const auto* damage = reinterpret_cast<const XDamageNotifyEvent*>(&event);
            if (std::find(windows.begin(), windows.end(), damage->drawable) == windows.end() || damage->geometry.width < 100)
                continue;
            result.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            result.privateDirtyKb = SmapsKilobytes(pid, "Private_Dirty:");
            result.width = damage->geometry.width;
            result.height = damage->geometry.height;
            result.ok = true;
            break;
        }
    }
    XSelectInput(display, root, NoEventMask);
    Stop(pid);
    XSync(display, True);
    return result;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 9;
    std::string folder;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--folder" && i + 1 < argc)
            folder = argv[++i];
        else
            programs.push_back(argument);
    }
    if (programs.size() != 2) {
        std::fprintf(stderr, "usage: first_paint [--runs N] [--folder DIR] PROGRAM BARE_WINDOW\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    int damageEventBase = 0;
    int damageErrorBase = 0;
    if (!display || !XDamageQueryExtension(display, &damageEventBase, &damageErrorBase)) {
        std::fprintf(stderr, "first_paint: needs an X display with the DAMAGE extension\n");
        return 2;
    }
    XSetErrorHandler(IgnoreXErrors);

    std::vector<double> programMs, bareMs, programDirty, bareDirty;
    int width = 980;
    int height = 857;
    for (int run = 0; run < runs + 1; ++run) {
        const TStart program = RunOnce(display, damageEventBase, {programs[0]}, folder);
        if (!program.ok)
            return 1;
        width = program.width;
        height = program.height;
        const TStart bare = RunOnce(display, damageEventBase,
                                    {programs[1], std::to_string(width), std::to_string(height)}, folder);
        if (!bare.ok)
            return 1;
        if (run == 0)
            continue; // the first turn of each only warms the disk cache
        programMs.push_back(program.ms);
        bareMs.push_back(bare.ms);
        programDirty.push_back(static_cast<double>(program.privateDirtyKb));
        bareDirty.push_back(static_cast<double>(bare.privateDirtyKb));
    }
    const double program = Median(programMs);
    const double bare = Median(bareMs);
    std::printf("  %-44s %-24s | %-44s %.2fx (target <= 1.5x)\n", "start-up to the first painted window",
                (std::to_string(static_cast<int>(program + 0.5)) + " ms (median)").c_str(),
                ("bare Qt window " + std::to_string(width) + "x" + std::to_string(height) + ": " +
                 std::to_string(static_cast<int>(bare + 0.5)) + " ms")
                    .c_str(),
                program / bare);
    char dirty[64];
    char bareDirtyText[64];
    std::snprintf(dirty, sizeof dirty, "%.1f MB", Median(programDirty) / 1024);
    std::snprintf(bareDirtyText, sizeof bareDirtyText, "bare Qt window: %.1f MB", Median(bareDirty) / 1024);
    std::printf("  %-44s %-24s | %-44s %.2fx\n", "private dirty memory at the first paint", dirty, bareDirtyText,
                Median(programDirty) / Median(bareDirty));
    std::printf("  (each the median of %d runs, taking turns; all runs in ms: program", runs);
    for (double ms : programMs)
        std::printf(" %.0f", ms);
    std::printf("; bare");
    for (double ms : bareMs)
        std::printf(" %.0f", ms);
    std::printf(")\n");
    XCloseDisplay(display);
    return 0;
}
