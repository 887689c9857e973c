// Internal to sheet/: the cells every reader yields, row by row, and the reader that turns
// them into the rows of a table (heading, roles, values, reasons).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/sheet.h"

namespace sheet::detail {

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
// The column of letters "A".."XFD" (either case); answers false for anything else.
bool column_of_letters(std::string_view letters, std::uint32_t& column);

// A heading cell's text read as a role and a unit.
struct HeadingMeaning {
  enum Kind { none, mass, x, y, z, unit_column } kind = none;
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

// --columns parsed: per role a column from 0, a heading text, or nothing.
struct ColumnChoice {
  std::array<std::int64_t, kRoles> column{-1, -1, -1, -1};
  std::array<std::string, kRoles> heading;
  bool any() const;
  bool all_by_position() const;
};
// Whether a heading cell is the one --columns names by its text ("Weight" matches "weight"
// and "Weight [t]").
bool same_heading(std::string_view cell, std::string_view wanted);
// Parses "mass=D,x=E,y=F,z=G"; answers the reason it is refused, or empty.
std::string parse_columns(std::string_view text, ColumnChoice& choice);

// Turns the cells of a sheet into a RowSink's heading, rows and notes. While the heading
// row is sought, each row's cells are kept (bounded: kMaxColumns cells of at most
// kMaxCellBytes); below it only the cells of the roles and the unit column are.
class TableRows final : public CellSink {
 public:
  TableRows(RowSink& sink, ColumnChoice choice, std::string sheet, char decimal);
  void begin_row(std::int64_t row, bool hidden) override;
  void cell(const Cell& cell) override;
  bool end_row() override;
  // After the last row: tells the counts; answers why the table was refused, empty when it
  // was read (or the sink ended it).
  std::string finish();
  bool heading_found() const { return found_; }
  // Whether a row was taken for the heading row, also one then refused (two mass columns).
  bool heading_decided() const { return found_ || !refusal_.empty(); }

 private:
  struct KeptCell {
    std::uint32_t column = 0;
    CellKind kind = CellKind::text;
    double number = 0.0;
    std::string text;
    std::string formula;
    bool cut = false;
  };
  // Heading search (roles.cc).
  bool end_search_row();
  bool take_heading(const std::array<std::vector<std::uint32_t>, kRoles>& found,
                    const std::vector<std::uint32_t>& unit_columns, bool heading_row = true);
  std::string role_units();
  // Rows below the heading (rows.cc).
  void data_cell(const Cell& cell);
  void end_data_row();
  std::string_view role_reason(std::size_t role, Row::Outcome& outcome);

  RowSink& sink_;
  ColumnChoice choice_;
  std::string sheet_;
  char decimal_;
  bool found_ = false;
  bool stopped_ = false;
  std::string refusal_;
  std::int64_t searched_ = 0;
  std::string closest_;  // the row nearest to a heading row, for the refusal
  std::size_t closest_roles_ = 0;

  // The current row.
  std::int64_t row_ = 0;
  bool hidden_ = false;
  std::vector<KeptCell> kept_;  // while the heading is sought
  std::array<KeptCell, kRoles> role_cell_;
  std::array<bool, kRoles> role_present_{};
  KeptCell unit_cell_;
  bool unit_present_ = false;
  bool total_label_ = false;

  Heading heading_;
  std::array<double, kRoles> scale_{1.0, 1.0, 1.0, 1.0};  // divisors to metres
  std::string cell_name_;
  std::string reason_;
  bool comma_told_ = false;
  std::int64_t hidden_rows_ = 0;
  std::int64_t subtotals_ = 0;
};

// The readers, each driving a CellSink. They answer why the file cannot be read (one line),
// empty when it was read to its end or the sink stopped it.
std::string read_delimited(Source& source, char delimiter, CellSink& sink);
// The delimiter of a delimited file: the first of tab, semicolon and comma under which one
// of the first rows names the columns; 0 when none does, or with `why` when the file cannot
// be read.
char find_delimiter(Source& source, std::string_view name, const ColumnChoice& choice,
                    std::string& why);

}  // namespace sheet::detail
