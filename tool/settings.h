// The run settings: what the dialogue, or the command line before it, settles for one run,
// and the questions that settle it.
//
// Data flow: command line -> Answers -> dialogue (dialogue.h) -> RunSettings -> processing
// (processing.h), report and records (report.h).
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lineio/lineio.h"

namespace tool {

using lineio::kConsoleIn;
using lineio::kConsoleOut;
inline constexpr std::int32_t kInputUnit = 88;
inline constexpr std::int32_t kOutputUnit = 17;
inline constexpr std::size_t kTextLength = 256;  // file names, answers, report lines
inline constexpr std::int32_t kFieldTextLength = 80;
inline constexpr std::size_t kFieldCount = 100;

// The default bounds: the single-precision value nearest to 1.0E+35, widened to double.
inline const double kDefaultMax = std::bit_cast<double>(std::uint64_t{0x4733426180000000});
inline const double kDefaultMin = std::bit_cast<double>(std::uint64_t{0xC733426180000000});

using Text = std::array<char, kTextLength>;
// A file name: 256 characters, each up to four bytes of UTF-8, padded with blanks.
inline constexpr std::size_t kNameBytes = 4 * kTextLength;
using NameText = std::array<char, kNameBytes>;

// The axes' names in messages, X, Y and Z in that order.
inline constexpr std::array<std::string_view, 3> kAxisName = {"X", "Y", "Z"};

enum class MassUnit { tonnes, kg };

// The mass unit an answer selects: only one that begins with K (either case) is kilograms;
// any other, an empty one included, is tonnes.
MassUnit unit_of_answer(std::string_view answer);
// Kilograms per unit: 1 for kg, 1000 for tonnes.
inline double unit_factor_of(MassUnit unit) {
  return unit == MassUnit::kg ? 1.0 : 1000.0;
}
// The unit's name in notices: "kg" or "tonnes".
std::string_view unit_word(MassUnit unit);

// Everything the dialogue settles.
struct RunSettings {
  NameText input_name{};
  NameText output_name{};
  Text answer{};
  MassUnit unit = MassUnit::tonnes;
  double unit_factor = 1000.0;
  std::int32_t spread = 1;
  std::array<double, 3> min{kDefaultMin, kDefaultMin, kDefaultMin};  // X, Y, Z
  std::array<double, 3> max{kDefaultMax, kDefaultMax, kDefaultMax};
  bool strict = false;          // a rejected line or a warning ends the run early (for scripts)
  bool output_in_full = false;  // the last line names the output by its full path
  bool unit_answered = false;   // the unit answer was not empty (a table's heading may decide)
  // Spreadsheets: a delimited file read as a table whatever its name, the columns of the
  // roles ("mass=D,x=E,y=F,z=G"), the sheet of a workbook (empty: the first that names the
  // columns), the rows left out ("7,11-13").
  bool table = false;
  std::string columns;
  std::string sheet_name;
  std::string skip_rows;
};

// The weight list's name as typed, without the blanks that pad it.
std::string_view input_name_of(const RunSettings& settings);
// Puts a name into a name text, padded with blanks; answers false when it is too long.
bool set_name(NameText& text, std::string_view name);

// The questions of the dialogue in the order asked; each range request follows its axis's
// skip question.
enum class Question : std::uint8_t {
  input,
  output,
  unit,
  spread,
  skip_x,
  range_x,
  skip_y,
  range_y,
  skip_z,
  range_z,
};
inline constexpr std::size_t kQuestionCount = 10;

// Answers given before the dialogue (on the command line), as typed answers would be; a
// question without one is asked on the console.
struct Answers {
  std::array<std::optional<std::string>, kQuestionCount> given;
  std::optional<std::string>& operator[](Question q) { return given[static_cast<std::size_t>(q)]; }
  const std::optional<std::string>& operator[](Question q) const {
    return given[static_cast<std::size_t>(q)];
  }
  // Whether a question has an answer that is not empty.
  bool has(Question q) const { return (*this)[q].has_value() && !(*this)[q]->empty(); }
};

// The settings that answers given beforehand make without a dialogue (for a program that
// reads a list as kel2fram does, but asks nothing): each answer as the dialogue takes it, the
// default for each one not given. The answers were checked when they were read.
RunSettings settings_of_answers(const Answers& answers);

}  // namespace tool
