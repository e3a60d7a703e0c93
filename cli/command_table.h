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

// What a command takes after its options.
enum class TOperands {
    None,    // nothing
    OneFile, // exactly one file, named `operand` in the refusal
    Own,     // the command's `take` reads them
};

struct TCommand {
    QString name{};
    // Set: the dispatcher opens the session on the invocation's port and hands it over.
    // Commands that check their input before the port opens run with `run` and open it themselves.
    int (*runOnDevice)(TCtlSession& session, const TInvocation& invocation, TOutput& output) = nullptr;
    int (*run)(const TInvocation& invocation, TOutput& output) = nullptr;
    QList<QCommandLineOption> options{}; // besides the global ones (set adds its section's keys)
    TOperands operands = TOperands::None;
    QString operand{}; // OneFile: how a refusal names it ("FILE", "PLAN file")
    // Reads the command's own options (and, for TOperands::Own, its words) into the invocation.
    void (*take)(const QCommandLineParser& parser, const QStringList& operands, TInvocation& invocation) = nullptr;
    QString usage{}; // its lines under "Commands:" in --help, each ending in a newline

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
