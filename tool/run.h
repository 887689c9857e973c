// A whole run of the conversion: the dialogue, the processing, the report and records, the
// close of the output file, and kel2fram's exit status.
//
// Data flow: CommandLine (command_line.h) -> start -> run_steps: dialogue -> process_list ->
// checks -> write_report -> close (the durable commit) -> Status.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "lineio/lineio.h"
#include "tool/command_line.h"
#include "tool/settings.h"

namespace tool {

// kel2fram's exit status: the result written completely and durably; an early end that wrote
// nothing; a failed transfer (also a weight list that could not be read).
enum class Status : int {
  written = 0,
  nothing_written = 1,
  failed = lineio::kFailedTransferStatus,
};
// The status as the process ends with it, and as lineio's stops carry it.
constexpr int exit_code(Status status) {
  return static_cast<int>(status);
}

// A run of the command line on the bound console, its failed transfers and stops caught;
// answers the exit status.
Status start(const CommandLine& command);
// One run on the given console; answers the exit status.
int run(lineio::ByteSource& console_in, lineio::ByteSink& console_out, bool interactive);
// The steps of a run on an already bound console (used by run and by start); answers the
// exit status.
Status run_steps(const CommandLine& command = {});

}  // namespace tool
