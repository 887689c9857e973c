// The console dialogue: banner, the seven questions, and the opening of both files.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "tool/kel2fram.h"

namespace kel2fram {
namespace {

using lineio::Line;

constexpr std::array<std::string_view, 10> kBanner = {
    "------------------------------------------------",
    "------------------------------------------------",
    "------------------------------------------------",
    "-----         K E L  2  F R A M           ------",
    "-----   Kelda Weight Data to Framix       ------",
    "-----   Version 1.0 / Jan  2004           ------",
    "-----   Support: your structures desk     ------",
    "-----                                     ------",
    "------------------------------------------------",
    "------------------------------------------------",
};

constexpr std::string_view kAskInput = "Give file containing Weight Data  :  ";
constexpr std::string_view kAskOutput = "File to write the processed data  :  ";
constexpr std::string_view kAskUnit = "Mass unit (kg or tonnes. Def=tonnes): ";
constexpr std::string_view kAskSpread = "Number of nodes to spread mass /1/  : ";
constexpr std::array<std::string_view, 3> kAskSkip = {
    "Skip Masses outside Xmin/Xmax  (no) ? ",
    "Skip Masses outside Ymin/Ymax  (no) ? ",
    "Skip Masses outside Zmin/Zmax  (no) ? ",
};
constexpr std::array<std::string_view, 3> kAskRange = {
    " .. Give X-min and X-max            : ",
    " .. Give Y-min and Y-max            : ",
    " .. Give Z-min and Z-max            : ",
};
constexpr std::string_view kNonexisting = " Nonexisting file :";
constexpr std::string_view kCannotWrite = " Cannot write file :";

std::string_view view(const Text& text) {
  return {text.data(), text.size()};
}

bool blank_only(const Text& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

// Opens a named file on a unit silently; answers the error flag.
std::int32_t open_named(const Text& name, std::int32_t unit, std::int32_t status) {
  std::int32_t flag = 0;
  kit::OPNFIL(view(name), unit, status, 10, 1, 0, 0, -1, -kConsoleOut, flag);
  return flag;
}

// Asks for a file until one opens; a failure shows the message and the whole name as read.
// A name longer than the answer holds is refused rather than opened under its first part,
// which would be another file.
void ask_file(std::string_view question, Text& name, std::int32_t unit, std::int32_t status,
              std::string_view failure_message) {
  for (;;) {
    PROMPT(kConsoleOut, question);
    std::size_t length = 0;
    lineio::read_text(kConsoleIn, name, &length);
    if (length > name.size()) {
      lineio::put(kConsoleOut, Line().lit(failure_message).lit(view(name)));
      lineio::notice(std::string(kNoticePrefix) + "a file name of " + std::to_string(length) +
                     " characters is longer than the " + std::to_string(name.size()) +
                     " an answer holds");
      continue;
    }
    if (open_named(name, unit, status) == 0) return;
    lineio::put(kConsoleOut, Line().lit(failure_message).lit(view(name)));
  }
}

}  // namespace

void PROMPT(std::int32_t unit, std::string_view text) {
  std::array<char, 80> work;
  work.fill(' ');
  const std::size_t n = std::min(text.size(), work.size());
  std::copy_n(text.begin(), n, work.begin());
  lineio::put_open(unit, Line().lit(" ").lit({work.data(), n}));
}

void write_banner() {
  lineio::put_empty(kConsoleOut, 2);
  for (std::string_view line : kBanner) lineio::put_line(kConsoleOut, line);
}

void run_dialogue(RunSettings& s) {
  // 1 and 2: the files. The input must exist; the output is created when absent. An output
  // file that cannot be opened is asked for again rather than written nowhere.
  ask_file(kAskInput, s.input_name, kInputUnit, 2, kNonexisting);
  ask_file(kAskOutput, s.output_name, kOutputUnit, 1, kCannotWrite);

  // 3: the mass unit; only an answer beginning with K (either case) selects kilograms.
  PROMPT(kConsoleOut, kAskUnit);
  lineio::read_text(kConsoleIn, s.answer);
  check_unit_answer(s.answer);
  s.unit = MassUnit::tonnes;
  if (!blank_only(s.answer)) {
    kit::UPCASE(s.answer);
    if (s.answer[0] == 'K') s.unit = MassUnit::kg;
  }
  s.unit_factor = s.unit == MassUnit::kg ? 1.0 : 1000.0;

  // 4: the spread count, taken as given.
  s.spread = 1;
  PROMPT(kConsoleOut, kAskSpread);
  lineio::read_text(kConsoleIn, s.answer);
  if (!blank_only(s.answer)) s.spread = lineio::read_integer(view(s.answer), s.spread, kConsoleIn);
  check_spread_answer(s.spread);

  // 5 to 7: the ranges. A minimum above the maximum is kept as given.
  for (std::size_t axis = 0; axis < 3; ++axis) {
    s.min[axis] = kDefaultMin;
    s.max[axis] = kDefaultMax;
    PROMPT(kConsoleOut, kAskSkip[axis]);
    lineio::read_text(kConsoleIn, s.answer);
    check_skip_answer(axis, s.answer);
    if (blank_only(s.answer)) continue;
    kit::UPCASE(s.answer);
    if (s.answer[0] != 'Y') continue;
    PROMPT(kConsoleOut, kAskRange[axis]);
    std::array<double, 2> bounds{s.min[axis], s.max[axis]};
    read_checked_range(axis, bounds);
    s.min[axis] = bounds[0];
    s.max[axis] = bounds[1];
  }
}

}  // namespace kel2fram
