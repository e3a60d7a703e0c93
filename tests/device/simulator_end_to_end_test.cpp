// The whole program against the simulated device: the window connects to the simulator's
// port, asks for the status and shows it; the simulator vanishing mid-session is told once
// and Connect works again when it is back.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app/form_main.h"
#include "simulator_process.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"
#include "ui_form_main.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

class WithSimulator : public ::testing::Test {
protected:
    QString Log() const { return form.ui->Memo->toPlainText(); }

    bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 5000); }

    TTempWorkingFolder folder;
    TFakeServices services;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
};

} // namespace

TEST_F(WithSimulator, StatusQueryFillsTheFirstTab)
{
    simtest::SimulatorProcess simulator;
    form.show();
    form.ComPortEnvBoard->SetPort(simulator.linkPath());
    form.ui->ButtonStart->click();
    ASSERT_TRUE(form.ComPortEnvBoard->Connected()) << Log().toStdString();

    form.ui->Btn_CurrentStatus->click();
    ASSERT_TRUE(WaitFor([&] { return form.StatusReceived == 1; })) << Log().toStdString();
    EXPECT_TRUE(Log().contains("RX MSG ID:[0x41] LEN:[43]:[7E.2B.41."));
    EXPECT_EQ(form.ui->Panel_DevName->text(), "R7730LX");
    EXPECT_EQ(form.ui->Panel_Version->text(), "1.03");
    EXPECT_EQ(form.ui->PanelMacAddr->text(), "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(form.ui->Edit_IP1->text(), "192");
    EXPECT_EQ(form.ui->Edit_IP4->text(), "10");
    EXPECT_EQ(form.ui->Edit_GW4->text(), "1");
    EXPECT_EQ(form.ui->Edit_SM1->text(), "255");
    EXPECT_EQ(form.ui->Edit_Server_Port->text(), "8080");
    EXPECT_EQ(form.ui->CB_Server_ExpTime->currentText(), "30");
    EXPECT_EQ(form.ui->CB_Baudrate->currentText(), "115200");
    EXPECT_EQ(form.ui->CB_Flow->currentText(), "None");
    EXPECT_EQ(form.ui->Edit_SvrPort_app->text(), "5000");
    EXPECT_EQ(form.ui->Edit_SvrIP4->text(), "100");
    EXPECT_TRUE(form.ui->Panel_Info_Default->isEnabled());
    EXPECT_TRUE(form.ui->Panel_Info_Serial->isEnabled());
    EXPECT_TRUE(simulator.logContains("7E.05.41.50.FE."));
}

// The simulator hangs up right after its reply, so the port may go away while the reply is
// still being handled: that is a hang-up too.
TEST_F(WithSimulator, TheSimulatorHangingUpIsToldOnceAndConnectWorksWhenItIsBack)
{
    simtest::SimulatorProcess simulator({"--hangup-after", "1", "--replug-ms", "300"});
    form.show();
    form.ComPortEnvBoard->SetPort(simulator.linkPath());
    form.ui->ButtonStart->click();
    ASSERT_TRUE(form.ComPortEnvBoard->Connected());

    form.ui->Btn_CurrentStatus->click();
    ASSERT_TRUE(WaitFor([&] { return !form.ComPortEnvBoard->Connected(); }))
        << Log().toStdString() << "\nsimulator:\n" << simulator.output();
    EXPECT_TRUE(Log().contains("hung up"));
    EXPECT_EQ(services.dialogs.notices.size(), 1);
    EXPECT_TRUE(form.ui->ButtonStart->isEnabled());

    // The simulator offers a new port behind the same link.
    QTest::qWait(600);
    form.ui->ButtonStart->click();
    EXPECT_TRUE(form.ComPortEnvBoard->Connected()) << services.dialogs.errors.join("\n").toStdString();
    EXPECT_EQ(services.dialogs.notices.size(), 1);
}
