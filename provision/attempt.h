#pragma once
// One attempt at commissioning one unit: what the record store keeps and the commissioning
// report shows. A unit's password never appears as text here: the batch loop records it as
// PasswordRecord() gives it, and nothing downstream sees more.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "device/settings_texts.h"

namespace r7730::provision {

enum class TAttemptResult { InProgress, Pass, Fail, Refused, Interrupted };

// "IN PROGRESS", "PASS", "FAIL", "REFUSED", "INTERRUPTED": the texts of the record and reports.
QString ResultText(TAttemptResult result);
std::optional<TAttemptResult> ResultNamed(const QString& text);

// One setting of the plan row: as sent and as the device reported it back.
struct TFieldRecord {
    TSection section = TSection::Wan;
    QString key;
    QString sent;
    QString readBack;        // empty when not read back
    bool differs = false;    // read back other than sent, or not reported
    bool unverified = false; // a value with the byte 254: stored, never readable
};

// A step and how long it took: "read status", "wan", "tcp", "ap", "serial", "record".
struct TStepTime {
    QString step;
    double seconds = 0;
};

// A firmware image served to the unit: which file, and how much of it went out.
struct TFirmwareRecord {
    QString file;   // the file's name, without its folder
    qint64 size = 0;
    QByteArray sha256; // lower-case hex
    QString url;    // what the device was told to fetch
    qint64 bytesServed = 0; // over every request of the device, a repeated or resumed one included
};

struct TAttempt {
    qint64 id = 0; // the store's; 0 until stored
    QByteArray planSha256;
    int planRow = 0; // TPlanRow::number; 0 when no row was claimed (a refused MAC)
    QString label;
    QDateTime started; // local time with its zone
    QDateTime ended;   // invalid while in progress
    QString station;   // host name
    qint64 processId = 0;
    QString operatorName;
    QString port; // its stable by-id link where it has one
    QString model;
    QString mac;
    QString firmwareBefore; // "1.03"
    QString firmwareAfter;
    std::vector<TFieldRecord> fields;
    TAttemptResult result = TAttemptResult::InProgress;
    QStringList differs; // keys read back other than sent
    std::vector<TStepTime> steps;
    QString error; // what failed, in plain words (FAIL, REFUSED, INTERRUPTED)
    std::optional<TFirmwareRecord> firmware; // a firmware update's image; none for a settings change
};

// A time as the record, the reports and the progress write it: ISO 8601 with milliseconds and
// the zone's offset ("2025-03-14T09:30:15.123+09:00"); empty for an invalid time.
QString InstantText(const QDateTime& time);

// What is recorded of a password: "set, 8 characters", or "none" for an open network.
QString PasswordRecord(const QString& password);

// Adds a section's fields to the attempt, in the section's key order: each as sent and as read
// back (a key not read back stays empty), a password only as PasswordRecord gives it.
void RecordFields(TAttempt& attempt, TSection section, const TTexts& sent, const TTexts& readBack,
                  const QStringList& differs = {}, const QStringList& unverified = {});

} // namespace r7730::provision
