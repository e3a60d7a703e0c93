// The access point scan grid, filled by scan replies from a device on a pseudo-terminal: its
// connected shape, its fixed title row and number column, how its cells are drawn, and what a
// click or a double click on it does.
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string_view>

#include "support/controls.h"
#include "support/device_frames.h"
#include "support/fake_services.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"
#include "window/form_main.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

QByteArray Q(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// One access point of a scan reply: SSID (32 bytes), channel (4), RSSI (4) and authentication
// mode (12), each blank-padded on the left.
Bytes AccessPoint(std::string_view ssid, std::string_view channel, std::string_view rssi, std::string_view auth)
{
    auto field = [](std::string_view value, std::size_t width) { return join({blanks(width - value.size()), text(value)}); };
    return join({field(ssid, 32), field(channel, 4), field(rssi, 4), field(auth, 12)});
}

// Six access points, more than the grid shows at once. The frame is 318 bytes long; its length
// byte holds the low byte, 0x3E. The second SSID is 한글네트 in CP949.
const Bytes kSixAccessPoints = join({
    hex("7E 3E 48 50"), text("6"),
    AccessPoint("Office", "6", "-65", "WPA2_PSK"),
    AccessPoint("\xC7\xD1\xB1\xDB\xB3\xD7\xC6\xAE", "11", "-70", "WPA_PSK"),
    AccessPoint("Cafe", "1", "-75", "OPEN"),
    AccessPoint("Lab", "3", "-80", "WPA2_PSK"),
    AccessPoint("Guest", "9", "-85", "OPEN"),
    AccessPoint("Last AP", "13", "-90", "WPA2_PSK"),
    hex("FE"),
});

// The pixels of `cell` that differ from its background (its top left pixel, above the text).
struct TInk {
    QRect box;           // the smallest rectangle around them
    long weight = 0;     // how far they differ, summed
    QColor strongest;    // the one that differs most
};

int Difference(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

TInk InkOf(const QImage& image, const QRect& cell)
{
    const QRgb background = image.pixel(cell.left() + 1, cell.top() + 1);
    TInk ink;
    int most = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const int difference = Difference(image.pixel(x, y), background);
            if (difference < 60)
                continue;
            ink.box |= QRect(x, y, 1, 1);
            ink.weight += difference;
            if (difference > most) {
                most = difference;
                ink.strongest = QColor::fromRgb(image.pixel(x, y));
            }
        }
    }
    return ink;
}

class ScanGrid : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(device.IsOpen());
        form.show();
        Ctl<QTabWidget>(form, "PageControl1")->setCurrentIndex(1);
        form.DeviceLink().Port().SetPort(device.SlavePath().toStdString());
        Connect();
    }
    void TearDown() override { form.DeviceLink().Port().ClosePort(); }

    void Connect()
    {
        Ctl<QPushButton>(form, "ButtonStart")->click();
        ASSERT_TRUE(form.DeviceLink().Port().Connected());
    }
    // The device answers a scan with six access points.
    void Scan()
    {
        device.Write(Q(kSixAccessPoints));
        ASSERT_TRUE(QTest::qWaitFor([&] { return grid->rowCount() == 7 && grid->item(6, 5); }, 5000));
    }
    // As the system delivers one: a click, then the second press as a double click.
    void DoubleClick(const QPoint& point)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, point);
    }
    QRect Cell(int row, int column) const { return grid->visualRect(grid->model()->index(row, column)); }
    QImage Shown(const QRect& area) const { return grid->viewport()->grab(area).toImage(); }

    TTempWorkingFolder folder;
    TFakeServices services;
    TPseudoTerminal device;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
    QTableWidget* grid = Ctl<QTableWidget>(form, "APList_Grid");
};

} // namespace

TEST_F(ScanGrid, ConnectGivesSixTitledColumnsAndKeepsTheRowsOfTheLastScan)
{
    auto expectConnectedShape = [&] {
        const QStringList titles = {QStringLiteral("순번"), "SSID", "CH", "RSSI", "Quality", "Auth Mode"};
        const int widths[] = {60, 290, 60, 65, 70, 220};
        ASSERT_EQ(grid->columnCount(), 6);
        for (int column = 0; column < 6; ++column) {
            ASSERT_NE(grid->item(0, column), nullptr) << column;
            EXPECT_EQ(grid->item(0, column)->text(), titles[column]);
            EXPECT_EQ(grid->columnWidth(column), widths[column]);
        }
    };
    expectConnectedShape();
    EXPECT_EQ(grid->rowCount(), 5);
    Scan();
    Ctl<QPushButton>(form, "ButtonStop")->click();
    Connect();
    expectConnectedShape();
    EXPECT_EQ(grid->rowCount(), 7);
    EXPECT_EQ(grid->item(6, 1)->text(), "Last AP");
    EXPECT_EQ(grid->item(2, 1)->text(), QStringLiteral("한글네트"));
}

TEST_F(ScanGrid, TitleRowAndNumberColumnStayInPlaceWhileTheGridScrolls)
{
    Scan();
    const QRect titleRow(0, 0, grid->viewport()->width(), grid->rowHeight(0));
    const QImage titles = Shown(titleRow);
    grid->scrollToBottom();
    ASSERT_GT(grid->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(Shown(titleRow) == titles) << "the titles scrolled";
    EXPECT_GE(Cell(6, 1).top(), grid->rowHeight(0)) << "the last row is hidden under the titles";
    EXPECT_LE(Cell(6, 1).bottom(), grid->viewport()->height());

    // Narrower than its columns, the grid scrolls sideways too.
    grid->resize(300, grid->height());
    const QRect numberColumn(0, 0, grid->columnWidth(0), grid->viewport()->height());
    const QImage numbers = Shown(numberColumn);
    grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
    ASSERT_GT(grid->horizontalScrollBar()->value(), 0);
    EXPECT_TRUE(Shown(numberColumn) == numbers) << "the numbers scrolled";
}

TEST_F(ScanGrid, TitlesAndNumbersAreNeitherSelectedNorCopiedByAClick)
{
    Scan();
    Ctl<QCheckBox>(form, "CB_Manual_set_AP")->click();
    auto* ssid = Ctl<QLineEdit>(form, "Edit_Current_SSID");
    auto* password = Ctl<QLineEdit>(form, "Edit_Current_Pw");
    ssid->setText("Home");
    password->setText("secret");
    grid->setCurrentCell(3, 1);
    for (const QPoint& point : {Cell(0, 1).center(), Cell(0, 0).center(), Cell(2, 0).center()})
        DoubleClick(point);
    EXPECT_EQ(ssid->text(), "Home");
    EXPECT_EQ(password->text(), "secret");
    EXPECT_EQ(grid->currentRow(), 3);
    EXPECT_EQ(grid->currentColumn(), 1);

    // Going up from the last row, the current cell stays clear of the titles; the keys stop at
    // the first access point's SSID.
    grid->setFocus();
    grid->scrollToBottom();
    grid->setCurrentCell(6, 1);
    for (int row = 5; row >= 1; --row) {
        QTest::keyClick(grid, Qt::Key_Up);
        EXPECT_EQ(grid->currentRow(), row);
        EXPECT_GE(Cell(row, 1).top(), grid->rowHeight(0)) << "row " << row << " is under the titles";
    }
    for (const QKeyCombination keys : {QKeyCombination(Qt::Key_Up), QKeyCombination(Qt::Key_Left),
                                       QKeyCombination(Qt::Key_Home), QKeyCombination(Qt::ControlModifier, Qt::Key_Home)}) {
        QTest::keyClick(grid, keys.key(), keys.keyboardModifiers());
        EXPECT_EQ(grid->currentRow(), 1);
        EXPECT_EQ(grid->currentColumn(), 1);
    }
    for (QTableWidgetItem* selected : grid->selectedItems())
        EXPECT_TRUE(selected->row() > 0 && selected->column() > 0) << selected->row() << "," << selected->column();

    DoubleClick(Cell(2, 1).center());
    EXPECT_EQ(ssid->text(), QStringLiteral("한글네트"));
    EXPECT_EQ(password->text(), "");
}

TEST_F(ScanGrid, TitlesAreCentredAndBoldAndNumbersEndAtTheRightEdge)
{
    Scan();
    grid->item(1, 0)->setText(grid->item(0, 0)->text()); // the first title again, in a plain cell below it
    const QImage image = Shown(grid->viewport()->rect());
    for (int column = 0; column < 6; ++column) {
        const TInk title = InkOf(image, Cell(0, column));
        EXPECT_LE(std::abs(title.box.center().x() - Cell(0, column).center().x()), 2) << "title " << column;
        EXPECT_GE(title.box.top(), Cell(0, column).top() + 2) << "title " << column;
    }
    const TInk plain = InkOf(image, Cell(1, 0));
    EXPECT_LE(std::abs(plain.box.center().x() - Cell(1, 0).center().x()), 2);
    EXPECT_GT(InkOf(image, Cell(0, 0)).weight, plain.weight * 115 / 100) << "the title is not bold";
    for (int row = 2; row <= 4; ++row) {
        for (int column = 2; column <= 4; ++column) {
            const QRect cell = Cell(row, column);
            const TInk number = InkOf(image, cell);
            EXPECT_LE(number.box.right(), cell.right() - 2) << row << "," << column;
            EXPECT_GE(number.box.right(), cell.right() - 5) << row << "," << column;
            EXPECT_GT(number.box.left(), cell.center().x()) << row << "," << column;
        }
    }
}

TEST_F(ScanGrid, ASelectedCellIsWrittenInTheHighlightedTextColour)
{
    Scan();
    const QColor highlighted = grid->palette().color(QPalette::HighlightedText);
    const QColor plain = grid->palette().color(QPalette::Text);
    auto distance = [](const QColor& a, const QColor& b) { return Difference(a.rgb(), b.rgb()); };
    // One cell of each drawing: the SSID by Qt, the RSSI by the window.
    for (int column : {1, 3}) {
        grid->setCurrentCell(2, column);
        const TInk text = InkOf(Shown(grid->viewport()->rect()), Cell(2, column));
        ASSERT_TRUE(text.strongest.isValid()) << column;
        EXPECT_LT(distance(text.strongest, highlighted), distance(text.strongest, plain)) << column;
    }
}
