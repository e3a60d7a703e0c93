#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "window/widgets/dialogs.h"
#include "window/form_info.h"
#include "window/form_main.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"
#include "support/controls.h"

using namespace r7730;
using namespace r7730::testing;

TEST(ErrorReport, FullStopIsAddedAfterCharactersAboveTheFullStop)
{
    EXPECT_EQ(ErrorReportText("Unable to write to ./cfg/SETUP.INI"), "Unable to write to ./cfg/SETUP.INI.");
    EXPECT_EQ(ErrorReportText("Unable to open com port (win error code: 2)"), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(ErrorReportText("done."), "done.");
    EXPECT_EQ(ErrorReportText("'x' is not a valid integer value"), "'x' is not a valid integer value.");
    EXPECT_EQ(ErrorReportText(QStringLiteral("확인하십시오")), QStringLiteral("확인하십시오."));
    EXPECT_EQ(ErrorReportText("a-"), "a-");
    EXPECT_EQ(ErrorReportText(""), "");
}

// The real question box: only No and Escape cancel; a close by the frame goes on.
TEST(ConfirmBox, FrameCloseEscapeAndButtonsGiveTheirAnswers)
{
    TMessageBoxDialogs dialogs;
    auto answerWith = [&dialogs](const std::function<void(QMessageBox*)>& act) {
        QTimer::singleShot(0, [act] { act(qobject_cast<QMessageBox*>(QApplication::activeModalWidget())); });
        return dialogs.Confirm(QStringLiteral("진행하시겠습니까?? "));
    };
    EXPECT_EQ(answerWith([](QMessageBox* box) { box->close(); }), TConfirmAnswer::Closed);
    EXPECT_EQ(answerWith([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }), TConfirmAnswer::No);
    EXPECT_EQ(answerWith([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }), TConfirmAnswer::Yes);
    EXPECT_EQ(answerWith([](QMessageBox* box) { box->buttons().at(1)->click(); }), TConfirmAnswer::No);
    // A question the program withdraws (its reason went) closes and answers No.
    EXPECT_EQ(answerWith([&dialogs](QMessageBox*) { dialogs.WithdrawQuestion(); }), TConfirmAnswer::No);
    dialogs.WithdrawQuestion(); // with no question up: nothing

    QString caption;
    answerWith([&caption](QMessageBox* box) {
        caption = box->windowTitle();
        box->close();
    });
    EXPECT_EQ(caption, "Confirm");

    dialogs.SetUnattended(true);
    EXPECT_EQ(dialogs.Confirm(QStringLiteral("진행하시겠습니까?? ")), TConfirmAnswer::No);
}

class Shell : public ::testing::Test {
protected:
    TTempWorkingFolder folder;
    TFakeServices services;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
};

TEST_F(Shell, CreationLogsTheStartLineSelectsTheFirstTabAndSetsTheVersion)
{
    EXPECT_EQ(LogViewText(form).split('\n').first(), "[14:03:27]  Start R7730LX Serial Setup Program...");
    EXPECT_FALSE(form.DeviceLink().StatusReceived());
    EXPECT_EQ(Ctl<r7730::TPageControl>(form, "PageControl1")->currentIndex(), 0);
    EXPECT_EQ(Ctl<QLabel>(form, "Lb_PGVersion")->text(), "v1.00");
    EXPECT_FALSE(Ctl<QLabel>(form, "Lb_PGVersion")->isVisibleTo(&form));
    EXPECT_EQ(form.windowTitle(), "Kavlor R7730LX Serial Setup Program");
}

TEST_F(Shell, ExitAnsweredNoLeavesEverythingAsItWas)
{
    form.show();
    services.dialogs.answers = {TConfirmAnswer::No};
    Ctl<QPushButton>(form, "BtnExit")->click();
    EXPECT_EQ(services.dialogs.confirmations, QStringList{QStringLiteral("프로그램을 종료하시겠습니까? ")});
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(LogViewText(form).contains("Exit"));

    services.dialogs.answers = {TConfirmAnswer::Closed};
    Ctl<QPushButton>(form, "BtnExit")->click();
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Shell, ExitAnsweredYesLogsTheExitLineAndCloses)
{
    form.show();
    Ctl<QPushButton>(form, "BtnExit")->click();
    EXPECT_TRUE(LogViewText(form).endsWith("[14:03:27]  Kavlor R7730LX Serial Setup Program Exit... "));
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Shell, ClosingByTheFrameAsksNothingAndLogsNoExitLine)
{
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(services.dialogs.confirmations.isEmpty());
    EXPECT_FALSE(LogViewText(form).contains("Exit"));
}

TEST_F(Shell, AboutBoxShowsTheVersionAndOpensTheWebPageFromLogoAndText)
{
    TForm_Info info(form.VersionText(), services.launcher);
    EXPECT_EQ(info.Lb_VersionInfo->text(), "v1.00");
    EXPECT_EQ(info.windowTitle(), QStringLiteral("프로그램 정보"));
    EXPECT_EQ(info.size(), QSize(498, 150));
    EXPECT_EQ(info.Btn_OK->text(), QStringLiteral(" 확인 "));
    EXPECT_EQ(info.Btn_OK->toolTip(), QStringLiteral("창닫기"));

    QTest::mouseClick(info.ImgLogo, Qt::LeftButton);
    QTest::mouseClick(info.LbInfo, Qt::LeftButton);
    ASSERT_EQ(services.launcher.launches.size(), 2u);
    for (const TLaunchRequest& launch : services.launcher.launches) {
        EXPECT_EQ(launch.program, "xdg-open");
        EXPECT_EQ(launch.arguments, std::vector<std::string>{TForm_Info::kMakerWebPage});
    }
    // A page that cannot be opened says why, where it was clicked.
    EXPECT_EQ(info.ImgLogo->toolTip(), "");
    services.launcher.failure = "xdg-open not found on PATH";
    QTest::mouseClick(info.LbInfo, Qt::LeftButton);
    EXPECT_EQ(info.ImgLogo->toolTip(), "xdg-open not found on PATH");
    EXPECT_EQ(info.LbInfo->toolTip(), "xdg-open not found on PATH");
    services.launcher.failure.clear();
    services.launcher.launches.clear();

    // Escape does not close it: only OK does.
    QTimer::singleShot(0, &info, [&info] {
        QTest::keyClick(&info, Qt::Key_Escape);
        EXPECT_TRUE(info.isVisible());
        info.Btn_OK->click();
    });
    info.exec();

    // Shown twice through "S/W Info": the same box, closed by OK each time.
    form.SetInfoForm(&info);
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, &info, [&info] { info.Btn_OK->click(); });
        Ctl<QPushButton>(form, "Btn_ViewInfo")->click();
        EXPECT_FALSE(info.isVisible());
        EXPECT_EQ(info.Lb_VersionInfo->text(), "v1.00");
    }
}

TEST_F(Shell, AHandlerThatThrowsReachesTheErrorReportAndTheProgramGoesOn)
{
    form.RunGuarded([] { throw std::runtime_error("Unable to write to ./cfg/SETUP.INI"); });
    EXPECT_EQ(services.dialogs.errors, QStringList{"Unable to write to ./cfg/SETUP.INI."});
}

// The real program, started twice: the second copy ends at once with code 0.
class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override
    {
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        // The guard's folder follows the home folder (unless /run/user/UID is there).
        environment.insert("HOME", folder.Path());
        environment.insert("XDG_RUNTIME_DIR", folder.Path());
    }

    // A runtime folder of its own for one copy, or none at all: the guard must not care.
    void Start(QProcess& process, const QString& runtimeFolder = QString())
    {
        QProcessEnvironment own = environment;
        if (!runtimeFolder.isNull()) {
            folder.MakeFolder(runtimeFolder);
            own.insert("XDG_RUNTIME_DIR", folder.File(runtimeFolder));
        }
        if (runtimeFolder == "none")
            own.remove("XDG_RUNTIME_DIR");
        process.setProcessEnvironment(own);
        process.setWorkingDirectory(folder.Path());
        process.start(R7730_SETUP_BINARY, {});
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    // True once some process holds the program's lock.
    bool LockIsHeld() const
    {
        const QString runtime = QStringLiteral("/run/user/%1").arg(::getuid());
        const QString lockFolder = QFileInfo(runtime).isDir() && QFileInfo(runtime).ownerId() == ::getuid()
                                       ? runtime
                                       : folder.File(".local/state/r7730-setup");
        int fd = ::open((lockFolder + "/R7730LX_Setup.lock").toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return false;
        bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    }

    // The program has passed its single-instance guard.
    bool WaitUntilLockIsHeld() const
    {
        return QTest::qWaitFor([this] { return LockIsHeld(); }, 5000);
    }

    TTempWorkingFolder folder;
    QProcessEnvironment environment;
};

TEST_F(SingleInstance, ATerminationSignalClosesTheWindowTheOrdinaryWaySavingTheSettings)
{
    ASSERT_TRUE(folder.MakeFolder("cfg"));
    QProcess program;
    Start(program);
    ASSERT_TRUE(WaitUntilLockIsHeld());
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(ReadWholeFile(folder.File("cfg/SETUP.INI")).startsWith("[EnvBoard]\r\nComPort=COM1\r\nBaudRate=115200\r\n"));
}

TEST_F(SingleInstance, ATerminationSignalEndsTheProgramEvenWhenTheSettingsCannotBeSaved)
{
    QProcess program;
    Start(program);
    ASSERT_TRUE(WaitUntilLockIsHeld());
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardError().contains("Unable to write to ./cfg/SETUP.INI."));
}

TEST_F(SingleInstance, SecondCopyExitsQuietlyAndAFreshCopyStartsAfterTheFirstEnds)
{
    QProcess first;
    Start(first);
    ASSERT_TRUE(WaitUntilLockIsHeld());

    // Whatever runtime folder a second copy is given, or none, it ends quietly.
    for (const char* runtime : {"elsewhere", "none"}) {
        QProcess second;
        Start(second, runtime);
        ASSERT_TRUE(second.waitForFinished(10000)) << runtime;
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
    }
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(10000));

    QProcess third;
    Start(third);
    EXPECT_FALSE(third.waitForFinished(1500)) << "a copy started after the first ended should keep running";
    third.terminate();
    third.waitForFinished(10000);
}

TEST_F(SingleInstance, TheRunScriptSaysACopyIsAlreadyRunningWithItsPid)
{
    QProcess first;
    Start(first);
    ASSERT_TRUE(WaitUntilLockIsHeld());

    // The script checks before it builds anything; a build it went on to would fail at once here.
    ASSERT_TRUE(WriteWholeFile(folder.File("not-a-folder"), "x"));
    QProcessEnvironment script = environment;
    script.insert("R7730_BUILD_DIR", folder.File("not-a-folder/build"));
    QProcess run;
    run.setProcessEnvironment(script);
    run.setWorkingDirectory(folder.Path());
    run.start("bash", {QStringLiteral(R7730_SOURCE_DIR "/scripts/run.sh")});
    ASSERT_TRUE(run.waitForFinished(20000));
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(run.readAllStandardError()),
              QStringLiteral("A copy of the window is already running (PID %1): close it first, or use that one.\n").arg(first.processId()));
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    first.waitForFinished(10000);
}
