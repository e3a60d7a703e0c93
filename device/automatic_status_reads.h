#pragma once
// The status reads that answer frames with unknown message IDs, kept from running away.
//
// Every unregistered frame is answered with a status read, so that a device speaking out of
// turn is asked for its settings. A device that answers that read with an unknown ID again (a
// stray CR LF before every frame, line noise, a status reply cut short by a 254 inside it)
// would be asked again at once, thousands of times a second. So the first 100 automatic reads
// in a row go out at once, and after that at most one a second, with one note in the log per
// episode. An episode ends, and the count starts again, when a frame arrives that the program
// shows or accepts, or when the user sends a command.
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <functional>

namespace r7730 {

class TAutomaticStatusReads {
public:
    static constexpr int kAtOnce = 100;
    static constexpr int kPacedIntervalMs = 1000;

    TAutomaticStatusReads(std::function<void()> sendRead, std::function<void(const QString&)> log);

    // An unregistered frame arrived: answer it now, later, or (while a paced read is already
    // waiting) not at all.
    void UnregisteredFrameArrived();
    void EndEpisode();

private:
    void Send();

    std::function<void()> sendRead_;
    std::function<void(const QString&)> log_;
    int inARow_ = 0;
    bool told_ = false;
    QTimer pacedRead_;
    QElapsedTimer sinceLastRead_;
};

} // namespace r7730
