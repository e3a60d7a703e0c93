// What a launch comes to, in temporary folders with stand-in programs: PATH look-ups, the
// terminal window and its "keep open" flag, the reasons a launch cannot start; and real
// launches of a stand-in that writes down the arguments and the folder it was given.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>
#include <string>

#include "support/temp_folder.h"
#include "tools/launcher.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

// Writes its arguments, one a line, then its working folder, into args.txt in that folder.
const char* const kRecorderScript =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > args.tmp\n"
    "pwd >> args.tmp\n"
    "mv args.tmp args.txt\n";

class Launching : public ::testing::Test {
protected:
    Launching()
    {
        folder.MakeFolder("bin");
        folder.MakeFolder("bin-without-terminal");
        folder.MakeFolder("home");
        for (const char* name : {"ping", "python3", "xterm", "xdg-open", "record"})
            MakeProgram("bin/" + std::string(name), kRecorderScript);
        MakeProgram("bin-without-terminal/ping", kRecorderScript);
        MakeProgram("Simulator", kRecorderScript);
        MakeFile("notes.txt", "not a program\n", false);
    }

    void MakeProgram(const std::string& relative, const char* text) { MakeFile(relative, text, true); }
    void MakeFile(const std::string& relative, const char* text, bool executable)
    {
        QFile file(folder.File(QString::fromStdString(relative)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }

    // "{bin}", "{bin-without-terminal}" and "{here}" stand for folders of this test.
    std::string Expand(std::string text) const
    {
        const std::string here = QDir(folder.Path()).absolutePath().toStdString();
        for (const auto& [mark, value] : {std::pair<std::string, std::string>{"{bin-without-terminal}", here + "/bin-without-terminal"},
                                          {"{bin}", here + "/bin"},
                                          {"{here}", here}}) {
            for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark))
                text.replace(at, mark.size(), value);
        }
        return text;
    }

    TLaunchCommand Expand(TLaunchCommand command) const
    {
        command.program = Expand(command.program);
        for (std::string& argument : command.arguments)
            argument = Expand(argument);
        return command;
    }

    // The args.txt that the recorder left in a folder, once it is there.
    QString Recorded(const QString& relativeFolder)
    {
        const QString file = folder.File(relativeFolder + "/args.txt");
        if (!QTest::qWaitFor([&] { return QFile::exists(file); }, 5000))
            return "nothing was started";
        return QString::fromUtf8(ReadWholeFile(file));
    }

    TTempWorkingFolder folder;
};

struct TPlanCase {
    const char* what;
    bool display;
    const char* path;
    TLaunchRequest request;
    TLaunchCommand expected;
};

} // namespace

TEST_F(Launching, ARequestComesToTheProgramFoundOnPathOrInItsTerminalWindow)
{
    const TPlanCase cases[] = {
        {"no window asked for", true, "{bin}",
         {"xdg-open", {"http://10.0.0.1:8070"}, "", TLaunchWindow::None},
         {"{bin}/xdg-open", {"http://10.0.0.1:8070"}, "", ""}},
        {"a terminal window", true, "{bin}",
         {"ping", {"0.0.0.0"}, "", TLaunchWindow::Terminal},
         {"{bin}/xterm", {"-T", "ping 0.0.0.0", "-e", "{bin}/ping", "0.0.0.0"}, "", ""}},
        {"a terminal window kept open", true, "{bin}",
         {"python3", {"-m", "http.server", "8070"}, "home", TLaunchWindow::TerminalKeptOpen},
         {"{bin}/xterm", {"-T", "python3 -m http.server 8070", "-hold", "-e", "{bin}/python3", "-m", "http.server", "8070"}, "home", ""}},
        {"no display: detached, without a window", false, "{bin}",
         {"python3", {"-m", "http.server", "8070"}, "home", TLaunchWindow::TerminalKeptOpen},
         {"{bin}/python3", {"-m", "http.server", "8070"}, "home", ""}},
        {"a program named with a slash comes from the working folder", true, "{bin}",
         {"./Simulator", {}, "", TLaunchWindow::None},
         {"{here}/Simulator", {}, "", ""}},
        {"later folders of PATH are searched too", true, "/nonexistent:{bin-without-terminal}",
         {"ping", {"10.1.1.1"}, "", TLaunchWindow::None},
         {"{bin-without-terminal}/ping", {"10.1.1.1"}, "", ""}},
        {"not on PATH", true, "{bin}",
         {"nmap", {}, "", TLaunchWindow::None},
         {"", {}, "", "Cannot start nmap: not found on PATH"}},
        {"a home folder that does not exist", true, "{bin}",
         {"python3", {"-m", "http.server", "8070"}, "./KavlorFW", TLaunchWindow::TerminalKeptOpen},
         {"", {}, "", "Cannot start python3: the folder ./KavlorFW does not exist"}},
        {"no terminal program", true, "{bin-without-terminal}",
         {"ping", {"0.0.0.0"}, "", TLaunchWindow::Terminal},
         {"", {}, "", "Cannot start ping: no terminal window: xterm not found on PATH"}},
        {"no program in the working folder", true, "{bin}",
         {"./Simulator", {}, "home", TLaunchWindow::None},
         {"", {}, "", "Cannot start ./Simulator: there is no home/Simulator"}},
        {"a file that is not a program", true, "{bin}",
         {"./notes.txt", {}, "", TLaunchWindow::None},
         {"", {}, "", "Cannot start ./notes.txt: notes.txt is not an executable program"}},
    };
    for (const TPlanCase& c : cases) {
        const TLaunchCommand planned = PlanLaunch(c.request, {c.display, Expand(c.path)});
        const TLaunchCommand expected = Expand(c.expected);
        EXPECT_EQ(planned.program, expected.program) << c.what;
        EXPECT_EQ(planned.arguments, expected.arguments) << c.what;
        EXPECT_EQ(planned.workingFolder, expected.workingFolder) << c.what;
        EXPECT_EQ(planned.failure, expected.failure) << c.what;
    }
}

TEST_F(Launching, PathLookUpTakesTheFirstExecutableFileAndReadsAnEmptyEntryAsThisFolder)
{
    folder.MakeFolder("other/ping"); // a folder, not a program
    MakeFile("other/python3", "not executable", false);
    EXPECT_EQ(FindOnPath("ping", Expand("{here}/other:{bin-without-terminal}:{bin}")), Expand("{bin-without-terminal}/ping"));
    EXPECT_EQ(FindOnPath("python3", Expand("{here}/other:{bin}")), Expand("{bin}/python3"));
    EXPECT_EQ(FindOnPath("Simulator", "/nonexistent::/usr/nonexistent"), Expand("{here}/Simulator"));
    EXPECT_EQ(FindOnPath("Simulator", Expand("{bin}")), "");
}

TEST_F(Launching, ArgumentsReachTheProgramOneByOneInItsWorkingFolder)
{
    TProcessLauncher launcher({false, Expand("{bin}")});
    const TLaunchResult result =
        launcher.Launch({"record", {"two words", "$HOME", "a;b", "'q' \"r\"", ""}, "home", TLaunchWindow::TerminalKeptOpen});
    EXPECT_TRUE(result.started) << result.reason;
    const QStringList lines = Recorded("home").split('\n');
    ASSERT_EQ(lines.size(), 7) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(0, 5), (QStringList{"two words", "$HOME", "a;b", "'q' \"r\"", ""}));
    EXPECT_EQ(QFileInfo(lines[5]).canonicalFilePath(), QFileInfo(folder.File("home")).canonicalFilePath());
}

TEST_F(Launching, WithADisplayTheTerminalWindowRunsTheProgramAndItsArguments)
{
    TProcessLauncher launcher({true, Expand("{bin}")});
    EXPECT_TRUE(launcher.Launch({"record", {"x y"}, "home", TLaunchWindow::TerminalKeptOpen}).started);
    // The stand-in terminal is the recorder itself: it writes down what the terminal is given.
    const QStringList lines = Recorded("home").split('\n');
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines.mid(0, 6), (QStringList{"-T", "record x y", "-hold", "-e",
                                            QString::fromStdString(Expand("{bin}/record")), "x y"}));
}

TEST_F(Launching, ALaunchThatCannotStartSaysWhyAndStartsNothing)
{
    TProcessLauncher launcher({true, Expand("{bin-without-terminal}")});
    const TLaunchResult noTerminal = launcher.Launch({"ping", {"0.0.0.0"}, "home", TLaunchWindow::Terminal});
    EXPECT_FALSE(noTerminal.started);
    EXPECT_EQ(noTerminal.reason, "Cannot start ping: no terminal window: xterm not found on PATH");
    const TLaunchResult missing = launcher.Launch({"python3", {}, "home", TLaunchWindow::None});
    EXPECT_EQ(missing.reason, "Cannot start python3: not found on PATH");
    EXPECT_FALSE(QFile::exists(folder.File("home/args.txt")));
}
