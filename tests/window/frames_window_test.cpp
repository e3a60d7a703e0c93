// The frames window against the simulated device: opened from the log view's menu on a line,
// the field and byte selections, the filters, the CSV export, and r7730ctl decode over the daily
// log the window wrote in the same session.
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

#include "cli/ctl_run.h"
#include "support/controls.h"
#include "support/fake_services.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"
#include "window/frames/form_frames.h"
#include "window/form_main.h"
#include "window/widgets/hex_view.h"
#include "window/widgets/log_view.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

const QString kStatusReplyLine = "RX MSG ID:[0x41] LEN:[43]:[7E.2B.41.";
const QString kStatusSummary =
    "status: R7730LX 1.03, 00:1A:2B:3C:4D:5E, 192.168.0.10/24 gw 192.168.0.1, TCP server :8080, 115200 8N1 none";

// The window connected to a simulator that sends a frame of the unregistered ID 0x5A first, then
// asked for the status twice: the unregistered frame is answered with a status read of its own.
class FramesWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.show();
        form.DeviceLink().Port().SetPort(simulator.linkPath());
        Ctl<QPushButton>(form, "ButtonStart")->click();
        ASSERT_TRUE(form.DeviceLink().Port().Connected());
        for (int replies : {2, 3}) {
            Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
            ASSERT_TRUE(QTest::qWaitFor([&] { return LogLines().filter(kStatusReplyLine).size() >= replies; }, 5000))
                << LogLines().join('\n').toStdString();
        }
        QTest::qWait(100); // nothing more is on its way
    }

    QStringList LogLines() { return LogViewText(form).split('\n'); }
    // The log's frame lines, in order: the n-th is the n-th frame.
    QStringList FrameLines()
    {
        return LogLines().filter(QRegularExpression(R"(^\[\d\d:\d\d:\d\d\]  (TX 0x|RX MSG ID:))"));
    }

    TForm_Frames& OpenFromTheLogMenuOn(const QTextBlock& block)
    {
        auto* memo = Ctl<QPlainTextEdit>(form, "Memo");
        const QPoint pos = memo->cursorRect(QTextCursor(block)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, memo->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(memo->viewport(), &event);
        Ctl<QAction>(form, "Act_InspectFrames")->trigger();
        return *form.FramesForm();
    }

    QTextBlock FirstBlockWith(const QString& text)
    {
        LogViewText(form);
        for (QTextBlock block = Ctl<QPlainTextEdit>(form, "Memo")->document()->begin(); block.isValid(); block = block.next())
            if (block.text().contains(text))
                return block;
        return {};
    }

    // The rows the frames table shows, each as its column texts.
    static QList<QStringList> Rows(TForm_Frames& frames)
    {
        QAbstractItemModel* model = Ctl<QTableView>(frames, "Grid_Frames")->model();
        QList<QStringList> rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList texts;
            for (int column = 0; column < model->columnCount(); ++column)
                texts << model->index(row, column).data().toString();
            rows << texts;
        }
        return rows;
    }
    static QStringList Column(const QList<QStringList>& rows, int column)
    {
        QStringList texts;
        for (const QStringList& row : rows)
            texts << row[column];
        return texts;
    }

    SimulatorProcess simulator{{"--quiet", "--unknown-id", "5A"}};
    TTempWorkingFolder folder;
    bool logFolderMade = folder.MakeFolder("Log");
    TFakeServices services;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
};

enum { kSequence, kTime, kLatency, kDirection, kMessage, kLength, kSummary };

} // namespace

TEST_F(FramesWindow, OpenedFromTheLogMenuOnAStatusLineSelectsThatFrame)
{
    // Every line shares the stand-in clock's second: the line still finds its own frame.
    const QTextBlock line = FirstBlockWith(kStatusReplyLine);
    ASSERT_TRUE(line.isValid());
    const std::uint64_t frameNumber = FrameLines().indexOf(line.text()) + 1;
    ASSERT_GT(FrameLines().lastIndexOf(line.text()), static_cast<int>(frameNumber) - 1) << "the reply came once";

    TForm_Frames& frames = OpenFromTheLogMenuOn(line);
    EXPECT_TRUE(frames.isVisible());
    EXPECT_EQ(frames.SelectedFrame(), frameNumber);
    const QModelIndex current = Ctl<QTableView>(frames, "Grid_Frames")->currentIndex();
    EXPECT_EQ(current.siblingAtColumn(kDirection).data().toString(), "RX");
    EXPECT_EQ(current.siblingAtColumn(kMessage).data().toString(), "0x41 A Current status read");
    EXPECT_EQ(current.siblingAtColumn(kSummary).data().toString(), kStatusSummary);
    EXPECT_TRUE(current.siblingAtColumn(kLatency).data().toString().endsWith(" ms"));
    EXPECT_TRUE(Ctl<QLabel>(frames, "Lb_FrameDetail")->text().contains("answers #"));
}

TEST_F(FramesWindow, OnlyTheLinksFrameLinesNameAFrame)
{
    // The same text as the newest frame's line, logged by other than the link, names none.
    const QString newestLine = FrameLines().last().mid(QStringLiteral("[hh:mm:ss]  ").size());
    form.AddLogLine(newestLine);
    form.ShowWaitingLogLines();
    QTextBlock last = Ctl<QPlainTextEdit>(form, "Memo")->document()->lastBlock();
    ASSERT_TRUE(last.text().endsWith(newestLine));
    EXPECT_EQ(TLogView::FrameOfLine(last), std::nullopt);
    EXPECT_EQ(TLogView::FrameOfLine(last.previous()), std::optional<std::uint64_t>(form.FrameStore().LastSequence()))
        << last.previous().text().toStdString();
    EXPECT_EQ(TLogView::FrameOfLine(FirstBlockWith("[EOT]")), std::nullopt);
}

TEST_F(FramesWindow, AFieldSelectionHighlightsItsBytesAndAByteSelectsItsField)
{
    TForm_Frames& frames = OpenFromTheLogMenuOn(FirstBlockWith(kStatusReplyLine));
    auto* fields = Ctl<QTableWidget>(frames, "Grid_FrameFields");
    auto* hexView = Ctl<THexView>(frames, "HexView_Frame");
    const auto rowNamed = [&](const QString& name) {
        for (int row = 0; row < fields->rowCount(); ++row)
            if (fields->item(row, 2)->text() == name)
                return row;
        return -1;
    };
    const int mac = rowNamed("MAC address");
    ASSERT_GE(mac, 0);
    EXPECT_EQ(fields->item(mac, 3)->text(), "00 1A 2B 3C 4D 5E");
    EXPECT_EQ(fields->item(mac, 4)->text(), "00:1A:2B:3C:4D:5E");
    fields->selectRow(mac);
    EXPECT_EQ(hexView->HighlightOffset(), 7);
    EXPECT_EQ(hexView->HighlightLength(), 6);

    // Byte 14 (0xA8) is the second octet of the IP address.
    QTest::mouseClick(hexView->viewport(), Qt::LeftButton, {}, hexView->ByteRect(14).center());
    EXPECT_EQ(fields->currentRow(), rowNamed("IP address"));
    EXPECT_EQ(hexView->HighlightOffset(), 13);
    EXPECT_EQ(hexView->HighlightLength(), 4);
}

TEST_F(FramesWindow, RegexTextAndErrorsOnlyShowTheRightRows)
{
    form.InspectFrames();
    TForm_Frames& frames = *form.FramesForm();
    const QStringList lines = FrameLines();
    ASSERT_EQ(Rows(frames).size(), lines.size());

    Ctl<QCheckBox>(frames, "CB_FrameRegex")->setChecked(true);
    Ctl<QLineEdit>(frames, "Edit_FrameFilter")->setText("^status: R7730LX");
    EXPECT_EQ(Column(Rows(frames), kSummary), QStringList(lines.filter(kStatusReplyLine).size(), kStatusSummary));

    Ctl<QCheckBox>(frames, "CB_FrameRegex")->setChecked(false);
    Ctl<QLineEdit>(frames, "Edit_FrameFilter")->setText("7e.05.41.50.fe."); // hex as the log writes it, either case
    EXPECT_EQ(Column(Rows(frames), kSummary), QStringList(lines.filter("TX 0x41 : [5][7E.05.41.50.FE.]").size(), "status read"));

    Ctl<QLineEdit>(frames, "Edit_FrameFilter")->clear();
    Ctl<QCheckBox>(frames, "CB_FrameErrorsOnly")->setChecked(true);
    const QList<QStringList> errors = Rows(frames);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0][kMessage], "0x5A Z");
    EXPECT_EQ(errors[0][kSummary], "unregistered ID 0x5A, 5 bytes");
    EXPECT_EQ(Ctl<QLabel>(frames, "Lb_FrameCount")->text(), QStringLiteral("1 of %1 frames shown").arg(lines.size()));

    // The message filter names each ID as the log writes it.
    Ctl<QCheckBox>(frames, "CB_FrameErrorsOnly")->setChecked(false);
    auto* messages = Ctl<QComboBox>(frames, "CB_FrameMessage");
    EXPECT_EQ(messages->itemText(1), "0x41 A Current status read");
    const int signal = messages->findData(0x4A);
    ASSERT_GE(signal, 0);
    EXPECT_EQ(messages->itemText(signal), "0x4A J Read signal strength");
    messages->setCurrentIndex(1);
    EXPECT_EQ(Rows(frames).size(), lines.filter("TX 0x41 ").size() + lines.filter("RX MSG ID:[0x41]").size());
}

TEST_F(FramesWindow, CsvExportReadBackEqualsTheFrames)
{
    form.InspectFrames();
    TForm_Frames& frames = *form.FramesForm();
    const QString path = folder.File("frames.csv");
    frames.ExportTo(path);
    QStringList records = QString::fromUtf8(ReadWholeFile(path)).split("\r\n");
    ASSERT_EQ(records.takeLast(), ""); // CR LF after the last record too
    ASSERT_EQ(records.takeFirst(), "time,direction,id,length,hex,summary");
    const QList<QStringList> rows = Rows(frames);
    ASSERT_EQ(records.size(), rows.size());
    const QRegularExpression csv(R"(^(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(?:Z|[+-]\d\d:\d\d)),(TX|RX),(0x[0-9A-F]{2}),(\d+),([0-9A-F ]+),(.*)$)");
    for (int i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(records[i].toStdString());
        const QRegularExpressionMatch fields = csv.match(records[i]);
        ASSERT_TRUE(fields.hasMatch());
        EXPECT_TRUE(fields.captured(1).contains("T" + rows[i][kTime]));
        EXPECT_EQ(fields.captured(2), rows[i][kDirection]);
        EXPECT_TRUE(rows[i][kMessage].startsWith(fields.captured(3)));
        EXPECT_EQ(fields.captured(4), rows[i][kLength]);
        EXPECT_EQ(fields.captured(5).split(' ').size(), rows[i][kLength].toInt());
        QString summary = rows[i][kSummary];
        if (summary.contains(','))
            summary = '"' + summary.replace("\"", "\"\"") + '"';
        EXPECT_EQ(fields.captured(6), summary);
    }
    EXPECT_FALSE(records.filter(QRegularExpression(",TX,0x41,5,7E 05 41 50 FE,status read$")).isEmpty());
    EXPECT_EQ(records.filter(QRegularExpression(R"(,RX,0x5A,5,7E 05 5A 50 FE,"unregistered ID 0x5A, 5 bytes"$)")).size(), 1);
}

TEST_F(FramesWindow, DecodeOfTheDailyLogGivesOneEntryPerFrameWithItsPairing)
{
    form.InspectFrames();
    const QList<QStringList> rows = Rows(*form.FramesForm());
    const TRun run = RunCtl({"decode", "--json", "Log/R7730Setup_20210305.log"}, folder.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QStringList entries = run.out.split('\n');
    ASSERT_EQ(entries.takeLast(), "");
    ASSERT_EQ(entries.size(), rows.size()) << run.out.toStdString();
    for (int i = 0; i < rows.size(); ++i) {
        const QJsonObject entry = QJsonDocument::fromJson(entries[i].toUtf8()).object();
        EXPECT_EQ(entry["sequence"].toInteger(), rows[i][kSequence].toLongLong());
        EXPECT_EQ(entry["time"].toString(), "2021-03-05T14:03:27");
        EXPECT_EQ(entry["direction"].toString(), rows[i][kDirection]);
        EXPECT_EQ(entry["summary"].toString(), rows[i][kSummary]);
        // A reply answers the request the window paired it with; both read the same order.
        const bool paired = !rows[i][kLatency].isEmpty();
        EXPECT_EQ(entry.contains("answers"), paired) << entries[i].toStdString();
    }
    EXPECT_TRUE(run.err.contains(QStringLiteral("%1 frames").arg(rows.size())));
}
