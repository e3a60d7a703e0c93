// After the device's port vanished, the window follows it and, when the same port is back,
// asks once whether to connect again: against the simulator, which opens a new port behind
// its link after --replug-ms.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "window/form_main.h"
#include "support/controls.h"
#include "support/fake_services.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

class AfterAHangUp : public ::testing::Test {
protected:
    QString Log() { return LogViewText(form); }
    bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 5000); }
    TComPort& Port() { return form.DeviceLink().Port(); }

    // Connects to the simulator and has it hang up on the status read.
    void ConnectAndLose(SimulatorProcess& simulator)
    {
        form.show();
        Port().SetPort(simulator.linkPath());
        Ctl<QPushButton>(form, "ButtonStart")->click();
        ASSERT_TRUE(Port().Connected());
        Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
        ASSERT_TRUE(WaitFor([&] { return !Port().Connected(); })) << Log().toStdString();
        ASSERT_EQ(services.dialogs.notices.size(), 1);
    }

    TTempWorkingFolder folder;
    TFakeServices services;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
};

} // namespace

TEST_F(AfterAHangUp, TheReturningPortIsOfferedOnceAndYesConnects)
{
    SimulatorProcess simulator({"--hangup-after", "1", "--replug-ms", "300"});
    ConnectAndLose(simulator);
    EXPECT_TRUE(services.dialogs.confirmations.isEmpty());

    ASSERT_TRUE(WaitFor([&] { return !services.dialogs.confirmations.isEmpty(); })) << Log().toStdString();
    EXPECT_TRUE(services.dialogs.confirmations.front().contains("is back")) << services.dialogs.confirmations.front().toStdString();
    EXPECT_TRUE(services.dialogs.confirmations.front().contains(QString::fromStdString(simulator.linkPath())));
    EXPECT_TRUE(Port().Connected()) << services.dialogs.errors.join("\n").toStdString();
    EXPECT_TRUE(Ctl<QPushButton>(form, "ButtonStop")->isEnabled());
    EXPECT_TRUE(simulator.logContains("port opened by the program"));
    EXPECT_EQ(services.dialogs.confirmations.size(), 1);
}

TEST_F(AfterAHangUp, NoLeavesTheWindowDisconnectedAndConnectStillWorks)
{
    SimulatorProcess simulator({"--hangup-after", "1", "--replug-ms", "300"});
    services.dialogs.answers = {TConfirmAnswer::No};
    ConnectAndLose(simulator);

    ASSERT_TRUE(WaitFor([&] { return !services.dialogs.confirmations.isEmpty(); })) << Log().toStdString();
    EXPECT_FALSE(Port().Connected());
    EXPECT_TRUE(Ctl<QPushButton>(form, "ButtonStart")->isEnabled());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    EXPECT_TRUE(Port().Connected());
}

TEST_F(AfterAHangUp, NothingIsOfferedOnceTheUserConnectedElsewhere)
{
    SimulatorProcess lost({"--hangup-after", "1", "--replug-ms", "1500"});
    SimulatorProcess other;
    ConnectAndLose(lost);

    Port().SetPort(other.linkPath());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    ASSERT_TRUE(Port().Connected());
    ASSERT_TRUE(lost.logContains("plugged in again"));
    QTest::qWait(200); // time for a notice of the new link to arrive
    EXPECT_TRUE(services.dialogs.confirmations.isEmpty());
    EXPECT_EQ(Port().Port(), other.linkPath());
}
