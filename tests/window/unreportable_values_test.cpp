// Values the window will not send as they are: characters the device's code page cannot carry
// and file names longer than their field are refused; values the device could store but never
// report back (a byte 254 inside) are sent only after a clear Yes.
#include <QTest>
#include <gtest/gtest.h>

#include "support/controls.h"
#include "support/device_frames.h"
#include "support/fake_services.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"
#include "window/form_main.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

class WindowValueGuards : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(device.IsOpen());
        form.show();
        form.DeviceLink().Port().SetPort(device.SlavePath().toStdString());
        Ctl<QPushButton>(form, "ButtonStart")->click();
        ASSERT_TRUE(form.DeviceLink().Port().Connected());
        device.Write(QByteArray(reinterpret_cast<const char*>(kStatusReply.data()), kStatusReply.size()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.DeviceLink().StatusReceived(); }, 5000));
        Ctl<QCheckBox>(form, "CB_Manual_set_AP")->click();
    }
    void TearDown() override { form.DeviceLink().Port().ClosePort(); }
    void SetText(const char* box, const QString& text) { Ctl<QLineEdit>(form, box)->setText(text); }

    TTempWorkingFolder folder;
    TFakeServices services;
    TPseudoTerminal device;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
};

struct TGuardCase {
    const char* what;
    std::function<void(WindowValueGuards&)> fill;
    const char* button;
    std::deque<TConfirmAnswer> answers;
    const char* notice;   // the refusal shown, or ""
    const char* question; // how the first question starts, or ""
    const char* focus;    // the box with the focus afterwards
};

} // namespace

TEST_F(WindowValueGuards, RefusedOrUnanswerableValuesSendNothingAndPointAtTheirField)
{
    const auto mask254 = [](WindowValueGuards& t) { t.SetText("Edit_SM3", "254"); };
    const TGuardCase cases[] = {
        {"a mask with 254, No", mask254, "Btn_Save_Config_Wan", {TConfirmAnswer::No}, "", "Subnet Mask 값에는", "Edit_SM3"},
        {"a mask with 254, box closed", mask254, "Btn_Save_Config_Wan", {TConfirmAnswer::Closed}, "", "Subnet Mask 값에는",
         "Edit_SM3"},
        {"listen port 510 (01 FE)", [](WindowValueGuards& t) { t.SetText("Edit_Server_Port", "510"); },
         "Btn_Save_Config_Server", {TConfirmAnswer::No}, "", "Listen Port 값에는", "Edit_Server_Port"},
        {"an SSID whose code page bytes hold FE", [](WindowValueGuards& t) { t.SetText("Edit_Current_SSID", "a괆"); },
         "Btn_Set_CurrentAP", {TConfirmAnswer::No}, "", "SSID 값에는", "Edit_Current_SSID"},
        {"an SSID with a snowman", [](WindowValueGuards& t) { t.SetText("Edit_Current_SSID", "Cafe☃"); },
         "Btn_Set_CurrentAP", {}, "SSID에 사용할 수 없는 문자가 있습니다.", "", "Edit_Current_SSID"},
        {"a password with an emoji",
         [](WindowValueGuards& t) {
             t.SetText("Edit_Current_SSID", "Cafe");
             t.SetText("Edit_Current_Pw", "pw😀");
         },
         "Btn_Set_CurrentAP", {}, "비밀번호에 사용할 수 없는 문자가 있습니다.", "", "Edit_Current_Pw"},
        {"a file name of 33 bytes", [](WindowValueGuards& t) { t.SetText("Edit_DL_File", "/" + QString(32, 'x')); },
         "Btn_FW_DL", {}, "파일 이름은 32바이트까지 입력할 수 있습니다.", "", "Edit_DL_File"},
        {"a Hangul file name of 33 bytes", [](WindowValueGuards& t) { t.SetText("Edit_DL_File", "/" + QString(16, u'가')); },
         "Btn_FW_DL", {}, "파일 이름은 32바이트까지 입력할 수 있습니다.", "", "Edit_DL_File"},
    };
    for (const TGuardCase& c : cases) {
        SCOPED_TRACE(c.what);
        c.fill(*this);
        Ctl<QWidget>(form, "Memo")->setFocus();
        services.dialogs.notices.clear();
        services.dialogs.confirmations.clear();
        services.dialogs.answers = c.answers;
        Ctl<QPushButton>(form, c.button)->click();
        EXPECT_EQ(services.dialogs.notices, *c.notice ? QStringList{c.notice} : QStringList{});
        if (*c.question) {
            ASSERT_EQ(services.dialogs.confirmations.size(), 1);
            EXPECT_TRUE(services.dialogs.confirmations[0].startsWith(c.question)) << services.dialogs.confirmations[0].toStdString();
        } else {
            EXPECT_TRUE(services.dialogs.confirmations.isEmpty());
        }
        EXPECT_EQ(form.focusWidget(), Ctl<QWidget>(form, c.focus));
        EXPECT_TRUE(device.ReadAvailable(50).isEmpty());
    }
}

TEST_F(WindowValueGuards, AValueThatCannotBeReportedIsSentAfterAClearYes)
{
    SetText("Edit_SM3", "254");
    services.dialogs.answers = {TConfirmAnswer::Yes, TConfirmAnswer::Yes};
    Ctl<QPushButton>(form, "Btn_Save_Config_Wan")->click();
    EXPECT_EQ(services.dialogs.confirmations,
              (QStringList{"Subnet Mask 값에는 254(0xFE) 바이트가 들어 있어, 단말기에 저장은 되지만 단말기가 이 값을 다시 "
                           "읽어 보여 줄 수 없습니다. 그래도 저장하시겠습니까?",
                           "WAN 설정값을 저장한 후, 시스템이 Rebooting됩니다. 진행하시겠습니까?? "}));
    const Bytes sent = hex("7E 11 43 50 C0 A8 00 0A C0 A8 00 01 FF FF FE 00 FE");
    EXPECT_EQ(device.ReadAvailable(2000), QByteArray(reinterpret_cast<const char*>(sent.data()), sent.size()));
}
