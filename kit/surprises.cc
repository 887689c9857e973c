// The checks of surprising readings: what a weight line holds that reads otherwise than it
// looks, told on standard error, floods summed up.
#include "kit/surprises.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kit/fields.h"
#include "kit/kit.h"
#include "kit/reader_access.h"
#include "lineio/lineio.h"

namespace kit {

namespace detail {
namespace {

bool is_blank_char(char c) {
  return c == ' ' || c == '\t';
}
// Blanks, tabs and commas end an item: one look-up per character.
constexpr std::array<bool, 256> kEndsItem = [] {
  std::array<bool, 256> ends{};
  ends[' '] = ends['\t'] = ends[','] = true;
  return ends;
}();
bool ends_item(char c) {
  return kEndsItem[static_cast<unsigned char>(c)];
}
}  // namespace

std::size_t split_items(std::string_view line, std::span<LineItem> items) {
  std::size_t p = 0;
  while (p < line.size() && is_blank_char(line[p])) ++p;
  std::size_t n = 0;
  while (p < line.size() && n < items.size()) {
    LineItem& item = items[n++];
    item.begin = p;
    while (p < line.size() && !ends_item(line[p])) ++p;
    item.end = p;
    // The gap: blanks and tabs with at most one comma among them, or one comma. It always
    // takes a character, so that an empty item (",,") does not stop the cut.
    const std::size_t gap = p;
    bool comma = false;
    while (p < line.size() && is_blank_char(line[p])) ++p;
    if (p < line.size() && line[p] == ',') {
      comma = true;
      ++p;
      while (p < line.size() && is_blank_char(line[p])) ++p;
    }
    using Gap = LineItem::Gap;
    if (p == line.size()) {
      item.after = Gap::kEnd;
    } else if (!comma) {
      item.after = Gap::kBlanks;
    } else {
      item.after = p - gap == 1 ? Gap::kLoneComma : Gap::kComma;
    }
  }
  return n;
}

std::size_t decimal_comma_at(std::string_view line, std::span<const LineItem> items) {
  bool blanks_apart = false;
  std::size_t found = std::string_view::npos;
  for (std::size_t k = 0; k + 1 < items.size(); ++k) {
    const LineItem& item = items[k];
    const LineItem& next = items[k + 1];
    if (item.after == LineItem::Gap::kBlanks) {
      blanks_apart = true;
    } else if (item.after == LineItem::Gap::kLoneComma && found == std::string_view::npos &&
               item.end > item.begin && next.end > next.begin && is_digit(line[item.end - 1]) &&
               is_digit(line[next.begin])) {
      found = k;
    }
  }
  return blanks_apart ? found : std::string_view::npos;
}

}  // namespace detail

namespace {

using namespace detail;

constexpr std::size_t kShownLength = 40;             // longest text shown whole in a message
constexpr std::string_view kRemarkStarts = "!%*'#";  // a word beginning so ends a line's use

// Whether a numeric field can read otherwise under the usual precedence or divide by zero:
// it holds an operator (a "*" or "/", or a "+" or "-" after its first character that is not
// the sign of an exponent), and not only one that joins two numbers the same way in both
// readings (2.5*2, 10-3, -2*3; but not -2+3, nor a division, nor a function's argument).
bool needs_second_reading(std::string_view field) {
  int operators = 0;
  char last = '\0';
  for (std::size_t k = 1; k < field.size(); ++k) {
    const char c = field[k];
    if (c == '/' || c == '(') return true;
    if (c == '*') {
      if (field[k - 1] == '*') continue;  // the second "*" of a power
    } else if ((c != '+' && c != '-') || field[k - 1] == 'E') {
      continue;
    }
    ++operators;
    last = c;
  }
  if (operators == 0) return false;
  return operators > 1 || (field.front() == '-' && (last == '+' || last == '-'));
}

// Whether a processed line can hold a decimal comma (a comma directly between two digits, and
// a blank between its fields) or, with `expressions`, an expression (an operator inside a
// field: a "*" or "/", or a "+" or "-" after a character of its field other than the E of an
// exponent). Most lines of numbers hold neither and need not be cut into fields.
bool may_surprise(std::string_view line, bool expressions) {
  bool comma = false;
  bool blank = false;
  const std::size_t first = std::min(line.find_first_not_of(' '), line.size());
  for (std::size_t k = first + 1; k < line.size(); ++k) {
    const char c = line[k];
    const char before = line[k - 1];
    if (c == ',') {
      comma = comma || (k + 1 < line.size() && is_digit(before) && is_digit(line[k + 1]));
    } else if (c == ' ') {
      blank = true;
    } else if (expressions && (c == '*' || c == '/' ||
                               ((c == '+' || c == '-') && !ends_item(before) && before != 'E'))) {
      return true;
    }
  }
  return comma && blank;
}

// RAWLIN, the line as written, from 0-based position `begin` of the processed line on.
std::string_view as_written(std::size_t begin, std::size_t end) {
  return {RDSTATE.RAWLIN.data() + 1 + begin, end - begin};
}

// The usual reading of two numbers that a comma between two digits separates: a decimal
// comma (2,5 is 2.5), or a thousands separator before three digits and a decimal point
// (1,250.5 is 1250.5); three digits alone may be either. Empty when the two look like neither.
std::string usual_comma_reading(std::string_view left, std::string_view right) {
  const std::string_view digits = "0123456789";
  const std::string_view unsigned_left =
      left.starts_with('-') || left.starts_with('+') ? left.substr(1) : left;
  if (unsigned_left.find_first_not_of(digits) != std::string_view::npos) return {};
  const std::string joined = std::string(left) + std::string(right);
  const std::size_t right_digits = std::min(right.find_first_not_of(digits), right.size());
  if (right_digits == right.size()) {
    const std::string decimal = std::string(left) + "." + std::string(right);
    return right.size() == 3 && unsigned_left.size() <= 3 ? decimal + ", or " + joined : decimal;
  }
  return right_digits == 3 && right[3] == '.' ? joined : std::string();
}

// What finish() sums up of each kind of finding not shown, in Kind order.
constexpr std::array<std::string_view, SurpriseLog::kKinds> kRestOf = {
    "expressions that read otherwise under the usual precedence",
    "divisions by zero read as 0",
    "commas between two digits read as separators",
    "lines with characters beyond the columns read",
    "empty cells between two tabs",
    "numbers joined by a minus",
    "SIN or COS arguments that look like degrees",
    "runs of item numbers read as masses",
    "reasons for rejected lines",
};

}  // namespace

std::string shortest_number(double value) {
  std::array<char, 32> digits{};
  const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  return {digits.data(), r.ptr};
}

std::string quoted_text(std::string_view text) {
  std::string shown = "\"";
  for (std::size_t k = 0; k < text.size() && k < kShownLength; ++k) {
    const auto c = static_cast<unsigned char>(text[k]);
    shown += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
  }
  if (text.size() > kShownLength) shown += "...";
  shown += '"';
  return shown;
}

bool readings_differ(double a, double b) {
  return !(a == b) && !(std::isnan(a) && std::isnan(b));
}

bool has_decimal_comma(std::string_view line) {
  std::vector<LineItem> items(line.size() / 2 + 1);
  items.resize(split_items(line, items));
  return decimal_comma_at(line, items) != std::string_view::npos;
}

void LineTally::add(std::int32_t line) {
  if (count_ < static_cast<std::int64_t>(kListed)) first_[static_cast<std::size_t>(count_)] = line;
  ++count_;
}

std::string LineTally::listed() const {
  std::string text = count_ == 1 ? "line " : "lines ";
  const auto listed = static_cast<std::size_t>(std::min<std::int64_t>(count_, kListed));
  for (std::size_t k = 0; k < listed; ++k) {
    if (k > 0) text += ", ";
    text += std::to_string(first_[k]);
  }
  if (count_ > static_cast<std::int64_t>(kListed)) text += ", ...";
  return text;
}

void SurpriseLog::start(std::string_view prefix, std::string_view file) {
  prefix_ = prefix;
  file_ = file;
  counts_.fill(0);
  extra_numbers_ = LineTally{};
  item_numbers_ = detail::ItemNumbers{};
  lone_cr_told_ = false;
}

std::int64_t SurpriseLog::count() const {
  std::int64_t sum = extra_numbers_.count();
  for (std::size_t kind = 0; kind < kKinds; ++kind) {
    if (kind != kReason) sum += counts_[kind];
  }
  return sum;
}

std::int64_t SurpriseLog::count(Kind kind) const {
  return kind < kKinds ? counts_[kind] : 0;
}

bool SurpriseLog::counted(Kind kind) {
  return ++counts_[kind] <= kShownPerKind;
}

void SurpriseLog::tell_line(std::string_view text) const {
  tell_line(RDSTATE.NLINE, text);
}

void SurpriseLog::tell_line(std::int32_t line, std::string_view text) const {
  lineio::notice(prefix_ + file_ + ":" + std::to_string(line) + ": " + std::string(text));
}

void SurpriseLog::finish() {
  if (detail::ItemNumbers::Run run; item_numbers_.finish(run)) tell_item_run(run);
  for (std::size_t kind = 0; kind < kRestOf.size(); ++kind) {
    if (counts_[kind] > kShownPerKind) {
      lineio::notice(prefix_ + file_ + ": " + std::to_string(counts_[kind] - kShownPerKind) +
                     " more " + std::string(kRestOf[kind]) + ", not shown");
    }
  }
  if (extra_numbers_.count() > 0) {
    const std::string n = std::to_string(kWeightLineNumbers);
    lineio::notice(prefix_ + file_ + ": " + std::to_string(extra_numbers_.count()) +
                   (extra_numbers_.count() == 1 ? " line holds" : " lines hold") + " more than " +
                   n + " numbers (" + extra_numbers_.listed() + "): only the first " + n +
                   " are read, as the mass and its X, Y and Z");
  }
}

void SurpriseLog::check_unusual_line(std::int32_t NPAR, std::span<const std::int32_t> ITYPE,
                                     std::span<const double> VALUE) {
  const ReaderState& s = RDSTATE;
  // Only a line the program uses is looked at: one of at least four numbers and no word.
  if (NPAR < kWeightLineNumbers) return;
  const auto fields = static_cast<std::size_t>(NPAR);
  if (fields > ITYPE.size() || fields > VALUE.size() || fields >= items_.size()) return;
  for (std::size_t k = 0; k < fields; ++k) {
    if (ITYPE[k] != kInteger && ITYPE[k] != kReal) return;
  }
  // The processed line, PRCLIN positions 1..ILAST. Its fields are the first NPAR items; an
  // item after them is where RDMIX stopped, at a word that ends the line's use.
  const std::string_view line(s.PRCLIN.data() + 1,
                              static_cast<std::size_t>(std::clamp(s.ILAST, 0, kMaxLine)));
  if (NPAR > kWeightLineNumbers) {
    extra_numbers_.add(s.NLINE);
    check_item_numbers(NPAR, ITYPE, VALUE);
  }
  if (s.LTAB) check_empty_cell(NPAR, VALUE);
  if (s.ITAIL == 0 && !may_surprise(line, !s.LPLAIN)) return;
  const std::size_t found = split_items(line, std::span(items_).first(fields + 1));
  if (found < fields) return;  // not the line RDMIX read: nothing to say about it
  const std::span<const Item> items(items_.data(), fields);

  if (!s.LPLAIN) {
    for (std::size_t k = 0; k < fields; ++k) {
      if (ITYPE[k] == kReal) check_expression(items[k], VALUE[k]);
    }
  }
  check_comma(line, items, VALUE.first(fields));
  if (s.ITAIL != 0) check_beyond_line(items, found > fields, VALUE[fields - 1]);
}

void SurpriseLog::check_expression(const Item& field, double value) {
  const std::string_view text(RDSTATE.PRCLIN.data() + 1 + field.begin, field.end - field.begin);
  check_joined(field, value);
  if (!needs_second_reading(text)) return;
  const TwoReadings two = read_both_ways(static_cast<std::int32_t>(field.begin + 1),
                                         static_cast<std::int32_t>(field.end));
  if (!two.ok) return;
  check_degrees(field, two);
  const auto written = [&field] { return quoted_text(as_written(field.begin, field.end)); };
  if (readings_differ(value, two.usual) && counted(kOrder)) {
    std::string why;
    if (two.order_matters || !two.sign_applies_last) {
      why = "operators apply from left to right, without precedence";
    }
    if (two.sign_applies_last) {
      why += why.empty() ? "the" : ", and the";
      why += " leading sign applies to the whole field";
    }
    tell_line(written() + " reads as " + shortest_number(value) + ": " + why + " (usually " +
              shortest_number(two.usual) + ")");
  }
  if (two.zero_division && counted(kZeroDivision)) {
    tell_line(written() + " reads as " + shortest_number(value) +
              ": a division by zero gives 0 (usually an error)");
  }
}

void SurpriseLog::check_comma(std::string_view line, std::span<const Item> fields,
                              std::span<const double> values) {
  const std::size_t k = decimal_comma_at(line, fields);
  if (k == std::string_view::npos || !counted(kComma)) return;
  const Item& left = fields[k];
  const Item& right = fields[k + 1];
  const std::string usual =
      usual_comma_reading(as_written(left.begin, left.end), as_written(right.begin, right.end));
  tell_line(quoted_text(as_written(left.begin, right.end)) + " reads as two numbers, " +
            shortest_number(values[k]) + " and " + shortest_number(values[k + 1]) +
            ": a comma separates numbers" + (usual.empty() ? "" : " (usually " + usual + ")"));
}

void SurpriseLog::check_beyond_line(std::span<const Item> fields, bool line_goes_on,
                                    double last_value) {
  const ReaderState& s = RDSTATE;
  // A remark that began within the line runs on beyond it: after a "!", or after a word that
  // ended the line's use.
  if (line_goes_on) return;
  const std::int32_t nch = line_length();
  for (std::int32_t p = s.ILAST + 1; p <= nch; ++p) {
    if (raw_at(p) == '!') return;
  }
  const std::string_view tail(
      s.RAWTAIL.data(),
      std::min<std::size_t>(static_cast<std::size_t>(std::max(s.NTAIL, 0)), s.RAWTAIL.size()));
  if (tail.empty() || tail.front() == '!') return;
  const char at_end = raw_at(nch);
  const bool cut = s.ITAIL == nch + 1 && at_end != ' ' && at_end != '\t' && at_end != ',';
  if (!cut && kRemarkStarts.find(tail.front()) != std::string_view::npos) return;
  if (!counted(kBeyondLine)) return;
  // What stands there: up to the next blank, or for a field that was cut, to where it ends.
  const std::string_view rest =
      tail.substr(0, std::min(tail.find_first_of(cut ? " \t," : " \t"), tail.size()));
  const std::string columns = " (a line is read up to column " + std::to_string(nch) + " only)";
  if (cut) {
    const Item& field = fields.back();
    const std::string written = std::string(as_written(field.begin, field.end)) + std::string(rest);
    tell_line(quoted_text(written) + " is cut after column " + std::to_string(nch) +
              " and reads as " + shortest_number(last_value) + columns);
  } else {
    tell_line(quoted_text(rest) + " stands beyond column " + std::to_string(nch) +
              " and is not read" + columns);
  }
}

}  // namespace kit
