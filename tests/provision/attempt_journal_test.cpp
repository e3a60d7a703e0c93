// The journal of ended attempts on real files in a temporary folder: what goes in comes back
// once, until the store has it; a crash's half line, a path that is no regular file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "provision/attempt_journal.h"
#include "support/qt_printers.h"

using namespace r7730;
using namespace r7730::provision;

namespace {

TAttempt Ended(qint64 id, const QString& label, TAttemptResult result)
{
    return TAttempt{
        .id = id,
        .planSha256 = "9f2c4e1ab07d3c58e6f1a2b3c4d5e6f708192a3b4c5d6e7f8091a2b3c4d5e6f7",
        .planRow = static_cast<int>(id),
        .label = label,
        .started = QDateTime::fromString("2026-03-14T09:30:15.123+09:00", Qt::ISODateWithMs),
        .ended = QDateTime::fromString("2026-03-14T09:30:19.001+09:00", Qt::ISODateWithMs),
        .station = "line-2",
        .processId = 4242,
        .operatorName = "kim",
        .port = "/dev/ttyUSB0",
        .model = "R7730LX",
        .mac = "00:1A:2B:3C:4D:01",
        .firmwareBefore = "1.03",
        .firmwareAfter = "1.03",
        .fields = {{TSection::Wan, "ip", "10.1.0.1", "10.1.0.1", false, false}},
        .result = result,
        .differs = {},
        .steps = {{"read status", 0.25}, {"wan", 1.5}},
        .error = result == TAttemptResult::Pass ? QString() : QStringLiteral("wan: the port went away"),
        .firmware = std::nullopt,
    };
}

QStringList Replayed(TAttemptJournal& journal, int acceptBeforeAway = 1000)
{
    QStringList seen;
    journal.Replay([&](const TAttempt& attempt) {
        if (seen.size() >= acceptBeforeAway)
            return false;
        seen << QStringLiteral("%1 %2 %3").arg(attempt.id).arg(attempt.label, ResultText(attempt.result));
        return true;
    });
    return seen;
}

} // namespace

TEST(AttemptJournal, WhatTheStoreHasNotGotIsReplayedOnceAndInOrder)
{
    QTemporaryDir folder;
    TAttemptJournal journal(folder.filePath("reports/journal.jsonl"));
    EXPECT_EQ(Replayed(journal), QStringList()) << "no file yet: nothing to replay";

    const QString recorded = journal.Append(Ended(1, "A-01", TAttemptResult::Pass));
    journal.MarkRecorded(recorded);
    journal.Append(Ended(2, "A-02", TAttemptResult::Pass));
    journal.Append(Ended(3, "A-03", TAttemptResult::Fail));
    TAttemptJournal other(journal.Path()); // another station's journal in the same file
    other.Append(Ended(4, "A-04", TAttemptResult::Interrupted));

    // The store goes away again after the first: the rest wait for the next replay.
    EXPECT_EQ(Replayed(journal, 1), QStringList{"2 A-02 PASS"});
    EXPECT_EQ(Replayed(journal), (QStringList{"3 A-03 FAIL", "4 A-04 INTERRUPTED"}));
    EXPECT_EQ(Replayed(journal), QStringList());
    EXPECT_EQ(QFileInfo(journal.Path()).size(), 0) << "all recorded: the journal starts afresh";
}

TEST(AttemptJournal, AnAttemptComesBackWholeAndAHalfWrittenLineIsSkipped)
{
    QTemporaryDir folder;
    TAttemptJournal journal(folder.filePath("journal.jsonl"));
    const TAttempt written = Ended(7, "라인-07", TAttemptResult::Fail);
    journal.Append(written);
    {
        QFile file(journal.Path());
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(R"({"entry":"cut","attempt":{"id":8,"res)"); // a crash in the middle of a line
    }
    std::vector<TAttempt> replayed;
    journal.Replay([&](const TAttempt& attempt) {
        replayed.push_back(attempt);
        return true;
    });
    ASSERT_EQ(replayed.size(), 1u);
    const TAttempt& read = replayed[0];
    EXPECT_EQ(AttemptJournalLine(read), AttemptJournalLine(written));
    EXPECT_EQ(read.started, written.started);
    EXPECT_EQ(read.error, "wan: the port went away");
    ASSERT_EQ(read.fields.size(), 1u);
    EXPECT_EQ(read.fields[0].readBack, "10.1.0.1");
}

TEST(AttemptJournal, APathThatTakesNoJournalIsRefusedByName)
{
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir("folder"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(folder.filePath("elsewhere.jsonl"), folder.filePath("link")));
    struct TCase {
        QString name;
        QString refusal;
    };
    for (const TCase& c : std::vector<TCase>{
             {"folder", "cannot be opened: "},
             {"fifo", "is not a regular file."},
             {"link", "cannot be opened: "},
         }) {
        TAttemptJournal journal(folder.filePath(c.name));
        try {
            journal.Append(Ended(1, "A-01", TAttemptResult::Pass));
            ADD_FAILURE() << "appended to " << c.name.toStdString();
        } catch (const EJournalError& error) {
            EXPECT_TRUE(error.Text().startsWith("The journal " + folder.filePath(c.name) + " ")) << error.what();
            EXPECT_TRUE(error.Text().contains(c.refusal)) << error.what();
        }
    }
    EXPECT_FALSE(QFile::exists(folder.filePath("elsewhere.jsonl"))) << "a link is never followed";

    TAttemptJournal none{QString()};
    EXPECT_EQ(none.Append(Ended(1, "A-01", TAttemptResult::Pass)), QString());
    EXPECT_EQ(Replayed(none), QStringList());
}
