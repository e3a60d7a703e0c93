#pragma once
// A front end of the device link that keeps only the log lines, for tests that drive the link or
// a device session and look at nothing else it reports.
#include <QStringList>

#include "device/device_link.h"

namespace r7730::testing {

class TLogOnlyListener : public TLogLinesListener {
public:
    void LogLine(const QString& line) override { log << line; }
    QStringList log;
};

} // namespace r7730::testing
