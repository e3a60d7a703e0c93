// The port's defaults, setters' rules, settings objects, settings updates and the failure rows,
// on the fake platform (which records every line settings block it is given).
#include <gtest/gtest.h>

#include "serial/com_platform_fake.h"
#include "serial/com_port.h"
#include "serial_test_support.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

class ComSettings : public ::testing::Test {
protected:
    ComSettings() : line(platform.AddDevice("/dev/fake0")), port(nullptr, &platform)
    {
        port.SetPort("/dev/fake0");
        port.SetEvents({}); // no event thread: these tests only look at settings
    }
    int LineApplies() const { return static_cast<int>(line->State().lineSettings.size()); }
    TLineSettings LastLine() const { return line->State().lineSettings.back(); }

    TFakeComPlatform platform;
    std::shared_ptr<TFakeSerialLine> line;
    TComPort port;
};

} // namespace

static_assert(br110 == 1 && br9600 == 7 && br115200 == 13 && br256000 == 15);
static_assert(sbOne5StopBits == 1 && dbEight == 3 && prSpace == 4);
static_assert(dtrHandshake == 2 && rtsToggle == 3 && fcCustom == 3);
static_assert(evRxChar == 0 && evError == 7 && evRx80Full == 9);
static_assert(smThreadSync == 0 && smWindowSync == 1 && smNone == 2);
static_assert(TComErrors{ceFrame}.ToBits() == 1 && TComErrors{ceTxFull}.ToBits() == 128);
static_assert(BaudRateValue(br128000) == 128000 && BaudRateValue(brCustom) == 0);

TEST_F(ComSettings, DefaultsOfANewPort)
{
    TComPort fresh;
    EXPECT_EQ(fresh.Port(), "COM1");
    EXPECT_EQ(fresh.BaudRate(), br9600);
    EXPECT_EQ(fresh.CustomBaudRate(), 9600);
    EXPECT_EQ(fresh.DataBits(), dbEight);
    EXPECT_EQ(fresh.StopBits(), sbOneStopBit);
    EXPECT_FALSE(fresh.DiscardNull());
    EXPECT_EQ(fresh.EventChar(), 0);
    EXPECT_EQ(fresh.Events(), kAllComEvents);
    EXPECT_EQ(fresh.Events().ToBits(), 0x3FF);
    EXPECT_EQ(fresh.SyncMethod(), smThreadSync);
    EXPECT_TRUE(fresh.RxCharTrigger());
    EXPECT_FALSE(fresh.Connected());
    EXPECT_EQ(fresh.EventThreadPriority(), QThread::NormalPriority);

    EXPECT_EQ(fresh.Parity().Bits(), prNone);
    EXPECT_FALSE(fresh.Parity().Check());
    EXPECT_FALSE(fresh.Parity().Replace());
    EXPECT_EQ(fresh.Parity().ReplaceChar(), 0);

    const TComFlowControl& flow = fresh.FlowControl();
    EXPECT_FALSE(flow.OutCTSFlow());
    EXPECT_FALSE(flow.OutDSRFlow());
    EXPECT_EQ(flow.ControlDTR(), dtrDisable);
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_FALSE(flow.XonXoffOut());
    EXPECT_FALSE(flow.XonXoffIn());
    EXPECT_FALSE(flow.DSRSensitivity());
    EXPECT_FALSE(flow.TxContinueOnXoff());
    EXPECT_EQ(flow.XonChar(), 17);
    EXPECT_EQ(flow.XoffChar(), 19);
    EXPECT_EQ(flow.FlowControl(), fcNone);

    EXPECT_EQ(fresh.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(fresh.Timeouts().ReadTotalMultiplier(), 0);
    EXPECT_EQ(fresh.Timeouts().ReadTotalConstant(), 0);
    EXPECT_EQ(fresh.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(fresh.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(fresh.Buffer().InputSize(), 1024);
    EXPECT_EQ(fresh.Buffer().OutputSize(), 1024);

    EXPECT_EQ(fresh.Parity().ComPort(), &fresh);
    EXPECT_EQ(fresh.FlowControl().ComPort(), &fresh);
    EXPECT_EQ(fresh.Timeouts().ComPort(), &fresh);
    EXPECT_EQ(fresh.Buffer().ComPort(), &fresh);
}

TEST_F(ComSettings, OpenAppliesBufferLineAndTimeoutsInThatOrder)
{
    port.SetBaudRate(br115200);
    port.FlowControl().SetControlDTR(dtrEnable);
    port.OpenPort();
    const auto calls = line->State().calls;
    EXPECT_EQ(calls, (std::vector<std::string>{"Open", "SetQueueSizes", "SetLine", "SetTimeouts"}));
    const TLineSettings applied = LastLine();
    EXPECT_EQ(applied.baudRate, 115200);
    EXPECT_EQ(applied.byteSize, 8);
    EXPECT_EQ(applied.parity, prNone);
    EXPECT_EQ(applied.stopBits, sbOneStopBit);
    EXPECT_EQ(applied.dtrControl, dtrEnable);
    EXPECT_EQ(applied.rtsControl, rtsDisable);
    EXPECT_EQ(applied.xonLim, 256);
    EXPECT_EQ(applied.xoffLim, 256);
    EXPECT_TRUE(applied.binary);
    EXPECT_FALSE(applied.outxCtsFlow || applied.outX || applied.inX || applied.parityCheck);
    EXPECT_EQ(line->State().queueSizes.back(), (std::pair<int, int>{1024, 1024}));
    EXPECT_EQ(line->State().timeouts.back(), TTimeoutSettings{});
}

TEST_F(ComSettings, SettingWhileClosedOnlyStoresItAndTheNextOpenAppliesIt)
{
    port.SetBaudRate(br57600);
    port.SetDataBits(dbSeven);
    port.Parity().SetBits(prEven);
    EXPECT_EQ(LineApplies(), 0);
    port.OpenPort();
    EXPECT_EQ(LineApplies(), 1);
    EXPECT_EQ(LastLine().baudRate, 57600);
    EXPECT_EQ(LastLine().byteSize, 7);
    EXPECT_EQ(LastLine().parity, prEven);
}

TEST_F(ComSettings, ChangedValueWhileOpenIsAppliedAtOnceAndAnUnchangedOneDoesNothing)
{
    port.OpenPort();
    const int before = LineApplies();
    port.SetBaudRate(br9600); // unchanged
    port.Parity().SetBits(prNone);
    port.FlowControl().SetXonChar(17);
    EXPECT_EQ(LineApplies(), before);
    port.SetBaudRate(br38400);
    EXPECT_EQ(LineApplies(), before + 1);
    EXPECT_EQ(LastLine().baudRate, 38400);
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetCheck(true);
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar('?');
    port.SetEventChar('\n');
    port.SetDiscardNull(true);
    EXPECT_EQ(LineApplies(), before + 7);
    const TLineSettings applied = LastLine();
    EXPECT_EQ(applied.stopBits, sbTwoStopBits);
    EXPECT_TRUE(applied.parityCheck);
    EXPECT_TRUE(applied.errorCharReplace);
    EXPECT_EQ(applied.errorChar, '?');
    EXPECT_EQ(applied.eventChar, '\n');
    EXPECT_TRUE(applied.discardNull);

    const int timeoutApplies = static_cast<int>(line->State().timeouts.size());
    port.Timeouts().SetWriteTotalConstant(1000); // unchanged
    port.Timeouts().SetWriteTotalConstant(50);
    EXPECT_EQ(static_cast<int>(line->State().timeouts.size()), timeoutApplies + 1);
    EXPECT_EQ(line->State().timeouts.back().writeTotalConstant, 50);
}

TEST_F(ComSettings, ReplaceCharIsOnlyUsedWithParityCheck)
{
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar('?');
    port.OpenPort();
    EXPECT_FALSE(LastLine().parityCheck);
    EXPECT_FALSE(LastLine().errorCharReplace);
    EXPECT_EQ(LastLine().errorChar, 0);
}

TEST_F(ComSettings, CustomBaudRateIsTheLineRateOfBrCustom)
{
    port.SetCustomBaudRate(230400);
    port.OpenPort();
    EXPECT_EQ(LastLine().baudRate, 9600); // br9600 still
    port.SetBaudRate(brCustom);
    EXPECT_EQ(LastLine().baudRate, 230400);
    port.SetCustomBaudRate(250000);
    EXPECT_EQ(LastLine().baudRate, 250000);
}

TEST_F(ComSettings, BufferSizesLowerPositiveOddValuesByOne)
{
    port.Buffer().SetInputSize(1025);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    port.Buffer().SetInputSize(-3);
    EXPECT_EQ(port.Buffer().InputSize(), -3);
    port.Buffer().SetOutputSize(7);
    EXPECT_EQ(port.Buffer().OutputSize(), 6);
    port.Buffer().SetOutputSize(0);
    EXPECT_EQ(port.Buffer().OutputSize(), 0);

    port.Buffer().SetInputSize(1025);
    port.OpenPort();
    EXPECT_EQ(LastLine().xonLim, 256);
    EXPECT_EQ(LastLine().xoffLim, 256);
    port.Buffer().SetInputSize(4001);
    EXPECT_EQ(line->State().queueSizes.back(), (std::pair<int, int>{4000, 0}));
}

TEST_F(ComSettings, FlowControlPresetIsReadFromRtsCtsAndXonXoff)
{
    struct Row {
        TRTSFlowControl rts;
        bool cts, xin, xout;
        TFlowControl expected;
    };
    const Row rows[] = {
        {rtsHandshake, true, false, false, fcHardware}, {rtsDisable, false, true, true, fcSoftware},
        {rtsDisable, false, false, false, fcNone},      {rtsEnable, false, false, false, fcCustom},
        {rtsHandshake, false, false, false, fcCustom},  {rtsHandshake, true, true, false, fcCustom},
        {rtsDisable, false, true, false, fcCustom},     {rtsDisable, true, false, false, fcCustom},
        {rtsToggle, false, true, true, fcCustom},
    };
    for (const Row& row : rows) {
        TComFlowControl flow;
        flow.SetControlRTS(row.rts);
        flow.SetOutCTSFlow(row.cts);
        flow.SetXonXoffIn(row.xin);
        flow.SetXonXoffOut(row.xout);
        flow.SetControlDTR(dtrHandshake); // DTR, DSR and the rest take no part
        flow.SetOutDSRFlow(true);
        EXPECT_EQ(flow.FlowControl(), row.expected) << int(row.rts) << row.cts << row.xin << row.xout;
    }
}

TEST_F(ComSettings, WritingAPresetResetsRtsCtsAndXonXoffFirst)
{
    TComFlowControl& flow = port.FlowControl();
    flow.SetControlDTR(dtrEnable);
    flow.SetXonXoffIn(true);
    flow.SetFlowControl(fcHardware);
    EXPECT_EQ(flow.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(flow.OutCTSFlow());
    EXPECT_FALSE(flow.XonXoffIn());
    EXPECT_EQ(flow.FlowControl(), fcHardware);

    flow.SetFlowControl(fcSoftware);
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_FALSE(flow.OutCTSFlow());
    EXPECT_TRUE(flow.XonXoffIn());
    EXPECT_TRUE(flow.XonXoffOut());
    EXPECT_EQ(flow.ControlDTR(), dtrEnable); // the main window's DTR stays asserted

    flow.SetControlRTS(rtsEnable);
    flow.SetFlowControl(fcCustom); // changes nothing
    EXPECT_EQ(flow.ControlRTS(), rtsEnable);
    EXPECT_TRUE(flow.XonXoffIn());

    flow.SetFlowControl(fcNone);
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_FALSE(flow.XonXoffIn() || flow.XonXoffOut() || flow.OutCTSFlow());
    EXPECT_EQ(flow.ControlDTR(), dtrEnable);
}

TEST_F(ComSettings, WritingThePresetAppliesTheLineEvenWhenUnchanged)
{
    port.OpenPort();
    const int before = LineApplies();
    port.FlowControl().SetFlowControl(fcNone);
    port.FlowControl().SetFlowControl(fcCustom);
    EXPECT_EQ(LineApplies(), before + 2);
    port.FlowControl().SetFlowControl(fcHardware);
    EXPECT_TRUE(LastLine().outxCtsFlow);
    EXPECT_EQ(LastLine().rtsControl, rtsHandshake);
}

TEST_F(ComSettings, AssigningASettingsObjectCopiesFieldsNotTheBackReferenceAndAppliesOnce)
{
    TComParity parity; // detached
    EXPECT_EQ(parity.ComPort(), nullptr);
    parity.SetBits(prOdd);
    parity.SetCheck(true);
    parity.SetReplaceChar('#');

    port.OpenPort();
    const int before = LineApplies();
    port.SetParity(parity);
    EXPECT_EQ(LineApplies(), before + 1);
    EXPECT_EQ(port.Parity().ComPort(), &port);
    EXPECT_EQ(port.Parity().Bits(), prOdd);
    EXPECT_TRUE(port.Parity().Check());
    EXPECT_EQ(port.Parity().ReplaceChar(), '#');
    EXPECT_EQ(LastLine().parity, prOdd);

    const TComParity copy = port.Parity(); // a copy is detached
    EXPECT_EQ(copy.ComPort(), nullptr);
    EXPECT_EQ(copy.Bits(), prOdd);

    TComTimeouts timeouts;
    timeouts.SetReadInterval(5);
    port.SetTimeouts(timeouts);
    EXPECT_EQ(line->State().timeouts.back().readInterval, 5);

    TComBuffer buffer;
    buffer.SetInputSize(2048);
    port.SetBuffer(buffer);
    EXPECT_EQ(line->State().queueSizes.back(), (std::pair<int, int>{2048, 1024}));

    TComFlowControl flow;
    flow.SetFlowControl(fcSoftware);
    flow.SetXonChar('A');
    port.SetFlowControl(flow);
    EXPECT_EQ(port.FlowControl().ComPort(), &port);
    EXPECT_TRUE(LastLine().outX && LastLine().inX);
    EXPECT_EQ(LastLine().xonChar, 'A');

    TComTimeouts detached;
    detached = port.Timeouts(); // assignment into a detached object applies nothing
    EXPECT_EQ(detached.ComPort(), nullptr);
    EXPECT_EQ(detached.ReadInterval(), 5);
}

TEST_F(ComSettings, SettingsUpdateDefersApplyingUntilTheOutermostEnd)
{
    port.OpenPort();
    line->Change([](TFakeLineState& state) { state.calls.clear(); });
    port.BeginSettingsUpdate();
    port.BeginSettingsUpdate();
    port.SetBaudRate(br19200);
    port.Parity().SetBits(prMark);
    port.Timeouts().SetReadInterval(10);
    port.Buffer().SetInputSize(512);
    port.EndSettingsUpdate();
    EXPECT_TRUE(line->State().calls.empty());
    port.EndSettingsUpdate();
    EXPECT_EQ(line->State().calls, (std::vector<std::string>{"SetQueueSizes", "SetLine", "SetTimeouts"}));
    EXPECT_EQ(LastLine().baudRate, 19200);
    EXPECT_EQ(LastLine().parity, prMark);
}

TEST_F(ComSettings, EndSettingsUpdateWithoutABeginDoesNothing)
{
    port.OpenPort();
    line->Change([](TFakeLineState& state) { state.calls.clear(); });
    port.EndSettingsUpdate();
    port.EndSettingsUpdate();
    EXPECT_TRUE(line->State().calls.empty());
    port.SetBaudRate(br2400); // depth stayed 0: applied at once
    EXPECT_EQ(line->State().calls, std::vector<std::string>{"SetLine"});
}

TEST_F(ComSettings, SyncMethodWhileOpenRaisesRow14WithoutCode)
{
    port.SetSyncMethod(smNone);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.OpenPort();
    port.SetSyncMethod(smNone); // unchanged: nothing
    try {
        port.SetSyncMethod(smThreadSync);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Cannot set property while connected");
        EXPECT_EQ(e.ComErrorCode(), 14);
        EXPECT_EQ(e.SystemErrorCode(), -1);
    }
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.ClosePort();
    port.SetSyncMethod(smThreadSync);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
}

TEST_F(ComSettings, EventsChangeTakesEffectAtTheNextOpen)
{
    port.OpenPort();
    port.SetEvents({evRxChar});
    EXPECT_FALSE(port.EventThreadRunning());
    port.ClosePort();
    port.OpenPort();
    EXPECT_TRUE(port.EventThreadRunning());
}

TEST_F(ComSettings, ConnectedSetterOpensAndCloses)
{
    port.SetConnected(true);
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(line->State().open);
    port.SetConnected(true);
    EXPECT_EQ(line->State().openCount, 1);
    port.SetConnected(false);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(line->State().open);
}

TEST_F(ComSettings, OpenOnAnOpenPortAndCloseOnAClosedPortDoNothing)
{
    TRecorder recorder(port);
    port.ClosePort();
    EXPECT_TRUE(recorder.log.empty());
    port.OpenPort();
    recorder.log.clear();
    port.OpenPort();
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_EQ(line->State().openCount, 1);
}

TEST_F(ComSettings, ApplyFailureDuringOpenClosesTheHandleAndLeavesThePortClosed)
{
    line->FailCall("SetLine", EINVAL);
    TRecorder recorder(port);
    try {
        port.OpenPort();
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "SetCommState function failed (win error code: 22)");
        EXPECT_EQ(e.ComErrorCode(), 7);
        EXPECT_EQ(e.SystemErrorCode(), 22);
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(line->State().open);
    EXPECT_EQ(recorder.log, std::vector<std::string>{"OnBeforeOpen"});
}

TEST_F(ComSettings, ApplyFailureOnAnOpenPortKeepsItOpenWithTheNewValue)
{
    port.OpenPort();
    line->FailCall("SetTimeouts", EIO);
    try {
        port.Timeouts().SetReadTotalConstant(20);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "SetCommTimeouts failed (win error code: 5)");
    }
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 20);

    line->FailCall("SetQueueSizes", ENOMEM);
    EXPECT_THROW(port.Buffer().SetOutputSize(100), EComPort);
    EXPECT_EQ(port.Buffer().OutputSize(), 100);
}

TEST_F(ComSettings, FailedAbortKeepsThePortOpenWithRow5)
{
    port.OpenPort();
    line->FailCall("AbortTransfers", EIO);
    try {
        port.ClosePort();
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "PurgeComm function failed (win error code: 5)");
    }
    EXPECT_TRUE(port.Connected());
    line->Change([](TFakeLineState& state) { state.failures.clear(); });
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
}

TEST_F(ComSettings, ChangingPortWhileOpenClosesAndReopensWithAllNotifications)
{
    auto second = platform.AddDevice("/dev/fake1");
    port.OpenPort();
    TRecorder recorder(port);
    port.SetPort("/dev/fake1");
    EXPECT_TRUE(port.Connected());
    EXPECT_FALSE(line->State().open);
    EXPECT_TRUE(second->State().open);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"CTSNotify(off)", "OnCTSChange(off)", "DSRNotify(off)", "OnDSRChange(off)",
                                                      "RLSDNotify(off)", "OnRLSDChange(off)", "OnBeforeClose", "ConnNotify(off)",
                                                      "OnAfterClose", "OnBeforeOpen", "ConnNotify(on)", "OnAfterOpen",
                                                      "CTSNotify(off)", "OnCTSChange(off)", "DSRNotify(off)",
                                                      "OnDSRChange(off)", "RLSDNotify(off)", "OnRLSDChange(off)"}));
    port.SetPort("/dev/fake1"); // same text: nothing
    EXPECT_EQ(second->State().openCount, 1);
    EXPECT_THROW(port.SetPort("/dev/FAKE1"), EComPort); // case-sensitive: another name, which does not open
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), "/dev/FAKE1");
}

TEST_F(ComSettings, ChangingPortToAMissingOneLeavesThePortClosedAndRaises)
{
    port.OpenPort();
    try {
        port.SetPort("/dev/nothing");
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), "/dev/nothing");
    EXPECT_FALSE(line->State().open);
}

TEST_F(ComSettings, LinksAttachOnceAndDetachOnce)
{
    TComLink first;
    TComLink second;
    port.AttachLink(&first);
    port.AttachLink(&second);
    try {
        port.AttachLink(&first);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Link (un)registration failed");
        EXPECT_EQ(e.ComErrorCode(), 18);
        EXPECT_EQ(e.SystemErrorCode(), -1);
    }
    port.DetachLink(&first);
    EXPECT_THROW(port.DetachLink(&first), EComPort);
    port.DetachLink(&second);
}

TEST_F(ComSettings, ModemSignalsAndLineErrorsComeFromTheDriver)
{
    port.OpenPort();
    line->Change([](TFakeLineState& state) { state.modemLines = {CTS, RLSD}; });
    EXPECT_EQ(port.ModemSignals(), (ModemLineSet{CTS, RLSD}));

    EXPECT_TRUE(port.TakeLineErrors().Empty());
    line->Change([](TFakeLineState& state) {
        state.counters.frame += 1;
        state.counters.overrun += 2;
        state.counters.parity += 1;
        state.counters.bufOverrun += 1;
        state.counters.brk += 1;
    });
    EXPECT_EQ(port.TakeLineErrors(), (TComErrors{ceFrame, ceOverrun, ceRxOver, ceBreak})); // parity: Check is off
    EXPECT_TRUE(port.TakeLineErrors().Empty());                                             // read and cleared

    port.Parity().SetCheck(true);
    line->Change([](TFakeLineState& state) { state.counters.parity += 1; });
    EXPECT_EQ(port.TakeLineErrors(), TComErrors{ceRxParity});

    // InputQueueCount clears the flags as a side effect, as ClearCommError does.
    line->Change([](TFakeLineState& state) { state.counters.frame += 1; });
    EXPECT_EQ(port.InputQueueCount(), 0);
    EXPECT_TRUE(port.TakeLineErrors().Empty());
}

TEST_F(ComSettings, UnsupportedModemLinesAndCountersAreEmptyNotFailures)
{
    line->Change([](TFakeLineState& state) {
        state.modemSupported = false;
        state.countersSupported = false;
    });
    port.OpenPort();
    EXPECT_TRUE(port.ModemSignals().Empty());
    EXPECT_TRUE(port.TakeLineErrors().Empty());
}

TEST_F(ComSettings, FailingQueriesRaiseTheirRows)
{
    port.OpenPort();
    line->FailCall("ModemLines", EIO);
    try {
        port.ModemSignals();
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "GetCommModemStatus function failed (win error code: 5)");
    }
    line->FailCall("InputQueue", EIO);
    try {
        port.InputQueueCount();
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "ClearCommError function failed (win error code: 5)");
    }
    line->FailCall("LineCounters", EIO);
    EXPECT_THROW(port.TakeLineErrors(), EComPort);
    line->FailCall("Write", EIO);
    try {
        port.SendBytes("abc", 3);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "WriteFile function failed (win error code: 5)");
    }
    line->FailCall("Read", EIO);
    char buffer[4];
    try {
        port.ReceiveBytes(buffer, 4);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "ReadFile function failed (win error code: 5)");
    }
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComSettings, AnnouncingLinesAtTheEndOfOpenCanFailWithThePortOpen)
{
    line->FailCall("ModemLines", EIO);
    EXPECT_THROW(port.OpenPort(), EComPort);
    EXPECT_TRUE(port.Connected());
    line->Change([](TFakeLineState& state) { state.failures.clear(); });
    port.ClosePort();
}

TEST_F(ComSettings, OperationsOnAClosedPortRaiseTheirRows)
{
    char buffer[4];
    EXPECT_THROW(port.SendBytes("a", 1), EComPort);
    EXPECT_THROW(port.ReceiveBytes(buffer, 4), EComPort);
    EXPECT_THROW(port.InputQueueCount(), EComPort);
    EXPECT_THROW(port.ModemSignals(), EComPort);
    EXPECT_THROW(port.TakeLineErrors(), EComPort);
}

TEST_F(ComSettings, PlatformCannotChangeWhileOpen)
{
    TFakeComPlatform other;
    port.OpenPort();
    EXPECT_THROW(port.SetPlatform(other), EComPort);
    port.ClosePort();
    port.SetPlatform(other);
    EXPECT_EQ(&port.Platform(), &other);
}

TEST_F(ComSettings, DestroyingAnOpenPortClosesIt)
{
    {
        TComPort local(nullptr, &platform);
        local.SetPort("/dev/fake0");
        local.OpenPort();
        EXPECT_TRUE(line->State().open);
    }
    EXPECT_FALSE(line->State().open);
}
