// The window's device commands against a device on a pseudo-terminal: what each button asks,
// logs and writes, what it refuses, and the key handling of the number boxes.
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

QByteArray Q(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

class WindowCommands : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(device.IsOpen());
        form.show();
        form.DeviceLink().Port().SetPort(device.SlavePath().toStdString());
        Ctl<QPushButton>(form, "ButtonStart")->click();
        ASSERT_TRUE(form.DeviceLink().Port().Connected());
        // The saves need the device's settings read once.
        device.Write(Q(kStatusReply));
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.DeviceLink().StatusReceived(); }, 5000));
    }
    void TearDown() override { form.DeviceLink().Port().ClosePort(); }

    QString Log() { return LogViewText(form); }
    void SetText(const QByteArray& box, const QString& text) { Ctl<QLineEdit>(form, box.constData())->setText(text); }
    // Types each character into whichever box has the focus at that moment.
    void Type(const QString& keys)
    {
        for (QChar key : keys)
            QTest::keyClick(form.focusWidget(), key.toLatin1());
    }
    void Click(const char* button) { Ctl<QAbstractButton>(form, button)->click(); }

    TTempWorkingFolder folder;
    TFakeServices services;
    TPseudoTerminal device;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
};

struct TCommandCase {
    const char* button;
    std::function<void(WindowCommands&)> fill;
    const char* question; // empty: the command asks nothing
    const char* logTail;  // the last lines of the log, without time stamps
    const char* bytes;
};

struct TGuardCase {
    const char* what;
    std::function<void(WindowCommands&)> fill;
    const char* button;
    std::deque<TConfirmAnswer> answers;
    const char* notice;   // the refusal shown, or ""
    const char* question; // how the first question starts, or ""
    const char* focus;    // the box with the focus afterwards
};

} // namespace

TEST_F(WindowCommands, EachButtonAsksLogsAndWritesItsFrame)
{
    const TCommandCase cases[] = {
        {"Btn_DnsTest", {}, "", "Send Current Status Read Command to Kavlor R7730LX... \nTX 0x41 : [5][7E.05.41.50.FE.]",
         "7E 05 41 50 FE"},
        {"Btn_SockClose", {}, "", "Send Current Status Read Command to Kavlor R7730LX... \nTX 0x41 : [5][7E.05.41.50.FE.]",
         "7E 05 41 50 FE"},
        {"Btn_Save_Config_Wan", {}, "WAN 설정값을 저장한 후, 시스템이 Rebooting됩니다. 진행하시겠습니까?? ",
         "TX 0x43 : [17][7E.11.43.50.C0.A8.00.0A.C0.A8.00.01.FF.FF.FF.00.FE.]",
         "7E 11 43 50 C0 A8 00 0A C0 A8 00 01 FF FF FF 00 FE"},
        {"Btn_Save_Config_Server",
         [](WindowCommands& t) { t.SetText("Edit_Server_Port", "65535"); t.SetText("Edit_SvrPort_app", "1"); },
         "TCP 설정값을 저장한 후, 시스템이 Rebooting됩니다. 진행하시겠습니까?? ",
         "TX 0x44 : [15][7E.0F.44.50.FF.FF.0A.53.00.01.C0.A8.00.64.FE.]", "7E 0F 44 50 FF FF 0A 53 00 01 C0 A8 00 64 FE"},
        {"Btn_Save_Config_Serial",
         [](WindowCommands& t) {
             Ctl<QComboBox>(t.form, "CB_Baudrate")->setCurrentText("9600");
             Ctl<QComboBox>(t.form, "CB_Parity")->setCurrentText("Even");
             Ctl<QComboBox>(t.form, "CB_Stopbits")->setCurrentText("2");
         },
         "Serial 설정 변경 저장 후, 시스템이 Rebooting됩니다. 진행하시겠습니까?? ",
         "TX 0x45 : [11][7E.0B.45.50.33.33.31.32.31.46.FE.]", "7E 0B 45 50 33 33 31 32 31 46 FE"},
        {"Btn_Search_AP", {}, "Network 환경에 따라 응답시간이 길어질수 있습니다.  잠시만 기다려 주십시오.",
         "TX 0x48 : [5][7E.05.48.50.FE.]", "7E 05 48 50 FE"},
        {"Btn_Set_CurrentAP",
         [](WindowCommands& t) { t.SetText("Edit_Current_SSID", "ab"); t.SetText("Edit_Current_Pw", "pass1234"); },
         "AP 설정이 변경 저장되고 시스템이 Rebooting됩니다. 진행하시겠습니까?? ",
         "tmpSSIDName : [32][                              ab]\ntmpSSIDPW   : [16][        pass1234]\n"
         "TX 0x42 : [53][7E.35.42.50.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20."
         "20.20.20.61.62.20.20.20.20.20.20.20.20.70.61.73.73.31.32.33.34.FE.]",
         "7E 35 42 50 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20"
         " 61 62 20 20 20 20 20 20 20 20 70 61 73 73 31 32 33 34 FE"},
        {"Btn_FactoryReset", {}, "모든 설정값이 공장출고 상태로 초기화 됩니다. 진행하시겠습니까?? ",
         "Send Command to Kavlor R7730LX... \nTX 0x46 : [6][7E.06.46.50.4E.FE.]", "7E 06 46 50 4E FE"},
        {"Btn_SystemReboot", {}, "System Reboot을 진행하시겠습니까?? ",
         "Send Reboot Command to Kavlor R7730LX... \nTX 0x47 : [5][7E.05.47.50.FE.] : System reboot Command",
         "7E 05 47 50 FE"},
        {"Btn_FlashErase", {}, "모든 Flash Memory 영역이 삭제되어 Device를 사용할수 없게됩니다. 계속하시겠습니까? ",
         "Send Command to Kavlor R7730LX... \nTX 0x58 : [5][7E.05.58.50.FE.]", "7E 05 58 50 FE"},
        {"Btn_FlashSaveInt",
         [](WindowCommands& t) {
             t.SetText("Edit_FlashSaveInt", "3000");
             Ctl<QComboBox>(t.form, "Edit_FlashSaveDelay")->setCurrentText("10");
         },
         "", "[0BB8]\nTX 0x53 : [8][7E.08.53.50.0B.B8.0A.FE.]", "7E 08 53 50 0B B8 0A FE"},
        {"Btn_FW_DL",
         [](WindowCommands& t) {
             const char* octets[] = {"192", "168", "0", "5"};
             for (int i = 0; i < 4; ++i)
                 t.SetText(QStringLiteral("Edit_DL_IP%1").arg(i + 1).toLatin1(), octets[i]);
             t.SetText("Edit_DL_Port", "8070");
             t.SetText("Edit_DL_File", "/R7730LX_v1.0.bin");
         },
         "", "tmpFileName : [32][               /R7730LX_v1.0.bin]\nTX 0x55 : [43][7E.2B.55.50.C0.A8.00.05.1F.86."
         "20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.2F.52.37.37.33.30.4C.58.5F.76.31.2E.30.2E.62.69.6E.FE.]",
         "7E 2B 55 50 C0 A8 00 05 1F 86 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20"
         " 2F 52 37 37 33 30 4C 58 5F 76 31 2E 30 2E 62 69 6E FE"},
    };
    Ctl<QCheckBox>(form, "CB_Manual_set_AP")->click();
    for (const TCommandCase& c : cases) {
        if (c.fill)
            c.fill(*this);
        services.dialogs.confirmations.clear();
        Click(c.button);
        EXPECT_EQ(device.ReadAvailable(2000), Q(hex(c.bytes))) << c.button;
        EXPECT_EQ(services.dialogs.confirmations, *c.question ? QStringList{c.question} : QStringList{}) << c.button;
        QString log = Log();
        log.remove(QStringLiteral("[14:03:27]  "));
        EXPECT_TRUE(log.endsWith(c.logTail)) << c.button << "\n" << log.toStdString();
    }
    EXPECT_TRUE(services.dialogs.notices.isEmpty()) << services.dialogs.notices.join('\n').toStdString();
}

TEST_F(WindowCommands, NoAnswerSendsAndLogsNothing)
{
    for (const char* button : {"Btn_Save_Config_Wan", "Btn_Get_CurrentAP", "Btn_SystemReboot", "Btn_FactoryReset"}) {
        const QString before = Log();
        services.dialogs.answers = {TConfirmAnswer::No};
        Click(button);
        EXPECT_EQ(Log(), before) << button;
        EXPECT_TRUE(device.ReadAvailable(50).isEmpty()) << button;
    }
}

TEST_F(WindowCommands, ARefusalShowsItsMessageMovesTheFocusWhereItCanAndSendsNothing)
{
    const QString before = Log();
    SetText("Edit_Server_Port", "0");
    Click("Btn_Save_Config_Server");
    EXPECT_EQ(form.focusWidget(), Ctl<QLineEdit>(form, "Edit_Server_Port"));
    // In client mode the server group is off: the message comes, the focus stays.
    Ctl<QRadioButton>(form, "RG_TCP_Mode_Client")->click();
    Ctl<QLineEdit>(form, "Edit_IP1")->setFocus();
    Click("Btn_Save_Config_Server");
    EXPECT_EQ(form.focusWidget(), Ctl<QLineEdit>(form, "Edit_IP1"));
    SetText("Edit_FlashSaveInt", "10");
    Ctl<QComboBox>(form, "Edit_FlashSaveDelay")->setCurrentText("300");
    Click("Btn_FlashSaveInt");
    Ctl<QComboBox>(form, "Edit_FlashSaveDelay")->setCurrentText("ten");
    Click("Btn_FlashSaveInt");

    EXPECT_EQ(services.dialogs.notices, (QStringList{"Listen Port는 1 ~ 65535 정수만 가능합니다.",
                                                     "Listen Port는 1 ~ 65535 정수만 가능합니다.",
                                                     "Flash save Delay는 0 ~ 255 정수만 가능합니다."}));
    EXPECT_EQ(services.dialogs.errors, QStringList{"'ten' is not a valid integer value."});
    EXPECT_TRUE(services.dialogs.confirmations.isEmpty());
    EXPECT_EQ(Log(), before);
    EXPECT_TRUE(device.ReadAvailable(50).isEmpty());
}

TEST_F(WindowCommands, NumberBoxesTakeDigitsAndABlankMovesToTheNextOctet)
{
    for (const char* box : {"Edit_IP1", "Edit_IP2", "Edit_IP3", "Edit_IP4"})
        SetText(box, "");
    Ctl<QLineEdit>(form, "Edit_IP1")->setFocus();
    Type("192 168 0 10");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_IP1")->text() + "|" + Ctl<QLineEdit>(form, "Edit_IP2")->text() + "|" +
                  Ctl<QLineEdit>(form, "Edit_IP3")->text() + "|" + Ctl<QLineEdit>(form, "Edit_IP4")->text(),
              "192|168|0|10");
    Ctl<QLineEdit>(form, "Edit_IP1")->setFocus();
    Type("4");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_IP1")->text(), "192") << "three digits at most";

    SetText("Edit_Server_Port", "");
    Ctl<QLineEdit>(form, "Edit_Server_Port")->setFocus();
    Type("8.0 ");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Server_Port")->text(), "80 ") << "the port box keeps its blank";
    EXPECT_EQ(services.dialogs.notices, QStringList{"숫자만 입력 가능합니다"});
}

namespace {

// Text an input method commits into a box, the way a Hangul input method ends a syllable: the
// composition shown first, then the commit that replaces it.
void CommitFromInputMethod(QWidget* box, const QString& composing, const QString& committed)
{
    QInputMethodEvent composition(composing, {});
    QCoreApplication::sendEvent(box, &composition);
    QInputMethodEvent commit;
    commit.setCommitString(committed);
    QCoreApplication::sendEvent(box, &commit);
}

} // namespace

TEST_F(WindowCommands, NumberBoxesRefuseAllButDigitsAndBlanksWhateverTheKeyboard)
{
    struct TBox {
        const char* name;
        const char* tcpMode; // the role whose group enables the box, clicked first; empty: none
    };
    const TBox boxes[] = {
        {"Edit_IP1", ""}, {"Edit_IP2", ""}, {"Edit_IP3", ""}, {"Edit_IP4", ""},
        {"Edit_GW1", ""}, {"Edit_GW2", ""}, {"Edit_GW3", ""}, {"Edit_GW4", ""},
        {"Edit_SM1", ""}, {"Edit_SM2", ""}, {"Edit_SM3", ""}, {"Edit_SM4", ""},
        {"Edit_Server_Port", "RG_TCP_Mode_Server"}, {"CB_Server_ExpTime", "RG_TCP_Mode_Server"},
        {"Edit_SvrIP1", "RG_TCP_Mode_Client"}, {"Edit_SvrIP2", "RG_TCP_Mode_Client"},
        {"Edit_SvrIP3", "RG_TCP_Mode_Client"}, {"Edit_SvrIP4", "RG_TCP_Mode_Client"},
        {"Edit_SvrPort_app", "RG_TCP_Mode_Client"}, {"Edit_FlashSaveInt", ""},
        {"Edit_DL_IP1", ""}, {"Edit_DL_IP2", ""}, {"Edit_DL_IP3", ""}, {"Edit_DL_IP4", ""},
        {"Edit_DL_Port", ""}, {"Edit_DL_Tcp_Port", ""}, {"Edit_DL_Tcp_IP1", ""}, {"Edit_DL_Tcp_IP2", ""},
        {"Edit_DL_Tcp_IP3", ""}, {"Edit_DL_Tcp_IP4", ""}, {"Edit_HttpSvr_Port", ""},
    };
    const QString refused = QStringLiteral("숫자만 입력 가능합니다");
    for (const TBox& box : boxes) {
        if (*box.tcpMode)
            Click(box.tcpMode);
        // The box itself takes the keys: an editable combo box hands them on to its line edit.
        QWidget* keys = Ctl<QWidget>(form, box.name);
        auto* combo = qobject_cast<QComboBox*>(keys);
        QLineEdit* edit = combo ? combo->lineEdit() : static_cast<QLineEdit*>(keys);
        ASSERT_TRUE(keys->isEnabled()) << box.name;
        edit->setText("0");
        services.dialogs.notices.clear();

        QTest::keyClick(keys, '.');
        QTest::keyClick(keys, 'x');
        CommitFromInputMethod(keys, QStringLiteral("가"), QStringLiteral("가"));
        CommitFromInputMethod(keys, QStringLiteral("x"), QStringLiteral("1x"));
        EXPECT_EQ(edit->text(), "0") << box.name;
        EXPECT_EQ(services.dialogs.notices, QStringList(4, refused)) << box.name;

        QTest::keyClick(keys, '1');
        CommitFromInputMethod(keys, QStringLiteral("2"), QStringLiteral("2"));
        EXPECT_EQ(edit->text(), "012") << box.name;
        EXPECT_EQ(services.dialogs.notices.size(), 4) << box.name;
    }
}

TEST_F(WindowCommands, PollingAsksForTheSignalWithoutAQuestionAtTheChosenInterval)
{
    Ctl<QComboBox>(form, "CB_Chk_RSSI_Interval")->setCurrentText("5");
    Ctl<QCheckBox>(form, "CB_RSSI_AutoChk")->click();
    auto* timer = Ctl<QTimer>(form, "Timer_AutoQryRSSI");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 5000);
    QMetaObject::invokeMethod(timer, "timeout");
    EXPECT_EQ(device.ReadAvailable(2000), Q(hex("7E 05 4A 50 FE")));
    EXPECT_TRUE(services.dialogs.confirmations.isEmpty());

    Ctl<QPushButton>(form, "ButtonStop")->click();
    EXPECT_FALSE(timer->isActive());
}

TEST_F(WindowCommands, DoubleClickOnAnSsidCopiesItOnlyForTheManualSetting)
{
    auto* grid = Ctl<QTableWidget>(form, "APList_Grid");
    grid->setItem(1, 1, new QTableWidgetItem("Office AP"));
    grid->setItem(1, 2, new QTableWidgetItem("11"));
    SetText("Edit_Current_Pw", "secret");
    auto doubleClick = [&](int column) {
        grid->setCurrentCell(1, column);
        emit grid->cellDoubleClicked(1, column);
    };
    doubleClick(1);
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Current_SSID")->text(), "Not Queried");

    Ctl<QCheckBox>(form, "CB_Manual_set_AP")->click();
    doubleClick(2);
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Current_SSID")->text(), "Not Queried");
    doubleClick(1);
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Current_SSID")->text(), "Office AP");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Current_Pw")->text(), "");
    EXPECT_EQ(form.focusWidget(), Ctl<QLineEdit>(form, "Edit_Current_Pw"));
}

// Values the window will not send as they are: characters the code page cannot carry and file
// names longer than their field are refused; values the device could store but never report back
// (a byte 254 inside) go only after a clear Yes.
TEST_F(WindowCommands, RefusedOrUnanswerableValuesSendNothingAndPointAtTheirField)
{
    Ctl<QCheckBox>(form, "CB_Manual_set_AP")->click();
    const auto mask254 = [](WindowCommands& t) { t.SetText("Edit_SM3", "254"); };
    const TGuardCase cases[] = {
        {"a mask with 254, No", mask254, "Btn_Save_Config_Wan", {TConfirmAnswer::No}, "", "Subnet Mask 값에는", "Edit_SM3"},
        {"a mask with 254, box closed", mask254, "Btn_Save_Config_Wan", {TConfirmAnswer::Closed}, "", "Subnet Mask 값에는",
         "Edit_SM3"},
        {"listen port 510 (01 FE)", [](WindowCommands& t) { t.SetText("Edit_Server_Port", "510"); },
         "Btn_Save_Config_Server", {TConfirmAnswer::No}, "", "Listen Port 값에는", "Edit_Server_Port"},
        {"an SSID whose code page bytes hold FE", [](WindowCommands& t) { t.SetText("Edit_Current_SSID", "a괆"); },
         "Btn_Set_CurrentAP", {TConfirmAnswer::No}, "", "SSID 값에는", "Edit_Current_SSID"},
        {"an SSID with a snowman", [](WindowCommands& t) { t.SetText("Edit_Current_SSID", "Cafe☃"); },
         "Btn_Set_CurrentAP", {}, "SSID에 사용할 수 없는 문자가 있습니다.", "", "Edit_Current_SSID"},
        {"a password with an emoji",
         [](WindowCommands& t) {
             t.SetText("Edit_Current_SSID", "Cafe");
             t.SetText("Edit_Current_Pw", "pw😀");
         },
         "Btn_Set_CurrentAP", {}, "비밀번호에 사용할 수 없는 문자가 있습니다.", "", "Edit_Current_Pw"},
        {"target port 0, client mode",
         [](WindowCommands& t) {
             Ctl<QRadioButton>(t.form, "RG_TCP_Mode_Client")->click();
             t.SetText("Edit_SvrPort_app", "0");
         },
         "Btn_Save_Config_Server", {}, "Target(Server) Port는 1 ~ 65535 정수만 가능합니다.", "", "Edit_SvrPort_app"},
        {"expiry 256, server mode",
         [](WindowCommands& t) {
             Ctl<QRadioButton>(t.form, "RG_TCP_Mode_Server")->click();
             t.SetText("Edit_SvrPort_app", "80");
             Ctl<QComboBox>(t.form, "CB_Server_ExpTime")->setCurrentText("256");
         },
         "Btn_Save_Config_Server", {}, "Server Expire Time(Sec)은0 ~ 255 정수만 가능합니다.", "", "CB_Server_ExpTime"},
        {"a one-byte SSID",
         [](WindowCommands& t) {
             t.SetText("Edit_Current_SSID", "a");
             t.SetText("Edit_Current_Pw", "");
         },
         "Btn_Set_CurrentAP", {},
         "SSID를 확인하세요.", "", "Edit_Current_SSID"},
        {"a one-byte file name", [](WindowCommands& t) { t.SetText("Edit_DL_File", "x"); }, "Btn_FW_DL", {},
         "Filename를 확인하세요.", "", "Edit_DL_File"},
        {"a file name of 33 bytes", [](WindowCommands& t) { t.SetText("Edit_DL_File", "/" + QString(32, 'x')); },
         "Btn_FW_DL", {}, "파일 이름은 32바이트까지 입력할 수 있습니다.", "", "Edit_DL_File"},
        {"a Hangul file name of 33 bytes", [](WindowCommands& t) { t.SetText("Edit_DL_File", "/" + QString(16, u'가')); },
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

TEST_F(WindowCommands, AValueThatCannotBeReportedIsSentAfterAClearYes)
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
