#pragma once
// The command line of r7730ctl, read with QCommandLineParser:
//
//   r7730ctl [-p|--port PORT] [--timeout MS] [--json] [-v] COMMAND [OPTIONS]
//
// The global options stand before the command, and may also follow it. The options of `set`
// are the keys of its section (settings_text_checks.h), so `set wan` takes --ip, --gateway, --mask.
// A wrong command line raises TCliFailure with exit 2, naming what is wrong.
#include <QString>
#include <QStringList>
#include <optional>

#include "device/settings_text_checks.h"

namespace r7730::cli {

// The options of `batch` and `records`.
struct TBatchInvocation {
    QString store;        // --store URL; empty: provision.sqlite in the working folder
    QString match = "next"; // --match next|mac
    QString operatorName; // --operator
    QString reportDir;    // --report-dir; empty: reports/ beside the store
    bool pdf = false;
    bool check = false;
    bool stopOnFail = false;
    int claimTimeoutSeconds = 600; // --claim-timeout
    bool reissue = false; // --reissue: rows and units that passed before may be commissioned again
    bool csv = false;     // records --csv
    QString release;      // records release LABEL: the label of the rows to free
};

// The options of `firmware` (the image is `file`).
struct TFirmwareInvocation {
    QString serve;         // --serve ADDR[:PORT]; empty: this PC's address in the device's network
    QString expectVersion; // --expect-version MAJOR.MINOR
    int maxSize = 8 * 1024 * 1024; // --max-size BYTES
    bool force = false;    // send a file that looks like text or HTML
    int waitSeconds = 300; // --wait: how long the device may take to ask
};

// The options of `survey`.
struct TSurveyInvocation {
    std::optional<int> durationMs;   // --duration; absent: until Ctrl+C
    int intervalMs = 1000;           // --interval
    std::optional<int> scanEveryMs;  // --scan-every; absent: no scans
    QString csvFile;                 // --csv
};

struct TInvocation {
    bool help = false;
    QString portName; // -p; empty: the settings file's
    QStringList portNames; // every -p given (batch runs one station on each)
    int timeoutMs = 3000;
    bool json = false;
    bool verbose = false;
    int verbosity = 0; // how many -v: two add each frame's decoded summary

    QString command; // "ports", "status", ..., "restore", "batch", "records"
    TSection section = TSection::Wan; // set
    TTexts given;                     // set: the section's options given, by key
    QString file;                     // backup, restore; batch: the plan
    bool noVerify = false;            // set, restore
    bool forceMask = false;           // set, restore, batch --force: send a mask that is none
    bool yes = false;                 // factory-reset
    std::optional<int> watchSeconds;  // signal --watch
    QString reportDir;                // set, restore, firmware: --report DIR
    TBatchInvocation batch;           // batch (file: the plan), records
    TFirmwareInvocation firmware;     // firmware (file: the image)
    TSurveyInvocation survey;         // survey
    QStringList logFiles;             // decode: the daily log files, "-" for standard input
    QString frameFilter;              // decode --filter REGEX
    bool errorsOnly = false;          // decode --errors
};

// arguments: the whole command line, the program's name first.
TInvocation ParseArguments(const QStringList& arguments);

// The text --help prints.
QString UsageText();

// The checks the commands' own options share (command_table.cpp). Each refuses with exit 2,
// naming the option, and points to --help.
[[noreturn]] void RefuseArguments(const QString& message);
int NumberIn(const QString& option, const QString& text, int lowest, int highest);
int PositiveNumber(const QString& option, const QString& text, int highest);
// Seconds with at most three decimals, from lowest to highest, as milliseconds.
int Milliseconds(const QString& option, const QString& text, double lowest, double highest);

} // namespace r7730::cli
