// Internal to sheet/: the cells every reader yields, row by row, and the reader that turns
// them into the rows of a table (heading, roles, values, reasons).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sheet/sheet.h"

namespace sheet::detail {

class TotalRules;

// Small readings of text shared by the files of the room.
inline char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
inline std::string_view trim(std::string_view text) {
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}
// The names of the roles in messages, in Role order.
inline constexpr std::array<std::string_view, kRoles> kRoleName = {"mass", "X", "Y", "Z"};

// Limits against hostile files: a sheet wider than a spreadsheet program allows, a cell or a
// single XML tag beyond what any weight list holds.
inline constexpr std::uint32_t kMaxColumns = 16384;     // A to XFD
inline constexpr std::size_t kMaxCellBytes = 32767;     // a spreadsheet cell's longest text
inline constexpr std::int64_t kMaxSheetRows = 1048576;  // a workbook sheet's last row
inline constexpr std::int64_t kHeadingSearchRows = 50;  // non-empty rows searched for headings

enum class CellKind {
  number,   // a stored number (or a formula's saved number)
  text,     // a text, also a formula's saved text
  error,    // an error value (#DIV/0!, #REF!, ...)
  boolean,  // TRUE or FALSE
  no_value  // a formula without a saved value
};

// One non-empty cell as a reader hands it on; its texts live until the call returns.
struct Cell {
  std::uint32_t column = 0;  // from 0
  CellKind kind = CellKind::text;
  double number = 0.0;
  std::string_view text;     // the text, the error's name, or the number as written
  std::string_view formula;  // the formula, when the cell holds one
  bool cut = false;          // the text was longer than kMaxCellBytes and is cut there
  bool unclosed = false;     // delimited text: a quote opened here is never closed
};

// A cell kept beyond the reader's call, its texts owned; view() hands it on as a Cell.
struct OwnedCell {
  std::uint32_t column = 0;
  CellKind kind = CellKind::text;
  double number = 0.0;
  std::string text;
  std::string formula;
  bool cut = false;
  Cell view() const { return Cell{column, kind, number, text, formula, cut}; }
};

// What each reader drives: rows in order, each with its non-empty cells in column order.
class CellSink {
 public:
  virtual ~CellSink() = default;
  virtual void begin_row(std::int64_t row, bool hidden) = 0;
  virtual void cell(const Cell& cell) = 0;
  // Answers false when the reading is to stop (the sink has what it needs, or refused).
  virtual bool end_row() = 0;
};

// The column letters of a column from 0: 0 "A", 25 "Z", 26 "AA".
std::string column_letters(std::uint32_t column);
// A column and its heading for a message: C ("Weight [t]").
std::string column_shown(std::uint32_t column, std::string_view text);
// The column of letters "A".."XFD" (either case); answers false for anything else.
bool column_of_letters(std::string_view letters, std::uint32_t& column);

// A heading cell's text read as a role and a unit.
struct HeadingMeaning {
  enum Kind {
    none,
    mass,
    x,
    y,
    z,
    unit_column,  // each row's mass unit
    centre,       // X, Y and Z written in one cell
    quantity,     // how many of the item
    unit_mass,    // the mass of one of them
  } kind = none;
  std::string unit;  // the unit written with it, lower case ("t", "mm"); empty for none
};
HeadingMeaning meaning_of_heading(std::string_view text);
// Whether a cell's text says its row sums others ("Total", "Subtotal", "Sum", ...).
bool is_total_label(std::string_view text);
// Whether a formula sums (SUM, SUBTOTAL, AGGREGATE) rather than computes one value.
bool is_sum_formula(std::string_view formula);

// A text cell read as a number: blanks around it allowed, an optional sign, digits with at
// most one decimal sign (a point, or with `decimal` ',' a point or a comma), an optional
// exponent. Answers false for anything else.
bool number_of_text(std::string_view text, char decimal, double& value);
// The same, with the digits as written: the value is mantissa times 10^exponent (exact when
// `exact`: no digit other than 0 beyond the first 19 was dropped).
struct ParsedNumber {
  double value = 0.0;
  std::uint64_t mantissa = 0;
  int exponent = 0;
  int significant = 0;  // digits in the mantissa
  int decimals = 0;     // written after the decimal sign; -1 with an exponent
  bool exact = false;
  bool negative = false;
};
bool parse_number(std::string_view text, char decimal, ParsedNumber& out);
// The three numbers of a centre written in one cell: "(120.5, -30.0, 455.0)", "120.5 -30 455",
// "[1; 2; 3]" (with `decimal` ',' the numbers may have decimal commas, and only blanks or
// semicolons separate them). Answers false for anything else.
bool centre_of_text(std::string_view text, char decimal, std::array<double, 3>& point);

// --columns parsed: per role a column from 0, a heading text, a constant, or nothing.
struct ColumnChoice {
  std::array<std::int64_t, kRoles> column{-1, -1, -1, -1};
  std::array<std::string, kRoles> heading;
  std::array<bool, kRoles> is_constant{};
  std::array<double, kRoles> constant{};
  bool any() const;
  bool all_by_position() const;
};
// Whether a heading cell is the one --columns names by its text ("Weight" matches "weight"
// and "Weight [t]").
bool same_heading(std::string_view cell, std::string_view wanted);
// Parses "mass=D,x=E,y=F,z=G"; answers the reason it is refused, or empty.
std::string parse_columns(std::string_view text, ColumnChoice& choice);

// --skip-rows parsed: rows as a spreadsheet program numbers them, in ranges.
class RowRanges {
 public:
  // Parses "7,11-13"; answers the reason it is refused, or empty.
  std::string parse(std::string_view text);
  bool empty() const { return ranges_.empty(); }
  bool contains(std::int64_t row) const;
  // "rows 7, 11-13" as given, in order.
  std::string listed() const;

 private:
  std::vector<std::pair<std::int64_t, std::int64_t>> ranges_;  // first, last
};

// A scale to metres or kilograms, as exact as it can be: a value times `times`, divided by
// `divide` (a length in mm is divided by 1000, one in inches times 254 divided by 10,000).
struct Scale {
  double times = 1.0;
  double divide = 1.0;
  bool plain() const { return times == 1.0 && divide == 1.0; }
  double of(double value) const { return plain() ? value : value * times / divide; }
};
// The scale of a unit ("mm", "lb"); plain for a unit of factor 1.
Scale scale_of(const UnitWord& unit);

// A RowSink that only looks for the heading: it ends the reading there.
class HeadingProbe final : public RowSink {
 public:
  bool heading(const Heading& /*heading*/) override { return false; }
  void row(const Row& /*row*/) override {}
  void note(std::string_view /*text*/) override {}
  void warning(std::string_view /*cell*/, std::string_view /*text*/) override {}
};

// Turns the cells of a sheet into a RowSink's heading, rows and notes. While the heading
// row is sought, each row's cells are kept (bounded: kMaxColumns cells of at most
// kMaxCellBytes); below it only the cells of the columns read are.
class TableRows final : public CellSink {
 public:
  TableRows(RowSink& sink, ColumnChoice choice, std::string sheet, char decimal,
            const RowRanges* skip = nullptr);
  ~TableRows() override;
  TableRows(const TableRows&) = delete;
  TableRows& operator=(const TableRows&) = delete;
  void begin_row(std::int64_t row, bool hidden) override;
  void cell(const Cell& cell) override;
  bool end_row() override;
  // After the last row: tells the counts; answers why the table was refused, empty when it
  // was read (or the sink ended it).
  std::string finish();
  bool heading_found() const { return found_; }
  // Whether a row was taken for the heading row, also one then refused (two mass columns).
  bool heading_decided() const { return found_ || !refusal_.empty(); }
  // The row nearest to a heading row and the columns it suggests, for a refusal: "row 3 of
  // sheet "General" comes closest, with mass in C ("Weight")"; empty when no row named any.
  const std::string& closest() const { return closest_; }
  std::size_t closest_roles() const { return closest_roles_; }
  // "--columns mass=C,x=D,y=E,z=F": the columns found nearest to the roles.
  std::string suggested_columns() const;

 private:
  struct KeptCell : OwnedCell {
    // Below the heading, a number's cell is read as it is taken: its text is then kept only
    // when it is none (for the reason), and `parsed` holds its digits.
    bool is_number = false;
    bool comma = false;  // written with a decimal comma
    ParsedNumber parsed;
  };
  // The columns read below the heading, each with its cell of the current row.
  enum Slot : std::size_t {
    kMassSlot,
    kXSlot,
    kYSlot,
    kZSlot,
    kUnitSlot,
    kCentreSlot,
    kQuantitySlot,
    kCodeSlot,  // the item code, for totals: never makes a row one to read
    kSlots
  };
  struct ReadColumn {
    bool used = false;
    std::uint32_t column = 0;
    bool present = false;
    KeptCell cell;
  };
  // What a searched row names: per role and per other kind, the columns.
  struct Found {
    std::array<std::vector<std::uint32_t>, kRoles> role;
    std::vector<std::uint32_t> unit;
    std::vector<std::uint32_t> centre;
    std::vector<std::uint32_t> quantity;
    std::vector<std::uint32_t> unit_mass;
  };
  // Heading search (roles.cc).
  bool end_search_row();
  bool take_heading(const Found& found, bool heading_row = true);
  std::string choose_column(std::string_view what, const std::vector<std::uint32_t>& columns,
                            std::string_view option);
  std::string text_of(std::uint32_t column) const;
  std::string role_units();
  void remember_closest(const Found& found);
  bool emit_heading();
  // Rows below the heading (rows.cc).
  void data_cell(const Cell& cell);
  void end_data_row();
  bool take_unit_row();
  std::string_view cell_reason(const KeptCell& c, std::string_view role, Row::Outcome& outcome);
  void name_cell(Row& row, std::uint32_t column);
  void add_to_totals(const Row& row);

  RowSink& sink_;
  ColumnChoice choice_;
  std::string sheet_;
  char decimal_;
  const RowRanges* skip_;
  bool found_ = false;
  bool heading_pending_ = false;  // found; handed on at the first row below (a unit row?)
  bool plain_ = false;  // four columns and no unit, centre or quantity: rows read directly
  bool stopped_ = false;
  std::string refusal_;
  std::int64_t searched_ = 0;
  std::string closest_;  // the row nearest to a heading row, for the refusal
  std::size_t closest_roles_ = 0;
  std::array<std::int64_t, kRoles> closest_column_{-1, -1, -1, -1};
  std::vector<std::uint32_t> number_cells_;  // per column: searched rows with a number there

  // The current row.
  std::int64_t row_ = 0;
  bool hidden_ = false;
  std::vector<KeptCell> kept_;  // while the heading is sought
  std::array<ReadColumn, kSlots> read_{};
  std::vector<std::int8_t> slot_of_;  // per column: the slot that reads it, or -1
  bool total_label_ = false;
  std::int64_t unclosed_column_ = -1;  // a cell of the row whose quote is never closed

  Heading heading_;
  std::array<Scale, kRoles> scale_{};           // to kilograms and metres
  std::array<std::string, kRoles> unit_name_;   // of a coordinate converted to metres
  std::array<std::string, kRoles> unit_below_;  // each role's unit in a unit row
  std::string unused_product_;                  // a quantity and a unit mass beside a mass column
  std::unique_ptr<TotalRules> totals_;
  std::string cell_name_;
  std::string reason_;
  bool comma_told_ = false;
  bool ton_told_ = false;
  std::int64_t hidden_rows_ = 0;
  std::int64_t subtotals_ = 0;
  std::int64_t skipped_ = 0;
};

// The readers, each driving a CellSink. They answer why the file cannot be read (one line),
// empty when it was read to its end or the sink stopped it.
std::string read_delimited(Source& source, char delimiter, CellSink& sink);
// The delimiter of a delimited file: the first of tab, semicolon and comma under which one
// of the first rows names the columns; 0 when none does, or with `why` when the file cannot
// be read.
char find_delimiter(Source& source, std::string_view name, const ColumnChoice& choice,
                    std::string& why);
// Why a delimited file without a heading row cannot be read as a text list either (no line of
// its first ones reads as a weight line): the row nearest to a heading row, or the columns
// that hold numbers, and the columns to name. Empty when it is a text list after all.
std::string no_heading_reason(Source& source, const ColumnChoice& choice);

}  // namespace sheet::detail
