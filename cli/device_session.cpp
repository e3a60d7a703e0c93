// The command line's device session: the port from the settings file or -p, reads with their
// waits, the polling of a rebooting device (see device_session.h).
#include "cli/device_session.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "cli/failure.h"
#include "device/port_defaults.h"
#include "protocol/serial_line_codes.h"
#include "serial/com_platform.h"
#include "serial/com_port_description.h"
#include "serial/com_text.h"
#include "shell/clock.h"
#include "shell/event_log_file.h"

namespace r7730::cli {
namespace {

// A rebooting device is asked again every quarter of the timeout, at most every half second.
int PollIntervalMs(int timeoutMs)
{
    return std::clamp(timeoutMs / 4, 50, 500);
}

std::uint8_t IdByte(TMessageId id)
{
    return static_cast<std::uint8_t>(id);
}

std::string ChoiceString(std::span<const std::string_view> choices, int index)
{
    return std::string(choices[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(choices.size()) - 1))]);
}

} // namespace

TDeviceSession::TDeviceSession(TSessionOptions options) : options_(std::move(options)), settings_(FindSettingsFile())
{
    TComPort& port = link_.Port();
    LogLine(QStringLiteral("Settings file: %1").arg(SettingsFileNote(settings_)));
    const bool named = LoadPortSettings(port, QFile::encodeName(settings_.path).toStdString());
    // A relative path in the launcher's file was written for its working folder.
    const QString filePort = QString::fromStdString(port.Port());
    if (named && settings_.launchers && filePort.contains(QLatin1Char('/')) && !filePort.startsWith(QLatin1Char('/')) &&
        QFileInfo::exists(settings_.folder + QLatin1Char('/') + filePort))
        port.SetPort((settings_.folder + QLatin1Char('/') + filePort).toStdString());
    if (!options_.portName.isEmpty())
        port.SetPort(options_.portName.toStdString());
    else if (!named)
        throw TCliFailure(kExitRefused,
                          QStringLiteral("no port named: give one with -p PORT (a device path such as /dev/ttyUSB0, "
                                         "a name such as COM1 or ttyUSB0, or a link to the port), or set ComPort in the "
                                         "[EnvBoard] section of %1; `r7730ctl ports` lists the serial ports")
                              .arg(SettingsFilePlaces(settings_)));
    // The port's events run on this thread, handed over by its event thread.
    port.OnRxChar = [this](TCustomComPort&, int count) { link_.ReadAvailable(count); };
    port.OnError = [this](TCustomComPort&, TComErrors errors) { link_.ReportLineErrors(errors); };
    port.OnHangUp = [this](TCustomComPort&) { link_.ReportHangUp(); };
}

TDeviceSession::~TDeviceSession()
{
    // Closed before the members the port's last events would reach are gone.
    link_.Shutdown();
}

void TDeviceSession::Open()
{
    TComPort& port = link_.Port();
    const std::string device = ComPortDevicePath(port.Port());
    try {
        port.OpenPort();
    } catch (const EComPort& error) {
        QString message = QStringLiteral("cannot open the port %1").arg(PortName());
        if (QString::fromStdString(device) != PortName())
            message += QStringLiteral(" (%1)").arg(QString::fromStdString(device));
        const int code = error.SystemErrorCode();
        message += code > 0 ? QStringLiteral(": %1").arg(QString::fromLocal8Bit(std::strerror(code)))
                            : QStringLiteral(": %1").arg(QString::fromUtf8(error.what()));
        const std::string advice = code > 0 ? OpenFailureAdvice(device, code) : std::string();
        if (!advice.empty())
            message += QStringLiteral("; %1").arg(QString::fromStdString(advice));
        throw TCliFailure(kExitDevice, message);
    }
    DiscardStaleInput();
}

void TDeviceSession::DiscardStaleInput()
{
    // Bytes already waiting were sent before this run asked anything (a reply to the last run's
    // read, say); taken as an answer, they would put every later count off by one.
    TComPort& port = link_.Port();
    std::array<std::uint8_t, 512> bytes{};
    int discarded = 0;
    for (int waiting = port.InputQueueCount(); waiting > 0; waiting = port.InputQueueCount()) {
        const int read = port.ReceiveBytes(bytes.data(), std::min(waiting, static_cast<int>(bytes.size())));
        if (read <= 0)
            break;
        discarded += read;
    }
    if (discarded > 0)
        LogLine(QStringLiteral("Discarded %1 bytes that were waiting before the port was opened").arg(discarded));
}

QString TDeviceSession::LineText() const
{
    const TComPort& port = link_.Port();
    const int baud = port.BaudRate() == brCustom ? port.CustomBaudRate() : BaudRateValue(port.BaudRate());
    const char parity = "NOEMS"[std::min(ParityValue(port.Parity().Bits()), 4)];
    return QStringLiteral("%1 %2%3%4")
        .arg(baud)
        .arg(DataBitsValue(port.DataBits()))
        .arg(QLatin1Char(parity))
        .arg(QString::fromStdString(StopBitsText(port.StopBits())));
}

void TDeviceSession::Send(TMessageId id)
{
    if (id == TMessageId::CurrentStatusRead)
        link_.ReadCurrentStatus();
    else
        link_.ReadRequest(id);
}

template <typename TReply>
TReply TDeviceSession::Read(TMessageId id, const std::optional<TReply>& newest, const char* what)
{
    const int& received = received_[IdByte(id)];
    const int before = received;
    Send(id);
    if (!WaitFor([&received, before] { return received > before; }, options_.timeoutMs)) {
        if (interrupted_)
            throw TCliFailure(kExitDevice, QStringLiteral("interrupted"));
        throw TCliFailure(kExitDevice,
                          QStringLiteral("no answer to the %1 read within %2 ms on %3 (line %4): is the device powered, "
                                         "connected, and set to this line?")
                              .arg(QString::fromLatin1(what))
                              .arg(options_.timeoutMs)
                              .arg(PortName(), LineText()));
    }
    return *newest;
}

TStatusReply TDeviceSession::ReadStatus()
{
    return Read(TMessageId::CurrentStatusRead, status_, "status");
}

TCurrentApReply TDeviceSession::ReadCurrentAp()
{
    return Read(TMessageId::ReadCurrentAp, currentAp_, "current access point");
}

TScanReply TDeviceSession::Scan()
{
    return Read(TMessageId::ScanAccessPoints, scan_, "access point scan");
}

TSignalReply TDeviceSession::ReadSignal()
{
    return Read(TMessageId::ReadSignalStrength, signal_, "signal strength");
}

std::optional<TStatusReply> TDeviceSession::WaitForReturn(int waitMs)
{
    if (options_.progress)
        options_.progress(QStringLiteral("waiting for the device to answer again (up to %1 s)...").arg(waitMs / 1000.0));
    const QDeadlineTimer deadline(waitMs);
    const int interval = PollIntervalMs(options_.timeoutMs);
    auto untilNextPoll = [&] { return static_cast<int>(std::min<qint64>(interval, deadline.remainingTime())); };
    // A status reply in this first moment answers a read sent before the command (the link's
    // own, after an unregistered reply, say) and tells the settings from before it: only
    // replies that come after the first poll count. The device answers in order, so the
    // answer to an earlier read never comes after the answer to a later one.
    Pause(untilNextPoll());
    const int& received = received_[IdByte(TMessageId::CurrentStatusRead)];
    const int before = received;
    auto answered = [&received, before] { return received > before; };
    while (!answered() && !interrupted_ && !deadline.hasExpired()) {
        Send(TMessageId::CurrentStatusRead);
        WaitFor(answered, untilNextPoll());
    }
    if (!answered())
        return std::nullopt;
    return status_;
}

std::optional<TStatusReply> TDeviceSession::TryStatusOnce()
{
    const int& received = received_[IdByte(TMessageId::CurrentStatusRead)];
    const int before = received;
    Send(TMessageId::CurrentStatusRead);
    if (!WaitFor([&received, before] { return received > before; }, options_.timeoutMs))
        return std::nullopt;
    return status_;
}

void TDeviceSession::MoveLine(const TSerialSettings& settings)
{
    TComPort& port = link_.Port();
    port.BeginSettingsUpdate();
    const std::string baudText = ChoiceString(kBaudRateChoices, settings.baudRate);
    const TBaudRate rate = BaudRateFromText(baudText);
    if (BaudRateValue(rate) == std::stoi(baudText)) {
        port.SetBaudRate(rate);
    } else {
        port.SetCustomBaudRate(std::stoi(baudText));
        port.SetBaudRate(brCustom);
    }
    port.SetDataBits(DataBitsFromText(ChoiceString(kDataBitsChoices, settings.dataBits)));
    port.SetStopBits(StopBitsFromText(ChoiceString(kStopBitsChoices, settings.stopBits)));
    port.Parity().SetBits(ParityFromText(ChoiceString(kParityChoices, settings.parity)));
    port.FlowControl().SetFlowControl(ChoiceString(kFlowControlChoices, settings.flowControl) == "RTS/CTS" ? fcHardware
                                                                                                           : fcNone);
    port.EndSettingsUpdate();
}

bool TDeviceSession::Pause(int ms)
{
    WaitFor([] { return false; }, ms);
    return !interrupted_;
}

void TDeviceSession::Interrupt()
{
    interrupted_ = true;
    Wake();
}

bool TDeviceSession::WaitFor(const std::function<bool()>& done, int ms)
{
    const QDeadlineTimer deadline(std::max(ms, 0));
    while (!done()) {
        if (lost_)
            throw TCliFailure(kExitDevice,
                              QStringLiteral("the port %1 hung up: the device or its adapter went away").arg(PortName()));
        if (!refused_.isEmpty())
            throw TCliFailure(kExitDevice, refused_);
        if (interrupted_ || deadline.hasExpired())
            return false;
        // Replies arrive only through this loop (the port hands them over to this thread).
        QEventLoop loop;
        waiting_ = &loop;
        QTimer::singleShot(std::max<qint64>(deadline.remainingTime(), 0), &loop, &QEventLoop::quit);
        loop.exec();
        waiting_ = nullptr;
    }
    return true;
}

void TDeviceSession::Wake()
{
    if (waiting_)
        waiting_->quit();
}

void TDeviceSession::LogLine(const QString& line)
{
    if (!options_.verbose)
        return;
    const std::string stamped = FormatLogLine(TSystemClock().Now(), line.toStdString());
    std::fprintf(stderr, "%s\n", stamped.c_str());
    std::fflush(stderr);
}

void TDeviceSession::SendRefused(const QString& text)
{
    refused_ = QStringLiteral("the port %1 is closed: %2").arg(PortName(), text);
    Wake();
}

void TDeviceSession::StatusReplied(const TStatusReply& reply)
{
    status_ = reply;
    ++received_[IdByte(TMessageId::CurrentStatusRead)];
    Wake();
}

void TDeviceSession::ScanReplied(const TScanReply& reply)
{
    scan_ = reply;
    ++received_[IdByte(TMessageId::ScanAccessPoints)];
    Wake();
}

void TDeviceSession::CurrentApReplied(const TCurrentApReply& reply)
{
    currentAp_ = reply;
    ++received_[IdByte(TMessageId::ReadCurrentAp)];
    Wake();
}

void TDeviceSession::SignalReplied(const TSignalReply& reply)
{
    signal_ = reply;
    ++received_[IdByte(TMessageId::ReadSignalStrength)];
    Wake();
}

void TDeviceSession::DeviceLost()
{
    lost_ = true;
    Wake();
}

} // namespace r7730::cli
