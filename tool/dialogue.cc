// The console dialogue: banner, the seven questions, and the opening of both files.
#include "tool/dialogue.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string>
#include <string_view>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "os/platform.h"
#include "sheet/sheet.h"
#include "terminal/console.h"
#include "tool/report.h"
#include "tool/run.h"
#include "tool/warnings.h"

namespace tool {
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

// The questions' names, in Question order: a terminal recalls earlier answers per name.
constexpr std::array<std::string_view, kQuestionCount> kQuestionName = {
    "weight-list", "output", "unit",    "spread", "skip-x",
    "range-x",     "skip-y", "range-y", "skip-z", "range-z",
};

// Console lines read as answers so far in this dialogue: the line an answer stands on in a
// file of answers.
std::int64_t answer_lines = 0;

std::string_view name_of(Question q) {
  return kQuestionName[static_cast<std::size_t>(q)];
}
Question skip_question(std::size_t axis) {
  return static_cast<Question>(static_cast<std::size_t>(Question::skip_x) + 2 * axis);
}
Question range_question(std::size_t axis) {
  return static_cast<Question>(static_cast<std::size_t>(Question::range_x) + 2 * axis);
}

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

// The name as typed, without the blanks that pad it.
std::string_view typed_name(const NameText& name) {
  return trimmed(view(name));
}

// The answer to a question whose prompt stands on the console: the one given beforehand,
// shown after the prompt as a typed answer would be (a control character in it escaped, so
// that it never breaks the console's line), or the console's next line, into text as
// lineio::read_text takes it. Answers whether it was given.
bool take_answer(const Answers& answers, Question q, std::span<char> text) {
  if (const std::optional<std::string>& given = answers[q]) {
    lineio::put_line(kConsoleOut, lineio::escape_controls(*given));
    const std::size_t n = std::min(given->size(), text.size());
    std::copy_n(given->begin(), n, text.begin());
    std::fill(text.begin() + static_cast<std::ptrdiff_t>(n), text.end(), ' ');
    return true;
  }
  terminal::next_line_answers(name_of(q), false);
  lineio::read_text(kConsoleIn, text);
  ++answer_lines;
  return false;
}

// As take_answer, for an answer of any length (a file name, a range).
bool take_line(const Answers& answers, Question q, std::string& line) {
  if (const std::optional<std::string>& given = answers[q]) {
    lineio::put_line(kConsoleOut, lineio::escape_controls(*given));
    line = *given;
    return true;
  }
  terminal::next_line_answers(name_of(q), q == Question::input || q == Question::output);
  lineio::read_whole_line(kConsoleIn, line);
  ++answer_lines;
  return false;
}

// A piped answer that ends the run: the last line on standard error names it, its line in
// the answers and what the question expects (the console shows the reading's error line).
[[noreturn]] void end_on_answer(std::string_view answer, std::string_view asked,
                                std::string_view expected) {
  lineio::notice(std::string(kNoticePrefix) + "answer line " + std::to_string(answer_lines) + ", " +
                 kit::quoted_text(answer) + ", is no " + std::string(asked) + ": " +
                 std::string(expected));
  throw;  // the reading's failure, as it was
}

// Opens a named file on a unit silently; answers the error flag.
std::int32_t open_named(std::string_view name, std::int32_t unit, std::int32_t status) {
  std::int32_t flag = 0;
  kit::OPNFIL(name, unit, status, 10, 1, 0, 0, -1, -kConsoleOut, flag);
  return flag;
}

// Opens an answer's file. A name in one pair of " or ' (as a file manager's "copy as path"
// gives it) that cannot be opened as typed is tried once more without them, and then holds
// the name opened; a file whose name really holds the quotes comes first. An output file is
// made under the quoted name only when a file of that name exists already.
std::int32_t open_answer(NameText& name, std::int32_t unit, std::int32_t status) {
  const std::string_view typed = typed_name(name);
  const bool quoted = typed.size() > 2 && (typed.front() == '"' || typed.front() == '\'') &&
                      typed.back() == typed.front();
  if (!quoted) return open_named(view(name), unit, status);
  const bool creates = status != 2;
  if (!creates || open_named(view(name), unit, 2) == 0) {
    const std::int32_t flag = open_named(view(name), unit, status);
    if (flag == 0 || creates) return flag;
  }
  NameText bare;
  bare.fill(' ');
  std::copy(typed.begin() + 1, typed.end() - 1, bare.begin());
  const std::int32_t flag = open_named(view(bare), unit, status);
  if (flag == 0) name = bare;
  return flag;
}

// Why a file did not open, for standard error; empty for a missing input file typed in the
// dialogue, which the console's message itself says.
std::string refusal_reason(std::int32_t flag, bool must_exist) {
  const int code = -flag;
  if (flag >= 0 || code >= 900) return "cannot be opened";
  if (must_exist && code == ENOENT) return {};
  return lineio::describe_error(code);
}

// A typed name that did not open: its reason on standard error beside the console's message.
void explain_refusal(const NameText& name, std::int32_t flag, bool must_exist) {
  const std::string shown = lineio::escape_controls(typed_name(name));
  if (shown.empty()) {
    lineio::notice(std::string(kNoticePrefix) + "the answer names no file");
    return;
  }
  const std::string reason = refusal_reason(flag, must_exist);
  if (reason.empty()) return;
  lineio::notice(std::string(kNoticePrefix) + shown + ": " + reason);
}

// The console's line for a file that did not open: the message and the whole name as read,
// a control character in it shown escaped so that the name never breaks the line.
void show_refusal(std::string_view failure_message, const NameText& name) {
  lineio::put(kConsoleOut, Line().lit(failure_message).lit(lineio::escape_controls(view(name))));
}

// Why an output file that opened is refused all the same, empty when it is not: the weight
// list itself (also through a link or a hard link), whose records would replace it, or a
// workbook or any zip container (by its content), a name most likely meant for the weight
// list or completed from it.
std::string_view refused_output(const NameText& output, const NameText& input) {
  if (os::same_file(typed_name(output), typed_name(input))) {
    return "is the weight list; it is not overwritten by its records";
  }
  if (sheet::is_zip_container(typed_name(output))) {
    return "is a workbook or another zip container; it is not overwritten by records";
  }
  return {};
}

// A file named on the command line that cannot be opened is not asked for again: the run
// ends, so that a script is not left at the question.
[[noreturn]] void end_for_named_file(const NameText& name, std::int32_t flag) {
  std::string reason = refusal_reason(flag, false);
  lineio::notice(std::string(kNoticePrefix) + lineio::escape_controls(typed_name(name)) + ": " +
                 reason + " (named on the command line, so not asked for again)");
  throw lineio::StopRun{exit_code(Status::failed)};
}

// A file asked for again in piped answers: the answer that opened is counted as a warning,
// since every later answer then answers the question after the one it was written for.
void tell_answer_taken(Question q, std::string_view missed, std::int64_t missed_line,
                       std::string_view taken) {
  const std::string_view role = q == Question::input ? "weight list" : "output file";
  warnings().tell(std::string(role) + " " + kit::quoted_text(missed) + " (answer line " +
                  std::to_string(missed_line) + ") could not be opened, so answer line " +
                  std::to_string(answer_lines) + ", " + kit::quoted_text(taken) +
                  ", was taken as the " + std::string(role) +
                  ": each later answer moves up one question");
}

// Asks for a file until one opens; a failure shows the message and the whole name as read.
// A name longer than the answer holds is refused rather than opened under its first part,
// which would be another file.
// A name given on the command line is taken as given: one that ends in blanks, which an
// answer's padding would drop (and so name another file), ends the run. The output file may
// not be the weight list (`input`, when given).
void ask_file(const Answers& answers, Question q, std::string_view question, NameText& name,
              std::int32_t unit, std::int32_t status, std::string_view failure_message,
              const NameText* input = nullptr) {
  std::string line;
  // The first name of piped answers that did not open, and its line: the answer that opens
  // then is one meant for a later question.
  std::string missed;
  std::int64_t missed_line = 0;
  for (;;) {
    PROMPT(kConsoleOut, question);
    const bool given = take_line(answers, q, line);
    name.fill(' ');
    std::copy_n(line.begin(), lineio::bytes_of_characters(line, kTextLength), name.begin());
    const std::size_t characters = lineio::character_count(line);
    if (given && line.ends_with(' ')) {
      show_refusal(failure_message, name);
      lineio::notice(std::string(kNoticePrefix) + "\"" + lineio::escape_controls(line) +
                     "\": a file name that ends in blanks is not taken from the command line");
      throw lineio::StopRun{exit_code(Status::failed)};
    }
    if (characters > kTextLength) {
      show_refusal(failure_message, name);
      lineio::notice(std::string(kNoticePrefix) + "a file name of " + std::to_string(characters) +
                     " characters is longer than the " + std::to_string(kTextLength) +
                     " an answer holds");
      if (given) throw lineio::StopRun{exit_code(Status::failed)};
      continue;
    }
    const std::int32_t flag = open_answer(name, unit, status);
    if (const std::string_view refused =
            flag == 0 && input != nullptr ? refused_output(name, *input) : std::string_view();
        !refused.empty()) {
      lineio::discard_unit(unit);
      show_refusal(failure_message, name);
      lineio::notice(std::string(kNoticePrefix) + lineio::escape_controls(typed_name(name)) + ": " +
                     std::string(refused));
      if (given) throw lineio::StopRun{exit_code(Status::failed)};
      continue;
    }
    if (flag == 0) {
      if (!missed.empty()) tell_answer_taken(q, missed, missed_line, typed_name(name));
      return;
    }
    show_refusal(failure_message, name);
    if (given) end_for_named_file(name, flag);
    explain_refusal(name, flag, status == 2);
    if (missed.empty() && !lineio::answers_typed()) {
      missed = typed_name(name);
      missed_line = answer_lines;
    }
  }
}

// The spread count. Typed at a terminal, an answer that is not a whole number is a slip: the
// dialogue's error line and the question again. Otherwise it ends the run, so that a script
// never goes on with its answers shifted.
void ask_spread(const Answers& answers, RunSettings& s) {
  for (;;) {
    s.spread = 1;
    PROMPT(kConsoleOut, kAskSpread);
    const bool given = take_answer(answers, Question::spread, s.answer);
    if (blank_only(s.answer)) return;
    try {
      s.spread = lineio::read_integer(view(s.answer), s.spread, kConsoleIn);
      return;
    } catch (const lineio::TransferFailure& slip) {
      if (given) throw;
      if (!lineio::answers_typed()) {
        end_on_answer(trimmed(view(s.answer)), "spread count",
                      "give a whole number, such as 1, or an empty line for 1");
      }
      lineio::put_line(kConsoleOut, slip.what());
    }
  }
}

// The bounds of one axis, the minimum first. Piped answers are read on over further lines
// while a bound is missing. Typed at a terminal, a line that does not hold two numbers is a
// slip: the dialogue's error line (or a line on standard error when a bound is missing) and
// the request again.
void ask_range(const Answers& answers, std::size_t axis, RunSettings& s) {
  const Question q = range_question(axis);
  for (;;) {
    PROMPT(kConsoleOut, kAskRange[axis]);
    std::array<double, 2> bounds{s.min[axis], s.max[axis]};
    if (!answers[q] && !lineio::answers_typed()) {
      terminal::next_line_answers(name_of(q), false);
      std::string typed;
      try {
        lineio::read_reals(kConsoleIn, bounds, &typed);
      } catch (const lineio::TransferFailure&) {
        if (typed.empty()) throw;  // the answers ended
        answer_lines += std::count(typed.begin(), typed.end(), '\n');
        typed.pop_back();
        end_on_answer(typed.substr(typed.rfind('\n') + 1), std::string(kAxisName[axis]) + " range",
                      "give two numbers, the minimum first, such as 0 100");
      }
      answer_lines += std::count(typed.begin(), typed.end(), '\n');
      check_range_answer(axis, typed, bounds);
    } else {
      std::string line;
      const bool given = take_line(answers, q, line);
      try {
        if (lineio::read_reals_in(line, bounds, kConsoleIn) < bounds.size() && !given) {
          lineio::notice(std::string(kNoticePrefix) + "the " + std::string(kAxisName[axis]) +
                         " range needs its two bounds on one line, the minimum first");
          continue;
        }
      } catch (const lineio::TransferFailure& slip) {
        if (given) throw;
        lineio::put_line(kConsoleOut, slip.what());
        continue;
      }
      check_range_answer(axis, line + '\n', bounds);
    }
    s.min[axis] = bounds[0];
    s.max[axis] = bounds[1];
    return;
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

void run_dialogue(RunSettings& s, const Answers& answers) {
  answer_lines = 0;
  // 1 and 2: the files. The input must exist; the output is created when absent. An output
  // file that cannot be opened is asked for again rather than written nowhere.
  ask_file(answers, Question::input, kAskInput, s.input_name, kInputUnit, 2, kNonexisting);
  ask_file(answers, Question::output, kAskOutput, s.output_name, kOutputUnit, 1, kCannotWrite,
           &s.input_name);

  // 3: the mass unit; only an answer beginning with K (either case) selects kilograms.
  PROMPT(kConsoleOut, kAskUnit);
  take_answer(answers, Question::unit, s.answer);
  check_unit_answer(s.answer);
  s.unit_answered = !blank_only(s.answer);
  s.unit = unit_of_answer(view(s.answer));
  s.unit_factor = unit_factor_of(s.unit);

  // 4: the spread count, taken as given.
  ask_spread(answers, s);
  check_spread_answer(s.spread);

  // 5 to 7: the ranges. A minimum above the maximum is kept as given.
  for (std::size_t axis = 0; axis < 3; ++axis) {
    s.min[axis] = kDefaultMin;
    s.max[axis] = kDefaultMax;
    PROMPT(kConsoleOut, kAskSkip[axis]);
    take_answer(answers, skip_question(axis), s.answer);
    check_skip_answer(axis, s.answer);
    if (blank_only(s.answer)) continue;
    kit::UPCASE(s.answer);
    if (s.answer[0] != 'Y') continue;
    ask_range(answers, axis, s);
  }
}

}  // namespace tool
