// The window's style draws group boxes exactly as the style it wraps: with Fusion it reads the
// frame image itself, so every pixel is checked against Fusion's own drawing.
#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QRadioButton>
#include <QStyleFactory>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

#include "window/widgets/fonts.h"
#include "window/widgets/window_style.h"

using namespace r7730;

namespace {

QImage DrawGroupBox(QStyle* style, const QString& title, bool checkable, const QFont& font)
{
    QWidget window;
    window.setStyle(style);
    auto* box = new QGroupBox(title, &window);
    box->setStyle(style);
    box->setCheckable(checkable);
    box->setFont(font);
    (new QVBoxLayout(box))->addWidget(new QRadioButton(QStringLiteral("TCP")));
    box->resize(220, 120);
    window.resize(240, 140);
    QImage image(window.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    window.render(&image);
    return image;
}

} // namespace

TEST(WindowStyle, GroupBoxesLookAsUnderTheStyleItWraps)
{
    for (const char* baseName : {"Fusion", "Windows"}) {
        std::unique_ptr<QStyle> base(QStyleFactory::create(QString::fromLatin1(baseName)));
        TWindowStyle style(QStyleFactory::create(QString::fromLatin1(baseName)));
        // Under the Qt version its layout of the frame was taken from, it must draw the frame itself.
        if (QString::fromLatin1(baseName) == QLatin1String("Fusion") && QLatin1String(qVersion()).startsWith(QLatin1String("6.4."))) {
            EXPECT_TRUE(style.DrawsGroupBoxFrames());
        }
        for (const QString& title : {QString(), QStringLiteral("Mode"), QStringLiteral("통신 방식")}) {
            for (bool checkable : {false, true}) {
                for (const QFont& font : {QApplication::font(), UiFont(15, true), UiFont(21, true)}) {
                    EXPECT_EQ(DrawGroupBox(&style, title, checkable, font), DrawGroupBox(base.get(), title, checkable, font))
                        << baseName << " title \"" << qPrintable(title) << "\" checkable " << checkable << " "
                        << font.pixelSize() << " px";
                }
            }
        }
    }
}
