// The command line of r7730ctl and its backup profile, in a scratch folder.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "cli/arguments.h"
#include "cli/command_table.h"
#include "cli/failure.h"
#include "cli/profile.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

using namespace r7730;
using namespace r7730::cli;
using r7730::testing::ReadWholeFile;
using r7730::testing::TTempWorkingFolder;
using r7730::testing::WriteWholeFile;

namespace {

TInvocation Parse(const QStringList& arguments)
{
    return ParseArguments(QStringList{"r7730ctl"} + arguments);
}

// The failure a call raises: its exit code and message; code 0 when it raised none.
template <typename Call>
std::pair<int, QString> FailureOf(Call call)
{
    try {
        call();
    } catch (const TCliFailure& failure) {
        return {failure.Code(), failure.Message()};
    }
    return {0, {}};
}

// The words the completion file offers for a command line whose last word is being typed, read
// from bash itself with the completion library's two helpers stubbed.
QStringList Completed(const QStringList& words)
{
    QProcess bash;
    bash.start("bash", QStringList{"-c", R"(
        _init_completion() { cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]}; words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD; }
        _filedir() { :; }
        source "$0"
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _r7730ctl
        echo "${COMPREPLY[*]}")",
                                      R7730_SOURCE_DIR "/packaging/r7730ctl.bash-completion"} +
                                          words);
    if (!bash.waitForFinished(10000) || bash.exitCode() != 0)
        return {"bash failed: " + QString::fromUtf8(bash.readAllStandardError())};
    return QString::fromUtf8(bash.readAllStandardOutput()).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
}

QStringList TableCommandNames()
{
    QStringList names;
    for (const TCommand& command : Commands())
        names << command.name;
    return names;
}

} // namespace

// A command is added in the table; the completion file and --help must not fall behind it.
TEST(CliCommandTable, CompletionAndHelpListExactlyTheTablesCommands)
{
    EXPECT_EQ(Completed({"r7730ctl", ""}), TableCommandNames());

    const QString usage = UsageText();
    const qsizetype start = usage.indexOf("\nCommands:\n") + 11;
    ASSERT_GT(start, 11);
    QStringList helped;
    for (const QString& line : usage.mid(start, usage.indexOf("\n\n", start) - start).split('\n'))
        if (line.startsWith("  ") && line.at(2).isLetter() && !helped.endsWith(line.section(' ', 2, 2)))
            helped << line.section(' ', 2, 2);
    EXPECT_EQ(helped, TableCommandNames());

    for (const TCommand& command : Commands()) {
        QStringList line{"r7730ctl", command.name};
        QStringList options;
        if (command.name == "set") {
            line << "serial";
            options << "--baud" << "--data" << "--parity" << "--stop" << "--flow";
        }
        for (const QCommandLineOption& option : command.options)
            options << "--" + option.names().constLast();
        const QStringList offered = Completed(line << "--");
        for (const QString& option : options)
            EXPECT_TRUE(offered.contains(option)) << command.name.toStdString() << " lacks " << option.toStdString();
    }
}

TEST(CliCommandTable, ACommandOutsideTheTableIsRefusedBeforeAnyPortOpens)
{
    TInvocation invocation;
    invocation.command = "format";
    invocation.portName = "/dev/gone";
    TOutput output(false);
    EXPECT_EQ(FailureOf([&] { RunCommand(invocation, output); }), std::make_pair(2, QString("unknown command \"format\"")));
}

TEST(CliArguments, GlobalOptionsStandBeforeOrAfterTheCommand)
{
    const TInvocation set = Parse({"-p", "/dev/ttyUSB0", "--timeout", "500", "set", "wan", "--mask", "255.255.0.0", "--json"});
    EXPECT_EQ(set.portName, "/dev/ttyUSB0");
    EXPECT_EQ(set.timeoutMs, 500);
    EXPECT_TRUE(set.json);
    EXPECT_EQ(set.command, "set");
    EXPECT_EQ(set.section, TSection::Wan);
    EXPECT_EQ(set.given, (TTexts{{"mask", "255.255.0.0"}}));
    EXPECT_FALSE(set.noVerify);

    const TInvocation restore = Parse({"restore", "unit.ini", "--no-verify", "-v"});
    EXPECT_EQ(restore.file, "unit.ini");
    EXPECT_TRUE(restore.noVerify);
    EXPECT_TRUE(restore.verbose);
    EXPECT_EQ(restore.timeoutMs, 3000);
    EXPECT_EQ(Parse({"signal", "--watch", "5"}).watchSeconds, 5);
    EXPECT_TRUE(Parse({"factory-reset", "--yes"}).yes);
    EXPECT_FALSE(set.forceMask);
    for (const QStringList& forced : {QStringList{"set", "wan", "--mask", "0.0.0.0", "--force"}, QStringList{"restore", "u.ini", "--force"},
                                      QStringList{"batch", "plan.csv", "--force"}})
        EXPECT_TRUE(Parse(forced).forceMask) << forced.join(' ').toStdString();
    EXPECT_EQ(Parse({"set", "ap", "--ssid", "Office", "--password", ""}).given, (TTexts{{"ssid", "Office"}, {"password", ""}}));
}

TEST(CliArguments, AWrongCommandLineIsNamedWithExit2)
{
    const QString more = " (r7730ctl --help lists the commands and options)";
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{}, "no command given"},
        {{"stat"}, "unknown command \"stat\""},
        {{"set"}, "set needs what to set first: wan, tcp, serial or ap"},
        {{"set", "dns", "--ip", "1.1.1.1"}, "set needs what to set first: wan, tcp, serial or ap"},
        {{"set", "wan"}, "set wan needs at least one of --ip, --gateway, --mask"},
        {{"set", "wan", "--listen", "80"}, "Unknown option 'listen'."},
        {{"set", "ap", "--password", "x"}, "set ap needs --ssid"},
        {{"backup"}, "backup needs one FILE"},
        {{"status", "extra"}, "unexpected argument \"extra\""},
        {{"--timeout", "0", "status"}, "--timeout takes a whole number from 1 to 600000, not \"0\""},
        {{"signal", "--watch", "soon"}, "--watch takes a whole number from 1 to 86400, not \"soon\""},
        {{"status", "--yes"}, "Unknown option 'yes'."},
        {{"backup", "u.ini", "--force"}, "Unknown option 'force'."},
    };
    for (const auto& [arguments, message] : cases)
        EXPECT_EQ(FailureOf([&] { Parse(arguments); }), std::make_pair(2, message + more)) << arguments.join(' ').toStdString();
}

TEST(CliProfile, TheWholeFileIsCheckedBeforeAnythingIsSent)
{
    TTempWorkingFolder folder;
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {"[wan]\nip=10.0.0.5\n[dns]\nserver=1.1.1.1\n",
         "p.ini: unknown section [dns] (the sections are wan, tcp, ap, serial); nothing was sent"},
        {"[tcp]\nlisten=80\nport=81\n", "p.ini [tcp]: unknown key \"port\" (the keys are mode, listen, expiry, target); nothing was sent"},
        {"[wan]\nip=10.0.0.5\nIP=10.0.0.6\n", "p.ini [wan]: ip is written twice; nothing was sent"},
        {"[wan]\nip=10.0.0.5\n[serial]\nbaud=14400\n",
         "p.ini [serial] baud=14400: takes one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800; "
         "nothing was sent"},
        {"[ap]\nssid=\n", "p.ini [ap] ssid=: the SSID needs at least 2 bytes; nothing was sent"},
        {"[wan]\nmask=255.255.254.0\n",
         "p.ini [wan] mask=255.255.254.0: a value with the byte 254 can be stored but never read back (a reply ends at its "
         "first 0xFE); add --no-verify to store it unverified"},
        {"; only a comment\n", "p.ini holds no section to restore (the sections are wan, tcp, ap, serial)"},
        {"[ap]\nssid=2층\n",
         "p.ini [ap] ssid=2층: a text with 층 (C3 FE in CP949, the byte 254) can be stored but never read back (a reply "
         "ends at its first 0xFE); add --no-verify to store it unverified"},
        {"[wan]\nmask=0.0.0.0\n",
         "p.ini [wan] mask=0.0.0.0: 0.0.0.0 is no subnet mask: it leaves the device no network of its own (--force sends "
         "it all the same); nothing was sent"},
    };
    for (const auto& [content, message] : cases) {
        ASSERT_TRUE(WriteWholeFile("p.ini", content));
        EXPECT_EQ(FailureOf([] { ReadProfile("p.ini", false, false); }), std::make_pair(2, message)) << content.toStdString();
    }
    EXPECT_EQ(FailureOf([] { ReadProfile("missing.ini", false, false); }), std::make_pair(2, QString("cannot read the profile missing.ini")));
    ASSERT_TRUE(WriteWholeFile("p.ini", "[wan]\nmask=255.255.254.0\n"));
    EXPECT_EQ(ReadProfile("p.ini", true, false).size(), 1u) << "--no-verify lets an unreadable value through";
    ASSERT_TRUE(WriteWholeFile("p.ini", "[wan]\nmask=255.0.255.0\n"));
    EXPECT_EQ(ReadProfile("p.ini", false, true).size(), 1u) << "--force lets a mask that is none through";
}

TEST(CliProfile, WrittenForItsOwnerAndReadBackInApplyOrder)
{
    TTempWorkingFolder folder;
    const std::vector<TProfileSection> sections = {
        {TSection::Serial, {{"baud", "9600"}, {"data", "8"}, {"parity", "none"}, {"stop", "1"}, {"flow", "none"}}},
        {TSection::Wan, {{"ip", "10.0.0.5"}, {"gateway", "10.0.0.1"}, {"mask", "255.255.255.0"}}},
        {TSection::AccessPoint, {{"ssid", "\"Lab\""}, {"password", "우리집 비밀"}}},
    };
    WriteProfile("unit.ini", {"R7730LX", "1.03", "00:1A:2B:3C:4D:5E", "/dev/ttyUSB0"}, sections, {"a note"});

    // Readable by its owner only: it holds the access point's password.
    EXPECT_EQ(QFile::permissions("unit.ini"),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    const QString text = QString::fromUtf8(ReadWholeFile("unit.ini"));
    EXPECT_TRUE(text.startsWith("; r7730ctl backup of a device's settings\n; device: R7730LX, firmware 1.03\n"
                                "; MAC: 00:1A:2B:3C:4D:5E\n; date: "))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\n; a note\n\n[serial]\nbaud=9600\ndata=8\nparity=none\nstop=1\nflow=none\n\n[wan]\n"
                              "ip=10.0.0.5\ngateway=10.0.0.1\nmask=255.255.255.0\n\n[ap]\nssid=\"\"Lab\"\"\n"
                              "password=우리집 비밀\n"))
        << text.toStdString();

    const std::vector<TProfileSection> read = ReadProfile("unit.ini", false, false);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].section, TSection::Wan);
    EXPECT_EQ(read[1].section, TSection::AccessPoint);
    EXPECT_EQ(read[1].texts, sections[2].texts);
    EXPECT_EQ(read[2].section, TSection::Serial);
    EXPECT_EQ(read[2].texts, sections[0].texts);
    EXPECT_EQ(FailureOf([] { CheckProfileWritable("no-such-folder/unit.ini"); }).first, 2);
}

TEST(CliProfile, ALineThatIsNotAKeyOfASectionOrAnEncodingOtherThanUtf8IsRefused)
{
    TTempWorkingFolder folder;
    const QByteArray longSsid(200, 'x');
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {"ip=10.0.0.5\n[wan]\n",
         "p.ini line 1: \"ip=10.0.0.5\" stands above the first section (the sections are wan, tcp, ap, serial); nothing was sent"},
        {"[wan]\n; fine\n\nip 10.0.0.5\n",
         "p.ini line 4: \"ip 10.0.0.5\" is neither key=value, [section] nor a comment (; or #); nothing was sent"},
        {QByteArray("[ap]\nssid=ab\0cd\n", 15),
         "p.ini line 2 holds the control byte 0x00, which no value may carry (a tab only as a blank around a value); nothing "
         "was sent"},
        {"[ap]\r\nssid=\tab\tcd \r\n",
         "p.ini line 2 holds the control byte 0x09, which no value may carry (a tab only as a blank around a value); nothing "
         "was sent"},
        {QByteArray("\xFF\xFE[\0w\0a\0n\0]\0", 12), "p.ini is UTF-16 text: save it as UTF-8; nothing was sent"},
        {QByteArray("[\0w\0a\0n\0]\0", 10), "p.ini is UTF-16 text: save it as UTF-8; nothing was sent"},
        {"[ap]\nssid=\xBF\xEC\xB8\xAE\xC1\xFD\n", "p.ini line 2 is not UTF-8 text: save the file as UTF-8; nothing was sent"},
        {"[ap]\nssid=ab\xC6\n", "p.ini line 2 is not UTF-8 text: save the file as UTF-8; nothing was sent"},
        {"[ap]\nssid=" + longSsid + "\n",
         "p.ini [ap] ssid=" + QString(80, 'x') + "... (200 characters): the SSID takes at most 32 bytes; nothing was sent"},
        {"[wan]\n" + QByteArray(1024 * 1024, ';'), "p.ini is larger than a profile may be (1 MiB, 1048576 bytes); nothing was sent"},
        {"[wan]\r\n;" + QByteArray(64 * 1024, 'x') + "\r\nip=10.0.0.5\r\n",
         "p.ini line 2 is longer than a line of a profile may be (64 KiB); nothing was sent"},
    };
    for (const auto& [content, message] : cases) {
        ASSERT_TRUE(WriteWholeFile("p.ini", content));
        EXPECT_EQ(FailureOf([] { ReadProfile("p.ini", false, false); }), std::make_pair(2, message)) << content.left(40).toStdString();
    }

    // As Windows Notepad saves it: a UTF-8 byte-order mark and CR LF.
    ASSERT_TRUE(WriteWholeFile("p.ini", "\xEF\xBB\xBF[ap]\r\n# the office\r\nssid = 우리집\t\r\npassword=\r\n"));
    const std::vector<TProfileSection> read = ReadProfile("p.ini", false, false);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].texts, (TTexts{{"ssid", "우리집"}, {"password", ""}}));
}
