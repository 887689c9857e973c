// A weight list read for massplot through kel2fram's reader and processing.
#include "programs/weight_list.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "terminal/console.h"

namespace massplot {
namespace {

using kel2fram::Question;

constexpr std::array<std::string_view, 3> kAxes{"X", "Y", "Z"};
constexpr std::int64_t kMostNotices = 100;

// The processing's console lines (its notice and the rejected lines by their counters) are not
// massplot's: its standard output may be the picture. Rejected lines are told on standard
// error by the lines an editor shows instead.
class Discard final : public lineio::ByteSink {
 public:
  int write(std::span<const char> /*bytes*/) override { return 0; }
};

bool given(const kel2fram::Answers& answers, Question q) {
  return answers[q].has_value() && !answers[q]->empty();
}

std::string shown(double value) {
  std::array<char, 32> digits{};
  const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  return {digits.data(), r.ptr};
}

}  // namespace

void Notices::name_rows(std::string_view sheet) {
  rows_ = true;
  sheet_ = sheet;
}

void Notices::skipped(std::int64_t line_number, std::string_view reason) {
  if (++count_ > kMostNotices) return;
  const auto shown_reason = static_cast<int>(reason.size());
  if (!rows_) {
    std::fprintf(stderr, "massplot: %s:%lld: %.*s\n", file_.c_str(),
                 static_cast<long long>(line_number), shown_reason, reason.data());
  } else {
    std::fprintf(stderr, "massplot: %s: row %lld%s%s: %.*s\n", file_.c_str(),
                 static_cast<long long>(line_number), sheet_.empty() ? "" : " of sheet ",
                 sheet_.c_str(), shown_reason, reason.data());
  }
}

void Notices::finish() const {
  if (count_ > kMostNotices) {
    std::fprintf(stderr, "massplot: %s: %lld more %s skipped\n", file_.c_str(),
                 static_cast<long long>(count_ - kMostNotices), rows_ ? "rows" : "records");
  }
}

void bind_quiet_console() {
  static lineio::MemorySource no_answers("");
  static Discard discarded;
  lineio::bind_console(no_answers, discarded, false);
}

// "weight list, masses in tonnes, X from -100 to 100".
std::string describe_reading(std::string what, const kel2fram::RunSettings& s,
                             const kel2fram::Totals& totals) {
  std::string text = std::move(what);
  for (std::size_t axis = 0; axis < 3; ++axis) {
    if (s.min[axis] == kel2fram::kDefaultMin && s.max[axis] == kel2fram::kDefaultMax) continue;
    text += ", ";
    text += kAxes[axis];
    text += " from " + shown(s.min[axis]) + " to " + shown(s.max[axis]);
  }
  if (totals.skipped > 0) {
    text += "; " + std::to_string(totals.skipped) +
            (totals.skipped == 1 ? " mass outside the ranges left out"
                                 : " masses outside the ranges left out");
  }
  return text;
}

void add_masses(const kel2fram::MassTable& table, std::span<const std::int32_t> places,
                plot::MassList& list, plot::RecordNotice& notice) {
  const auto drawn = [](double v) {
    return std::isfinite(v) && std::fabs(v) <= plot::kLargestDrawn;
  };
  list.masses.reserve(list.masses.size() + table.size());
  for (std::size_t k = 0; k < table.size(); ++k) {
    const kel2fram::MassEntry& e = table[k];
    ++list.records;
    if (!drawn(e.mass) || !drawn(e.x) || !drawn(e.y) || !drawn(e.z)) {
      ++list.not_drawn;
      notice.skipped(places[k],
                     "a mass or coordinate that is not finite or beyond 1e300, not drawn");
      continue;
    }
    list.masses.push_back({e.x, e.y, e.z, e.mass, places[k], 0});
  }
}

bool list_options_given(const kel2fram::Answers& answers) {
  return given(answers, Question::unit) || given(answers, Question::spread) ||
         given(answers, Question::skip_x) || given(answers, Question::skip_y) ||
         given(answers, Question::skip_z);
}

kel2fram::RunSettings settings_from(const kel2fram::CommandLine& command) {
  const kel2fram::Answers& answers = command.answers;
  kel2fram::RunSettings s;
  s.table = command.settings.table;
  s.columns = command.settings.columns;
  s.sheet_name = command.settings.sheet_name;
  // As the dialogue takes them: only an answer beginning with K (either case) is kilograms.
  if (given(answers, Question::unit)) {
    s.unit_answered = true;
    std::string word = *answers[Question::unit];
    kit::UPCASE(word);
    if (word.front() == 'K') s.unit = kel2fram::MassUnit::kg;
  }
  s.unit_factor = s.unit == kel2fram::MassUnit::kg ? 1.0 : 1000.0;
  // The options' values were checked when they were read.
  if (given(answers, Question::spread)) {
    s.spread = lineio::read_integer(*answers[Question::spread], s.spread, kel2fram::kConsoleIn);
  }
  constexpr std::array<Question, 3> kRanges{Question::range_x, Question::range_y,
                                            Question::range_z};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    if (!given(answers, kRanges[axis])) continue;
    std::array<double, 2> bounds{s.min[axis], s.max[axis]};
    lineio::read_reals_in(*answers[kRanges[axis]], bounds, kel2fram::kConsoleIn);
    s.min[axis] = bounds[0];
    s.max[axis] = bounds[1];
  }
  return s;
}

std::string read_weight_list(const std::string& path, const kel2fram::RunSettings& given_settings,
                             plot::MassList& list, plot::RecordNotice& notice,
                             std::string& source) {
  kel2fram::RunSettings s = given_settings;
  if (path.size() > s.input_name.size()) return "the file's name is too long for the reader";
  s.input_name.fill(' ');
  std::copy(path.begin(), path.end(), s.input_name.begin());

  bind_quiet_console();
  kit::reset_reader();
  std::int32_t flag = 0;
  kit::OPNFIL(path, kel2fram::kInputUnit, 2, 10, 1, 0, 0, -1, -kel2fram::kConsoleOut, flag);
  if (flag != 0) {
    terminal::bind_standard_console();
    return "cannot be opened";
  }
  kit::SurpriseLog& log = kel2fram::surprise_log();
  log.start("massplot: ");
  kel2fram::MassTable table;
  kel2fram::Totals totals;
  std::vector<std::int32_t> lines;
  kel2fram::Processed result = kel2fram::Processed::reader_failed;
  std::string problem;
  try {
    result = kel2fram::process_weight_data(s, table, totals, &lines);
  } catch (const lineio::TransferFailure&) {
    // A read failure the reader reports to the output unit, which massplot does not have.
    result = kel2fram::Processed::reader_failed;
  } catch (const lineio::StopRun&) {
    result = kel2fram::Processed::reader_failed;
  }
  if (result == kel2fram::Processed::reader_failed)
    problem = lineio::text_problem(kel2fram::kInputUnit);
  lineio::discard_unit(kel2fram::kInputUnit);
  terminal::bind_standard_console();
  log.finish();
  if (totals.rejected.count() > 0) {
    const std::string listed = totals.rejected.listed();
    std::fprintf(stderr,
                 "massplot: %s: %lld %s left out, as kel2fram leaves them out (a word, or fewer "
                 "than four numbers): %s\n",
                 path.c_str(), static_cast<long long>(totals.rejected.count()),
                 totals.rejected.count() == 1 ? "line" : "lines", listed.c_str());
  }
  switch (result) {
    case kel2fram::Processed::reader_failed:
      return problem.empty() ? "the weight list could not be read to its end" : problem;
    case kel2fram::Processed::nothing_kept:
      return totals.lines == 0     ? "no mass kept: the weight list has no line with mass data"
             : totals.skipped == 0 ? "no mass kept: every line of the weight list was rejected"
                                   : "no mass kept: every mass lies outside the ranges";
    case kel2fram::Processed::kept:
      break;
  }
  add_masses(table, lines, list, notice);
  source = describe_reading(s.unit == kel2fram::MassUnit::kg ? "weight list, masses in kg"
                                                             : "weight list, masses in tonnes",
                            s, totals);
  return {};
}

}  // namespace massplot
