// The command line: options that answer the dialogue's questions, the files named after them,
// --help and --version. Every answer still goes through the dialogue, which shows it as typed.
#include "tool/command_line.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "os/version.h"
#include "sheet/sheet.h"
#include "terminal/console_window.h"
#include "tool/report.h"
#include "tool/run.h"

namespace tool {
namespace {

// Applies an option's value; answers why the value is refused, or nothing.
using Apply = std::string (*)(CommandLine& command, std::string_view value);

struct Option {
  char letter;             // the short form, '\0' for none
  std::string_view name;   // the long form, without its "--"
  std::string_view value;  // the value's name in the help; empty for an option without one
  std::string_view help;
  Apply apply;
};

std::string ask_help(CommandLine& c, std::string_view /*value*/) {
  c.action = CommandLine::Action::help;
  return {};
}

std::string ask_version(CommandLine& c, std::string_view /*value*/) {
  if (c.action != CommandLine::Action::help) c.action = CommandLine::Action::version;
  return {};
}

std::string answer_unit(CommandLine& c, std::string_view value) {
  std::string word(value);
  kit::UPCASE(word);
  if (word != "KG" && word != "TONNES" && word != "T") return "the mass unit is kg or tonnes";
  c.answers[Question::unit] = std::string(value);
  return {};
}

std::string answer_spread(CommandLine& c, std::string_view value) {
  try {
    static_cast<void>(lineio::read_integer(value, 1, lineio::kConsoleIn));
  } catch (const lineio::TransferFailure&) {
    return "the spread count is a whole number";
  }
  c.answers[Question::spread] = std::string(value);
  return {};
}

template <Question skip, Question range>
std::string answer_range(CommandLine& c, std::string_view value) {
  std::array<double, 2> bounds{};
  try {
    if (lineio::read_reals_in(value, bounds, lineio::kConsoleIn) < bounds.size()) {
      return "a range is two numbers, the minimum first";
    }
  } catch (const lineio::TransferFailure&) {
    return "a range is two plain numbers, the minimum first";
  }
  c.answers[skip] = "y";
  c.answers[range] = std::string(value);
  return {};
}

std::string set_table(CommandLine& c, std::string_view /*value*/) {
  c.settings.table = true;
  return {};
}

std::string set_columns(CommandLine& c, std::string_view value) {
  if (std::string why = sheet::check_columns(value); !why.empty()) return why;
  // Naming columns says the list is a table, whatever its name.
  c.settings.columns = std::string(value);
  c.settings.table = true;
  return {};
}

std::string set_sheet(CommandLine& c, std::string_view value) {
  if (value.empty()) return "the sheet is named by its name";
  c.settings.sheet_name = std::string(value);
  return {};
}

std::string set_skip_rows(CommandLine& c, std::string_view value) {
  if (std::string why = sheet::check_skip_rows(value); !why.empty()) return why;
  c.settings.skip_rows = std::string(value);
  return {};
}

std::string set_strict(CommandLine& c, std::string_view /*value*/) {
  c.settings.strict = true;
  return {};
}

// One row per option; the help lists them in this order.
constexpr std::array kOptions = {
    Option{'u', "unit", "kg|tonnes",
           "the mass unit of the weight list: kg, or tonnes (also t; the default); either case",
           answer_unit},
    Option{'n', "spread", "N", "the number of nodes each mass is spread to (default 1)",
           answer_spread},
    Option{'x', "x-range", "MIN,MAX",
           "skip the masses whose X lies outside MIN to MAX (a comma or a blank between them; "
           "default: no range)",
           answer_range<Question::skip_x, Question::range_x>},
    Option{'y', "y-range", "MIN,MAX", "the same for Y",
           answer_range<Question::skip_y, Question::range_y>},
    Option{'z', "z-range", "MIN,MAX", "the same for Z",
           answer_range<Question::skip_z, Question::range_z>},
    Option{'\0', "table", "",
           "read the weight list as a delimited table (comma, semicolon or tab) with a heading "
           "row, whatever its name; .csv and .tsv files with headings, .xlsx and .ods workbooks "
           "are read so without it",
           set_table},
    Option{'\0', "columns", "LIST",
           "the columns of a table's mass, X, Y and Z where the headings do not name them, as "
           "mass=D,x=E,y=F,z=G (letters, numbers from 1, or heading texts); roles left out are "
           "found by their headings; implies --table",
           set_columns},
    Option{'\0', "sheet", "NAME",
           "the sheet of a workbook to read (default: the first, in the workbook's order with "
           "hidden sheets last, whose rows name the columns)",
           set_sheet},
    Option{'\0', "skip-rows", "LIST",
           "rows of a table to leave out, as the spreadsheet program numbers them (7,11-13): a "
           "total typed as a number, say",
           set_skip_rows},
    Option{'\0', "strict", "",
           "end early with status 1, writing nothing, when any line is rejected or any warning "
           "is given (for scripts)",
           set_strict},
    Option{'h', "help", "", "show this help and end", ask_help},
    Option{'V', "version", "", "show the version and end", ask_version},
};

constexpr std::string_view kUsageLine = "kel2fram [OPTIONS] [WEIGHT-LIST [OUTPUT]]";

const Option* find_long(std::string_view name) {
  const auto* it = std::find_if(kOptions.begin(), kOptions.end(),
                                [&](const Option& o) { return o.name == name; });
  return it == kOptions.end() ? nullptr : &*it;
}

const Option* find_short(char letter) {
  const auto* it = std::find_if(kOptions.begin(), kOptions.end(),
                                [&](const Option& o) { return o.letter == letter; });
  return it == kOptions.end() ? nullptr : &*it;
}

CommandLine refused(std::string error) {
  CommandLine c;
  c.action = CommandLine::Action::usage_error;
  c.error = std::move(error);
  return c;
}

// Words of text in lines of at most `width` characters, each after `indent` blanks but the
// first, which continues a line already `column` characters long.
std::string wrapped(std::string_view text, std::size_t column, std::size_t indent,
                    std::size_t width) {
  std::string out;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (column > indent && column + 1 + word.size() > width) {
      out += '\n';
      out.append(indent, ' ');
      column = indent;
    } else if (column > indent) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
  }
  return out;
}

}  // namespace

CommandLine read_command_line(std::span<const std::string> arguments) {
  CommandLine c;
  std::array<const std::string*, 2> files{};
  std::size_t file_count = 0;
  bool options_ended = false;
  for (std::size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    const bool is_option = !options_ended && argument.size() > 1 && argument.front() == '-';
    if (!is_option && !options_ended && terminal::is_system_help_switch(argument)) {
      c.action = CommandLine::Action::help;
      continue;
    }
    if (!is_option) {
      if (file_count == files.size()) {
        return refused("one weight list and one output file at most; \"" + argument +
                       "\" is one too many");
      }
      files[file_count++] = &argument;
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    // --name, --name=value, --name value, -l, -lvalue, -l value.
    const Option* option = nullptr;
    std::string shown;  // the option as written, for messages
    std::optional<std::string_view> value;
    if (argument.starts_with("--")) {
      const std::string_view body = std::string_view(argument).substr(2);
      const std::size_t equals = body.find('=');
      shown = "--" + std::string(body.substr(0, equals));
      option = find_long(body.substr(0, equals));
      if (equals != std::string_view::npos) value = body.substr(equals + 1);
    } else {
      shown = argument.substr(0, 2);
      option = find_short(argument[1]);
      if (argument.size() > 2) value = std::string_view(argument).substr(2);
    }
    if (option == nullptr) return refused("unknown option " + shown);
    if (option->value.empty() && value) return refused(shown + " takes no value");
    if (!option->value.empty() && !value) {
      if (k + 1 == arguments.size()) {
        return refused(shown + " needs a value, " + std::string(option->value));
      }
      value = arguments[++k];
    }
    if (std::string why = option->apply(c, value.value_or(std::string_view{})); !why.empty()) {
      std::string error = shown;
      error += ' ';
      error += value.value_or(std::string_view{});
      error += ": ";
      error += why;
      return refused(error);
    }
  }
  if (file_count > 0) c.answers[Question::input] = *files[0];
  if (file_count > 1) {
    c.answers[Question::output] = *files[1];
    // With both files named, nothing is asked: every other question takes its default.
    for (auto& answer : c.answers.given) {
      if (!answer) answer = std::string();
    }
  }
  return c;
}

std::string help_text() {
  constexpr std::size_t kWidth = 79;
  constexpr std::size_t kHelpColumn = 25;
  std::string text = "Usage: " + std::string(kUsageLine) + "\n";
  text += wrapped(
      "Converts a weight list into Map_Mass records for Framix, with a report of the total mass "
      "and the centre of gravity. Without arguments it asks everything in a dialogue. Each "
      "option answers one question, and the files named answer the first two; the dialogue "
      "shows every answer given so. With both files named nothing is asked: every other "
      "question takes its option or its default, and standard input is not read.",
      0, 0, kWidth);
  text += "\n\nOptions:\n";
  for (const Option& o : kOptions) {
    std::string head = "  ";
    head += o.letter != '\0' ? std::string{'-', o.letter, ','} : std::string("   ");
    head += " --";
    head += o.name;
    if (!o.value.empty()) head += " " + std::string(o.value);
    if (head.size() + 1 > kHelpColumn) {
      head += '\n';
      head.append(kHelpColumn, ' ');
    } else {
      head.append(kHelpColumn - head.size(), ' ');
    }
    text += head + wrapped(o.help, kHelpColumn, kHelpColumn, kWidth) + "\n";
  }
  text += "  --                     end of the options: what follows names files\n";
  text += "\n";
  text += wrapped(
      "Exit status: 0 the output file was written completely; 1 a usage error or an early "
      "end that wrote nothing; 2 a failed transfer (a file named here that cannot be opened, "
      "a bad answer or the end of the answers, an unreadable weight list, an output file that "
      "cannot be written).",
      0, 0, kWidth);
  text += "\n\n";
  text += wrapped(
      "The manual page kel2fram(1) (man kel2fram) and the KEL2FRAM manual tell more. The other "
      "programs: kitdump shows how each line of a weight list is read, massplot draws the "
      "records as an SVG picture.",
      0, 0, kWidth);
  text += "\n";
  return text;
}

int start(const CommandLine& command) {
  switch (command.action) {
    case CommandLine::Action::help:
    case CommandLine::Action::version: {
      const std::string text = command.action == CommandLine::Action::help
                                   ? help_text()
                                   : "kel2fram " + std::string(lineio::kPackageVersion) + "\n";
      const bool written = std::fputs(text.c_str(), stdout) >= 0;
      return std::fflush(stdout) == 0 && written ? kWritten : kFailed;
    }
    case CommandLine::Action::usage_error:
      lineio::notice(std::string(kNoticePrefix) + command.error);
      lineio::notice(std::string(kNoticePrefix) + "usage: " + std::string(kUsageLine) +
                     " (kel2fram --help lists the options)");
      return kNothingWritten;
    case CommandLine::Action::run:
      break;
  }
  return lineio::guarded_run([&] { return run_steps(command); });
}

}  // namespace tool
