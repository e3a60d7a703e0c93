// What a pseudo-terminal cannot show, through the in-memory serial line: line errors, a
// failing write, and the usual reasons a port does not open.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cerrno>
#include <gtest/gtest.h>

#include "window/form_main.h"
#include "serial/com_platform_fake.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"
#include "support/controls.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

class DeviceFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        line = platform.AddDevice("/dev/ttyFAKE0");
        form.DeviceLink().Port().SetPlatform(platform);
        form.DeviceLink().Port().SetPort("/dev/ttyFAKE0");
        Ctl<QCheckBox>(form, "CB_SaveLogFile")->setChecked(false);
    }
    void TearDown() override { form.DeviceLink().Port().ClosePort(); }

    QString Log() { return LogViewText(form); }

    TTempWorkingFolder folder;
    TFakeServices services;
    TFakeComPlatform platform;
    std::shared_ptr<TFakeSerialLine> line;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
};

} // namespace

TEST_F(DeviceFaults, ALineErrorEventLogsOneLineNamingItsFlags)
{
    Ctl<QPushButton>(form, "ButtonStart")->click();
    ASSERT_TRUE(form.DeviceLink().Port().Connected());
    // The event thread has taken its first reading of the error counters once it waits.
    ASSERT_TRUE(QTest::qWaitFor([&] { return line->State().waitCount > 0; }, 5000));
    line->Change([](TFakeLineState& state) {
        state.counters.frame += 1;
        state.counters.overrun += 1;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return Log().contains("OnError"); }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(Log().count("Serial Port OnError Occured!!"), 1);
    EXPECT_TRUE(Log().endsWith("[14:03:27]  Serial Port OnError Occured!! [framing, overrun]"));
    EXPECT_TRUE(services.dialogs.errors.isEmpty());
    EXPECT_TRUE(form.DeviceLink().Port().Connected());
}

TEST_F(DeviceFaults, AFailedWriteIsLoggedAfterTheTransmitLineAndThePortStaysOpen)
{
    Ctl<QPushButton>(form, "ButtonStart")->click();
    line->FailCall("Write", EIO);
    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    EXPECT_TRUE(Log().endsWith("[14:03:27]  TX 0x41 : [5][7E.05.41.50.FE.]\n[14:03:27]  Serial Port ERROR!!"));
    EXPECT_TRUE(services.dialogs.notices.isEmpty());
    EXPECT_TRUE(services.dialogs.errors.isEmpty());
    EXPECT_TRUE(form.DeviceLink().Port().Connected());
}

TEST_F(DeviceFaults, OpenFailuresExplainWhatToDo)
{
    line->FailCall("Open", EACCES);
    Ctl<QPushButton>(form, "ButtonStart")->click();
    line->FailCall("Open", EWOULDBLOCK);
    Ctl<QPushButton>(form, "ButtonStart")->click();
    ASSERT_EQ(services.dialogs.errors.size(), 2);
    EXPECT_TRUE(services.dialogs.errors[0].startsWith("Unable to open com port (win error code: 13)\n/dev/ttyFAKE0: Permission denied\n"));
    EXPECT_TRUE(services.dialogs.errors[0].contains("dialout"));
    EXPECT_TRUE(services.dialogs.errors[1].startsWith("Unable to open com port (win error code: 11)\n"));
    EXPECT_TRUE(services.dialogs.errors[1].contains("Another program holds the port"));
    EXPECT_TRUE(Ctl<QPushButton>(form, "BtnExit")->isEnabled());
    EXPECT_FALSE(Ctl<QPushButton>(form, "ButtonStop")->isEnabled());
}

TEST_F(DeviceFaults, AnOpenFailureNamesTheDeviceTriedAndAFailureAfterOpeningClosesThePort)
{
    platform.AddDevice("/dev/ttyS0")->FailCall("ModemLines", EIO);
    form.DeviceLink().Port().SetPort("COM1");
    Ctl<QPushButton>(form, "ButtonStart")->click();
    ASSERT_EQ(services.dialogs.errors.size(), 1);
    EXPECT_TRUE(services.dialogs.errors[0].contains("\n/dev/ttyS0: Input/output error\nThe port opened")) << services.dialogs.errors[0].toStdString();
    EXPECT_FALSE(form.DeviceLink().Port().Connected());
    EXPECT_TRUE(Ctl<QPushButton>(form, "ButtonStart")->isEnabled());
}
