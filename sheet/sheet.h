// Spreadsheets read by their column headings: Office Open XML workbooks (.xlsx), OpenDocument
// spreadsheets (.ods) and delimited text tables (comma, semicolon or tab), turned into the
// same four values per row as a weight line gives: mass, X, Y, Z.
//
// Data flow: file bytes (Source) -> form of the file (table.cc) -> zip entries, bounded
// (zip_entries.cc) -> XML cells streamed through expat (xlsx_strings.cc, xlsx_sheet.cc,
// ods_content.cc) or delimited cells (delimited.cc) -> heading row and roles
// (heading_words.cc, units.cc, roles.cc) -> row values and reasons (rows.cc) -> RowSink (the
// tool's processing).
//
// Nothing here writes on the console: what is found is handed to the RowSink, which decides
// how to tell it. No tree of a whole sheet is ever held; memory stays within a bounded buffer
// and the shared strings of a workbook.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sheet {

// ---- The bytes of a file ------------------------------------------------------------------

class Source {
 public:
  virtual ~Source() = default;
  virtual std::int64_t size() const = 0;
  // Fills up to into.size() bytes from `offset`; answers the count, 0 at the end, or -errno.
  virtual long read_at(std::int64_t offset, std::span<char> into) = 0;
};

// A regular file opened to read; nullptr with `error` (an errno value) when it cannot be, or
// with error 0 when the name is no regular file (a pipe or a device is never a table).
std::unique_ptr<Source> open_file(std::string_view name, int& error);
// Bytes held by the caller (tests, fuzzing); they must outlive the source.
std::unique_ptr<Source> memory_source(std::string_view bytes);

// Whether bytes begin as a zip container: a workbook, an OpenDocument file, any zip archive
// (an empty one too).
bool starts_as_zip(std::string_view head);
// Whether the existing file `name` is a zip container by its content, whatever its name;
// false when there is none, it is no regular file, or it cannot be read.
bool is_zip_container(std::string_view name);

// ---- What a file is -----------------------------------------------------------------------

enum class Form { text_list, delimited, xlsx, ods, other_zip };

// The form of a file by its content, and for delimited text by its name: a zip holding a
// workbook or an OpenDocument spreadsheet; delimited text when the name ends ".csv" or ".tsv"
// (either case) or `table` is set, and one of its first rows names the columns (found when
// the table is read; until then `delimited` only says it is to be tried); otherwise a text list.
Form form_of(Source& source, std::string_view name, bool table);
std::string_view form_name(Form form);

// ---- How a table is read ------------------------------------------------------------------

enum Role : std::size_t { kMass, kX, kY, kZ, kRoles };

struct Options {
  // The file is a delimited table even without the name of one (--table).
  bool table = false;
  // "mass=D,x=E,y=F,z=G": each role's column by letter, number (from 1) or heading text, or a
  // coordinate's constant in metres ("z=1.5").
  std::string columns;
  // The sheet to read by name; empty: the first that names the columns.
  std::string sheet_name;
  // Rows left out as the spreadsheet program numbers them ("7,11-13").
  std::string skip_rows;
};

// Checks a --columns value; answers why it is refused, empty when it is good.
std::string check_columns(std::string_view columns);
// Checks a --skip-rows value; answers why it is refused, empty when it is good.
std::string check_skip_rows(std::string_view rows);

// A unit as people write it beside a mass or a length ("kg", "t", "lb", "mm", "ft"): its
// kind, its factor to kilograms or metres, its short name; "ton" may be metric, long or short.
struct UnitWord {
  enum Kind { mass, length } kind = mass;
  double factor = 1.0;
  std::string_view name;
  bool ambiguous = false;
};
// The unit a word names (either case, blanks and a dot around it allowed); none for any other.
std::optional<UnitWord> unit_named(std::string_view word);

enum class MassUnit { none, kg, tonnes };

// Where a role's values come from.
enum class RoleSource {
  column,    // its own column
  centre,    // a coordinate of a centre written in one cell ("(120.5, -30.0, 455.0)")
  constant,  // a coordinate given by --columns for every row
  product,   // the mass: a quantity times a unit mass
};

// The heading row, found before any row is handed on.
struct Heading {
  std::string sheet;     // the sheet read ("Sheet1"); empty for delimited text
  std::int64_t row = 0;  // its row number; 0 when columns are given and no row
  // Each role's column, from 0: a centre's column for the coordinates it gives, the unit
  // mass's column for a mass of quantity times unit mass.
  std::array<std::uint32_t, kRoles> column{};
  std::array<std::string, kRoles> text;  // each role's heading as written
  std::array<RoleSource, kRoles> source{};
  std::array<double, kRoles> constant{};  // metres, for a coordinate given as a constant
  std::uint32_t quantity_column = 0;      // the quantity's column, for a mass by product
  std::string quantity_text;
  MassUnit mass_unit = MassUnit::none;  // the unit the mass heading (or unit row) names
  // Kilograms per unit the masses are written in, where a heading or the unit row names it
  // (g 0.001, lb 0.45359237); 0 when none does. Masses in g or lb are handed on in kg.
  double mass_factor = 0.0;
  std::string mass_unit_name;          // as named: "t", "g", "lb", "ton"
  std::uint32_t mass_unit_column = 0;  // where it is named
  bool mass_unit_below = false;        // in the unit row rather than in the heading
  bool unit_column = false;            // a column headed "Unit" gives each row's unit
  std::int64_t unit_row = 0;           // a row of units directly under the headings; 0 none
};

// One row below the heading that is not wholly empty.
struct Row {
  enum class Outcome {
    item,      // four numbers
    illegal,   // a role cell holds text, an error, or a formula without a saved value
    too_few,   // a role cell is empty
    subtotal,  // a SUM/SUBTOTAL mass, or a mass without coordinates under a "Total" label
    skipped,   // left out as --skip-rows asks
  };
  Outcome outcome = Outcome::item;
  std::int64_t number = 0;             // the row number a spreadsheet program shows
  std::array<double, kRoles> value{};  // mass in the row's unit (kg when written in g or lb);
                                       // X, Y, Z in metres when headed in another unit, else
                                       // as read
  double mass_factor = 0.0;            // 1 or 1000 from the row's unit cell; 0: the run's unit
  double quantity = 0.0;               // of a mass by product: the quantity
  std::int32_t filled = 0;             // role cells that hold something
  std::string_view cell;               // the cell the reason is about ("Sheet1!C14", "C14")
  std::string_view reason;             // why the row is not an item
  bool hidden = false;                 // hidden or filtered out in the spreadsheet program
};

// Receives what a table holds, in order: the heading, then the rows, with notes between.
class RowSink {
 public:
  virtual ~RowSink() = default;
  // Answers false to end the reading (the heading disagrees with the run's settings).
  virtual bool heading(const Heading& heading) = 0;
  virtual void row(const Row& row) = 0;
  // Something to tell once, beside the rows (a conversion made, a count of hidden rows).
  virtual void note(std::string_view text) = 0;
  // A reading that may not be what the table means (a unit that may be another, a total
  // typed as a number and counted twice), about a cell ("Deck!C14"): a warning.
  virtual void warning(std::string_view cell, std::string_view text) = 0;
};

// How a reading ended.
struct Outcome {
  bool read = false;      // the whole table was read (or the sink ended it after its heading)
  bool no_table = false;  // a delimited file without a heading row: read it as a text list
  std::string reason;     // why the file could not be read, one line without the prefix
  // The reason is damage (a truncated, encrypted or malformed file, a bound passed, a read
  // error) rather than a table that does not say what its columns are.
  bool unreadable = false;
};

// Reads a table of the given form into sink.
Outcome read_table(Source& source, Form form, const Options& options, RowSink& sink);

// The start of the cell names of `column` (from 0) in `sheet`, as a spreadsheet program takes
// them: "Deck!C", "'Main deck'!C" (quoted when the name holds more than letters, digits and
// _), or "C" for delimited text, whose sheet is empty. The row number completes a name.
std::string column_reference(std::string_view sheet, std::uint32_t column);

// Whether this build reads workbooks (.xlsx, .ods); without the zip and XML libraries it
// refuses them with a reason and reads delimited text only.
bool reads_workbooks();

}  // namespace sheet
