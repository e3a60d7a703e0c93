#pragma once
// What r7730ctl prints: aligned text for a person on standard output, or with --json one JSON
// document for a script; notes about waiting go to standard error, and only when it is a
// terminal, so a script's output stays clean.
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include "device/settings_text_checks.h"

namespace r7730::cli {

class TOutput {
public:
    explicit TOutput(bool json);

    bool Json() const { return json_; }

    // Text mode only (ignored with --json).
    void Line(const QString& line = {});
    // "label   value" lines with the values lined up: after the longest label, or at
    // labelWidth when that is wider.
    void Fields(const QList<std::pair<QString, QString>>& fields, int labelWidth = 0);
    // Rows of columns lined up under their widest cell; the first row is the header.
    void Table(const QList<QStringList>& rows);

    // With --json: the one document of the run (printed by Finish).
    void SetDocument(const QJsonValue& document) { document_ = document; }
    // With --json, for a run that tells its events as they come: the event as one compact line
    // (JSON Lines) at once; the document (or failure) that Finish prints is then one line too.
    void JsonLine(const QJsonObject& event);
    // With --json, for a run whose whole output is JSON Lines, before its first event: a
    // failure that comes first is one line too.
    void UseJsonLines() { jsonLines_ = true; }
    // Prints the JSON document, if any was set or a failure made one.
    void Finish();

    // Waiting notes on standard error, when it is a terminal.
    void Progress(const QString& note) const;
    // A failure on standard error (and, with --json, as the document).
    void Failure(int code, const QString& message);

private:
    bool json_;
    bool progressShown_;
    bool jsonLines_ = false;
    QJsonValue document_{QJsonValue::Undefined}; // none: a run of JSON Lines prints no closing document
};

// Columns a text takes on a terminal (Hangul and other wide characters take two), and the text
// padded with blanks to a width.
qsizetype DisplayWidth(const QString& text);
QString Padded(const QString& text, qsizetype width);

// A text a person gave, for a message: whole up to 80 characters, else its first 80 followed by
// "... (N characters)", so a huge value is not echoed back whole. A control character shows as
// \xNN, so the message stays one line.
QString Excerpt(const QString& text);

// The texts of a section as "key value" fields, in the section's key order.
QList<std::pair<QString, QString>> FieldsOf(TSection section, const TTexts& texts);
// The texts as a JSON object, numbers where the key holds one.
QJsonObject JsonOf(const TTexts& texts);

} // namespace r7730::cli
