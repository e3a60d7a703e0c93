#pragma once
// A front end of the device link that keeps only the log lines, for tests that drive the link or
// a device session and look at nothing else it reports.
#include <QStringList>

#include "device/device_link.h"

namespace r7730::testing {

class TLogOnlyListener : public IDeviceListener {
public:
    void LogLine(const QString& line) override { log << line; }
    void SendRefused(const QString&) override {}
    void StatusReplied(const TStatusReply&) override {}
    void ScanReplied(const TScanReply&) override {}
    void CurrentApReplied(const TCurrentApReply&) override {}
    void SignalReplied(const TSignalReply&) override {}
    void DeviceLost() override {}

    QStringList log;
};

} // namespace r7730::testing
