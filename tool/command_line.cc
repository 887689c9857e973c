// The values of a command line's options, checked by the rules of the typed answers, and the
// files named after them. Every answer still goes through the dialogue, which shows it as
// typed.
#include "tool/command_line.h"

#include <array>
#include <string>
#include <string_view>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "sheet/sheet.h"

namespace tool {
namespace {

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

std::string answer_range(CommandLine& c, Question skip, Question range, std::string_view value) {
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

}  // namespace

std::string give(CommandLine& command, Given given, std::string_view value) {
  switch (given) {
    case Given::unit:
      return answer_unit(command, value);
    case Given::spread:
      return answer_spread(command, value);
    case Given::x_range:
      return answer_range(command, Question::skip_x, Question::range_x, value);
    case Given::y_range:
      return answer_range(command, Question::skip_y, Question::range_y, value);
    case Given::z_range:
      return answer_range(command, Question::skip_z, Question::range_z, value);
    case Given::table:
      command.settings.table = true;
      return {};
    case Given::columns:
      return set_columns(command, value);
    case Given::sheet:
      return set_sheet(command, value);
    case Given::skip_rows:
      return set_skip_rows(command, value);
    case Given::strict:
      command.settings.strict = true;
      return {};
  }
  return {};
}

void name_files(CommandLine& command, std::span<const std::string> files) {
  if (!files.empty()) command.answers[Question::input] = files[0];
  if (files.size() > 1) {
    command.answers[Question::output] = files[1];
    for (auto& answer : command.answers.given) {
      if (!answer) answer = std::string();
    }
  }
}

}  // namespace tool
