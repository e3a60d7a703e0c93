#include <QCheckBox>
#include <QFile>
#include <QGlyphRun>
#include <QPlainTextEdit>
#include <QRawFont>
#include <QScrollBar>
#include <QTest>
#include <QTextLayout>
#include <gtest/gtest.h>

#include "window/form_main.h"
#include "window/widgets/log_view.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"
#include "support/controls.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

QStringList ViewLines(TForm_main& form)
{
    return LogViewText(form).split('\n');
}

// The log view's displayed rows with every line logged so far in it.
int LogViewRows(TForm_main& form)
{
    return Ctl<TLogView>(form, "Memo")->RowCount();
}

// Counts the events of one type that reach the objects it watches.
class TEventCounter : public QObject {
public:
    TEventCounter(QEvent::Type type, int& count) : type_(type), count_(count) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type_)
            ++count_;
        return false;
    }

private:
    QEvent::Type type_;
    int& count_;
};

class EventLog : public ::testing::Test {
protected:
    TTempWorkingFolder folder;
    TFakeServices services;
};

} // namespace

TEST_F(EventLog, LinesGoToTheViewAndTheDailyFileInCp949)
{
    ASSERT_TRUE(folder.MakeFolder("Log"));
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.AddLogLine(QStringLiteral("단말기"));
    form.AddLogLine(QStringLiteral("res[6] = [AP\r\n\x01]")); // a device's text with control characters

    EXPECT_EQ(ViewLines(form), (QStringList{"[14:03:27]  Start R7730LX Serial Setup Program...", "[14:03:27]  단말기",
                                            "[14:03:27]  res[6] = [AP\\r\\n\\x01]"}));
    EXPECT_EQ(ReadWholeFile(folder.File("Log/R7730Setup_20210305.log")),
              QByteArray("[14:03:27]  Start R7730LX Serial Setup Program...\r\n"
                         "[14:03:27]  \xB4\xDC\xB8\xBB\xB1\xE2\r\n"
                         "[14:03:27]  res[6] = [AP\\r\\n\\x01]\r\n"));
    EXPECT_TRUE(services.dialogs.errors.isEmpty());
}

TEST_F(EventLog, FileIsAppendedAcrossRunsAndNamedByTheDateOfEachLine)
{
    ASSERT_TRUE(folder.MakeFolder("Log"));
    {
        TForm_main first({services.dialogs, services.clock, services.launcher});
    }
    services.clock.now = {2021, 12, 31, 23, 59, 59};
    TForm_main second({services.dialogs, services.clock, services.launcher});
    EXPECT_EQ(ReadWholeFile(folder.File("Log/R7730Setup_20210305.log")),
              QByteArray("[14:03:27]  Start R7730LX Serial Setup Program...\r\n"));
    EXPECT_EQ(ReadWholeFile(folder.File("Log/R7730Setup_20211231.log")),
              QByteArray("[23:59:59]  Start R7730LX Serial Setup Program...\r\n"));
}

TEST_F(EventLog, MissingLogFolderNeverStopsTheCallerAndIsToldOncePerRunOfFailures)
{
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.AddLogLine(QStringLiteral("second"));

    QStringList lines = ViewLines(form);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "[14:03:27]  Start R7730LX Serial Setup Program...");
    EXPECT_TRUE(lines[1].startsWith("[14:03:27]  Log file not written: Log/R7730Setup_20210305.log: No such file or directory"))
        << lines[1].toStdString();
    EXPECT_EQ(lines[2], "[14:03:27]  second");
    EXPECT_TRUE(services.dialogs.errors.isEmpty());

    // A write that succeeds ends the run of failures; the next failure is told again.
    ASSERT_TRUE(folder.MakeFolder("Log"));
    form.AddLogLine(QStringLiteral("written"));
    ASSERT_TRUE(QDir(folder.File("Log")).removeRecursively());
    form.AddLogLine(QStringLiteral("lost again"));
    EXPECT_EQ(LogViewText(form).count("Log file not written"), 2);
    lines = ViewLines(form);
    EXPECT_EQ(lines[lines.size() - 2], "[14:03:27]  lost again");
    EXPECT_TRUE(lines.last().contains("Log file not written"));
}

TEST_F(EventLog, UncheckedSaveLogFileTouchesNoFile)
{
    TForm_main form({services.dialogs, services.clock, services.launcher});
    Ctl<QCheckBox>(form, "CB_SaveLogFile")->setChecked(false);
    form.Btn_ClearClick();
    form.AddLogLine(QStringLiteral("view only"));
    EXPECT_EQ(ViewLines(form), QStringList{"[14:03:27]  view only"});
}

TEST_F(EventLog, ViewHolds501RowsAndTheNextLineStartsAFreshView)
{
    ASSERT_TRUE(folder.MakeFolder("Log"));
    TForm_main form({services.dialogs, services.clock, services.launcher});
    Ctl<QCheckBox>(form, "CB_SaveLogFile")->setChecked(false);
    for (int i = 2; i <= 500; ++i)
        form.AddLogLine(QString::number(i));

    EXPECT_EQ(LogViewRows(form), 500);
    form.AddLogLine(QStringLiteral("501"));
    EXPECT_EQ(LogViewRows(form), 501);
    EXPECT_EQ(ViewLines(form).first(), "[14:03:27]  Start R7730LX Serial Setup Program...");
    form.AddLogLine(QStringLiteral("alone"));
    EXPECT_EQ(ViewLines(form), QStringList{"[14:03:27]  alone"});
}

// Rows of a line as a plain layout of the view's font at the view's text width puts them:
// worked out here independently of how the window counts.
int RowsAtViewWidth(const QPlainTextEdit& memo, const QString& line, QSet<QString>* faces = nullptr)
{
    QTextLayout layout(line, memo.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int rows = 0;
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine(), ++rows)
        row.setLineWidth(memo.viewport()->width() - 2 * memo.document()->documentMargin());
    layout.endLayout();
    if (faces)
        for (const QGlyphRun& run : layout.glyphRuns())
            faces->insert(run.rawFont().familyName());
    return rows;
}

TEST_F(EventLog, WrappedAndHangulLinesCountOncePerDisplayedRowAtThe500RowLimit)
{
    TForm_main form({services.dialogs, services.clock, services.launcher});
    Ctl<QCheckBox>(form, "CB_SaveLogFile")->setChecked(false);
    form.resize(980, 857);
    form.show();
    const QPlainTextEdit& memo = *Ctl<QPlainTextEdit>(form, "Memo");
    const QString stamp = QStringLiteral("[14:03:27]  ");

    const struct {
        const char* name;
        QString message;
    } kinds[] = {
        {"wrapped anywhere", QString(600, QChar('x'))},
        {"wrapped at word boundaries", QStringLiteral("7E.2B.41.50 0A.0B.0C.0D.0E ").repeated(16)},
        {"Hangul from a fallback face", QStringLiteral("단말기의 Serial Port 상태를 확인하십시오. ").repeated(8)},
    };
    for (const auto& kind : kinds) {
        QSet<QString> faces;
        const int rows = RowsAtViewWidth(memo, stamp + kind.message, &faces);
        ASSERT_GE(rows, 3) << kind.name;
        if (kind.message.contains(QStringLiteral("단"))) {
            ASSERT_GE(faces.size(), 2) << "Hangul drawn from the log font's own face";
        }
        // The wrapped line ends at row 500 (the next line still fits) or at row 501 (the next
        // line starts a fresh view): a wrapped line counted as one row would miss both.
        for (const int endRow : {500, 501}) {
            SCOPED_TRACE(std::string(kind.name) + ", ending at row " + std::to_string(endRow));
            form.Btn_ClearClick();
            for (int row = 0; row < endRow - rows; ++row)
                form.AddLogLine(QStringLiteral("n"));
            form.AddLogLine(kind.message);
            EXPECT_EQ(LogViewRows(form), endRow);
            form.AddLogLine(QStringLiteral("next"));
            if (endRow == 500) {
                EXPECT_EQ(LogViewRows(form), 501);
                EXPECT_EQ(ViewLines(form).first(), stamp + "n");
            } else {
                EXPECT_EQ(ViewLines(form), QStringList{stamp + "next"});
            }
        }
    }
}

TEST_F(EventLog, ANarrowerViewRecountsItsLinesForTheLimit)
{
    TForm_main form({services.dialogs, services.clock, services.launcher});
    Ctl<QCheckBox>(form, "CB_SaveLogFile")->setChecked(false);
    form.resize(980, 857);
    form.show();
    const QPlainTextEdit& memo = *Ctl<QPlainTextEdit>(form, "Memo");
    const QString message = QString(300, QChar('x'));
    form.Btn_ClearClick();
    for (int i = 0; i < 100; ++i)
        form.AddLogLine(message);
    const int wideRows = 100 * RowsAtViewWidth(memo, "[14:03:27]  " + message);

    form.resize(700, 857);
    form.AddLogLine(QStringLiteral("n"));
    const int narrowRows = 100 * RowsAtViewWidth(memo, "[14:03:27]  " + message) + 1;
    ASSERT_GT(narrowRows, wideRows + 1);
    EXPECT_EQ(LogViewRows(form), narrowRows);
}

TEST_F(EventLog, LinesLoggedBeforeTheWindowIsShownCountAtTheWidthItIsShownWith)
{
    TForm_main form({services.dialogs, services.clock, services.launcher});
    Ctl<QCheckBox>(form, "CB_SaveLogFile")->setChecked(false);
    const QString message = QString(300, QChar('x'));
    form.Btn_ClearClick();
    for (int i = 0; i < 10; ++i)
        form.AddLogLine(message);
    form.show();
    form.AddLogLine(QStringLiteral("n"));
    EXPECT_EQ(LogViewRows(form), 10 * RowsAtViewWidth(*Ctl<QPlainTextEdit>(form, "Memo"), "[14:03:27]  " + message) + 1);
}

// Lines logged pass after pass, as a flood of replies brings them: each enters the file at
// once, and the view takes them all, in order, in one refresh that paints it once.
TEST_F(EventLog, LinesOfManyPassesArePaintedTogetherAndKeepTheirOrderInTheViewAndTheFile)
{
    ASSERT_TRUE(folder.MakeFolder("Log"));
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.resize(980, 857);
    form.show();
    QPlainTextEdit& memo = *Ctl<QPlainTextEdit>(form, "Memo");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(50);

    int paints = 0;
    TEventCounter counter(QEvent::Paint, paints);
    memo.viewport()->installEventFilter(&counter);

    const QString stamp = QStringLiteral("[14:03:27]  ");
    QStringList expected{stamp + "Start R7730LX Serial Setup Program..."};
    int rows = RowsAtViewWidth(memo, expected.first());
    QByteArray expectedFile = "[14:03:27]  Start R7730LX Serial Setup Program...\r\n";
    // Past the 500-row limit on the way, so the view also starts afresh inside the batch.
    constexpr int kLines = 450;
    for (int i = 0; i < kLines; ++i) {
        const QString message = i % 3 == 0 ? QStringLiteral("단말기 %1").arg(i)
                              : i % 3 == 1 ? QStringLiteral("RX 0x41 : [43][%1]").arg(QString(129, QChar('F')))
                                           : QStringLiteral("[EOT]");
        QMetaObject::invokeMethod(&form, [&form, message] { form.AddLogLine(message); }, Qt::QueuedConnection);
        if (rows > 500) {
            expected.clear();
            rows = 0;
        }
        expected << stamp + message;
        rows += RowsAtViewWidth(memo, stamp + message);
        expectedFile += "[14:03:27]  ";
        expectedFile += i % 3 == 0 ? QByteArray("\xB4\xDC\xB8\xBB\xB1\xE2 ") + QByteArray::number(i) : message.toLatin1();
        expectedFile += "\r\n";
    }
    // Every queued line is handled, each in a pass of its own, without timers firing.
    for (int i = 0; i < kLines; ++i)
        QCoreApplication::sendPostedEvents();
    EXPECT_EQ(paints, 0) << "painted before the batch's refresh";
    EXPECT_EQ(ReadWholeFile(folder.File("Log/R7730Setup_20210305.log")), expectedFile);

    ASSERT_TRUE(QTest::qWaitFor([&] { return paints > 0; }));
    QTest::qWait(30);
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(memo.verticalScrollBar()->value(), memo.verticalScrollBar()->maximum());
    const QPoint bottomLeft(4, memo.viewport()->height() - 4);
    EXPECT_EQ(memo.cursorForPosition(bottomLeft).block().blockNumber(), memo.document()->lastBlock().blockNumber())
        << "the last line is not at the bottom of the view";
    EXPECT_LT(expected.size(), kLines) << "the batch never reached the row limit";
    EXPECT_EQ(ViewLines(form), expected);
}

TEST_F(EventLog, ClearLogEmptiesTheViewButNotTheFile)
{
    ASSERT_TRUE(folder.MakeFolder("Log"));
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.Btn_ClearClick();
    EXPECT_TRUE(LogViewText(form).isEmpty());
    EXPECT_EQ(LogViewRows(form), 0);
    EXPECT_FALSE(ReadWholeFile(folder.File("Log/R7730Setup_20210305.log")).isEmpty());
}
