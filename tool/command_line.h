// The command line of kel2fram: options that answer the dialogue's questions beforehand,
// the files named after them, --help and --version.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "tool/settings.h"

namespace tool {

// What the command line asks for: a run with the settings its options give and the answers
// they and the named files give, the help, the version, or nothing (a usage error).
struct CommandLine {
  enum class Action { run, help, version, usage_error };
  Action action = Action::run;
  std::string error;  // the usage error, one line after the program's prefix
  RunSettings settings;
  Answers answers;
};

// Reads kel2fram [OPTIONS] [WEIGHT-LIST [OUTPUT]]. Option values are checked here, by the
// rules of the typed answers, so that a bad one is found before anything is opened.
CommandLine read_command_line(std::span<const std::string> arguments);
// The usage text of --help.
std::string help_text();
// A run with a console window of its own and a weight list named (dropped on the program):
// works in the list's folder, so that names typed in the dialogue are taken beside it, and
// names the output by its full path in its last line. Names given with the list keep the
// meaning they had in the folder the program started in.
void work_beside_named_list(CommandLine& command);
// A file name as a full path, as UTF-8 (the name itself when the system cannot tell).
std::string full_path(std::string_view name);

}  // namespace tool
