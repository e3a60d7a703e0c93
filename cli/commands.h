#pragma once
// The commands of r7730ctl. Each writes its result to the output (text, or the JSON document)
// and returns the exit code of a finished run: 0, or 3 when the device holds other values than
// were sent. Anything that stops a command raises TCliFailure with its code.
//
//   commands_read.cpp      ports, status, wifi, scan, signal: nothing is changed
//   commands_change.cpp    set, reboot, factory-reset, backup, restore
//   commands_batch.cpp     batch, records: the production line
//   commands_firmware.cpp  firmware: an update served by the program's own one-file server
//   commands_survey.cpp    survey: the signal and the channels over a while
//   commands_decode.cpp    decode: the frames of the daily log files
#include <memory>
#include <optional>

#include "cli/arguments.h"
#include "cli/output.h"

namespace r7730::cli {

class TCtlSession;

// A session on the invocation's port, opened, its waiting notes going to the output.
std::unique_ptr<TCtlSession> OpenSession(const TInvocation& invocation, const TOutput& output);

int PortsCommand(TOutput& output);
int StatusCommand(TCtlSession& session, TOutput& output);
int WifiCommand(TCtlSession& session, TOutput& output);
int ScanCommand(TCtlSession& session, TOutput& output);
int SignalCommand(TCtlSession& session, TOutput& output, std::optional<int> watchSeconds);

int SetCommand(const TInvocation& invocation, TOutput& output);
int RebootCommand(TCtlSession& session, TOutput& output, bool factoryReset);
int BackupCommand(const TInvocation& invocation, TOutput& output);
int RestoreCommand(const TInvocation& invocation, TOutput& output);

int BatchCommand(const TInvocation& invocation, TOutput& output);
int RecordsCommand(const TInvocation& invocation, TOutput& output);

int FirmwareCommand(const TInvocation& invocation, TOutput& output);
int SurveyCommand(const TInvocation& invocation, TOutput& output);
int DecodeCommand(const TInvocation& invocation, TOutput& output);

// The label width of every settings listing, so sections line up under each other.
inline constexpr int kLabelWidth = 9;

} // namespace r7730::cli
