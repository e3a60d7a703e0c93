// The settings file through the window: read at the first activation, written at close.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "window/form_main.h"
#include "window/settings_keys.h"
#include "window/connection_controls.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"
#include "support/controls.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

class Settings : public ::testing::Test {
protected:
    TTempWorkingFolder folder;
    TFakeServices services;
};

} // namespace

TEST_F(Settings, WithoutAFileEveryValueTakesItsDefault)
{
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.show();
    EXPECT_EQ(form.DeviceLink().Port().Port(), "COM1");
    EXPECT_EQ(form.DeviceLink().Port().BaudRate(), br115200);
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_HttpSvr_Port")->text(), "8070");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_HomeDir")->text(), "./KavlorFW");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_DL_IP1")->text(), "127");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_DL_IP4")->text(), "1");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_DL_File")->text(), "/R7730LX_v1.0.bin");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_DL_Tcp_IP3")->text(), "88");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_DL_Tcp_Port")->text(), "8071");
}

TEST_F(Settings, HandEditedValuesAreLoadedAndASaveKeepsCommentsAndForeignKeys)
{
    ASSERT_TRUE(folder.MakeFolder("cfg"));
    ASSERT_TRUE(WriteWholeFile(folder.File("cfg/SETUP.INI"), "; site notes\r\n[EnvBoard]\r\nComPort=/dev/ttyUSB3\r\nBaudRate=9600\r\n"
                                                            "[HTTPServer]\r\nPort=\r\n[Site]\r\nTechnician=kim\r\n"));
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.show();
    EXPECT_EQ(form.DeviceLink().Port().Port(), "/dev/ttyUSB3");
    EXPECT_EQ(form.DeviceLink().Port().BaudRate(), br9600);
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_HttpSvr_Port")->text(), "");

    Ctl<QLineEdit>(form, "Edit_DL_File")->setText(QStringLiteral("/펌웨어.bin"));
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(services.dialogs.errors.isEmpty());
    EXPECT_EQ(ReadWholeFile(folder.File("cfg/SETUP.INI")),
              QByteArray("; site notes\r\n[EnvBoard]\r\nComPort=/dev/ttyUSB3\r\nBaudRate=115200\r\nDataBits=8\r\n"
                         "StopBits=1\r\nParity=None\r\n[HTTPServer]\r\nPort=\r\nHomeDir=./KavlorFW\r\n[Site]\r\n"
                         "Technician=kim\r\n[Download_WEB]\r\nIP1=127\r\nIP2=0\r\nIP3=0\r\nIP4=1\r\nPort=8070\r\n"
                         "File=/\xC6\xDF\xBF\xFE\xBE\xEE.bin\r\n[Download_TCP]\r\nIP1=192\r\nIP2=168\r\nIP3=88\r\nIP4=101\r\n"
                         "Port=8071\r\n"));
}

TEST_F(Settings, EveryEditBoxTheFileNamesExists)
{
    TForm_main form({services.dialogs, services.clock, services.launcher});
    for (const TEditBoxSetting& setting : kEditBoxSettings)
        EXPECT_NE(form.findChild<QLineEdit*>(setting.editBox), nullptr) << setting.editBox;
    for (const TConnectionControl& control : kConnectionControls)
        EXPECT_NE(form.findChild<QWidget*>(control.objectName), nullptr) << control.objectName;
}

TEST_F(Settings, AValueLongerThanItsBoxIsShownWholeAndWrittenBackAsItWasRead)
{
    ASSERT_TRUE(folder.MakeFolder("cfg"));
    ASSERT_TRUE(WriteWholeFile(folder.File("cfg/SETUP.INI"), "[HTTPServer]\r\nPort=123456\r\n[Download_WEB]\r\nIP1=1234\r\n"
                                                            "File=/firmware/R7730LX_v1.0_release_build.bin\r\n"));
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.show();
    // The box holds what the file says, so a check refuses the value rather than a cut one.
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_HttpSvr_Port")->text(), "123456");
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_DL_IP1")->text(), "1234");
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(ReadWholeFile(folder.File("cfg/SETUP.INI"))
                    .contains("File=/firmware/R7730LX_v1.0_release_build.bin\r\n"));
}

TEST_F(Settings, AMissingCfgFolderIsReportedAndTheWindowStillCloses)
{
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(services.dialogs.errors, QStringList{"Unable to write to ./cfg/SETUP.INI."});
    EXPECT_FALSE(QFile::exists(folder.File("cfg")));
}

TEST_F(Settings, ValuesTheUserLeftAloneGoBackByteForByte)
{
    ASSERT_TRUE(folder.MakeFolder("cfg"));
    const QByteArray before("[EnvBoard]\r\nComPort=/dev/tty\xFFX\r\nBaudRate=9600\r\n"
                            "[HTTPServer]\r\nPort=8070\r\nHomeDir=./\xFF\xFE\r\n");
    ASSERT_TRUE(WriteWholeFile(folder.File("cfg/SETUP.INI"), before));
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.show();
    Ctl<QLineEdit>(form, "Edit_HttpSvr_Port")->setText("8080");
    EXPECT_TRUE(form.close());
    const QByteArray after = ReadWholeFile(folder.File("cfg/SETUP.INI"));
    EXPECT_TRUE(after.startsWith("[EnvBoard]\r\nComPort=/dev/tty\xFFX\r\nBaudRate=115200\r\n")) << after.toStdString();
    EXPECT_TRUE(after.contains("[HTTPServer]\r\nPort=8080\r\nHomeDir=./\xFF\xFE\r\n")) << after.toStdString();
}

TEST_F(Settings, AnUntouchedValueLongerThanALineEditHoldsGoesBackWhole)
{
    ASSERT_TRUE(folder.MakeFolder("cfg"));
    const QByteArray home = "./" + QByteArray(1 << 20, 'f');
    ASSERT_TRUE(WriteWholeFile(folder.File("cfg/SETUP.INI"), "[HTTPServer]\r\nHomeDir=" + home + "\r\n"));
    TForm_main form({services.dialogs, services.clock, services.launcher});
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(ReadWholeFile(folder.File("cfg/SETUP.INI")).contains("HomeDir=" + home + "\r\n"));
}

// The program builds its back pages (access point, maintenance) after the window's first
// paint: their controls come up with their tab (also one chosen before the build), their
// fields show the file's values, their buttons answer, and a window closed before that paint
// writes the values back unchanged.
TEST_F(Settings, BackPagesBuiltAfterTheFirstPaintShowAndKeepTheFilesValues)
{
    ASSERT_TRUE(folder.MakeFolder("cfg"));
    enum { Painted, TabChosenFirst, ClosedFirst };
    for (const int when : {Painted, TabChosenFirst, ClosedFirst}) {
        SCOPED_TRACE(when == Painted ? "painted, then closed" : when == TabChosenFirst ? "its tab chosen at once" : "closed at once");
        ASSERT_TRUE(WriteWholeFile(folder.File("cfg/SETUP.INI"), "[HTTPServer]\r\nPort=9000\r\n"));
        services.launcher.launches.clear();
        TForm_main form({services.dialogs, services.clock, services.launcher}, nullptr,
                        TForm_main::TBackPages::AfterFirstPaint);
        EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("Edit_HttpSvr_Port")), nullptr);
        form.show();
        if (when == TabChosenFirst)
            Ctl<QTabWidget>(form, "PageControl1")->setCurrentIndex(2);
        if (when != ClosedFirst) {
            ASSERT_TRUE(QTest::qWaitFor([&form] { return form.BackPagesBuilt(); }));
            EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_HttpSvr_Port")->text(), "9000");
            Ctl<QTabWidget>(form, "PageControl1")->setCurrentIndex(2);
            EXPECT_TRUE(Ctl<QPushButton>(form, "Btn_SystemReboot")->isVisible());
            Ctl<QPushButton>(form, "Btn_StartSvr")->click();
            ASSERT_EQ(services.launcher.launches.size(), 1u);
        }
        EXPECT_TRUE(form.close());
        EXPECT_TRUE(ReadWholeFile(folder.File("cfg/SETUP.INI")).contains("[HTTPServer]\r\nPort=9000\r\n"));
        EXPECT_TRUE(services.dialogs.errors.isEmpty());
    }
}
