// The table of r7730ctl's commands (see command_table.h): what each reads from the command line
// and how it runs.
#include "cli/command_table.h"

#include "cli/commands.h"
#include "cli/session_wording.h"
#include "cli/failure.h"

namespace r7730::cli {
namespace {

// A claim younger than this may belong to a station that is only slow: a unit's reboot waits
// alone can take half a minute.
constexpr int kShortestClaimTimeout = 60;

void TakeReport(const QCommandLineParser& parser, TInvocation& invocation)
{
    if (parser.isSet("report"))
        invocation.reportDir = parser.value("report");
}

void TakeSignal(const QCommandLineParser& parser, const QStringList&, TInvocation& invocation)
{
    if (parser.isSet("watch"))
        invocation.watchSeconds = PositiveNumber("watch", parser.value("watch"), 86400);
}

void TakeSet(const QCommandLineParser& parser, const QStringList&, TInvocation& invocation)
{
    for (const QString& key : SectionKeys(invocation.section))
        if (parser.isSet(key))
            invocation.given[key] = parser.value(key);
    if (invocation.section == TSection::AccessPoint && !invocation.given.count("ssid"))
        RefuseArguments(QStringLiteral("set ap needs --ssid"));
    if (invocation.given.empty())
        RefuseArguments(QStringLiteral("set %1 needs at least one of --%2")
                            .arg(SectionName(invocation.section), SectionKeys(invocation.section).join(", --")));
    invocation.noVerify = parser.isSet("no-verify");
    invocation.forceMask = parser.isSet("force");
    TakeReport(parser, invocation);
}

void TakeFactoryReset(const QCommandLineParser& parser, const QStringList&, TInvocation& invocation)
{
    invocation.yes = parser.isSet("yes");
}

void TakeBackup(const QCommandLineParser&, const QStringList&, TInvocation& invocation)
{
    if (invocation.file == "-" && invocation.json)
        RefuseArguments(QStringLiteral("backup - writes the profile to standard output, where --json would put its document too: "
                                       "leave out one of them"));
}

void TakeRestore(const QCommandLineParser& parser, const QStringList&, TInvocation& invocation)
{
    invocation.noVerify = parser.isSet("no-verify");
    invocation.forceMask = parser.isSet("force");
    TakeReport(parser, invocation);
}

void TakeBatch(const QCommandLineParser& parser, const QStringList&, TInvocation& invocation)
{
    invocation.forceMask = parser.isSet("force");
    TBatchInvocation& batch = invocation.batch;
    batch.store = parser.value("store");
    if (parser.isSet("match")) {
        batch.match = parser.value("match");
        if (batch.match != "next" && batch.match != "mac")
            RefuseArguments(QStringLiteral("--match takes next or mac, not \"%1\"").arg(batch.match));
    }
    batch.operatorName = parser.value("operator");
    batch.reportDir = parser.value("report-dir");
    batch.pdf = parser.isSet("pdf");
    batch.check = parser.isSet("check");
    batch.stopOnFail = parser.isSet("stop-on-fail");
    if (parser.isSet("claim-timeout"))
        batch.claimTimeoutSeconds = NumberIn("claim-timeout", parser.value("claim-timeout"), kShortestClaimTimeout, 7 * 86400);
    batch.reissue = parser.isSet("reissue");
    invocation.portNames.removeDuplicates();
}

void TakeRecords(const QCommandLineParser& parser, const QStringList& operands, TInvocation& invocation)
{
    if (!operands.isEmpty()) {
        if (operands.front() != "release" || operands.size() != 2)
            RefuseArguments(operands.front() == "release" ? QStringLiteral("records release needs one LABEL")
                                                          : QStringLiteral("unexpected argument \"%1\"").arg(operands.front()));
        invocation.batch.release = operands[1];
    }
    TBatchInvocation& batch = invocation.batch;
    batch.store = parser.value("store");
    batch.csv = parser.isSet("csv");
    if (batch.csv && invocation.json)
        RefuseArguments(QStringLiteral("records takes --csv or --json, not both"));
}

void TakeFirmware(const QCommandLineParser& parser, const QStringList&, TInvocation& invocation)
{
    TakeReport(parser, invocation);
    TFirmwareInvocation& firmware = invocation.firmware;
    firmware.serve = parser.value("serve");
    firmware.expectVersion = parser.value("expect-version");
    firmware.force = parser.isSet("force");
    if (parser.isSet("max-size"))
        firmware.maxSize = PositiveNumber("max-size", parser.value("max-size"), 0x7FFFFFFF);
    if (parser.isSet("wait"))
        firmware.waitSeconds = PositiveNumber("wait", parser.value("wait"), 86400);
}

void TakeSurvey(const QCommandLineParser& parser, const QStringList&, TInvocation& invocation)
{
    TSurveyInvocation& survey = invocation.survey;
    if (parser.isSet("duration"))
        survey.durationMs = Milliseconds("duration", parser.value("duration"), 0.001, 7 * 86400);
    if (parser.isSet("interval"))
        survey.intervalMs = Milliseconds("interval", parser.value("interval"), 0.5, 3600);
    if (parser.isSet("scan-every"))
        survey.scanEveryMs = Milliseconds("scan-every", parser.value("scan-every"), 1, 86400);
    survey.csvFile = parser.value("csv");
}

void TakeDecode(const QCommandLineParser& parser, const QStringList& operands, TInvocation& invocation)
{
    invocation.logFiles = operands.isEmpty() ? QStringList{"-"} : operands;
    invocation.frameFilter = parser.value("filter");
    invocation.errorsOnly = parser.isSet("errors");
}

// factory-reset refuses before the port opens, so it opens the session itself.
int FactoryReset(const TInvocation& invocation, TOutput& output)
{
    if (!invocation.yes)
        throw TCliFailure(kExitRefused, QStringLiteral("factory-reset returns every setting of the device to its factory "
                                                       "value: add --yes to go ahead"));
    const auto session = OpenSession(invocation, output);
    return RebootCommand(*session, output, true);
}

QCommandLineOption Valued(const QString& name, const QString& description, const QString& value)
{
    return QCommandLineOption(name, description, value);
}

QCommandLineOption Flag(const QString& name, const QString& description)
{
    return QCommandLineOption(name, description);
}

std::vector<TCommand> MakeCommands()
{
    const QCommandLineOption noVerify = Flag("no-verify", "Store values that cannot be read back, unverified.");
    const QCommandLineOption forceMask = Flag("force", "Send a subnet mask that is none.");
    const QCommandLineOption report = Valued("report", "Write a commissioning report to DIR.", "DIR");
    const QCommandLineOption store = Valued("store", "The record store.", "URL");
    return {
        {.name = "ports",
         .usage = "  ports                       serial ports: device path, stable link, USB facts, whether you may open it\n",
         .run = [](const TInvocation&, TOutput& output) { return PortsCommand(output); }},
        {.name = "status",
         .usage = "  status                      the device's status: model, firmware, MAC, WAN, TCP and serial settings\n",
         .runOnDevice = [](TCtlSession& session, const TInvocation&, TOutput& output) { return StatusCommand(session, output); }},
        {.name = "wifi",
         .usage = "  wifi                        the current access point (SSID, password)\n",
         .runOnDevice = [](TCtlSession& session, const TInvocation&, TOutput& output) { return WifiCommand(session, output); }},
        {.name = "scan",
         .usage = "  scan                        the access points the device sees\n",
         .runOnDevice = [](TCtlSession& session, const TInvocation&, TOutput& output) { return ScanCommand(session, output); }},
        {.name = "signal",
         .usage = "  signal [--watch SECONDS]    SSID, RSSI and quality; --watch repeats until Ctrl+C\n",
         .runOnDevice = [](TCtlSession& session, const TInvocation& invocation, TOutput& output) {
             return SignalCommand(session, output, invocation.watchSeconds);
         },
         .options = {Valued("watch", "Repeat every SECONDS until Ctrl+C.", "SECONDS")},
         .take = TakeSignal},
        {.name = "set",
         .usage = "  set wan [--ip A.B.C.D] [--gateway A.B.C.D] [--mask A.B.C.D] [--force]\n"
                  "  set tcp [--mode server|client] [--listen PORT] [--expiry SECONDS] [--target A.B.C.D:PORT]\n"
                  "  set serial [--baud N] [--data 5-8] [--parity none|odd|even] [--stop 1|2] [--flow none|rts/cts]\n"
                  "  set ap --ssid SSID [--password PW]\n",
         .run = SetCommand,
         .options = {noVerify, forceMask, report},
         .take = TakeSet},
        {.name = "reboot",
         .usage = "  reboot\n",
         .runOnDevice = [](TCtlSession& session, const TInvocation&, TOutput& output) { return RebootCommand(session, output, false); }},
        {.name = "factory-reset",
         .usage = "  factory-reset --yes\n",
         .run = FactoryReset,
         .options = {Flag("yes", "Confirm the factory reset.")},
         .take = TakeFactoryReset},
        {.name = "backup",
         .usage = "  backup FILE                 status and current access point to a profile file (INI text); FILE is\n"
                  "                              a regular file (replaced whole) or - for standard output\n",
         .run = BackupCommand,
         .oneFile = "FILE",
         .take = TakeBackup},
        {.name = "restore",
         .usage = "  restore FILE [--no-verify] [--force]\n"
                  "                              apply a profile, wait for the device to come back, read back, compare\n",
         .run = RestoreCommand,
         .options = {noVerify, forceMask, report},
         .oneFile = "FILE",
         .take = TakeRestore},
        {.name = "batch",
         .usage = "  batch PLAN.csv [-p PORT]... [--store URL] [--match next|mac] [--operator NAME] [--report-dir DIR]\n"
                  "        [--pdf] [--check] [--stop-on-fail] [--claim-timeout SECONDS] [--reissue] [--force]\n"
                  "                              a production line: each row of the plan applied to one unit, verified,\n"
                  "                              recorded, reported; several -p run side by side\n",
         .run = BatchCommand,
         .options = {forceMask, store, Valued("match", "next or mac.", "HOW"), Valued("operator", "Who works.", "NAME"),
                     Valued("report-dir", "Where reports go.", "DIR"), Flag("pdf", "PDF reports too."),
                     Flag("check", "Check the plan only."), Flag("stop-on-fail", "Stop at a FAIL."),
                     Valued("claim-timeout", "Take back older claims.", "SECONDS"),
                     Flag("reissue", "Commission passed rows and units again.")},
         .oneFile = "PLAN file",
         .take = TakeBatch},
        {.name = "records",
         .usage = "  records [--store URL] [--csv]  every attempt of the record store, for a spreadsheet or a script\n"
                  "  records release LABEL [--store URL]\n"
                  "                              frees the rows labelled LABEL that are reserved for a unit or held\n"
                  "                              after failing on two units, recording who and when\n",
         .run = RecordsCommand,
         .options = {store, Flag("csv", "CSV for a spreadsheet.")},
         .ownOperands = true,
         .take = TakeRecords},
        {.name = "firmware",
         .usage = "  firmware FILE [--serve ADDR[:PORT]] [--expect-version MAJOR.MINOR] [--max-size BYTES] [--force]\n"
                  "        [--wait SECONDS]      a firmware update: FILE checked, served by a one-file HTTP server of\n"
                  "                              this program, the device told to fetch it, its requests shown, and\n"
                  "                              its version read after it came back from its reboot\n",
         .run = FirmwareCommand,
         .options = {report, Valued("serve", "Serve on ADDR[:PORT].", "ADDR[:PORT]"),
                     Valued("expect-version", "The version after.", "MAJOR.MINOR"), Valued("max-size", "The largest image.", "BYTES"),
                     Flag("force", "Send a text-like file."), Valued("wait", "How long the device may take to ask.", "SECONDS")},
         .oneFile = "FILE",
         .take = TakeFirmware},
        {.name = "survey",
         .usage = "  survey [--duration SECONDS] [--interval SECONDS] [--scan-every SECONDS] [--csv FILE]\n"
                  "                              the signal read every --interval (default 1 s, 0.5 to 3600) for\n"
                  "                              --duration or until Ctrl+C, a scan every --scan-every (default none);\n"
                  "                              one line per reading, then a summary: RSSI min/avg/max and standard\n"
                  "                              deviation, quality, access points per channel, the quietest of 1, 6\n"
                  "                              and 11; --csv writes every reading and scanned access point\n",
         .run = SurveyCommand,
         .options = {Valued("duration", "How long.", "SECONDS"), Valued("interval", "Between readings.", "SECONDS"),
                     Valued("scan-every", "Between scans.", "SECONDS"), Valued("csv", "The session as CSV.", "FILE")},
         .take = TakeSurvey},
        {.name = "decode",
         .usage = "  decode [FILE...|-] [--filter REGEX] [--errors]\n"
                  "                              the frames of the program's daily log files (Log/R7730Setup_*.log),\n"
                  "                              each decoded with its summary, replies paired with their requests;\n"
                  "                              --json: one JSON object per frame with every field (JSON Lines)\n",
         .run = DecodeCommand,
         .options = {Valued("filter", "Frames whose summary or hex matches.", "REGEX"), Flag("errors", "Frames with errors only.")},
         .ownOperands = true,
         .take = TakeDecode},
    };
}

} // namespace

const std::vector<TCommand>& Commands()
{
    static const std::vector<TCommand> commands = MakeCommands();
    return commands;
}

const TCommand* CommandNamed(const QString& name)
{
    for (const TCommand& command : Commands())
        if (command.name == name)
            return &command;
    return nullptr;
}

int RunCommand(const TInvocation& invocation, TOutput& output)
{
    const TCommand* command = CommandNamed(invocation.command);
    if (!command)
        throw TCliFailure(kExitRefused, QStringLiteral("unknown command \"%1\"").arg(invocation.command));
    if (!command->NeedsDevice())
        return command->run(invocation, output);
    const auto session = OpenSession(invocation, output);
    return command->runOnDevice(*session, invocation, output);
}

} // namespace r7730::cli
