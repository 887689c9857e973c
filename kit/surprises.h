// KIT: readings an engineer would not expect. The reader's rules stay as they always were;
// these checks look at the line RDMIX has just read and at the fields it found, change
// nothing, and tell on standard error where a line reads otherwise than it looks.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kit/kit.h"

namespace kit {

// The numbers of a weight line: the mass and its X, Y and Z. Further numbers are not used.
inline constexpr std::int32_t kWeightLineNumbers = 4;

// A field of numbers and operators read two ways.
struct TwoReadings {
  bool ok = false;             // the field is an expression the reader accepts
  double read = 0.0;           // the reader's value: strictly left to right, a leading sign last
  double usual = 0.0;          // powers first and right to left, then * and /, then + and -, a
                               // leading sign on the first term only
  bool zero_division = false;  // a divisor was zero, and the reader went on with 0
  bool sign_applies_last = false;  // a leading minus stands before a + or a - (also inside
                                   // a function's argument)
  bool order_matters = false;      // an operator binds tighter than the one before it, or a
                                   // power follows a power
};

// Reads the field at PRCLIN positions first..last, one that RDREAL accepts, both ways. The
// operands are taken by the reader's own UNSNUM, and a zero divisor gives 0 in both readings.
// The reader state is left as it was.
TwoReadings read_both_ways(std::int32_t first, std::int32_t last);

// Whether two readings give different numbers; -0 and +0 are one number, and so are two NaNs.
bool readings_differ(double a, double b);

// A number as the shortest text that reads back as the same double ("-5", "0.1", "1e+35").
std::string shortest_number(double value);
// Text from a list or an answer in double quotes for a message: cut after 40 characters, and
// what is not printable ASCII shown as "?".
std::string quoted_text(std::string_view text);

// Whether a line reads a comma as a separator where it looks like a decimal comma or a
// thousands separator: a comma directly between two digits, on a line where two other items
// stand apart by blanks or tabs alone. Items are separated as numbers are: by blanks and tabs
// with at most one comma among them, or by one comma.
bool has_decimal_comma(std::string_view line);

namespace detail {

// An item of a line as numbers are separated, and the gap after it.
struct LineItem {
  enum class Gap : std::uint8_t { kEnd, kBlanks, kComma, kLoneComma };
  std::size_t begin = 0;  // 0-based positions in the line
  std::size_t end = 0;
  Gap after = Gap::kEnd;  // blanks and tabs alone; with one comma; one comma alone; none
};

// Cuts a line into at most items.size() items; answers how many it found.
std::size_t split_items(std::string_view line, std::span<LineItem> items);

// The first of the items that a comma directly between two digits separates from the next one,
// on a line where two other items stand apart by blanks alone; npos when there is none.
std::size_t decimal_comma_at(std::string_view line, std::span<const LineItem> items);

}  // namespace detail

// A count of lines with the first few of their numbers.
class LineTally {
 public:
  static constexpr std::size_t kListed = 5;
  void add(std::int32_t line);
  std::int64_t count() const { return count_; }
  // "line 3" or "lines 3, 9, 12, 15, 20, ..."
  std::string listed() const;

 private:
  std::int64_t count_ = 0;
  std::array<std::int32_t, kListed> first_{};
};

// What was found surprising, told on standard error one line each: the program's prefix, the
// file and the line number an editor shows (records counted from the first, comments and blank
// lines included), the field as written, how it reads and how it would usually read. Of each
// kind at most kShownPerKind lines are shown; finish() sums up the rest.
class SurpriseLog {
 public:
  static constexpr std::int64_t kShownPerKind = 10;
  // What is told line by line: an expression read otherwise than under the usual precedence,
  // a division by zero, a comma between two digits, characters beyond the line length; and the
  // program's own findings.
  enum Kind : std::size_t { kOrder, kZeroDivision, kComma, kBeyondLine, kOwn, kKinds };

  // Starts afresh: `prefix` begins every line ("kel2fram: "), `file` names the list read.
  void start(std::string_view prefix, std::string_view file = {});
  void name_file(std::string_view file) { file_ = file; }
  // Looks at the line RDMIX has just read into NPAR fields. A plain line of at most four
  // numbers, within the line length and without a comma right after a number, cannot surprise
  // and is passed at once.
  void check_line(std::int32_t NPAR, std::span<const std::int32_t> ITYPE,
                  std::span<const double> VALUE) {
    const ReaderState& s = RDSTATE;
    if (s.LPLAIN && !s.LCOMMA && s.ITAIL == 0 && NPAR <= kWeightLineNumbers) return;
    check_unusual_line(NPAR, ITYPE, VALUE);
  }
  // Tells a finding of the program's own (a dialogue answer, a total), without a line number.
  void tell(std::string_view text);
  // Sums up what was not shown, and the lines with more numbers than a weight line uses.
  void finish();
  // Every surprising reading found, shown or not; those of one kind.
  std::int64_t count() const;
  std::int64_t count(Kind kind) const;

 private:
  using Item = detail::LineItem;

  // Kept out of line: the caller's loop over the lines stays small.
  [[gnu::noinline]] void check_unusual_line(std::int32_t NPAR, std::span<const std::int32_t> ITYPE,
                                            std::span<const double> VALUE);
  void check_expression(const Item& field, double value);
  void check_comma(std::string_view line, std::span<const Item> fields,
                   std::span<const double> values);
  void check_beyond_line(std::span<const Item> fields, bool line_goes_on, double last_value);
  // Counts a finding; answers whether it is still to be shown.
  bool counted(Kind kind);
  void tell_line(std::string_view text) const;

  std::string prefix_;
  std::string file_;
  std::array<std::int64_t, kKinds> counts_{};
  LineTally extra_numbers_;
  std::array<Item, kMaxLine / 2 + 2> items_{};
};

}  // namespace kit
