// The window's three status lamps following a real connection on a pseudo-terminal. The lamp
// widget on its own is tested in widgets/com_led_test.cpp.
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

#include "support/controls.h"
#include "support/device_frames.h"
#include "support/fake_services.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"
#include "window/form_main.h"
#include "window/widgets/com_led.h"

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
