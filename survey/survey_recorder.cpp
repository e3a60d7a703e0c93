#include "survey/survey_recorder.h"

#include "protocol/received_frame.h"

namespace r7730 {
namespace {

using std::chrono::microseconds;

// Longer than the device takes to answer a read, even a scan.
constexpr microseconds kGivenUp = std::chrono::seconds(15);

microseconds Now()
{
    // The clock the frame observers stamp with.
    return std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

qint64 Msecs(const TObservedFrame& frame)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(frame.wallClock.time_since_epoch()).count();
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

bool TSurveyRecorder::Awaiting(const std::deque<TOpenRequest>& open)
{
    const microseconds now = Now();
    for (const TOpenRequest& request : open)
        if (request.asker == TAsker::Survey && !request.givenUp && now - request.sent < kGivenUp)
            return true;
    return false;
}

bool TSurveyRecorder::AwaitingSignal() const
{
    return Awaiting(openSignals_);
}

void TSurveyRecorder::GiveUpSignals(std::chrono::milliseconds after)
{
    const microseconds now = Now();
    for (TOpenRequest& request : openSignals_)
        if (request.asker == TAsker::Survey && !request.givenUp && now - request.sent >= after) {
            request.givenUp = true;
            session_.AddGap();
        }
}

bool TSurveyRecorder::AwaitingScan() const
{
    return Awaiting(openScans_);
}

TAsker TSurveyRecorder::Answered(std::deque<TOpenRequest>& open, microseconds now)
{
    while (!open.empty() && now - open.front().sent >= kGivenUp)
        open.pop_front();
    if (open.empty())
        return TAsker::Other; // a reply nobody on this link asked for while the recorder watched
    const TAsker asker = open.front().asker;
    open.pop_front();
    return asker;
}

void TSurveyRecorder::FrameObserved(const TObservedFrame& frame) noexcept
{
    if (frame.kind != TFrameKind::Frame)
        return;
    try {
        if (frame.direction == TFrameDirection::Sent) {
            // A read request: 7E 05 ID 50 FE.
            const std::uint8_t id = frame.bytes.size() > 2 ? frame.bytes[2] : 0;
            const TOpenRequest request{frame.monotonic, sendingOwn_ ? TAsker::Survey : TAsker::Other};
            if (id == static_cast<std::uint8_t>(TMessageId::ReadSignalStrength))
                openSignals_.push_back(request);
            else if (id == static_cast<std::uint8_t>(TMessageId::ScanAccessPoints))
                openScans_.push_back(request);
            return;
        }
        const TReplyAction action = ReplyAction(frame.bytes);
        if (action == TReplyAction::ShowSignal) {
            session_.AddSignal(Msecs(frame), Answered(openSignals_, frame.monotonic), DecodeSignalReply(frame.bytes));
            if (onChange_)
                onChange_(TChange::Sample);
        } else if (action == TReplyAction::FillScanGrid) {
            session_.AddScan(Msecs(frame), Answered(openScans_, frame.monotonic), DecodeScanReply(frame.bytes));
            if (onChange_)
                onChange_(TChange::Scan);
        }
    } catch (...) {
        // A frame that does not decode is the link's to report; the survey just has no reading of it.
    }
}

} // namespace r7730
