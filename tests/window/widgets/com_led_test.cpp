// The status lamp on its own: what a pseudo-terminal cannot show (modem lines, ring) on the
// in-memory line, the pictures, the state set by hand, and ports that go away.
#include <QImage>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "serial/com_error.h"
#include "serial/com_platform_fake.h"
#include "serial/com_port.h"
#include "window/widgets/com_combo_box.h"
#include "window/widgets/com_led.h"

using namespace r7730;

namespace {

// Lamps and a port on the in-memory line, for modem lines and rings.
class LampsOnAFakeLine : public ::testing::Test {
protected:
    LampsOnAFakeLine() : line(platform.AddDevice("/dev/fake0"))
    {
        port->SetPort("/dev/fake0");
    }
    void Open()
    {
        port->OpenPort();
        ASSERT_TRUE(QTest::qWaitFor([&] { return line->State().waitCount > 0; }, 3000));
    }

    TFakeComPlatform platform;
    std::shared_ptr<TFakeSerialLine> line;
    std::unique_ptr<TComPort> port = std::make_unique<TComPort>(nullptr, &platform);
};

QImage Picture(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST(Lamp, ADisabledLampShowsItsOffPictureWhateverItsState)
{
    TComLed lit, unlit;
    for (TComLed* lamp : {&lit, &unlit})
        lamp->SetKind(lkGreenLight);
    lit.SetState(lsOn);
    EXPECT_NE(Picture(lit), Picture(unlit));
    lit.setEnabled(false);
    EXPECT_EQ(Picture(lit), Picture(unlit));
    EXPECT_EQ(lit.State(), lsOn);
    lit.setEnabled(true);
    EXPECT_NE(Picture(lit), Picture(unlit));
}

TEST(Lamp, EveryBuiltInKindHasItsOwnOnAndOffPicturesAtEveryPixelDensity)
{
    std::vector<QImage> seen;
    for (TLedKind kind : {lkRedLight, lkGreenLight, lkBlueLight, lkYellowLight, lkPurpleLight, lkBulb})
        for (TLedState state : {lsOn, lsOff}) {
            const QImage picture = LampPicture(kind, state, 1.0).toImage();
            EXPECT_EQ(picture.size(), QSize(21, 21));
            EXPECT_EQ(std::count(seen.begin(), seen.end(), picture), 0) << "kind " << kind << " state " << state;
            seen.push_back(picture);
            // Drawn anew for a high-DPI screen, not scaled up: twice the pixels, the same size.
            const QPixmap sharp = LampPicture(kind, state, 2.0);
            EXPECT_EQ(sharp.size(), QSize(42, 42));
            EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(21, 21));
            EXPECT_NE(sharp.toImage(), picture.scaled(42, 42).convertToFormat(sharp.toImage().format()));
        }
    EXPECT_TRUE(LampPicture(lkCustom, lsOn, 1.0).isNull());
}

TEST(Lamp, ACustomPictureIsCentredWithItsBottomLeftColourLeftOut)
{
    // 10 by 6: magenta (the transparent colour, at the bottom left) with a black 2 by 2 square
    // at (3, 2).
    QPixmap glyph(10, 6);
    glyph.fill(Qt::magenta);
    {
        QPainter painter(&glyph);
        painter.fillRect(3, 2, 2, 2, Qt::black);
    }
    TComLed lamp;
    lamp.SetGlyphOn(glyph); // ignored: not a custom lamp
    EXPECT_NE(lamp.GlyphOn().toImage().size(), QSize(10, 6));

    lamp.SetKind(lkCustom);
    lamp.SetGlyphOn(glyph);
    lamp.SetGlyphOff(glyph);
    lamp.resize(40, 30);
    lamp.SetState(lsOn);
    const QImage shown = Picture(lamp);
    // Left (40 - 10) / 2 = 15, top (30 - 6) / 2 = 12.
    EXPECT_EQ(shown.pixelColor(18, 14), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(19, 15), QColor(Qt::black));
    EXPECT_NE(shown.pixelColor(17, 14), QColor(Qt::black));
    for (QPoint p : {QPoint(15, 12), QPoint(24, 17), QPoint(20, 13)})
        EXPECT_NE(shown.pixelColor(p), QColor(Qt::magenta)) << p.x() << "," << p.y();

    // A lamp smaller than its picture draws it from its top-left corner.
    lamp.resize(8, 4);
    EXPECT_EQ(Picture(lamp).pixelColor(3, 2), QColor(Qt::black));
}

TEST_F(LampsOnAFakeLine, TheStateCanBeSetByHandOnlyWhileNoPortIsBound)
{
    TComLed lamp;
    std::vector<TLedState> changes;
    lamp.OnChange = [&](TComLed&, TLedState state) { changes.push_back(state); };
    lamp.SetState(lsOn);
    lamp.SetState(lsOn);
    EXPECT_EQ(changes, (std::vector<TLedState>{lsOn, lsOn}));

    lamp.SetComPort(port.get()); // a closed port: the state stays
    EXPECT_EQ(lamp.State(), lsOn);
    try {
        lamp.SetState(lsOff);
        ADD_FAILURE() << "no error";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.ComErrorCode(), 19);
        EXPECT_STREQ(error.what(), "Cannot change led state if ComPort is selected");
    }
    EXPECT_EQ(lamp.State(), lsOn);

    lamp.SetComPort(nullptr);
    EXPECT_EQ(lamp.State(), lsOff);
    lamp.SetState(lsOn);
    EXPECT_EQ(lamp.State(), lsOn);
}

TEST_F(LampsOnAFakeLine, BindingAnOpenPortShowsItsPresentSignal)
{
    line->Change([](TFakeLineState& state) { state.modemLines = {CTS, RLSD}; });
    Open();
    const struct {
        TComLedSignal signal;
        TLedState expected;
    } cases[] = {{lsConn, lsOn}, {lsCTS, lsOn}, {lsDSR, lsOff}, {lsRLSD, lsOn}, {lsRing, lsOff}, {lsRx, lsOff}, {lsTx, lsOff}};
    for (const auto& c : cases) {
        TComLed lamp;
        lamp.SetState(c.expected == lsOn ? lsOff : lsOn);
        lamp.SetLedSignal(c.signal);
        lamp.SetComPort(port.get());
        EXPECT_EQ(lamp.State(), c.expected) << "signal " << c.signal;
    }
}

TEST_F(LampsOnAFakeLine, ModemLineLampsFollowTheirLines)
{
    TComLed cts, dsr;
    cts.SetLedSignal(lsCTS);
    dsr.SetLedSignal(lsDSR);
    cts.SetComPort(port.get());
    dsr.SetComPort(port.get());
    Open();
    line->Change([](TFakeLineState& state) { state.modemLines = {DSR}; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return dsr.State() == lsOn; }, 3000));
    EXPECT_EQ(cts.State(), lsOff);
    line->Change([](TFakeLineState& state) { state.modemLines = {CTS}; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return cts.State() == lsOn; }, 3000));
    EXPECT_EQ(dsr.State(), lsOff);
    port->ClosePort();
    EXPECT_EQ(cts.State(), lsOff);
}

TEST_F(LampsOnAFakeLine, ARingLightsTheLampForItsRingDuration)
{
    TComLed lamp;
    lamp.SetLedSignal(lsRing);
    lamp.SetRingDuration(50);
    std::vector<TLedState> changes;
    lamp.OnChange = [&](TComLed&, TLedState state) { changes.push_back(state); };
    lamp.SetComPort(port.get());
    Open();
    line->Change([](TFakeLineState& state) { state.counters.rng += 1; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.size() >= 2; }, 3000));
    EXPECT_EQ(changes, (std::vector<TLedState>{lsOn, lsOff}));
}

// Changing the signal rebinds the link without reading the new signal: a connection lamp
// turned into a transmit lamp keeps its light and no longer follows the connection.
TEST_F(LampsOnAFakeLine, ChangingTheSignalRebindsWithoutRereadingTheState)
{
    TComLed lamp;
    lamp.SetComPort(port.get());
    Open();
    ASSERT_EQ(lamp.State(), lsOn);
    lamp.SetLedSignal(lsTx);
    EXPECT_EQ(lamp.State(), lsOn);
    port->ClosePort();
    EXPECT_EQ(lamp.State(), lsOn);
    Open();
    port->SendBytes("x", 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lamp.State() == lsOff; }, 3000));
}

TEST_F(LampsOnAFakeLine, ADestroyedPortUnbindsItsLampsAndBoxes)
{
    TComLed lamp;
    TComComboBox box;
    box.SetComProperty(cpBaudRate);
    port->SetBaudRate(br57600);
    lamp.SetComPort(port.get());
    box.SetComPort(port.get());
    Open();
    ASSERT_EQ(lamp.State(), lsOn);
    ASSERT_EQ(box.Text(), "57600");
    {
        // A lamp that goes first leaves the port working.
        TComLed shortLived;
        shortLived.SetComPort(port.get());
    }
    port->ClosePort();
    Open();

    port.reset();
    EXPECT_EQ(lamp.ComPort(), nullptr);
    EXPECT_EQ(lamp.State(), lsOff);
    lamp.SetState(lsOn); // no port: allowed again
    EXPECT_EQ(box.ComPort(), nullptr);
    EXPECT_EQ(box.Text(), "Custom");
}
