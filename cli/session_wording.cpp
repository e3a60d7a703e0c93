// r7730ctl's session: the port from the settings file or -p, and the device session's outcomes
// in r7730ctl's words (see session_wording.h).
#include "cli/session_wording.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli/failure.h"
#include "device/log_line_secrets.h"
#include "device/port_defaults.h"
#include "protocol/frame_log_line.h"
#include "protocol/frame_summary.h"
#include "serial/com_text.h"
#include "shell/clock.h"
#include "shell/event_log_file.h"

namespace r7730::cli {
namespace {

// What to tell a technician about why the port did not open; "" when nothing fits.
std::string OpenFailureAdvice(const TOpenFailure& failure)
{
    switch (failure.reason) {
    case TOpenFailureReason::NoSuchPort:
        return "no such port: check that the device is plugged in and the port name is right";
    case TOpenFailureReason::Permission:
        return failure.accessReason.empty() ? "no permission: add your user to the dialout group (sudo usermod -aG "
                                              "dialout $USER), then log in again"
                                            : failure.accessReason;
    case TOpenFailureReason::HeldByAnother:
        return "held by another program: " + HolderText(failure.holders);
    case TOpenFailureReason::Busy:
        return "another program holds the port (often ModemManager or brltty)";
    case TOpenFailureReason::NoHardware:
        return "no hardware answers behind this port";
    case TOpenFailureReason::Other:
        break;
    }
    return {};
}

} // namespace

TCtlSession::TCtlSession(TSessionOptions options)
    : options_(std::move(options)), settings_(FindSettingsFile()),
      device_(*this, options_.timeoutMs, [this](int waitMs) {
          if (options_.progress)
              options_.progress(QStringLiteral("waiting for the device to answer again (up to %1 s)...").arg(waitMs / 1000.0));
      })
{
    TComPort& port = Link().Port();
    LogLine(QStringLiteral("Settings file: %1").arg(SettingsFileNote(settings_)));
    const bool named = SetUpPort(port, settings_);
    if (!options_.portName.isEmpty())
        port.SetPort(options_.portName.toStdString());
    else if (!named)
        NoPortNamed(settings_);
}

bool SetUpPort(TComPort& port, const TSettingsFile& settings)
{
    const bool named = LoadPortSettings(port, QFile::encodeName(settings.path).toStdString());
    // A relative path in the launcher's file was written for its working folder.
    const QString filePort = QString::fromStdString(port.Port());
    if (named && settings.launchers && filePort.contains(QLatin1Char('/')) && !filePort.startsWith(QLatin1Char('/')) &&
        QFileInfo::exists(settings.folder + QLatin1Char('/') + filePort))
        port.SetPort((settings.folder + QLatin1Char('/') + filePort).toStdString());
    return named;
}

void NoPortNamed(const TSettingsFile& settings)
{
    throw TCliFailure(kExitRefused,
                      QStringLiteral("no port named: give one with -p PORT (a device path such as /dev/ttyUSB0, "
                                     "a name such as COM1 or ttyUSB0, or a link to the port), or set ComPort in the "
                                     "[EnvBoard] section of %1; `r7730ctl ports` lists the serial ports")
                          .arg(SettingsFilePlaces(settings)));
}

void TCtlSession::Open()
{
    const std::optional<TOpenFailure> failure = device_.Open();
    if (!failure)
        return;
    QString message = QStringLiteral("cannot open the port %1").arg(PortName());
    const QString device = QString::fromStdString(failure->devicePath);
    if (device != PortName())
        message += QStringLiteral(" (%1)").arg(device);
    const int code = failure->systemError;
    message += code > 0 ? QStringLiteral(": %1").arg(QString::fromLocal8Bit(std::strerror(code)))
                        : QStringLiteral(": %1").arg(QString::fromStdString(failure->message));
    const std::string advice = code > 0 ? OpenFailureAdvice(*failure) : std::string();
    if (!advice.empty())
        message += QStringLiteral("; %1").arg(QString::fromStdString(advice));
    throw TCliFailure(kExitDevice, message);
}

QString TCtlSession::LineText() const
{
    const TComPort& port = device_.Link().Port();
    const int baud = port.BaudRate() == brCustom ? port.CustomBaudRate() : BaudRateValue(port.BaudRate());
    const char parity = "NOEMS"[std::min(ParityValue(port.Parity().Bits()), 4)];
    return QStringLiteral("%1 %2%3%4")
        .arg(baud)
        .arg(DataBitsValue(port.DataBits()))
        .arg(QLatin1Char(parity))
        .arg(QString::fromStdString(StopBitsText(port.StopBits())));
}

void TCtlSession::NoAnswer(const char* what) const
{
    if (device_.Interrupted())
        throw TCliFailure(kExitDevice, QStringLiteral("interrupted"));
    throw TCliFailure(kExitDevice,
                      QStringLiteral("no answer to the %1 read within %2 ms on %3 (line %4): is the device powered, "
                                     "connected, and set to this line?")
                          .arg(QString::fromLatin1(what))
                          .arg(device_.TimeoutMs())
                          .arg(PortName(), LineText()));
}

template <typename TReply>
TReply TCtlSession::Answered(const std::optional<TReply>& reply, const char* what) const
{
    if (!reply)
        NoAnswer(what);
    return *reply;
}

TStatusReply TCtlSession::ReadStatus()
{
    return Answered(Run([this] { return device_.ReadStatus(); }), "status");
}

TCurrentApReply TCtlSession::ReadCurrentAp()
{
    return Answered(Run([this] { return device_.ReadCurrentAp(); }), "current access point");
}

TScanReply TCtlSession::Scan()
{
    return Answered(Run([this] { return device_.Scan(); }), "access point scan");
}

TSignalReply TCtlSession::ReadSignal()
{
    return Answered(Run([this] { return device_.ReadSignal(); }), "signal strength");
}

std::optional<TStatusReply> TCtlSession::WaitForReturn(int waitMs)
{
    return Run([this, waitMs] { return device_.WaitForReturn(waitMs); });
}

bool TCtlSession::Pause(int ms)
{
    return Run([this, ms] { return device_.Pause(ms); });
}

void TCtlSession::Fail(const ESessionEnded& ended) const
{
    switch (ended.Why()) {
    case ESessionEnded::TWhy::HungUp:
        throw TCliFailure(kExitDevice, QStringLiteral("the port %1 hung up: the device or its adapter went away").arg(PortName()));
    case ESessionEnded::TWhy::Refused:
        throw TCliFailure(kExitDevice, QStringLiteral("the port %1 is closed: %2").arg(PortName(), ended.Text()));
    case ESessionEnded::TWhy::Failed:
        break;
    }
    throw TCliFailure(kExitDevice, ended.Text());
}

void TCtlSession::LogLine(const QString& line)
{
    if (!options_.verbose)
        return;
    // The trace masks the access point's password: a terminal's scrollback is no place for it.
    const std::string stamped = FormatLogLine(TSystemClock().Now(), mask_.Masked(line).toStdString());
    std::fprintf(stderr, "%s\n", stamped.c_str());
    if (options_.decodeFrames)
        if (const std::optional<TLoggedFrame> frame = ReadFrameLogLine(line.toStdString()))
            std::fprintf(stderr, "%12s%s\n", "", FrameSummary(frame->side, frame->bytes).c_str());
    std::fflush(stderr);
}

} // namespace r7730::cli
