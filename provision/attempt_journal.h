#pragma once
// A station's journal of ended attempts, so that no verified unit is lost while the record store
// is away: each attempt is appended and synced to disk before the store is written, marked once
// the store has it, and what is not marked is recorded when the store answers again (at the
// next start at the latest, before any new claim).
//
// Principles of operation. One JSON document per line: {"entry": KEY, "attempt": {...}} for an
// ended attempt (with the store's id when it claimed a row), {"recorded": KEY} once the store has
// it. Keys are unique across processes, so the stations of several processes may share one
// journal; every append and every replay holds an exclusive lock on the file. A line cut short
// by a crash is skipped. Once every entry is recorded the file is emptied.
#include <QString>
#include <functional>
#include <stdexcept>
#include <vector>

#include "provision/attempt.h"

namespace r7730::provision {

// The journal cannot be written or read; the text names the file and why.
class EJournalError : public std::runtime_error {
public:
    explicit EJournalError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    QString Text() const { return text_; }

private:
    QString text_;
};

// An attempt as one line of JSON and back; a text that is no such line gives nothing.
QByteArray AttemptJournalLine(const TAttempt& attempt);
std::optional<TAttempt> AttemptOfJournalLine(const QByteArray& json);

class TAttemptJournal {
public:
    // The file is made (with its folder) at the first append. An empty path keeps no journal:
    // Append gives an empty key, and nothing is replayed.
    explicit TAttemptJournal(QString path);

    const QString& Path() const { return path_; }

    // Appends the ended attempt and syncs it to disk; returns its key. Raises EJournalError.
    QString Append(const TAttempt& attempt);
    // The store has the entry of key now. Raises EJournalError.
    void MarkRecorded(const QString& key);

    // Hands every entry not yet recorded to record, oldest first, under the file's lock, and
    // marks each for which record returns true; stops at the first that returns false (the
    // store is away again) or raises. Returns how many were recorded. A missing file has none.
    int Replay(const std::function<bool(const TAttempt& attempt)>& record);

private:
    QString path_;
    QString instance_;
    int counter_ = 0;
};

} // namespace r7730::provision
