#include "survey/survey_recorder.h"

#include <algorithm>

#include "protocol/frame.h"

namespace r7730 {
namespace {

using std::chrono::microseconds;

// How long a request of the survey's own is awaited unless the survey gives it up first: longer
// than the device takes to answer a read, even a scan.
constexpr microseconds kAwaited = std::chrono::seconds(15);
static_assert(kAwaited >= kReplyWaitLimit, "a request the pairing still holds is kept");

constexpr auto kSignalId = static_cast<std::uint8_t>(TMessageId::ReadSignalStrength);
constexpr auto kScanId = static_cast<std::uint8_t>(TMessageId::ScanAccessPoints);

microseconds Now()
{
    // The clock the frame observers stamp with.
    return std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

} // namespace

TSurveyRecorder::TSurveyRecorder(TDeviceLink& link, TSurveySession& session) : link_(link), session_(session)
{
    link_.AddFrameObserver(*this);
}

TSurveyRecorder::~TSurveyRecorder()
{
    link_.RemoveFrameObserver(*this);
}

bool TSurveyRecorder::ReadSignal()
{
    if (!link_.Connected())
        return false;
    AsSurvey([this] { link_.ReadRequest(TMessageId::ReadSignalStrength); });
    return true;
}

bool TSurveyRecorder::Scan()
{
    if (!link_.Connected())
        return false;
    AsSurvey([this] { link_.ReadRequest(TMessageId::ScanAccessPoints); });
    return true;
}

void TSurveyRecorder::AsSurvey(const std::function<void()>& send)
{
    const bool before = sendingOwn_;
    sendingOwn_ = true;
    try {
        send();
    } catch (...) {
        sendingOwn_ = before;
        throw;
    }
    sendingOwn_ = before;
}

bool TSurveyRecorder::Awaiting(TMessageId id) const
{
    const microseconds now = Now();
    return std::any_of(open_.begin(), open_.end(), [&](const TOpenRequest& request) {
        return request.id == static_cast<std::uint8_t>(id) && request.asker == TAsker::Survey && !request.givenUp &&
               now - request.sent < kAwaited;
    });
}

bool TSurveyRecorder::AwaitingSignal() const
{
    return Awaiting(TMessageId::ReadSignalStrength);
}

void TSurveyRecorder::GiveUpSignals(std::chrono::milliseconds after)
{
    const microseconds now = Now();
    for (TOpenRequest& request : open_)
        if (request.id == kSignalId && request.asker == TAsker::Survey && !request.givenUp && now - request.sent >= after) {
            request.givenUp = true;
            session_.AddGap();
        }
}

bool TSurveyRecorder::AwaitingScan() const
{
    return Awaiting(TMessageId::ScanAccessPoints);
}

void TSurveyRecorder::RequestSent(const TObservedFrame& frame)
{
    const std::uint8_t id = FrameMessageId(frame.bytes);
    const std::uint64_t sequence = ++requestsSent_;
    pairing_.Sent(sequence, id, frame.monotonic);
    // Requests neither awaited nor still held by the pairing are let go.
    std::erase_if(open_, [&](const TOpenRequest& request) { return frame.monotonic - request.sent >= kAwaited; });
    if (id == kSignalId || id == kScanId)
        open_.push_back({sequence, id, frame.monotonic, sendingOwn_ ? TAsker::Survey : TAsker::Other});
}

void TSurveyRecorder::ReplyReceived(const TObservedFrame& frame)
{
    const std::uint8_t id = FrameMessageId(frame.bytes);
    const std::optional<std::uint64_t> answered = pairing_.Received(id, frame.monotonic);
    // A reply nobody on this link asked for while the recorder watched is somebody else's.
    replyAsker_ = TAsker::Other;
    replyMsecs_ = std::chrono::duration_cast<std::chrono::milliseconds>(frame.wallClock.time_since_epoch()).count();
    // The pairing has let go of every request of this ID up to the one answered, or of all of them.
    std::erase_if(open_, [&](const TOpenRequest& request) {
        if (request.id != id || (answered && request.sequence > *answered))
            return false;
        if (answered && request.sequence == *answered)
            replyAsker_ = request.asker;
        return true;
    });
}

void TSurveyRecorder::FrameObserved(const TObservedFrame& frame) noexcept
{
    if (frame.kind != TFrameKind::Frame)
        return;
    try {
        if (frame.direction == TFrameDirection::Sent)
            RequestSent(frame);
        else
            ReplyReceived(frame);
    } catch (...) {
        // Out of memory: the request is not tracked, its reply counts as somebody else's.
    }
}

void TSurveyRecorder::SignalReplyDecoded(const TSignalReply& reply) noexcept
{
    Take([&] { session_.AddSignal(replyMsecs_, replyAsker_, reply); }, TChange::Sample);
}

void TSurveyRecorder::ScanReplyDecoded(const TScanReply& reply) noexcept
{
    Take([&] { session_.AddScan(replyMsecs_, replyAsker_, reply); }, TChange::Scan);
}

void TSurveyRecorder::Take(const std::function<void()>& add, TChange change) noexcept
{
    try {
        add();
        if (onChange_)
            onChange_(change);
    } catch (...) {
        // Out of memory: the survey has no reading of this reply.
    }
}

} // namespace r7730
