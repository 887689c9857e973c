// A whole run of the conversion: the command line read, the dialogue, the processing, the
// report and records, the close of the output file, and the exit status.
//
// Data flow: arguments -> read_command_line -> CommandLine -> start -> run_steps: dialogue
// -> process_list -> checks -> write_report -> close (the durable commit) -> status.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "lineio/lineio.h"
#include "tool/command_line.h"
#include "tool/settings.h"

namespace tool {

// Exit statuses: the result written completely and durably; an early end that wrote
// nothing; a failed transfer (also a weight list that could not be read).
inline constexpr int kWritten = 0;
inline constexpr int kNothingWritten = 1;
inline constexpr int kFailed = lineio::kFailedTransferStatus;

// Carries out the command line on the bound console: help, version, a usage error (status 1,
// nothing written) or a run. Answers the exit status.
int start(const CommandLine& command);
// One run on the given console; answers the exit status.
int run(lineio::ByteSource& console_in, lineio::ByteSink& console_out, bool interactive);
// The steps of a run on an already bound console (used by run and by start); answers the
// exit status.
int run_steps(const CommandLine& command = {});

}  // namespace tool
