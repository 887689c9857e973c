// What a program is to its users: its name, its arguments, its option table and the texts of
// its help. Each program of the package describes itself once, in its front (programs/), and
// the front room reads its arguments, writes its help and tells its notices from that.
//
// Data flow: Program (a constant in each front) -> read_arguments, help_text
// (command_line.h), run_program (start.h), notice (notice.h).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "tool/command_line.h"

namespace front {

// One row of a program's option table; the help lists the rows in the table's order.
struct Option {
  char letter;             // the short form, '\0' for none
  std::string_view name;   // the long form, without its "--"
  std::string_view value;  // the value's name in the help; empty for an option without one
  std::string_view help;   // one sentence, without a full stop; the help wraps it
  // What the value gives the run; none for the options of every program (help, version).
  std::optional<tool::Given> gives;
};

struct Program {
  std::string_view name;       // "kitdump": the first word of every notice
  std::string_view arguments;  // after the name in the usage line: "[OPTIONS] FILE"
  // What the program does: paragraphs, each begun on a line of its own, separated by '\n'.
  std::string_view about;
  // The options of this program; -h, --help, -V, --version and -- follow them everywhere.
  std::span<const Option> options;
  std::string_view exit_status;  // a paragraph beginning "Exit status: "
  std::string_view read_on;      // a paragraph naming the manual page and the other programs
  std::size_t least_files = 0;   // files a run needs named
  std::size_t most_files = 0;    // files a run takes at most
  std::string_view files;        // what the most files are: "one file at most"
  // A usage error shows the whole help on standard error, after the faulty option (a count
  // of files the help tells is not told again); otherwise one line points to --help.
  bool help_on_usage_error = false;
  // Out of memory, after the program's name (and, for a program that needs a file, after
  // that file's name): "not enough memory".
  std::string_view out_of_memory;
};

}  // namespace front
