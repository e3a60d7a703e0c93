#include "device/automatic_status_reads.h"

#include <algorithm>

namespace r7730 {

TAutomaticStatusReads::TAutomaticStatusReads(std::function<void()> sendRead, std::function<void(const QString&)> log)
    : sendRead_(std::move(sendRead)), log_(std::move(log))
{
    pacedRead_.setSingleShot(true);
    pacedRead_.callOnTimeout([this] { Send(); });
}

void TAutomaticStatusReads::UnregisteredFrameArrived()
{
    if (inARow_ < kAtOnce) {
        ++inARow_;
        Send();
        return;
    }
    if (!told_) {
        told_ = true;
        log_(QStringLiteral("the device keeps answering with unknown message IDs; status reads paced to one a second"));
    }
    if (pacedRead_.isActive())
        return;
    const qint64 since = sinceLastRead_.isValid() ? sinceLastRead_.elapsed() : kPacedIntervalMs;
    pacedRead_.start(static_cast<int>(std::max<qint64>(0, kPacedIntervalMs - since)));
}

void TAutomaticStatusReads::EndEpisode()
{
    inARow_ = 0;
    told_ = false;
    pacedRead_.stop();
}

void TAutomaticStatusReads::Send()
{
    sinceLastRead_.start();
    sendRead_();
}

} // namespace r7730
