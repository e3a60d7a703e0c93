#pragma once
// The commands of r7730ctl in one table: each one's name, whether it runs on a session the
// dispatcher opens, its options, what it does with the words after its options, its lines
// under "Commands:" in --help, and the function that runs it. Parsing, dispatch, --help and
// the completion file's check all read this table, so a command is added in one place.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

#include "cli/arguments.h"
#include "cli/output.h"

namespace r7730::cli {

class TCtlSession;

struct TCommand {
    QString name{};
    QString usage{}; // its lines under "Commands:" in --help, each ending in a newline
    // Set: the dispatcher opens the session on the invocation's port and hands it over.
    // Commands that check their input before the port opens run with `run` and open it themselves.
    int (*runOnDevice)(TCtlSession& session, const TInvocation& invocation, TOutput& output) = nullptr;
    int (*run)(const TInvocation& invocation, TOutput& output) = nullptr;
    QList<QCommandLineOption> options{}; // besides the global ones (set adds its section's keys)
    // What it takes after its options: nothing, unless it names the one file it takes (as a
    // refusal calls it: "FILE", "PLAN file") or reads the words itself in `take`.
    QString oneFile{};
    bool ownOperands = false;
    // Reads the command's own options (and, with ownOperands, its words) into the invocation.
    void (*take)(const QCommandLineParser& parser, const QStringList& operands, TInvocation& invocation) = nullptr;

    bool NeedsDevice() const { return runOnDevice != nullptr; }
};

// Every command, in the order --help lists them.
const std::vector<TCommand>& Commands();

// The command called name, or nullptr.
const TCommand* CommandNamed(const QString& name);

// Runs the invocation's command: its result goes to the output, its exit code is returned, and
// anything that stops it raises TCliFailure (see commands.h).
int RunCommand(const TInvocation& invocation, TOutput& output);

} // namespace r7730::cli
