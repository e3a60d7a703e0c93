// The frames window over a store of 200 frames, which lets the oldest 2 go each time it is full,
// in a flood the window has not caught up with: the table follows each eviction at once, never
// shows a frame that is gone, and the details pane says when the frame it shows went. Its export
// to a file that cannot take one.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "device/frame_store.h"
#include "shell/event_log_file.h"
#include "support/controls.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"
#include "window/frames/form_frames.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

class FramesEviction : public ::testing::Test {
protected:
    void SetUp() override { frames.show(); }

    // count more frames: status reads, every third a signal strength read.
    void Flood(int count)
    {
        for (int i = 0; i < count; ++i) {
            ++seen;
            const std::vector<std::uint8_t> bytes = seen % 3 == 0 ? std::vector<std::uint8_t>{0x7E, 0x05, 0x4A, 0x50, 0xFE}
                                                                  : std::vector<std::uint8_t>{0x7E, 0x05, 0x41, 0x50, 0xFE};
            store.FrameObserved({std::chrono::microseconds(seen * 1000), std::chrono::system_clock::now(), TFrameDirection::Sent,
                                 TFrameKind::Frame, bytes});
        }
    }

    // The "#" column, top to bottom, as the table shows it.
    QStringList Numbers()
    {
        QAbstractItemModel* model = Ctl<QTableView>(frames, "Grid_Frames")->model();
        QStringList numbers;
        for (int row = 0; row < model->rowCount(); ++row)
            numbers << model->index(row, 0).data().toString();
        return numbers;
    }

    TFrameStore store{200};
    TFakeServices services;
    TForm_Frames frames{store, services.dialogs};
    int seen = 0;
};

QStringList Range(int first, int last, int skipEvery = 0)
{
    QStringList numbers;
    for (int n = first; n <= last; ++n)
        if (skipEvery == 0 || n % skipEvery != 0)
            numbers << QString::number(n);
    return numbers;
}

} // namespace

TEST_F(FramesEviction, TheTableFollowsEachEvictionAtOnceAndTheDetailsSayTheFrameIsGone)
{
    Flood(200);
    frames.Refresh();
    frames.ShowFrame(1);
    ASSERT_EQ(frames.SelectedFrame(), 1u);
    ASSERT_TRUE(Ctl<QLabel>(frames, "Lb_FrameDetail")->text().startsWith("#1  TX"));

    // Frame 201 makes the store let 1 and 2 go; the window has not caught up with 201 yet.
    Flood(1);
    frames.grab(); // a paint now reads only frames the store holds
    EXPECT_EQ(Numbers(), Range(3, 200));
    EXPECT_EQ(Ctl<QLabel>(frames, "Lb_FrameDetail")->text(), "#1 is gone: the 2 oldest frames were let go (the newest 200 are kept)");
    EXPECT_EQ(frames.SelectedFrame(), std::nullopt);

    frames.Refresh();
    EXPECT_EQ(Numbers(), Range(3, 201));
    EXPECT_EQ(Ctl<QLabel>(frames, "Lb_FrameCount")->text(),
              "199 of 199 frames shown; 2 older frames let go (the newest 200 are kept)");

    // A frame still kept stays selected through an eviction of others.
    frames.ShowFrame(150);
    Flood(2);
    EXPECT_EQ(frames.SelectedFrame(), 150u);
    EXPECT_TRUE(Ctl<QLabel>(frames, "Lb_FrameDetail")->text().startsWith("#150  TX"));
}

TEST_F(FramesEviction, AFilterTypedDuringAFloodShowsOnlyFramesTheStoreHolds)
{
    Flood(200);
    frames.Refresh();
    auto* filter = Ctl<QLineEdit>(frames, "Edit_FrameFilter");
    // A letter, 50 frames, a paint, and every other time a catch-up: evictions under the filter.
    int letter = 0;
    for (const QChar c : QStringLiteral("status")) {
        filter->setText(filter->text() + c);
        Flood(50);
        frames.grab();
        if (++letter % 2 == 1)
            frames.Refresh();
    }
    frames.grab();
    // 500 frames seen, 300 let go; caught up after letters 1, 3 and 5: up to 450.
    EXPECT_EQ(store.LetGo(), 300u);
    EXPECT_EQ(Numbers(), Range(301, 450, 3)) << "the status reads kept, up to the last catch-up";
    frames.Refresh();
    EXPECT_EQ(Numbers(), Range(301, 500, 3));
}

TEST_F(FramesEviction, AnExportGoesBesideTheFileAndRefusesWhatIsNotARegularFile)
{
    TTempWorkingFolder folder;
    folder.MakeFolder("folder");
    ASSERT_EQ(::mkfifo("fifo", 0600), 0); // nobody reads it: an open for writing would never return
    ASSERT_TRUE(WriteWholeFile(folder.File("frames.csv"), "old\n"));
    Flood(2);
    frames.Refresh();
    for (const auto& [name, why] : {std::pair{"folder", "it is a folder, not a regular file"}, {"fifo", "it is a FIFO, not a regular file"}}) {
        try {
            frames.ExportTo(folder.File(name));
            ADD_FAILURE() << name;
        } catch (const EInOutError& error) {
            EXPECT_EQ(std::string(error.what()), why);
        }
    }
    frames.ExportTo(folder.File("frames.jsonl"));
    EXPECT_EQ(ReadWholeFile(folder.File("frames.jsonl")).count('\n'), 2);
    frames.ExportTo(folder.File("frames.csv"));
    EXPECT_TRUE(ReadWholeFile(folder.File("frames.csv")).startsWith("time,direction,id,length,hex,summary\r\n"));
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 3) << "fifo, frames.csv, frames.jsonl";
}
