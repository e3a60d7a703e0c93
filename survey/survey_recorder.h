#pragma once
// Takes a survey session's readings off a device link: every signal reply and every scan reply
// on the link, whoever asked for it.
//
// Principles of operation. The recorder watches the link's frames (device/frame_observer.h), so
// it sees the replies to the main window's polling as well as to its own requests without the
// window handing them over. A received frame is decoded by the same rules the link dispatches
// it by. Who asked is told by the requests seen going out: a request sent through the recorder
// is the survey's, any other one somebody else's, and the device answers requests in the order
// they came, so each reply goes to the oldest request of its kind still open. A request left
// unanswered for longer than a reply can take is given up, so one lost reply does not shift the
// askers of all later ones. The survey itself waits less for its own signal reads (about its
// interval, GiveUpSignals): a read it gave up counts as a gap, and the next one goes out on
// time; a reply that still comes is a reading all the same.
#include <QString>
#include <chrono>
#include <deque>
#include <functional>

#include "device/device_link.h"
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
    struct TOpenRequest {
        std::chrono::microseconds sent;
        TAsker asker;
        bool givenUp = false; // by the survey: no longer awaited, still paired with a late reply
    };
    void FrameObserved(const TObservedFrame& frame) noexcept override;
    static TAsker Answered(std::deque<TOpenRequest>& open, std::chrono::microseconds now);
    static bool Awaiting(const std::deque<TOpenRequest>& open);

    TDeviceLink& link_;
    TSurveySession& session_;
    std::function<void(TChange)> onChange_;
    bool sendingOwn_ = false;
    std::deque<TOpenRequest> openSignals_;
    std::deque<TOpenRequest> openScans_;
};

} // namespace r7730
