#pragma once
// Takes a survey session's readings off a device link: every signal reply and every scan reply
// on the link, whoever asked for it.
//
// Principles of operation. The recorder watches the link's frames (device/frame_observer.h), so
// it sees the replies to the main window's polling as well as to its own requests without the
// window handing them over, and takes each signal and scan reply as the value the link decoded.
// Who asked is told by the requests seen going out: a request sent through the recorder is the
// survey's, any other one somebody else's. Replies are paired with requests by the one pairing
// the frames window uses too (protocol/request_pairing.h), so both name the same asker. The
// survey itself waits less for its own signal reads (about its interval, GiveUpSignals): a read
// it gave up counts as a gap, and the next one goes out on time; a reply that still comes is a
// reading all the same.
#include <QString>
#include <chrono>
#include <deque>
#include <functional>

#include "device/device_link.h"
#include "protocol/request_pairing.h"
#include "survey/survey_session.h"

namespace r7730 {

class TSurveyRecorder : private IFrameObserver {
public:
    // What was added to the session.
    enum class TChange { Sample, Scan };

    TSurveyRecorder(TDeviceLink& link, TSurveySession& session);
    ~TSurveyRecorder() override;
    TSurveyRecorder(const TSurveyRecorder&) = delete;
    TSurveyRecorder& operator=(const TSurveyRecorder&) = delete;

    // Told after each reading or scan added; it may not throw.
    void SetOnChange(std::function<void(TChange)> onChange) { onChange_ = std::move(onChange); }

    // The survey's own requests through the link. On a closed port nothing is sent (the link would
    // refuse with a notice for the user) and the answer is false.
    bool ReadSignal();
    bool Scan();
    // Runs send (a device session's waiting read, say): the requests it sends are the survey's.
    void AsSurvey(const std::function<void()>& send);
    // A request of the survey's own of that kind is still open (sent, not answered, not given up).
    bool AwaitingSignal() const;
    // Gives up the survey's own signal reads sent longer than after ago, each a gap in the
    // session's readings.
    void GiveUpSignals(std::chrono::milliseconds after);
    bool AwaitingScan() const;

private:
    // A signal or scan request sent and neither answered nor left behind by the pairing.
    struct TOpenRequest {
        std::uint64_t sequence;
        std::uint8_t id;
        std::chrono::microseconds sent;
        TAsker asker;
        bool givenUp = false; // by the survey: no longer awaited, still paired with a late reply
    };
    void FrameObserved(const TObservedFrame& frame) noexcept override;
    void SignalReplyDecoded(const TSignalReply& reply) noexcept override;
    void ScanReplyDecoded(const TScanReply& reply) noexcept override;
    // Adds a decoded reply to the session and tells of it.
    void Take(const std::function<void()>& add, TChange change) noexcept;
    void RequestSent(const TObservedFrame& frame);
    void ReplyReceived(const TObservedFrame& frame);
    bool Awaiting(TMessageId id) const;

    TDeviceLink& link_;
    TSurveySession& session_;
    std::function<void(TChange)> onChange_;
    bool sendingOwn_ = false;
    TRequestPairing pairing_;
    std::uint64_t requestsSent_ = 0;
    std::deque<TOpenRequest> open_;
    // The received frame just observed: when it came and who asked for it.
    qint64 replyMsecs_ = 0;
    TAsker replyAsker_ = TAsker::Other;
};

} // namespace r7730
