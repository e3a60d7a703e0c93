// After the device's port vanished, the window follows it and, when the same port is back,
// asks once whether to connect again: against the simulator, which opens a new port behind
// its link after --replug-ms. A question left up while the port goes again is withdrawn.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
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

TEST_F(AfterAHangUp, AQuestionLeftUpIsWithdrawnWhenThePortGoesAgainAndAskedAgainWhenItIsBack)
{
    QTemporaryDir devices; // both simulators link the same name here
    SimulatorProcess lost({"--hangup-after", "1", "--replug-ms", "300"}, devices.path());
    // The user leaves the first question up; meanwhile the simulator ends and its link goes.
    int asked = 0;
    services.dialogs.whileAsked = [&] {
        if (asked++ > 0)
            return;
        lost.stop();
        WaitFor([&] { return services.dialogs.withdrawals > 0; });
    };
    ConnectAndLose(lost);
    ASSERT_TRUE(WaitFor([&] { return services.dialogs.withdrawals == 1; })) << Log().toStdString();
    EXPECT_TRUE(Log().contains("went away again")) << Log().toStdString();
    EXPECT_FALSE(Port().Connected());
    EXPECT_TRUE(services.dialogs.errors.isEmpty()) << services.dialogs.errors.join("\n").toStdString();

    // Back once more: asked again, and Yes connects.
    SimulatorProcess back({}, devices.path());
    ASSERT_TRUE(WaitFor([&] { return services.dialogs.confirmations.size() == 2; })) << Log().toStdString();
    EXPECT_TRUE(Port().Connected()) << services.dialogs.errors.join("\n").toStdString();
    EXPECT_TRUE(services.dialogs.errors.isEmpty());
    EXPECT_TRUE(back.logContains("port opened by the program"));
}
