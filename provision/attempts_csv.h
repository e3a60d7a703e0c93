#pragma once
// The record as a CSV table for a spreadsheet: one line per attempt, RFC 4180 quoting, CRLF.
// Columns: the attempt's facts, then for each settings key its text as sent and as read back
// ("ip sent", "ip read back"), a password only as it is recorded.
#include <QString>
#include <vector>

#include "provision/attempt.h"

namespace r7730::provision {

QString AttemptsCsv(const std::vector<TAttempt>& attempts);

} // namespace r7730::provision
