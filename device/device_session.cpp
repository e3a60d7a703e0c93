// Reads with their waits, and the polling of a restarting device (see device_session.h).
#include "device/device_session.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <array>

namespace r7730 {

TDeviceSession::TDeviceSession(IDeviceListener& frontEnd, int timeoutMs, std::function<void(int waitMs)> waitingForReturn)
    : frontEnd_(frontEnd), timeoutMs_(timeoutMs), waitingForReturn_(std::move(waitingForReturn))
{
}

TDeviceSession::~TDeviceSession()
{
    // Closed before the members the port's last events would reach are gone.
    link_.Shutdown();
}

std::optional<TOpenFailure> TDeviceSession::Open()
{
    std::optional<TOpenFailure> failure = link_.Open();
    if (failure)
        return failure;
    // A new connection: what ended the last one (a hang-up, a refusal) ends no wait of this one.
    lost_ = false;
    refused_.clear();
    failed_.clear();
    DiscardStaleInput();
    return failure;
}

void TDeviceSession::DiscardStaleInput()
{
    // Bytes already waiting were sent before this session asked anything (a reply to the last
    // run's read, say); taken as an answer, they would put every later count off by one.
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
        frontEnd_.LogLine(QStringLiteral("Discarded %1 bytes that were waiting before the port was opened").arg(discarded));
}

void TDeviceSession::Send(TMessageId id)
{
    if (id == TMessageId::CurrentStatusRead)
        link_.ReadCurrentStatus();
    else
        link_.ReadRequest(id);
}

template <typename TReply>
std::optional<TReply> TDeviceSession::Read(TMessageId id, const std::optional<TReply>& newest, int waitMs)
{
    const int& received = Received(id);
    const int before = received;
    QElapsedTimer clock;
    clock.start();
    Send(id);
    if (!WaitFor([&received, before] { return received > before; }, waitMs))
        return std::nullopt;
    if (id == TMessageId::CurrentStatusRead)
        NoteAnswerMs(clock.elapsed());
    return newest;
}

std::optional<TStatusReply> TDeviceSession::ReadStatus()
{
    return Read(TMessageId::CurrentStatusRead, status_, timeoutMs_);
}

std::optional<TCurrentApReply> TDeviceSession::ReadCurrentAp()
{
    return Read(TMessageId::ReadCurrentAp, currentAp_, timeoutMs_);
}

std::optional<TScanReply> TDeviceSession::Scan()
{
    return Read(TMessageId::ScanAccessPoints, scan_, timeoutMs_);
}

std::optional<TSignalReply> TDeviceSession::ReadSignal()
{
    return Read(TMessageId::ReadSignalStrength, signal_, timeoutMs_);
}

std::optional<TSignalReply> TDeviceSession::ReadSignal(int waitMs)
{
    return Read(TMessageId::ReadSignalStrength, signal_, waitMs);
}

int TDeviceSession::PollIntervalMs() const
{
    return std::clamp(timeoutMs_ / 8, 25, 250);
}

void TDeviceSession::NoteAnswerMs(qint64 ms)
{
    answerMs_.push_back(ms);
    if (answerMs_.size() > 3)
        answerMs_.pop_front();
}

int TDeviceSession::SilenceMs() const
{
    if (answerMs_.empty())
        return timeoutMs_;
    // Twice its answer time, and a poll interval (a tenth of a second at least) for the delays
    // of a busy computer.
    const qint64 answerMs = *std::min_element(answerMs_.begin(), answerMs_.end());
    return static_cast<int>(std::min<qint64>(timeoutMs_, 2 * answerMs + std::max(PollIntervalMs(), 100)));
}

void TDeviceSession::PollUntil(int waitMs, int silenceMs, const std::function<bool(bool replied, bool silent)>& enough)
{
    QElapsedTimer clock;
    clock.start();
    const int& received = Received(TMessageId::CurrentStatusRead);
    int counted = received;
    std::deque<qint64> unanswered; // when each read still open was sent, the oldest first
    qint64 nextPollAt = 0;
    bool silent = false;
    while (!interrupted_ && clock.elapsed() < waitMs) {
        if (clock.elapsed() >= nextPollAt) {
            Send(TMessageId::CurrentStatusRead);
            unanswered.push_back(clock.elapsed());
            nextPollAt = clock.elapsed() + PollIntervalMs();
        }
        qint64 wakeAt = std::min<qint64>(nextPollAt, waitMs);
        if (!silent && !unanswered.empty())
            wakeAt = std::min(wakeAt, unanswered.front() + silenceMs);
        WaitFor([&received, counted] { return received > counted; }, static_cast<int>(wakeAt - clock.elapsed()));
        const bool replied = received > counted;
        for (; counted < received; ++counted) {
            if (unanswered.size() == 1)
                NoteAnswerMs(clock.elapsed() - unanswered.front());
            if (!unanswered.empty())
                unanswered.pop_front();
        }
        silent = silent || (!unanswered.empty() && clock.elapsed() - unanswered.front() >= silenceMs);
        if (enough(replied, silent))
            return;
    }
}

TReturn TDeviceSession::AwaitReturn(int waitMs)
{
    if (waitingForReturn_)
        waitingForReturn_(waitMs);
    TReturn result;
    bool answered = false;
    bool back = false;
    PollUntil(waitMs, SilenceMs(), [&](bool replied, bool silent) {
        // Replies that came before the silence was seen answer reads the device took before it
        // restarted: only one after it is the device's return.
        back = replied && result.silenceSeen;
        answered = answered || replied;
        result.silenceSeen = silent;
        return back;
    });
    if (back || (!result.silenceSeen && answered))
        result.status = status_;
    return result;
}

std::optional<TStatusReply> TDeviceSession::WaitForReturn(int waitMs)
{
    return AwaitReturn(waitMs).status;
}

std::optional<TStatusReply> TDeviceSession::PollStatus(int waitMs)
{
    bool answered = false;
    PollUntil(waitMs, timeoutMs_, [&answered](bool replied, bool) { return answered = replied; });
    if (!answered)
        return std::nullopt;
    return status_;
}

bool TDeviceSession::Pause(int ms)
{
    if (!link_.Port().Connected()) {
        // The port is closed (gone, and closed by its owner): a pause has no connection to end,
        // and what ended the last one is for the next open to forget.
        lost_ = false;
        refused_.clear();
        failed_.clear();
    }
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
            throw ESessionEnded(ESessionEnded::TWhy::HungUp, QStringLiteral("the port went away"));
        if (!refused_.isEmpty())
            throw ESessionEnded(ESessionEnded::TWhy::Refused, refused_);
        if (!failed_.isEmpty())
            throw ESessionEnded(ESessionEnded::TWhy::Failed, failed_);
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

void TDeviceSession::RunGuarded(const std::function<void()>& step)
{
    try {
        step();
    } catch (const std::exception& error) {
        if (failed_.isEmpty())
            failed_ = QString::fromUtf8(error.what());
        Wake();
    } catch (...) {
        if (failed_.isEmpty())
            failed_ = QStringLiteral("Unknown error");
        Wake();
    }
}

void TDeviceSession::LogLine(const QString& line)
{
    frontEnd_.LogLine(line);
}

void TDeviceSession::FrameLogLine(const QString& line, const TShownFrame& frame)
{
    frontEnd_.FrameLogLine(line, frame);
}

void TDeviceSession::SendRefused(const QString& text)
{
    refused_ = text;
    frontEnd_.SendRefused(text);
    Wake();
}

void TDeviceSession::StatusReplied(const TStatusReply& reply)
{
    status_ = reply;
    ++Received(TMessageId::CurrentStatusRead);
    frontEnd_.StatusReplied(reply);
    Wake();
}

void TDeviceSession::ScanReplied(const TScanReply& reply)
{
    scan_ = reply;
    ++Received(TMessageId::ScanAccessPoints);
    frontEnd_.ScanReplied(reply);
    Wake();
}

void TDeviceSession::CurrentApReplied(const TCurrentApReply& reply)
{
    currentAp_ = reply;
    ++Received(TMessageId::ReadCurrentAp);
    frontEnd_.CurrentApReplied(reply);
    Wake();
}

void TDeviceSession::SignalReplied(const TSignalReply& reply)
{
    signal_ = reply;
    ++Received(TMessageId::ReadSignalStrength);
    frontEnd_.SignalReplied(reply);
    Wake();
}

void TDeviceSession::DeviceLost()
{
    lost_ = true;
    frontEnd_.DeviceLost();
    Wake();
}

} // namespace r7730
