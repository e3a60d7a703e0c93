// The command line read with QCommandLineParser, and the help text (see arguments.h).
#include "cli/arguments.h"

#include <QCommandLineParser>
#include <cmath>

#include "cli/failure.h"

namespace r7730::cli {
namespace {

const QStringList kCommands = {"ports",  "status",        "wifi",   "scan",    "signal", "set",
                               "reboot", "factory-reset", "backup", "restore", "batch",  "records",
                               "firmware", "survey", "decode"};

QList<QCommandLineOption> GlobalOptions()
{
    return {
        QCommandLineOption({"p", "port"}, "The serial port: a device path, a name such as COM1 or ttyUSB0, or a link.", "PORT"),
        QCommandLineOption("timeout", "How long to wait for one reply, in milliseconds (default 3000).", "MS"),
        QCommandLineOption("json", "One JSON document on standard output."),
        QCommandLineOption({"v", "verbose"}, "The settings file read and every frame as hex text on standard error."),
        QCommandLineOption({"h", "help"}, "This text."),
    };
}

[[noreturn]] void Refuse(const QString& message)
{
    throw TCliFailure(kExitRefused, message + QStringLiteral(" (r7730ctl --help lists the commands and options)"));
}

void Parse(QCommandLineParser& parser, const QStringList& arguments)
{
    if (!parser.parse(arguments))
        Refuse(parser.errorText());
}

int NumberIn(const QString& option, const QString& text, int lowest, int highest)
{
    bool number = false;
    const int value = text.toInt(&number);
    if (!number || value < lowest || value > highest)
        Refuse(QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\"").arg(option).arg(lowest).arg(highest).arg(text));
    return value;
}

int PositiveNumber(const QString& option, const QString& text, int highest)
{
    return NumberIn(option, text, 1, highest);
}

// A claim younger than this may belong to a station that is only slow: a unit's reboot waits
// alone can take half a minute.
constexpr int kShortestClaimTimeout = 60;

// Global options found by either parser; the later one wins.
void TakeGlobals(const QCommandLineParser& parser, TInvocation& invocation)
{
    if (parser.isSet("port")) {
        invocation.portName = parser.value("port");
        invocation.portNames << parser.values("port");
    }
    if (parser.isSet("timeout"))
        invocation.timeoutMs = PositiveNumber("timeout", parser.value("timeout"), 600000);
    invocation.json = invocation.json || parser.isSet("json");
    invocation.verbose = invocation.verbose || parser.isSet("verbose");
    for (const QString& name : parser.optionNames())
        invocation.verbosity += name == "v" || name == "verbose" ? 1 : 0;
    invocation.help = invocation.help || parser.isSet("help");
}

void TakeBatchOptions(const QCommandLineParser& parser, TInvocation& invocation)
{
    TBatchInvocation& batch = invocation.batch;
    batch.store = parser.value("store");
    if (invocation.command == "records") {
        batch.csv = parser.isSet("csv");
        if (batch.csv && invocation.json)
            Refuse(QStringLiteral("records takes --csv or --json, not both"));
        return;
    }
    if (parser.isSet("match")) {
        batch.match = parser.value("match");
        if (batch.match != "next" && batch.match != "mac")
            Refuse(QStringLiteral("--match takes next or mac, not \"%1\"").arg(batch.match));
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

void TakeFirmwareOptions(const QCommandLineParser& parser, TFirmwareInvocation& firmware)
{
    firmware.serve = parser.value("serve");
    firmware.expectVersion = parser.value("expect-version");
    firmware.force = parser.isSet("force");
    if (parser.isSet("max-size"))
        firmware.maxSize = PositiveNumber("max-size", parser.value("max-size"), 0x7FFFFFFF);
    if (parser.isSet("wait"))
        firmware.waitSeconds = PositiveNumber("wait", parser.value("wait"), 86400);
}

// Seconds with at most three decimals, from lowest to highest, as milliseconds.
int Milliseconds(const QString& option, const QString& text, double lowest, double highest)
{
    bool number = false;
    const double seconds = text.toDouble(&number);
    if (!number || !(seconds >= lowest && seconds <= highest))
        Refuse(QStringLiteral("--%1 takes seconds from %2 to %3, not \"%4\"").arg(option).arg(lowest).arg(highest).arg(text));
    return static_cast<int>(std::lround(seconds * 1000));
}

void TakeSurveyOptions(const QCommandLineParser& parser, TSurveyInvocation& survey)
{
    if (parser.isSet("duration"))
        survey.durationMs = Milliseconds("duration", parser.value("duration"), 0.001, 7 * 86400);
    if (parser.isSet("interval"))
        survey.intervalMs = Milliseconds("interval", parser.value("interval"), 0.5, 3600);
    if (parser.isSet("scan-every"))
        survey.scanEveryMs = Milliseconds("scan-every", parser.value("scan-every"), 1, 86400);
    survey.csvFile = parser.value("csv");
}

QList<QCommandLineOption> CommandOptions(const TInvocation& invocation)
{
    const QString& command = invocation.command;
    QList<QCommandLineOption> options;
    if (command == "signal")
        options << QCommandLineOption("watch", "Repeat every SECONDS until Ctrl+C.", "SECONDS");
    if (command == "set")
        for (const QString& key : SectionKeys(invocation.section))
            options << QCommandLineOption(key, key, key.toUpper());
    if (command == "set" || command == "restore")
        options << QCommandLineOption("no-verify", "Store values that cannot be read back, unverified.");
    if (command == "set" || command == "restore" || command == "batch")
        options << QCommandLineOption("force", "Send a subnet mask that is none.");
    if (command == "factory-reset")
        options << QCommandLineOption("yes", "Confirm the factory reset.");
    if (command == "set" || command == "restore" || command == "firmware")
        options << QCommandLineOption("report", "Write a commissioning report to DIR.", "DIR");
    if (command == "firmware")
        options << QCommandLineOption("serve", "Serve on ADDR[:PORT].", "ADDR[:PORT]")
                << QCommandLineOption("expect-version", "The version after.", "MAJOR.MINOR")
                << QCommandLineOption("max-size", "The largest image.", "BYTES") << QCommandLineOption("force", "Send a text-like file.")
                << QCommandLineOption("wait", "How long the device may take to ask.", "SECONDS");
    if (command == "batch" || command == "records")
        options << QCommandLineOption("store", "The record store.", "URL");
    if (command == "batch")
        options << QCommandLineOption("match", "next or mac.", "HOW") << QCommandLineOption("operator", "Who works.", "NAME")
                << QCommandLineOption("report-dir", "Where reports go.", "DIR") << QCommandLineOption("pdf", "PDF reports too.")
                << QCommandLineOption("check", "Check the plan only.") << QCommandLineOption("stop-on-fail", "Stop at a FAIL.")
                << QCommandLineOption("claim-timeout", "Take back older claims.", "SECONDS")
                << QCommandLineOption("reissue", "Commission passed rows and units again.");
    if (command == "records")
        options << QCommandLineOption("csv", "CSV for a spreadsheet.");
    if (command == "survey")
        options << QCommandLineOption("duration", "How long.", "SECONDS") << QCommandLineOption("interval", "Between readings.", "SECONDS")
                << QCommandLineOption("scan-every", "Between scans.", "SECONDS") << QCommandLineOption("csv", "The session as CSV.", "FILE");
    if (command == "decode")
        options << QCommandLineOption("filter", "Frames whose summary or hex matches.", "REGEX")
                << QCommandLineOption("errors", "Frames with errors only.");
    return options;
}

} // namespace

TInvocation ParseArguments(const QStringList& arguments)
{
    TInvocation invocation;
    QCommandLineParser global;
    global.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    global.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    global.addOptions(GlobalOptions());
    Parse(global, arguments);
    TakeGlobals(global, invocation);

    QStringList rest = global.positionalArguments();
    if (rest.isEmpty()) {
        if (invocation.help)
            return invocation;
        Refuse(QStringLiteral("no command given"));
    }
    invocation.command = rest.takeFirst();
    if (!kCommands.contains(invocation.command))
        Refuse(QStringLiteral("unknown command \"%1\"").arg(invocation.command));
    if (invocation.command == "set") {
        const std::optional<TSection> section = rest.isEmpty() ? std::nullopt : SectionNamed(rest.front());
        if (!section)
            Refuse(QStringLiteral("set needs what to set first: wan, tcp, serial or ap"));
        invocation.section = *section;
        rest.removeFirst();
    }

    QCommandLineParser command;
    command.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    command.addOptions(GlobalOptions());
    command.addOptions(CommandOptions(invocation));
    Parse(command, QStringList{arguments.value(0)} + rest);
    TakeGlobals(command, invocation);
    if (invocation.help)
        return invocation;

    const QStringList positional = command.positionalArguments();
    const bool takesFile = invocation.command == "backup" || invocation.command == "restore" || invocation.command == "batch" ||
                           invocation.command == "firmware";
    if (invocation.command == "decode") {
        invocation.logFiles = positional.isEmpty() ? QStringList{"-"} : positional;
        invocation.frameFilter = command.value("filter");
        invocation.errorsOnly = command.isSet("errors");
        return invocation;
    }
    if (takesFile && positional.size() != 1)
        Refuse(invocation.command == "batch" ? QStringLiteral("batch needs one PLAN file")
                                             : QStringLiteral("%1 needs one FILE").arg(invocation.command));
    if (!takesFile && invocation.command != "records" && !positional.isEmpty())
        Refuse(QStringLiteral("unexpected argument \"%1\"").arg(positional.front()));
    if (takesFile)
        invocation.file = positional.front();
    if (invocation.command == "records" && !positional.isEmpty()) {
        if (positional.front() != "release" || positional.size() != 2)
            Refuse(positional.front() == "release" ? QStringLiteral("records release needs one LABEL")
                                                   : QStringLiteral("unexpected argument \"%1\"").arg(positional.front()));
        invocation.batch.release = positional[1];
    }
    if (invocation.command == "backup" && invocation.file == "-" && invocation.json)
        Refuse(QStringLiteral("backup - writes the profile to standard output, where --json would put its document too: "
                              "leave out one of them"));

    if (invocation.command == "signal" && command.isSet("watch"))
        invocation.watchSeconds = PositiveNumber("watch", command.value("watch"), 86400);
    if (invocation.command == "set") {
        for (const QString& key : SectionKeys(invocation.section))
            if (command.isSet(key))
                invocation.given[key] = command.value(key);
        if (invocation.section == TSection::AccessPoint && !invocation.given.count("ssid"))
            Refuse(QStringLiteral("set ap needs --ssid"));
        if (invocation.given.empty())
            Refuse(QStringLiteral("set %1 needs at least one of --%2")
                       .arg(SectionName(invocation.section), SectionKeys(invocation.section).join(", --")));
    }
    invocation.noVerify = (invocation.command == "set" || invocation.command == "restore") && command.isSet("no-verify");
    invocation.forceMask = (invocation.command == "set" || invocation.command == "restore" || invocation.command == "batch") &&
                           command.isSet("force");
    invocation.yes = invocation.command == "factory-reset" && command.isSet("yes");
    if ((invocation.command == "set" || invocation.command == "restore" || invocation.command == "firmware") &&
        command.isSet("report"))
        invocation.reportDir = command.value("report");
    if (invocation.command == "firmware")
        TakeFirmwareOptions(command, invocation.firmware);
    if (invocation.command == "batch" || invocation.command == "records")
        TakeBatchOptions(command, invocation);
    if (invocation.command == "survey")
        TakeSurveyOptions(command, invocation.survey);
    return invocation;
}

QString UsageText()
{
    return QStringLiteral(R"(Usage: r7730ctl [-p|--port PORT] [--timeout MS] [--json] [-v] COMMAND [OPTIONS]
Reads and changes the settings of an R7730LX serial-to-WiFi device server over a serial port.

Commands:
  ports                       serial ports: device path, stable link, USB facts, whether you may open it
  status                      the device's status: model, firmware, MAC, WAN, TCP and serial settings
  wifi                        the current access point (SSID, password)
  scan                        the access points the device sees
  signal [--watch SECONDS]    SSID, RSSI and quality; --watch repeats until Ctrl+C
  set wan [--ip A.B.C.D] [--gateway A.B.C.D] [--mask A.B.C.D] [--force]
  set tcp [--mode server|client] [--listen PORT] [--expiry SECONDS] [--target A.B.C.D:PORT]
  set serial [--baud N] [--data 5-8] [--parity none|odd|even] [--stop 1|2] [--flow none|rts/cts]
  set ap --ssid SSID [--password PW]
  reboot
  factory-reset --yes
  backup FILE                 status and current access point to a profile file (INI text); FILE is
                              a regular file (replaced whole) or - for standard output
  restore FILE [--no-verify] [--force]
                              apply a profile, wait for the device to come back, read back, compare
  batch PLAN.csv [-p PORT]... [--store URL] [--match next|mac] [--operator NAME] [--report-dir DIR]
        [--pdf] [--check] [--stop-on-fail] [--claim-timeout SECONDS] [--reissue] [--force]
                              a production line: each row of the plan applied to one unit, verified,
                              recorded, reported; several -p run side by side
  records [--store URL] [--csv]  every attempt of the record store, for a spreadsheet or a script
  records release LABEL [--store URL]
                              frees the rows labelled LABEL that are reserved for a unit or held
                              after failing on two units, recording who and when
  firmware FILE [--serve ADDR[:PORT]] [--expect-version MAJOR.MINOR] [--max-size BYTES] [--force]
        [--wait SECONDS]      a firmware update: FILE checked, served by a one-file HTTP server of
                              this program, the device told to fetch it, its requests shown, and
                              its version read after it came back from its reboot
  survey [--duration SECONDS] [--interval SECONDS] [--scan-every SECONDS] [--csv FILE]
                              the signal read every --interval (default 1 s, 0.5 to 3600) for
                              --duration or until Ctrl+C, a scan every --scan-every (default none);
                              one line per reading, then a summary: RSSI min/avg/max and standard
                              deviation, quality, access points per channel, the quietest of 1, 6
                              and 11; --csv writes every reading and scanned access point
  decode [FILE...|-] [--filter REGEX] [--errors]
                              the frames of the program's daily log files (Log/R7730Setup_*.log),
                              each decoded with its summary, replies paired with their requests;
                              --json: one JSON object per frame with every field (JSON Lines)

set, restore and firmware take --report DIR: a commissioning report (JSON and HTML) of the unit.

firmware checks before the download frame goes out (each refusal exits 2): FILE is a regular
file, not empty, at most --max-size (default 8388608) bytes, and not text or HTML (unless
--force); "/" and its name fit the frame's 32-byte file-name field in CP949, whole. The server
listens on --serve, or else on the address of this PC in the device's own WAN network (one
status read), at the port of --serve, else HTTPServer/Port of the settings file, else 8070 (never
below 1024; a port taken gives the next free one; never an address the device cannot fetch
from), and answers its own request first. It serves that one file and nothing else, and stops
when the update ends; only the device's own requests (from its WAN address) count, anyone else
is served but not counted. The device has --wait (default 300) seconds to ask; once the file
went out whole, the device must go silent and answer again, and its version is read: exit 3 when
it differs from --expect-version (1.5 and 1.05 are the same version), or did not change and
--expect-version does not name it. A download that stops (the wait ends at once) or never comes
exits 1.

A set changes only the options given: the others keep the device's values. After a save the
device reboots; the command waits for it to answer again and compares what it holds with what
was sent. --no-verify (set, restore) stores a value with the byte 254 in it (a mask
255.255.254.0, say), which no reply can carry back, and says which field went unverified.
set, restore and plans refuse a control character in the SSID or password, and a mask whose
ones are not contiguous or 0.0.0.0; --force (set, restore, batch) sends such a mask all the same.

Options:
  -p, --port PORT   the serial port (COM1, ttyUSB0, /dev/ttyUSB0, a link); default: ComPort in
                    [EnvBoard] of ./cfg/SETUP.INI, or without one of cfg/SETUP.INI in the
                    window's per-user folder ($XDG_DATA_HOME/r7730-setup, by default
                    ~/.local/share/r7730-setup); the line settings of that file are used as well
  --timeout MS      how long to wait for one reply (default 3000); a rebooting device is given
                    ten times that
  --json            one JSON document on standard output, for scripts
  -v, --verbose     the settings file read, and every frame as hex text, on standard error,
                    the access point's password masked as **; -v -v adds each frame's decoded
                    summary under its line
  -h, --help        this text

A plan is a CSV file (UTF-8, or CP949), its first line the column names: label (the unit's
sticker, never sent), mac (with --match mac), and the options of set: ip, gateway, mask, mode,
listen, expiry, target, baud, data, parity, stop, flow, ssid, password. An empty cell keeps the
unit's value. The plan is checked whole before any port opens; --check only checks it. The
record store: a SQLite file (default ./provision.sqlite) or postgresql://[user@]host[:port]/db,
host being a name or a socket folder. A claim is taken back when its holder is gone: on
PostgreSQL when its connection is, on SQLite when its process has died (or ran before the PC
last started), and a claim of another PC in a SQLite file after --claim-timeout (default 600 s,
at least 60). A unit that may hold a row's values (anything was written) and did not pass keeps
that row reserved; a row that failed on two units is held; records release frees them. A unit
that passed in any plan, or a label or IP that passed in an earlier version of the same plan
file, is commissioned again only with --reissue. Each ended attempt goes first into the journal
journal.jsonl in the report folder: while the store is away no new unit is taken, and the
journal is recorded when it answers again.

Exit codes: 0 done (batch: every unit passed); 1 port or device failure (no answer within the
timeout, hang-up); 2 bad usage or a refused value or plan (nothing sent); 3 the device holds other
values than were sent (batch: a unit ended FAIL, REFUSED or INTERRUPTED); 130 batch after Ctrl+C.
)");
}

} // namespace r7730::cli
