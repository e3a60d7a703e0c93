// The status lamps: the window's three lamps following a real connection on a pseudo-terminal,
// what a pseudo-terminal cannot show (modem lines, ring) on the in-memory line, the pictures,
// the state set by hand, and ports that go away.
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

#include "serial/com_platform_fake.h"
#include "support/controls.h"
#include "support/device_frames.h"
#include "support/fake_services.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"
#include "window/com_combo_box.h"
#include "window/com_led.h"
#include "window/form_main.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

const QByteArray kStatusRead("\x7E\x05\x41\x50\xFE", 5);

class WindowLamps : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(device.IsOpen());
        form.show();
        Port().SetPort(device.SlavePath().toStdString());
    }
    void TearDown() override { Port().ClosePort(); }

    TComPort& Port() { return form.DeviceLink().Port(); }
    TComLed* Lamp(const char* name) { return Ctl<TComLed>(form, name); }
    QString Log() { return LogViewText(form); }
    void Connect()
    {
        Ctl<QPushButton>(form, "ButtonStart")->click();
        ASSERT_TRUE(Port().Connected()) << Log().toStdString();
    }

    TTempWorkingFolder folder;
    TFakeServices services;
    TPseudoTerminal device;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
};

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

TEST_F(WindowLamps, ConnectionIsGreenTransmitBlueReceiveRedAllOnThePort)
{
    const struct {
        const char* name;
        TComLedSignal signal;
        TLedKind kind;
    } lamps[] = {{"ComLed1", lsConn, lkGreenLight}, {"BCRTx1", lsTx, lkBlueLight}, {"BCRRx1", lsRx, lkRedLight}};
    for (const auto& expected : lamps) {
        TComLed* lamp = Lamp(expected.name);
        EXPECT_EQ(lamp->LedSignal(), expected.signal) << expected.name;
        EXPECT_EQ(lamp->Kind(), expected.kind) << expected.name;
        EXPECT_EQ(lamp->RingDuration(), 500) << expected.name;
        EXPECT_EQ(lamp->ComPort(), &Port()) << expected.name;
        EXPECT_EQ(lamp->State(), lsOff) << expected.name;
    }
}

TEST_F(WindowLamps, ConnectionLampIsOnWhileThePortIsOpen)
{
    Connect();
    EXPECT_EQ(Lamp("ComLed1")->State(), lsOn);
    EXPECT_EQ(Lamp("BCRTx1")->State(), lsOff);
    EXPECT_EQ(Lamp("BCRRx1")->State(), lsOff);
    Ctl<QPushButton>(form, "ButtonStop")->click();
    EXPECT_EQ(Lamp("ComLed1")->State(), lsOff);
}

TEST_F(WindowLamps, TransmitLampLightsWithAFrameAndGoesOffWhenTheQueueHasDrained)
{
    Connect();
    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    // The transmit-empty event waits in the queue until the event loop runs again.
    EXPECT_EQ(Lamp("BCRTx1")->State(), lsOn);
    EXPECT_EQ(device.ReadAvailable(2000), kStatusRead);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Lamp("BCRTx1")->State() == lsOff; }, 5000));
}

TEST_F(WindowLamps, ReceiveLampIsOnWhileBytesWaitAndOffOnceTheyAreRead)
{
    Connect();
    // The window's own receive handler, with a look at the lamp as bytes are announced.
    std::vector<TLedState> atAnnouncement;
    auto windowHandler = Port().OnRxChar;
    Port().OnRxChar = [&](TCustomComPort& port, int count) {
        atAnnouncement.push_back(Lamp("BCRRx1")->State());
        windowHandler(port, count);
    };
    device.Write(QByteArray(reinterpret_cast<const char*>(kStatusReply.data()), static_cast<qsizetype>(kStatusReply.size())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.DeviceLink().StatusReceived(); }, 5000)) << Log().toStdString();
    ASSERT_FALSE(atAnnouncement.empty());
    for (TLedState state : atAnnouncement)
        EXPECT_EQ(state, lsOn);
    EXPECT_EQ(Lamp("BCRRx1")->State(), lsOff);
    Port().OnRxChar = windowHandler;
}

// A lamp never runs queued work inside a port operation: a click queued while the frame is
// written is handled after the write has finished.
TEST_F(WindowLamps, AClickQueuedDuringAWriteRunsAfterTheWrite)
{
    Connect();
    std::vector<std::string> order;
    TComLink watcher;
    watcher.TxNotify = [&](TCustomComPort&, bool on) {
        if (on)
            order.push_back("write started");
    };
    watcher.TxBufNotify = [&](TCustomComPort&, const void*, int) { order.push_back("write finished"); };
    Port().AttachLink(&watcher);
    QPushButton* clear = Ctl<QPushButton>(form, "Btn_Clear");
    QObject::connect(clear, &QPushButton::clicked, [&] { order.push_back("click"); });
    Lamp("BCRTx1")->OnChange = [&](TComLed&, TLedState state) {
        if (state == lsOn)
            QMetaObject::invokeMethod(clear, &QPushButton::click, Qt::QueuedConnection);
    };

    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    EXPECT_EQ(order, (std::vector<std::string>{"write started", "write finished"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 3; }, 5000));
    EXPECT_EQ(order.back(), "click");
    Port().DetachLink(&watcher);
}

// The frame's write and the reply's read take a millisecond or so; the lamps still show each
// lit, painted after the operation rather than inside it, then off.
TEST_F(WindowLamps, AShortFlashFromThePortIsPaintedLitThenOff)
{
    struct TPaintLog : QObject {
        std::vector<bool> litAtPaint;
        bool eventFilter(QObject* lamp, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                litAtPaint.push_back(static_cast<TComLed*>(lamp)->ShownLit());
            return false;
        }
    } tx, rx;
    Connect();
    const QImage unlit = Picture(*Lamp("BCRTx1"));
    QTest::qWait(20); // the paints that connecting asked for
    Lamp("BCRTx1")->installEventFilter(&tx);
    Lamp("BCRRx1")->installEventFilter(&rx);
    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    EXPECT_TRUE(tx.litAtPaint.empty()) << "painted inside the write";
    EXPECT_EQ(device.ReadAvailable(2000), kStatusRead);
    device.Write(QByteArray(reinterpret_cast<const char*>(kStatusReply.data()), static_cast<qsizetype>(kStatusReply.size())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.DeviceLink().StatusReceived(); }, 5000));
    for (const auto& lamp : {std::pair{"BCRTx1", &tx}, {"BCRRx1", &rx}}) {
        const char* name = lamp.first;
        TPaintLog* log = lamp.second;
        EXPECT_EQ(Lamp(name)->State(), lsOff) << name;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !log->litAtPaint.empty() && !log->litAtPaint.back(); }, 3000)) << name;
        EXPECT_EQ(log->litAtPaint.front(), true) << name;
        Lamp(name)->removeEventFilter(log);
    }
    EXPECT_EQ(Picture(*Lamp("BCRTx1")), unlit);
}

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
