// The whole program against the simulated device: the window connects to the simulator's
// port, asks for the status and shows it; the simulator vanishing mid-session is told once
// and Connect works again when it is back.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "window/form_main.h"
#include "support/simulator_process.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"
#include "support/controls.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

class WithSimulator : public ::testing::Test {
protected:
    QString Log() { return LogViewText(form); }

    bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 5000); }

    TTempWorkingFolder folder;
    TFakeServices services;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
};

} // namespace

TEST_F(WithSimulator, StatusQueryFillsTheFirstTab)
{
    r7730::testing::SimulatorProcess simulator;
    form.show();
    form.DeviceLink().Port().SetPort(simulator.linkPath());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    ASSERT_TRUE(form.DeviceLink().Port().Connected()) << Log().toStdString();

    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    ASSERT_TRUE(WaitFor([&] { return form.DeviceLink().StatusReceived(); })) << Log().toStdString();
    EXPECT_TRUE(Log().contains("RX MSG ID:[0x41] LEN:[43]:[7E.2B.41."));
    EXPECT_EQ(Ctl<QLineEdit>(form, "Panel_DevName")->text(), "R7730LX");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Panel_Version")->text(), "1.03");
    EXPECT_EQ(Ctl<QLineEdit>(form, "PanelMacAddr")->text(), "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_IP1")->text(), "192");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_IP4")->text(), "10");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_GW4")->text(), "1");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_SM1")->text(), "255");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Server_Port")->text(), "8080");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Server_ExpTime")->currentText(), "30");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Baudrate")->currentText(), "115200");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Flow")->currentText(), "None");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_SvrPort_app")->text(), "5000");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_SvrIP4")->text(), "100");
    EXPECT_TRUE(Ctl<QFrame>(form, "Panel_Info_Default")->isEnabled());
    EXPECT_TRUE(Ctl<QFrame>(form, "Panel_Info_Serial")->isEnabled());
    EXPECT_TRUE(simulator.logContains("7E.05.41.50.FE."));
}

// The simulator hangs up right after its reply, so the port may go away while the reply is
// still being handled: that is a hang-up too.
TEST_F(WithSimulator, TheSimulatorHangingUpIsToldOnceAndConnectWorksWhenItIsBack)
{
    r7730::testing::SimulatorProcess simulator({"--hangup-after", "1", "--replug-ms", "300"});
    form.show();
    form.DeviceLink().Port().SetPort(simulator.linkPath());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    ASSERT_TRUE(form.DeviceLink().Port().Connected());

    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    ASSERT_TRUE(WaitFor([&] { return !form.DeviceLink().Port().Connected(); }))
        << Log().toStdString() << "\nsimulator:\n" << simulator.output();
    EXPECT_TRUE(Log().contains("hung up"));
    EXPECT_EQ(services.dialogs.notices.size(), 1);
    EXPECT_TRUE(Ctl<QPushButton>(form, "ButtonStart")->isEnabled());

    // The simulator offers a new port behind the same link.
    QTest::qWait(600);
    Ctl<QPushButton>(form, "ButtonStart")->click();
    EXPECT_TRUE(form.DeviceLink().Port().Connected()) << services.dialogs.errors.join("\n").toStdString();
    EXPECT_EQ(services.dialogs.notices.size(), 1);
}

TEST_F(WithSimulator, SettingsSavedThroughTheWindowComeBackInTheNextStatusQuery)
{
    r7730::testing::SimulatorProcess simulator;
    form.show();
    form.DeviceLink().Port().SetPort(simulator.linkPath());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    ASSERT_TRUE(WaitFor([&] { return form.DeviceLink().StatusReceived(); })) << Log().toStdString();

    Ctl<QLineEdit>(form, "Edit_IP4")->setText("77");
    Ctl<QLineEdit>(form, "Edit_Server_Port")->setText("9001");
    Ctl<QPushButton>(form, "Btn_Save_Config_Wan")->click();
    ASSERT_TRUE(simulator.logContains("7E.11.43.50.C0.A8.00.4D."));
    QTest::qWait(400); // the simulator reboots after a save
    Ctl<QPushButton>(form, "Btn_Save_Config_Server")->click();
    ASSERT_TRUE(simulator.logContains("7E.0F.44.50.23.29."));
    QTest::qWait(400);

    for (const char* box : {"Edit_IP4", "Edit_Server_Port"})
        Ctl<QLineEdit>(form, box)->clear();
    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    EXPECT_TRUE(WaitFor([&] { return Ctl<QLineEdit>(form, "Edit_Server_Port")->text() == "9001"; })) << Log().toStdString();
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_IP4")->text(), "77");
}
