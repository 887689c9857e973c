// A program's command line read by its option table, and the help printed from that table.
// Every program takes the same forms: --name value, --name=value, -l value, -lvalue, -- to end
// the options, and -h, --help, -V, --version (and /? on Windows) besides its own options.
//
// Data flow: arguments -> read_arguments (Program's table, tool::give) -> Arguments -> start.h
// (help, version, a usage error, or the program's run).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "front/program.h"
#include "tool/command_line.h"

namespace front {

// Why the arguments cannot be run: what is wrong (an option, or the count of files) and the
// reason, one line without the program's name.
struct UsageError {
  enum class Kind { none, option, files };
  Kind kind = Kind::none;
  std::string why;
};

// What the command line asks for: a run with the settings and answers its options give and
// the files it names, the help, the version, or nothing (a usage error).
struct Arguments {
  enum class Action { run, help, version, usage_error };
  Action action = Action::run;
  UsageError error;
  tool::CommandLine command;
  std::vector<std::string> files;
};

// Reads the arguments after the program's name. Option values are checked as they are read,
// so that a bad one is found before anything is opened; the first fault ends the reading.
Arguments read_arguments(const Program& program, std::span<const std::string> arguments);
// The text of --help: the usage line, what the program does, the options, the exit status
// and where to read on, in lines of at most 79 characters.
std::string help_text(const Program& program);

}  // namespace front
