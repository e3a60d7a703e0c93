// The local tools from the window: what each button launches (recorded, never started), the
// HTTP server's port check and log line, and a launch that cannot start.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <ostream>

#include "support/controls.h"
#include "support/pseudo_terminal.h"
#include "tools/local_address.h"
#include "window_fixture.h"

namespace r7730 {

void PrintTo(const TLaunchRequest& request, std::ostream* out)
{
    *out << "{" << request.program << " [";
    for (const std::string& argument : request.arguments)
        *out << " '" << argument << "'";
    *out << " ] in '" << request.workingFolder << "', window " << static_cast<int>(request.window) << "}";
}

} // namespace r7730

using namespace r7730;
using namespace r7730::testing;

namespace {

class LocalTools : public WindowTest {
protected:
    LocalTools() { form->show(); }

    QString Log() { return LogViewText(*form); }
    void Click(const char* button) { Ctl<QPushButton>(*form, button)->click(); }
    void SetText(const char* box, const QString& text) { Ctl<QLineEdit>(*form, box)->setText(text); }
    std::vector<TLaunchRequest>& Launches() { return services.launcher.launches; }
};

} // namespace

TEST_F(LocalTools, TheServerPortMustBeAWholeNumberFrom1To65535)
{
    const QString logBefore = Log();
    for (const char* port : {"0", "70000", "", "65536", "+80"}) {
        SetText("Edit_HttpSvr_Port", port);
        Click("Btn_StartSvr");
        EXPECT_EQ(services.dialogs.notices.value(0), QStringLiteral("HTTP Server Port는 1 ~ 65535 정수만 가능합니다. [Default Port : 8070]"))
            << port;
        services.dialogs.notices.clear();
    }
    EXPECT_EQ(Log(), logBefore);
    EXPECT_TRUE(Launches().empty());

    for (const char* port : {"1", "65535"}) {
        SetText("Edit_HttpSvr_Port", port);
        Click("Btn_StartSvr");
    }
    EXPECT_TRUE(services.dialogs.notices.isEmpty());
    EXPECT_EQ(Launches().size(), 2u);
}

TEST_F(LocalTools, StartServerLogsItsAddressAndRunsPythonsServerInTheHomeFolder)
{
    SetText("Edit_HttpSvr_Port", "8070");
    Click("Btn_StartSvr");
    const QRegularExpression line(QStringLiteral("\\[14:03:27\\]  Starting HTTP Server on\\[http://([0-9.]+):8070\\]$"));
    const QRegularExpressionMatch match = line.match(Log());
    ASSERT_TRUE(match.hasMatch()) << Log().toStdString();
    EXPECT_EQ(match.captured(1).toStdString(), GetLocalIP());
    EXPECT_NE(match.captured(1), "127.0.1.1");
    ASSERT_EQ(Launches().size(), 1u);
    EXPECT_EQ(Launches()[0], (TLaunchRequest{"python3", {"-m", "http.server", "8070"}, "./KavlorFW", TLaunchWindow::TerminalKeptOpen}));
}

TEST_F(LocalTools, ConnectionTestOpensTheBrowserOnTheServerWithThePortAsItStands)
{
    const std::string address = GetLocalIP();
    const QString logBefore = Log();
    for (const char* port : {"8070", ""}) {
        SetText("Edit_HttpSvr_Port", port);
        Click("Btn_TestHttpServer");
    }
    ASSERT_EQ(Launches().size(), 2u);
    EXPECT_EQ(Launches()[0], (TLaunchRequest{"xdg-open", {"http://" + address + ":8070"}, "", TLaunchWindow::None}));
    EXPECT_EQ(Launches()[1], (TLaunchRequest{"xdg-open", {"http://" + address + ":"}, "", TLaunchWindow::None}));
    EXPECT_EQ(Log(), logBefore);
}

TEST_F(LocalTools, PingRunsInATerminalOnTheAddressAsTheBoxesHoldIt)
{
    // The ping button works only while connected.
    TPseudoTerminal device;
    ASSERT_TRUE(device.IsOpen());
    form->DeviceLink().Port().SetPort(device.SlavePath().toStdString());
    Click("ButtonStart");
    ASSERT_TRUE(form->DeviceLink().Port().Connected());

    Click("Btn_ping"); // before any status reply
    SetText("Edit_IP1", "192");
    SetText("Edit_IP2", "168");
    SetText("Edit_IP4", "");
    Click("Btn_ping");
    ASSERT_EQ(Launches().size(), 2u);
    EXPECT_EQ(Launches()[0], (TLaunchRequest{"ping", {"0.0.0.0"}, "", TLaunchWindow::Terminal}));
    EXPECT_EQ(Launches()[1], (TLaunchRequest{"ping", {"192.168.0."}, "", TLaunchWindow::Terminal}));
    EXPECT_TRUE(Log().endsWith("[14:03:27]  Starting ping test to [0.0.0.0]\n[14:03:27]  Starting ping test to [192.168.0.]"))
        << Log().toStdString();
    Click("ButtonStop");
}

TEST_F(LocalTools, SimulatorStartsFromTheWorkingFolderWithoutALogLine)
{
    const QString logBefore = Log();
    Click("Btn_simulator");
    ASSERT_EQ(Launches().size(), 1u);
    EXPECT_EQ(Launches()[0], (TLaunchRequest{"./Simulator", {}, "", TLaunchWindow::None}));
    EXPECT_EQ(Log(), logBefore);
}

TEST_F(LocalTools, ALaunchThatCannotStartIsToldInTheLogAndTheWindowGoesOn)
{
    services.launcher.failure = "Cannot start python3: the folder ./KavlorFW does not exist";
    SetText("Edit_HttpSvr_Port", "8070");
    Click("Btn_StartSvr");
    EXPECT_TRUE(Log().endsWith(":8070]\n[14:03:27]  Cannot start python3: the folder ./KavlorFW does not exist")) << Log().toStdString();

    services.launcher.failure = "Cannot start ./Simulator: there is no Simulator";
    Click("Btn_simulator");
    EXPECT_TRUE(Log().endsWith("\n[14:03:27]  Cannot start ./Simulator: there is no Simulator"));

    TPseudoTerminal device;
    form->DeviceLink().Port().SetPort(device.SlavePath().toStdString());
    Click("ButtonStart");
    services.launcher.failure = "Cannot start ping: not found on PATH";
    Click("Btn_ping");
    // No start line for a ping that did not start.
    EXPECT_TRUE(Log().endsWith("\n[14:03:27]  Cannot start ping: not found on PATH"));
    EXPECT_FALSE(Log().contains("Starting ping test"));
    EXPECT_TRUE(services.dialogs.errors.isEmpty());

    services.launcher.failure.clear();
    Click("Btn_simulator");
    EXPECT_EQ(Launches().size(), 4u);
    Click("ButtonStop");
}
