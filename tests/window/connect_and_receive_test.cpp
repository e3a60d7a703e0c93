// The window against a device on a real pseudo-terminal: connect, the send step, the receive
// path and the reply handlers, end to end through the serial port and its event thread.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "support/device_frames.h"
#include "window/form_main.h"
#include "support/fake_services.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"
#include "support/controls.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

const QByteArray kStatusRead("\x7E\x05\x41\x50\xFE", 5);

// Model 2, firmware 1.03, MAC 00:1A:2B:3C:4D:5E, IP 192.168.0.10, gateway 192.168.0.1,
// mask 255.255.255.0, listen port 8080, expiry 10, serial 115200/8/1/None/None, server mode,
// target port 80, target 192.168.0.100.
const QByteArray kStatusFrame(reinterpret_cast<const char*>(r7730::testing::kStatusReply.data()),
                              static_cast<qsizetype>(r7730::testing::kStatusReply.size()));

// The same reply with values other than the window's start values: serial 4800/5/2/Even/
// RTS-CTS, client mode, expiry 200, listen port 502, target port 9000.
QByteArray ClientModeStatusReply()
{
    QByteArray reply = kStatusFrame;
    reply[25] = '\x01';
    reply[26] = '\xF6';
    reply[27] = '\xC8';
    reply.replace(28, 6, "20120C");
    reply[34] = '\x23';
    reply[35] = '\x28';
    return reply;
}

class WindowOnPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(device.IsOpen());
        form.show();
        form.DeviceLink().Port().SetPort(device.SlavePath().toStdString());
    }

    void TearDown() override { form.DeviceLink().Port().ClosePort(); }

    QString Log() { return LogViewText(form); }

    // Waits until the log holds `text` (the event thread hands bytes over asynchronously).
    bool WaitForLog(const QString& text, int timeoutMs = 5000)
    {
        const bool found = QTest::qWaitFor([&] { return Log().contains(text); }, timeoutMs);
        if (!found)
            ADD_FAILURE() << "not in the log: " << text.toStdString() << "\nlog:\n" << Log().toStdString()
                          << "\nevent thread running: " << form.DeviceLink().Port().EventThreadRunning()
                          << ", hung up: " << form.DeviceLink().Port().EndedOnHangUp()
                          << ", queued: " << form.DeviceLink().Port().InputQueueCount();
        return found;
    }

    void Connect()
    {
        Ctl<QPushButton>(form, "ButtonStart")->click();
        ASSERT_TRUE(form.DeviceLink().Port().Connected()) << Log().toStdString();
    }

    TTempWorkingFolder folder;
    TFakeServices services;
    TPseudoTerminal device;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
};

} // namespace

TEST_F(WindowOnPty, ConnectSwitchesTheWindowAndSendsNothing)
{
    Connect();
    EXPECT_TRUE(Log().contains("[14:03:27]  Trying Kavlor R7730LX Comport Open... \n"
                               "[14:03:27]  Connection Success with Kavlor R7730LX on Port[" +
                               device.SlavePath() + "]"));
    EXPECT_FALSE(Ctl<QPushButton>(form, "ButtonStart")->isEnabled());
    EXPECT_TRUE(Ctl<QPushButton>(form, "ButtonStop")->isEnabled());
    EXPECT_FALSE(Ctl<QPushButton>(form, "BtnExit")->isEnabled());
    EXPECT_FALSE(Ctl<QPushButton>(form, "Btn_ComSetup")->isEnabled());
    EXPECT_TRUE(Ctl<QFrame>(form, "Panel_Info_Wan")->isEnabled());
    EXPECT_TRUE(Ctl<QPushButton>(form, "Btn_Search_AP")->isEnabled());
    EXPECT_TRUE(Ctl<QCheckBox>(form, "CB_RSSI_AutoChk")->isEnabled());
    EXPECT_TRUE(device.ReadAvailable(100).isEmpty());

    Ctl<QPushButton>(form, "ButtonStop")->click();
    EXPECT_FALSE(form.DeviceLink().Port().Connected());
    EXPECT_TRUE(Log().endsWith("Connection Close from Kavlor R7730LX."));
    EXPECT_TRUE(Ctl<QPushButton>(form, "ButtonStart")->isEnabled());
    EXPECT_FALSE(Ctl<QPushButton>(form, "ButtonStop")->isEnabled());
    EXPECT_TRUE(Ctl<QPushButton>(form, "BtnExit")->isEnabled());
    EXPECT_FALSE(Ctl<QFrame>(form, "Panel_Info_Wan")->isEnabled());
    EXPECT_FALSE(Ctl<QPushButton>(form, "Btn_CurrentStatus")->isEnabled());
    EXPECT_FALSE(Ctl<QCheckBox>(form, "CB_RSSI_AutoChk")->isChecked());
}

TEST_F(WindowOnPty, StatusQueryRoundTripFillsTheFirstTab)
{
    Connect();
    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    EXPECT_EQ(device.ReadAvailable(2000), kStatusRead);
    EXPECT_TRUE(Log().endsWith("[14:03:27]  Send Current Status Read Command to Kavlor R7730LX... \n"
                               "[14:03:27]  TX 0x41 : [5][7E.05.41.50.FE.]"));

    // Split over three events: 10, 20 and 13 bytes.
    device.Write(kStatusFrame.left(10));
    QTest::qWait(50);
    device.Write(kStatusFrame.mid(10, 20));
    QTest::qWait(50);
    device.Write(kStatusFrame.mid(30));
    ASSERT_TRUE(WaitForLog("RX MSG ID:[0x41] LEN:[43]"));
    EXPECT_TRUE(Log().contains("[14:03:27]  [EOT]\n[14:03:27]  RX MSG ID:[0x41] LEN:[43]:[7E.2B.41.50.02.01.03.00.1A."
                               "2B.3C.4D.5E.C0.A8.00.0A.C0.A8.00.01.FF.FF.FF.00.1F.90.0A.37.33.30.30.31.53.00.50.C0.A8."
                               "00.64.00.00.FE.]"));
    EXPECT_EQ(Log().count("[EOT]"), 1);
    EXPECT_TRUE(form.DeviceLink().StatusReceived());
    EXPECT_EQ(Ctl<QLineEdit>(form, "Panel_DevName")->text(), "R7730LX");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Panel_Version")->text(), "1.03");
    EXPECT_EQ(Ctl<QLineEdit>(form, "PanelMacAddr")->text(), "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_IP1")->text() + "." + Ctl<QLineEdit>(form, "Edit_IP2")->text() + "." + Ctl<QLineEdit>(form, "Edit_IP3")->text() + "." +
                  Ctl<QLineEdit>(form, "Edit_IP4")->text(),
              "192.168.0.10");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_SM4")->text(), "0");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Server_Port")->text(), "8080");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Server_ExpTime")->currentText(), "10");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Baudrate")->currentText(), "115200");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Databits")->currentText(), "8");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Stopbits")->currentText(), "1");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Parity")->currentText(), "None");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Flow")->currentText(), "None");
    EXPECT_TRUE(Ctl<QRadioButton>(form, "RG_TCP_Mode_Server")->isChecked());
    EXPECT_TRUE(Ctl<QGroupBox>(form, "GB_Server")->isEnabled());
    EXPECT_FALSE(Ctl<QGroupBox>(form, "GB_Client")->isEnabled());
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_SvrPort_app")->text(), "80");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_SvrIP4")->text(), "100");
    for (QWidget* panel : {static_cast<QWidget*>(Ctl<QFrame>(form, "Panel_Info_Default")), static_cast<QWidget*>(Ctl<QFrame>(form, "Panel_Info_Wan")),
                           static_cast<QWidget*>(Ctl<QFrame>(form, "Panel_Info_Server")), static_cast<QWidget*>(Ctl<QFrame>(form, "Panel_Info_Serial"))})
        EXPECT_TRUE(panel->isEnabled()) << panel->objectName().toStdString();
}

TEST_F(WindowOnPty, EveryDecodedValueLandsInItsOwnBox)
{
    Connect();
    device.Write(ClientModeStatusReply());
    ASSERT_TRUE(WaitForLog("RX MSG ID:[0x41] LEN:[43]"));
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Server_Port")->text(), "502");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Server_ExpTime")->currentText(), "200");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Baudrate")->currentText(), "4800");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Databits")->currentText(), "5");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Stopbits")->currentText(), "2");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Parity")->currentText(), "Even");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Flow")->currentText(), "RTS/CTS");
    EXPECT_TRUE(Ctl<QRadioButton>(form, "RG_TCP_Mode_Client")->isChecked());
    EXPECT_FALSE(Ctl<QGroupBox>(form, "GB_Server")->isEnabled());
    EXPECT_TRUE(Ctl<QGroupBox>(form, "GB_Client")->isEnabled());
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_SvrPort_app")->text(), "9000");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_GW1")->text() + "." + Ctl<QLineEdit>(form, "Edit_GW4")->text(), "192.1");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_SM1")->text() + "." + Ctl<QLineEdit>(form, "Edit_SM4")->text(), "255.0");
}

// The fields of the TCP role not taken sit on the button face; replies that switch the role
// switch them, and replies that repeat it leave them so.
TEST_F(WindowOnPty, TheRoleNotTakenIsDrawnOnTheButtonFaceReplyAfterReply)
{
    const QColor face = QApplication::palette().color(QPalette::Button);
    const QColor base = QApplication::palette().color(QPalette::Base);
    auto fieldsOn = [&](const QColor& serverColour, const QColor& clientColour) {
        for (const char* name : {"Edit_Server_Port", "CB_Server_ExpTime"})
            EXPECT_EQ(Ctl<QWidget>(form, name)->palette().color(QPalette::Base), serverColour) << name;
        for (const char* name : {"Edit_SvrIP1", "Edit_SvrIP4", "Edit_SvrPort_app"})
            EXPECT_EQ(Ctl<QWidget>(form, name)->palette().color(QPalette::Base), clientColour) << name;
    };
    Connect();
    for (const bool client : {true, true, false, false, true}) {
        const int before = Log().count("RX MSG ID:[0x41]");
        device.Write(client ? ClientModeStatusReply() : kStatusFrame);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Log().count("RX MSG ID:[0x41]") > before; }));
        SCOPED_TRACE(client ? "client" : "server");
        if (client)
            fieldsOn(face, base);
        else
            fieldsOn(base, face);
    }
}

TEST_F(WindowOnPty, TwoRepliesInOneEventAndStrayBytes)
{
    Connect();
    // A reboot acknowledgement and an unregistered reply in one write.
    device.Write(QByteArray("\x7E\x05\x47\x50\xFE\x7E\x05\x53\x50\xFE", 10));
    ASSERT_TRUE(WaitForLog("TX 0x41 : [5][7E.05.41.50.FE.]"));
    EXPECT_TRUE(Log().contains("[14:03:27]  [EOT]\n[14:03:27]  [EOT]\n"
                               "[14:03:27]  Message ID:[0x53] is Unregistered.\n"
                               "[14:03:27]  RX MSG ID:[0x53] LEN:[5]:[7E.05.53.50.FE.]\n"
                               "[14:03:27]  Send Current Status Read Command to Kavlor R7730LX... \n"
                               "[14:03:27]  TX 0x41 : [5][7E.05.41.50.FE.]"));
    EXPECT_EQ(device.ReadAvailable(2000), kStatusRead);

    // One stray byte before the start byte: the reply arrives intact.
    device.Write(QByteArray("\x33", 1) + kStatusFrame);
    ASSERT_TRUE(WaitForLog("RX MSG ID:[0x41] LEN:[43]"));
    EXPECT_TRUE(form.DeviceLink().StatusReceived());

    // Two stray bytes: the second is taken for the ID.
    device.Write(QByteArray("\x33\x34\x7E\x05\x47\x50\xFE", 7));
    ASSERT_TRUE(WaitForLog("RX MSG ID:[0x34] LEN:[8]:[7E.33.34.7E.05.47.50.FE.]"));
}

TEST_F(WindowOnPty, ALoneEndByteIsAnUnregisteredFrameAnsweredWithAStatusRead)
{
    Connect();
    device.Write(QByteArray("\xFE", 1));
    ASSERT_TRUE(WaitForLog("TX 0x41"));
    EXPECT_TRUE(Log().contains("[14:03:27]  [EOT]\n[14:03:27]  Message ID:[0x00] is Unregistered.\n"
                               "[14:03:27]  RX MSG ID:[0x00] LEN:[2]:[7E.FE.]"));
    EXPECT_EQ(device.ReadAvailable(2000), kStatusRead);
}

TEST_F(WindowOnPty, ScanSignalAndCurrentApRepliesFillTheSecondTab)
{
    Connect();
    // Two access points: a Korean SSID (한글네트) and one cut in the middle of a character.
    QByteArray cut = "A";
    for (int i = 0; i < 15; ++i)
        cut += "\xB0\xA1";
    cut += "\xB0";
    const QByteArray scan = QByteArray("\x7E\x6E\x48\x50", 4) + "2" + QByteArray(24, ' ') +
                            "\xC7\xD1\xB1\xDB\xB3\xD7\xC6\xAE" + "   6" + " -65" + "    WPA2_PSK" + cut + "  11" + " -90" +
                            "        OPEN" + "\xFE";
    device.Write(scan);
    ASSERT_TRUE(WaitForLog("RX MSG ID:[0x48]"));
    EXPECT_TRUE(Log().contains(QStringLiteral("] = [2") + QString(24, ' ') + QStringLiteral("한글네트   6 -65    WPA2_PSKA가가")));
    QTableWidget* grid = Ctl<QTableWidget>(form, "APList_Grid");
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_EQ(grid->item(1, 0)->text(), "1");
    EXPECT_EQ(grid->item(1, 1)->text(), QStringLiteral("한글네트"));
    EXPECT_EQ(grid->item(1, 2)->text(), "6");
    EXPECT_EQ(grid->item(1, 3)->text(), "-65");
    EXPECT_EQ(grid->item(1, 4)->text(), "70%");
    EXPECT_EQ(grid->item(1, 5)->text(), "WPA2_PSK");
    EXPECT_EQ(grid->item(2, 1)->text(), QStringLiteral("A가가가가가가가가가가가가가가가"));
    EXPECT_EQ(grid->item(2, 4)->text(), "20%");

    device.Write(QByteArray("\x7E\x2B\x4A\x50", 4) + QByteArray(28, ' ') + "Home" + "  -65 " + "\xFE");
    ASSERT_TRUE(WaitForLog("RX MSG ID:[0x4A]"));
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Current_SSID")->text(), "Home");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Current_RSSI")->text(), "-65");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Quality")->text(), "70");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Panel_Quality")->text(), "70%");
    EXPECT_EQ(Ctl<QProgressBar>(form, "PB_SignalQuality")->value(), 70);

    device.Write(QByteArray("\x7E\x2B\x4A\x50", 4) + QByteArray(32, ' ') + "NOINFO" + "\xFE");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ctl<QLineEdit>(form, "Edit_Quality")->text() == "Disconnected"; }, 5000));
    EXPECT_EQ(Ctl<QProgressBar>(form, "PB_SignalQuality")->value(), 70);
    EXPECT_EQ(Ctl<QLineEdit>(form, "Panel_Quality")->text(), "70%");

    device.Write(QByteArray("\x7E\x35\x49\x50", 4) + QByteArray(30, ' ') + "ab" + QByteArray(8, ' ') + "pass1234" + "\xFE");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ctl<QLineEdit>(form, "Edit_Current_Pw")->text() == "pass1234"; }, 5000));
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Current_SSID")->text(), "ab");
}

TEST_F(WindowOnPty, AHangulSsidOf31BytesAndItsPasswordFillTheirBoxesWhole)
{
    Connect();
    // 제12물류창고 무선AP 시험용-5GHz in CP949 behind one blank, then a 16-character password.
    device.Write(QByteArray("\x7E\x35\x49\x50", 4) + " \xC1\xA6" "12" "\xB9\xB0\xB7\xF9\xC3\xA2\xB0\xED \xB9\xAB\xBC\xB1"
                 "AP \xBD\xC3\xC7\xE8\xBF\xEB-5GHz" "abcdefgh12345678" "\xFE");
    ASSERT_TRUE(WaitForLog("RX MSG ID:[0x49] LEN:[53]"));
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Current_SSID")->text(), QStringLiteral("제12물류창고 무선AP 시험용-5GHz"));
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Current_Pw")->text(), "abcdefgh12345678");
    EXPECT_TRUE(Log().contains(QStringLiteral("res[38] = [ 제12물류창고 무선AP 시험용-5GHzabcdefgh12345678]"))) << Log().toStdString();
}

TEST_F(WindowOnPty, AStatusReplyWithABadSerialIndexUpdatesTheFieldsBeforeIt)
{
    Connect();
    Ctl<QComboBox>(form, "CB_Stopbits")->setCurrentIndex(1);
    Ctl<QLineEdit>(form, "Edit_SvrPort_app")->setText("1234");
    QByteArray reply = ClientModeStatusReply();
    reply[30] = 'x'; // the stop-bits index
    device.Write(reply);
    ASSERT_TRUE(WaitForLog("RX MSG ID:[0x41] LEN:[43]"));
    EXPECT_TRUE(form.DeviceLink().StatusReceived());
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Server_Port")->text(), "502");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Baudrate")->currentText(), "4800");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Databits")->currentText(), "5");
    EXPECT_EQ(Ctl<QComboBox>(form, "CB_Stopbits")->currentText(), "2");
    EXPECT_TRUE(Ctl<QRadioButton>(form, "RG_TCP_Mode_Server")->isChecked());
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_SvrPort_app")->text(), "1234");
    EXPECT_TRUE(Ctl<QFrame>(form, "Panel_Info_Serial")->isEnabled());
    EXPECT_TRUE(services.dialogs.errors.isEmpty());
}

TEST_F(WindowOnPty, AFrameLongerThanTheBufferIsDroppedAndReceptionGoesOn)
{
    Connect();
    // In pieces the pseudo-terminal can hold, letting the window read in between.
    const QByteArray huge = QByteArray("\x7E", 1) + QByteArray(9000, 'A');
    for (qsizetype at = 0; at < huge.size(); at += 1000) {
        device.Write(huge.mid(at, 1000));
        QTest::qWait(20);
    }
    ASSERT_TRUE(WaitForLog("Frame dropped: 8193 bytes without an end byte exceed the receive buffer of 8192 bytes"));
    // The rest of the long frame is skipped up to its end byte; the next reply is whole again.
    device.Write(QByteArray("\xFE", 1) + kStatusFrame);
    ASSERT_TRUE(WaitForLog("RX MSG ID:[0x41] LEN:[43]"));
    EXPECT_EQ(Log().count("[EOT]"), 1);
}

TEST_F(WindowOnPty, CommandsWhileDisconnectedAreRefusedWithANotice)
{
    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    EXPECT_EQ(services.dialogs.notices, QStringList{QStringLiteral("단말기의 Serial Port 상태를 확인하십시오.")});
    EXPECT_TRUE(Log().endsWith(QStringLiteral("[14:03:27]  단말기의 Serial Port 상태를 확인하십시오.")));
    EXPECT_FALSE(Log().contains("TX 0x41"));
}

TEST_F(WindowOnPty, DisconnectWhenAlreadyClosedLogsNothingButSwitchesControls)
{
    Ctl<QPushButton>(form, "ButtonStop")->setEnabled(true);
    Ctl<QPushButton>(form, "ButtonStop")->click();
    EXPECT_FALSE(Log().contains("Connection Close"));
    EXPECT_FALSE(Ctl<QPushButton>(form, "ButtonStop")->isEnabled());
    EXPECT_FALSE(Ctl<QPushButton>(form, "Btn_CurrentStatus")->isEnabled());
}

TEST_F(WindowOnPty, HangUpIsToldOnceAndTheWindowCanConnectAgain)
{
    const QString link = folder.File("R7730LX");
    ASSERT_TRUE(QFile::link(device.SlavePath(), link));
    form.DeviceLink().Port().SetPort(link.toStdString());
    Connect();

    device.Close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.DeviceLink().Port().Connected(); }, 5000));
    EXPECT_TRUE(Log().contains("hung up"));
    EXPECT_EQ(services.dialogs.notices.size(), 1);
    EXPECT_TRUE(Ctl<QPushButton>(form, "ButtonStart")->isEnabled());
    EXPECT_FALSE(Ctl<QPushButton>(form, "ButtonStop")->isEnabled());
    EXPECT_TRUE(Ctl<QPushButton>(form, "BtnExit")->isEnabled());

    // The device comes back (a new pseudo-terminal behind the same name): Connect works.
    TPseudoTerminal again;
    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QFile::link(again.SlavePath(), link));
    Ctl<QPushButton>(form, "ButtonStart")->click();
    EXPECT_TRUE(form.DeviceLink().Port().Connected());
    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    EXPECT_EQ(again.ReadAvailable(2000), kStatusRead);
}

TEST_F(WindowOnPty, ConnectToAMissingPortReportsWhyAndKeepsTheProgramUsable)
{
    form.DeviceLink().Port().SetPort(folder.File("no-such-port").toStdString());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    ASSERT_EQ(services.dialogs.errors.size(), 1);
    EXPECT_TRUE(services.dialogs.errors[0].startsWith("Unable to open com port (win error code: 2)\n"))
        << services.dialogs.errors[0].toStdString();
    EXPECT_TRUE(services.dialogs.errors[0].contains("No such file or directory"));
    EXPECT_TRUE(Log().endsWith("[14:03:27]  Trying Kavlor R7730LX Comport Open... "));
    EXPECT_TRUE(Ctl<QPushButton>(form, "ButtonStart")->isEnabled());
    EXPECT_FALSE(Ctl<QPushButton>(form, "ButtonStop")->isEnabled());
    EXPECT_TRUE(Ctl<QPushButton>(form, "BtnExit")->isEnabled());
    EXPECT_TRUE(Ctl<QPushButton>(form, "Btn_ComSetup")->isEnabled());
    EXPECT_FALSE(Ctl<QFrame>(form, "Panel_Info_Wan")->isEnabled());
}

TEST_F(WindowOnPty, DisconnectWhileStatusReadsArePacedLeavesNoReadBehind)
{
    Connect();
    // Each junk frame comes when no read is in flight: the hundredth read is the last at once.
    QByteArray junkThenReply;
    for (int i = 0; i < 110; ++i)
        junkThenReply += QByteArray::fromHex("7E00FE7E7E") + kStatusFrame;
    device.Write(junkThenReply);
    ASSERT_TRUE(WaitForLog("status reads paced to one a second"));
    Ctl<QPushButton>(form, "ButtonStop")->click();
    ASSERT_TRUE(WaitForLog("Connection Close"));
    QTest::qWait(1500);
    const QString log = Log();
    EXPECT_FALSE(log.mid(log.lastIndexOf("Connection Close")).contains("Send Current Status Read")) << log.toStdString();
    EXPECT_TRUE(services.dialogs.notices.isEmpty()) << services.dialogs.notices.join('\n').toStdString();
}
