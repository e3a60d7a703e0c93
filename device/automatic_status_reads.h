#pragma once
// The status reads that answer frames with unknown message IDs, kept from running away.
//
// An unregistered frame is answered with a status read, so that a device speaking out of turn
// is asked for its settings. One rule keeps those reads bounded whatever the line carries (a
// junk frame before every reply, random noise, a status reply cut short by a 254 inside it):
//  - a read is in flight until a status reply arrives or a second passes; while one is in
//    flight, an unregistered frame sends nothing (it is most likely the answer to that read);
//  - the first 100 reads with no quiet second in between (a second without an unregistered
//    frame, and without a read of ours waiting) go out at once, the rest at most one a second,
//    with one note in the log per episode; a quiet second ends the episode.
// The user's own commands never pass through here and are never delayed. Closing the port
// cancels a read that is waiting for its turn.
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <functional>

namespace r7730 {

class TAutomaticStatusReads {
public:
    static constexpr int kAtOnce = 100;
    // The in-flight limit, the quiet second and the paced interval alike.
    static constexpr int kSecondMs = 1000;

    TAutomaticStatusReads(std::function<void()> sendRead, std::function<void(const QString&)> log);

    // An unregistered frame arrived: answer it now, in a while, or not at all.
    void UnregisteredFrameArrived();
    // A status reply arrived (whoever asked for it): no read is in flight any more.
    void StatusReplyArrived();
    // The port closed: nothing waits to be sent, and the next episode starts afresh.
    void Cancel();

private:
    void Send();
    void EndEpisode();
    bool InFlight() const;

    std::function<void()> sendRead_;
    std::function<void(const QString&)> log_;
    int sentInEpisode_ = 0;
    bool told_ = false;
    bool inFlight_ = false;
    QElapsedTimer sinceLastRead_;
    QTimer pacedRead_;
    QTimer quietSecond_;
};

} // namespace r7730
