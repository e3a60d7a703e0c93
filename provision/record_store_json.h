#pragma once
// The parts of an attempt that the record store keeps as JSON text in one column each: the
// fields sent and read back, the step times and the keys that differ. Readable by any client
// of the database (sqlite3, psql) and the same on both backends.
#include <QString>
#include <QStringList>
#include <vector>

#include "provision/attempt.h"

namespace r7730::provision {

// [{"section":"wan","key":"ip","sent":"...","read_back":"...","differs":false,"unverified":false}]
QString FieldsJson(const std::vector<TFieldRecord>& fields);
// [{"step":"read status","seconds":0.25}]
QString StepsJson(const std::vector<TStepTime>& steps);
// ["ip","ssid"]
QString TextsJson(const QStringList& texts);

// The reverse of each; a text that is not what the store wrote raises EStoreError.
std::vector<TFieldRecord> FieldsOfJson(const QString& json);
std::vector<TStepTime> StepsOfJson(const QString& json);
QStringList TextsOfJson(const QString& json);

} // namespace r7730::provision
