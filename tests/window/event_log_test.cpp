#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include "window/form_main.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"
#include "support/controls.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

QStringList ViewLines(const TForm_main& form)
{
    return Ctl<QPlainTextEdit>(form, "Memo")->toPlainText().split('\n');
}

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

    EXPECT_EQ(ViewLines(form), (QStringList{"[14:03:27]  Start R7730LX Serial Setup Program...", "[14:03:27]  단말기"}));
    EXPECT_EQ(ReadWholeFile(folder.File("Log/R7730Setup_20210305.log")),
              QByteArray("[14:03:27]  Start R7730LX Serial Setup Program...\r\n"
                         "[14:03:27]  \xB4\xDC\xB8\xBB\xB1\xE2\r\n"));
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
    EXPECT_EQ(Ctl<QPlainTextEdit>(form, "Memo")->toPlainText().count("Log file not written"), 2);
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

    EXPECT_EQ(form.LogViewRowCount(), 500);
    form.AddLogLine(QStringLiteral("501"));
    EXPECT_EQ(form.LogViewRowCount(), 501);
    EXPECT_EQ(ViewLines(form).first(), "[14:03:27]  Start R7730LX Serial Setup Program...");
    form.AddLogLine(QStringLiteral("alone"));
    EXPECT_EQ(ViewLines(form), QStringList{"[14:03:27]  alone"});
}

TEST_F(EventLog, WrappedLinesCountOncePerDisplayedRow)
{
    TForm_main form({services.dialogs, services.clock, services.launcher});
    Ctl<QCheckBox>(form, "CB_SaveLogFile")->setChecked(false);
    form.resize(980, 857);
    form.show();
    form.Btn_ClearClick();
    form.AddLogLine(QString(600, QChar('x')));
    EXPECT_GE(form.LogViewRowCount(), 3);
}

TEST_F(EventLog, ClearLogEmptiesTheViewButNotTheFile)
{
    ASSERT_TRUE(folder.MakeFolder("Log"));
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.Btn_ClearClick();
    EXPECT_TRUE(Ctl<QPlainTextEdit>(form, "Memo")->toPlainText().isEmpty());
    EXPECT_EQ(form.LogViewRowCount(), 0);
    EXPECT_FALSE(ReadWholeFile(folder.File("Log/R7730Setup_20210305.log")).isEmpty());
}
