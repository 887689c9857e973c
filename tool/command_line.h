// What a command line settles for a run of the conversion: the settings its options give and
// the answers its options and files give, each value checked by the rules of the typed
// answers, so that a bad one is found before anything is opened.
//
// Data flow: a program's option table (front/) -> give, name_files -> CommandLine -> the run
// (run.h) -> the dialogue, which shows every answer as typed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tool/settings.h"

namespace tool {

// The settings and the answers given before the dialogue.
struct CommandLine {
  RunSettings settings;
  Answers answers;
};

// What an option's value gives the run: an answer to a question, or a setting of its own.
enum class Given : std::uint8_t {
  unit,       // the mass unit: kg, or tonnes (also t), in either case
  spread,     // the spread count: a whole number
  x_range,    // the skip answer and the range of X: two plain numbers, the minimum first
  y_range,    // the same for Y
  z_range,    // the same for Z
  table,      // read the list as a delimited table whatever its name (no value)
  columns,    // the columns of a table's roles; says the list is a table
  sheet,      // the sheet of a workbook, by its name
  skip_rows,  // rows of a table to leave out
  strict,     // a rejected line or a warning ends the run early (no value)
};

// Takes an option's value into the command line (empty for one without a value); answers
// why the value is refused, empty when it is taken.
std::string give(CommandLine& command, Given given, std::string_view value);
// The files named (at most two): the first answers the weight-list question, the second the
// output question. With both named nothing is asked: every other question takes its option
// or its default.
void name_files(CommandLine& command, std::span<const std::string> files);
// A run with a console window of its own and a weight list named (dropped on the program):
// works in the list's folder, so that names typed in the dialogue are taken beside it, and
// names the output by its full path in its last line. Names given with the list keep the
// meaning they had in the folder the program started in.
void work_beside_named_list(CommandLine& command);
// A file name as a full path, as UTF-8 (the name itself when the system cannot tell).
std::string full_path(std::string_view name);

}  // namespace tool
