#include "device/automatic_status_reads.h"

#include <algorithm>

namespace r7730 {

TAutomaticStatusReads::TAutomaticStatusReads(std::function<void()> sendRead, std::function<void(const QString&)> log)
    : sendRead_(std::move(sendRead)), log_(std::move(log))
{
    pacedRead_.setSingleShot(true);
    pacedRead_.callOnTimeout([this] { Send(); });
    quietSecond_.setSingleShot(true);
    quietSecond_.setInterval(kSecondMs);
    quietSecond_.callOnTimeout([this] { EndEpisode(); });
}

bool TAutomaticStatusReads::InFlight() const
{
    return inFlight_ && sinceLastRead_.isValid() && sinceLastRead_.elapsed() < kSecondMs;
}

void TAutomaticStatusReads::UnregisteredFrameArrived()
{
    quietSecond_.start();
    if (InFlight() || pacedRead_.isActive())
        return;
    if (sentInEpisode_ < kAtOnce) {
        Send();
        return;
    }
    if (!told_) {
        told_ = true;
        log_(QStringLiteral("the device keeps answering with unknown message IDs; status reads paced to one a second"));
    }
    const qint64 since = sinceLastRead_.isValid() ? sinceLastRead_.elapsed() : kSecondMs;
    pacedRead_.start(static_cast<int>(std::max<qint64>(0, kSecondMs - since)));
}

void TAutomaticStatusReads::StatusReplyArrived()
{
    inFlight_ = false;
}

void TAutomaticStatusReads::Cancel()
{
    pacedRead_.stop();
    quietSecond_.stop();
    inFlight_ = false;
    EndEpisode();
}

void TAutomaticStatusReads::EndEpisode()
{
    sentInEpisode_ = 0;
    told_ = false;
}

void TAutomaticStatusReads::Send()
{
    ++sentInEpisode_;
    inFlight_ = true;
    sinceLastRead_.start();
    // A second with a read of ours waiting for its answer is not a quiet one.
    quietSecond_.start();
    sendRead_();
}

} // namespace r7730
