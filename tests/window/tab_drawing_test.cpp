// The page control's tabs as they are painted: only the selected tab is coloured, by its
// position, and framed in black; the others are drawn in the button face.
#include <QImage>
#include <QTabBar>
#include <QTabWidget>

#include "window_fixture.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

struct TTabSample {
    QColor inside;   // a pixel left of the caption
    QColor frame;    // the tab's top-left corner
};

} // namespace

class TabDrawing : public WindowTest, public ::testing::WithParamInterface<int> {
protected:
    TTabSample Sample(const QImage& image, const QRect& rect)
    {
        return {image.pixelColor(rect.left() + 3, rect.center().y()), image.pixelColor(rect.topLeft())};
    }
};

TEST_P(TabDrawing, OnlyTheSelectedTabIsColouredAndFramed)
{
    const int selected = GetParam();
    const QColor selectedColours[] = {QColor(255, 255, 0), QColor(192, 220, 192), QColor(0, 255, 255)};

    form->resize(980, 857);
    form->show();
    auto* pages = Find<QTabWidget>("PageControl1");
    pages->setCurrentIndex(selected);
    QTabBar* bar = pages->tabBar();
    const QImage image = bar->grab().toImage();
    const QColor buttonFace = pages->palette().color(QPalette::Button);

    for (int tab = 0; tab < 3; ++tab) {
        const TTabSample sample = Sample(image, bar->tabRect(tab));
        if (tab == selected) {
            EXPECT_EQ(sample.inside, selectedColours[tab]) << "tab " << tab;
            EXPECT_EQ(sample.frame, QColor(0, 0, 0)) << "tab " << tab;
        } else {
            EXPECT_EQ(sample.inside, buttonFace) << "tab " << tab;
            EXPECT_EQ(sample.frame, buttonFace) << "tab " << tab;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EachTabSelected, TabDrawing, ::testing::Values(0, 1, 2));

TEST_F(WindowTest, TabCaptionIsWrittenEightPixelsInWhenSelectedAndFourWhenNot)
{
    // The first dark pixel of the caption row: the captions begin with four blanks, so the
    // first glyph starts at the offset plus the width of those blanks.
    form->resize(980, 857);
    form->show();
    auto* pages = Find<QTabWidget>("PageControl1");
    QTabBar* bar = pages->tabBar();
    const int blanks = QFontMetrics(bar->font()).horizontalAdvance("    ");
    auto firstInk = [&](const QImage& image, const QRect& rect) {
        for (int x = rect.left() + 1; x < rect.right(); ++x)
            for (int y = rect.top() + 1; y < rect.bottom(); ++y)
                if (qGray(image.pixel(x, y)) < 64)
                    return x - rect.left();
        return -1;
    };
    pages->setCurrentIndex(0);
    const QImage image = bar->grab().toImage();
    const int selectedInk = firstInk(image, bar->tabRect(0));
    const int otherInk = firstInk(image, bar->tabRect(1));
    ASSERT_GT(selectedInk, 0);
    ASSERT_GT(otherInk, 0);
    // Both captions start with "    [", so their ink differs by the two offsets alone.
    EXPECT_EQ(selectedInk - otherInk, 8 - 4);
    EXPECT_GE(selectedInk, 8 + blanks);
}
