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
  // The first SIN or COS whose argument holds no PI and lies beyond 2 pi in magnitude, as an
  // angle in degrees would: its PRCLIN position, its argument, and its value in radians (as
  // read) and with the argument taken as degrees.
  std::int32_t degrees_at = 0;  // 0: none
  double argument = 0.0;
  double in_radians = 0.0;
  double in_degrees = 0.0;
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

// An empty cell of a tab-separated line: on a line whose items are separated by tabs alone
// (no blank, no comma), one tab at least once and two or more tabs with nothing between them
// before the fourth item. Answers the 0-based index of the item after the first such run of
// tabs, and in `column` the 1-based column of its second tab; npos when there is none. The
// line is a raw line, tabs as written.
std::size_t empty_cell_at(std::string_view line, std::size_t& column);

// Whether a field is two or more numbers joined by "-" as a negative number in fixed columns
// touches the one before: [sign] number { "-" number }, every number digits, a point, digits
// and an optional exponent, all with the same count of decimals.
bool joined_numbers(std::string_view field);

// The first numbers of lines that hold more than a weight line's numbers: whether they count
// up by one as item numbers do, for at least kItemRun lines in a row. Lines whose last number
// counts up as well are taken as item numbers after the coordinates and break the run.
class ItemNumbers {
 public:
  static constexpr std::int64_t kItemRun = 3;
  struct Run {
    std::int32_t first_line = 0;
    std::int32_t last_line = 0;
    double first_number = 0.0;
    double last_number = 0.0;
    std::int64_t lines = 0;
  };
  // Takes the next such line: its number, whether its first number is whole, its first and
  // last numbers. Answers true when a run of kItemRun lines or more ended before this line,
  // which is then in `ended`.
  bool add(std::int32_t line, bool whole, double first, double last, Run& ended);
  // Ends the list: answers true with the run still open, when it is long enough.
  bool finish(Run& ended);

 private:
  Run run_;
  double last_of_previous_ = 0.0;
};

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
  // a division by zero, a comma between two digits, characters beyond the line length, an
  // empty cell between two tabs, two numbers joined by a minus, a SIN or COS of degrees, item
  // numbers read as masses, the reasons for refused lines (a rejected line is counted as such,
  // so these are not counted as warnings).
  enum Kind : std::size_t {
    kOrder,
    kZeroDivision,
    kComma,
    kBeyondLine,
    kEmptyCell,
    kJoined,
    kDegrees,
    kItemNumbers,
    kReason,
    kKinds
  };

  // Starts afresh: `prefix` begins every line ("kel2fram: "), `file` names the list read.
  void start(std::string_view prefix, std::string_view file = {});
  void name_file(std::string_view file) { file_ = file; }
  // Looks at the line RDMIX has just read into NPAR fields. A plain line of at most four
  // numbers, within the line length and without a comma right after a number, cannot surprise
  // and is passed at once.
  void check_line(std::int32_t NPAR, std::span<const std::int32_t> ITYPE,
                  std::span<const double> VALUE) {
    const ReaderState& s = RDSTATE;
    if (s.LPLAIN && !s.LCOMMA && !s.LTAB && s.ITAIL == 0 && NPAR <= kWeightLineNumbers) return;
    check_unusual_line(NPAR, ITYPE, VALUE);
  }
  // Tells why RDMIX's line of NPAR fields is refused: the first text field, what it holds
  // and in which column (a word; a character that cannot be seen or does not belong in a
  // number); a list whose lines end with CR alone is told once, for its first line.
  void explain_refused_line(std::int32_t NPAR, std::span<const std::int32_t> ITYPE);
  // At the end of the list (RDMIX gave -1): a last record that holds a CR alone, as a list
  // whose lines end so, all read as one record, that may even be one comment line.
  void check_list_end();
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
  void check_empty_cell(std::int32_t NPAR, std::span<const double> VALUE);
  void check_joined(const Item& field, double value);
  void check_degrees(const Item& field, const TwoReadings& two);
  void check_item_numbers(std::int32_t NPAR, std::span<const std::int32_t> ITYPE,
                          std::span<const double> VALUE);
  void tell_item_run(const detail::ItemNumbers::Run& run);
  // Counts a finding; answers whether it is still to be shown.
  bool counted(Kind kind);
  void tell_line(std::string_view text) const;
  void tell_line(std::int32_t line, std::string_view text) const;

  std::string prefix_;
  std::string file_;
  std::array<std::int64_t, kKinds> counts_{};
  LineTally extra_numbers_;
  detail::ItemNumbers item_numbers_;
  bool lone_cr_told_ = false;
  std::array<Item, kMaxLine / 2 + 2> items_{};
};

}  // namespace kit
