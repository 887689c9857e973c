// The console dialogue: banner, the seven questions, and the opening of both files.
#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <string_view>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
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

// A file name as the dialogue holds it: 256 characters (not bytes: a letter beyond ASCII
// takes two to four), padded with blanks.
std::string_view view(const NameText& name) {
  const std::string_view all(name.data(), name.size());
  return all.substr(0, lineio::bytes_of_characters(all, kTextLength));
}

// Opens a named file on a unit silently; answers the error flag.
std::int32_t open_named(std::string_view name, std::int32_t unit, std::int32_t status) {
  std::int32_t flag = 0;
  kit::OPNFIL(name, unit, status, 10, 1, 0, 0, -1, -kConsoleOut, flag);
  return flag;
}

// Why a named file did not open, on standard error beside the console's message; nothing
// for a missing input file, which the message itself says.
void explain_refusal(std::string_view name, std::int32_t flag, bool must_exist) {
  const int code = -flag;
  if (must_exist && code == ENOENT) return;
  const std::size_t end = name.find_last_not_of(' ');
  if (end == std::string_view::npos) {
    lineio::notice(std::string(kNoticePrefix) + "the answer names no file");
    return;
  }
  lineio::notice(std::string(kNoticePrefix) + std::string(name.substr(0, end + 1)) + ": " +
                 lineio::describe_error(code));
}

// Asks for a file until one opens; a failure shows the message and the whole name as read.
// A name longer than the answer holds is refused rather than opened under its first part,
// which would be another file.
void ask_file(std::string_view question, NameText& name, std::int32_t unit, std::int32_t status,
              std::string_view failure_message) {
  std::string line;
  for (;;) {
    PROMPT(kConsoleOut, question);
    lineio::read_whole_line(kConsoleIn, line);
    name.fill(' ');
    std::copy_n(line.begin(), lineio::bytes_of_characters(line, kTextLength), name.begin());
    const std::size_t characters = lineio::character_count(line);
    if (characters > kTextLength) {
      lineio::put(kConsoleOut, Line().lit(failure_message).lit(view(name)));
      lineio::notice(std::string(kNoticePrefix) + "a file name of " + std::to_string(characters) +
                     " characters is longer than the " + std::to_string(kTextLength) +
                     " an answer holds");
      continue;
    }
    const std::int32_t flag = open_named(view(name), unit, status);
    if (flag == 0) return;
    lineio::put(kConsoleOut, Line().lit(failure_message).lit(view(name)));
    explain_refusal(view(name), flag, status == 2);
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

  // 5 to 7: the ranges. A minimum above the maximum is kept as given.
  for (std::size_t axis = 0; axis < 3; ++axis) {
    s.min[axis] = kDefaultMin;
    s.max[axis] = kDefaultMax;
    PROMPT(kConsoleOut, kAskSkip[axis]);
    lineio::read_text(kConsoleIn, s.answer);
    if (blank_only(s.answer)) continue;
    kit::UPCASE(s.answer);
    if (s.answer[0] != 'Y') continue;
    PROMPT(kConsoleOut, kAskRange[axis]);
    std::array<double, 2> bounds{s.min[axis], s.max[axis]};
    lineio::read_reals(kConsoleIn, bounds);
    s.min[axis] = bounds[0];
    s.max[axis] = bounds[1];
  }
}

}  // namespace kel2fram
