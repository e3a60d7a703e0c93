// The command line read with QCommandLineParser, and the help text (see arguments.h). What each
// command takes is in its row of the command table.
#include "cli/arguments.h"

#include <QCommandLineParser>
#include <cmath>

#include "cli/command_table.h"
#include "cli/failure.h"

namespace r7730::cli {
namespace {

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

void Parse(QCommandLineParser& parser, const QStringList& arguments)
{
    if (!parser.parse(arguments))
        RefuseArguments(parser.errorText());
}

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

QList<QCommandLineOption> CommandOptions(const TCommand& command, const TInvocation& invocation)
{
    QList<QCommandLineOption> options;
    if (command.name == "set")
        for (const QString& key : SectionKeys(invocation.section))
            options << QCommandLineOption(key, key, key.toUpper());
    return options + command.options;
}

// The words after the command's options, as its row says it takes them.
void TakeOperands(const TCommand& command, const QStringList& operands, TInvocation& invocation)
{
    if (command.ownOperands)
        return;
    if (command.oneFile.isEmpty()) {
        if (!operands.isEmpty())
            RefuseArguments(QStringLiteral("unexpected argument \"%1\"").arg(operands.front()));
        return;
    }
    if (operands.size() != 1)
        RefuseArguments(QStringLiteral("%1 needs one %2").arg(command.name, command.oneFile));
    invocation.file = operands.front();
}

} // namespace

[[noreturn]] void RefuseArguments(const QString& message)
{
    throw TCliFailure(kExitRefused, message + QStringLiteral(" (r7730ctl --help lists the commands and options)"));
}

int NumberIn(const QString& option, const QString& text, int lowest, int highest)
{
    bool number = false;
    const int value = text.toInt(&number);
    if (!number || value < lowest || value > highest)
        RefuseArguments(QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\"").arg(option).arg(lowest).arg(highest).arg(text));
    return value;
}

int PositiveNumber(const QString& option, const QString& text, int highest)
{
    return NumberIn(option, text, 1, highest);
}

int Milliseconds(const QString& option, const QString& text, double lowest, double highest)
{
    bool number = false;
    const double seconds = text.toDouble(&number);
    if (!number || !(seconds >= lowest && seconds <= highest))
        RefuseArguments(QStringLiteral("--%1 takes seconds from %2 to %3, not \"%4\"").arg(option).arg(lowest).arg(highest).arg(text));
    return static_cast<int>(std::lround(seconds * 1000));
}

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
        RefuseArguments(QStringLiteral("no command given"));
    }
    invocation.command = rest.takeFirst();
    const TCommand* command = CommandNamed(invocation.command);
    if (!command)
        RefuseArguments(QStringLiteral("unknown command \"%1\"").arg(invocation.command));
    if (command->name == "set") {
        const std::optional<TSection> section = rest.isEmpty() ? std::nullopt : SectionNamed(rest.front());
        if (!section)
            RefuseArguments(QStringLiteral("set needs what to set first: wan, tcp, serial or ap"));
        invocation.section = *section;
        rest.removeFirst();
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOptions(GlobalOptions());
    parser.addOptions(CommandOptions(*command, invocation));
    Parse(parser, QStringList{arguments.value(0)} + rest);
    TakeGlobals(parser, invocation);
    if (invocation.help)
        return invocation;

    const QStringList operands = parser.positionalArguments();
    TakeOperands(*command, operands, invocation);
    if (command->take)
        command->take(parser, operands, invocation);
    return invocation;
}

QString UsageText()
{
    QString commands;
    for (const TCommand& command : Commands())
        commands += command.usage;
    return QStringLiteral(R"(Usage: r7730ctl [-p|--port PORT] [--timeout MS] [--json] [-v] COMMAND [OPTIONS]
Reads and changes the settings of an R7730LX serial-to-WiFi device server over a serial port.

Commands:
)") + commands + QStringLiteral(R"(
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

