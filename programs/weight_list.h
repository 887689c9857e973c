// massplot's reading of a weight list: kel2fram's own reader and processing, with the settings
// kel2fram's options give (or the dialogue's defaults), every mass kept with the line of the
// list that an editor shows it on.
//
// Data flow: options -> kel2fram::Answers -> RunSettings -> process_table (a spreadsheet or a
// delimited table, table_list.cc) or process_weight_data (unit 88), console discarded ->
// MassTable and kept lines or rows -> plot::MassList.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "plot/massplot.h"
#include "tool/kel2fram.h"

namespace massplot {

// Masses skipped, on standard error one line each, by the line of the file or the row of the
// table; a flood of them is cut short.
class Notices final : public plot::RecordNotice {
 public:
  explicit Notices(const std::string& file) : file_(file) {}
  // From now on places are the rows of a table, of `sheet` when it is not empty.
  void name_rows(std::string_view sheet);
  void skipped(std::int64_t line_number, std::string_view reason) override;
  void finish() const;

 private:
  const std::string& file_;
  bool rows_ = false;
  std::string sheet_;
  std::int64_t count_ = 0;
};

// Whether an answer that concerns weight lists only (--unit, --spread, a range) was given.
bool list_options_given(const kel2fram::Answers& answers);

// The run settings of the command line: its answers, the dialogue's default for each one not
// given, and its options for tables.
kel2fram::RunSettings settings_from(const kel2fram::CommandLine& command);

// The reading's console bound to no answers and no output: the processing's console lines are
// not massplot's, whose standard output may be the picture.
void bind_quiet_console();

// What was read, for the title block: `what` ("weight list, masses in tonnes") and the ranges
// that are not the defaults, with the count of masses outside them.
std::string describe_reading(std::string what, const kel2fram::RunSettings& settings,
                             const kel2fram::Totals& totals);

// Puts the masses of `table` into `list`, each at its place (the line or row an editor or a
// spreadsheet program shows, `places[k]` for entry k); one that the picture cannot draw (not
// finite, or beyond plot::kLargestDrawn) is counted and told through `notice` instead.
void add_masses(const kel2fram::MassTable& table, std::span<const std::int32_t> places,
                plot::MassList& list, plot::RecordNotice& notice);

// How a file was read as a table.
enum class TableDrawn {
  not_a_table,  // a text list or a records file: read it so
  drawn,        // its masses are in the list
  failed,       // nothing to draw; the reason is in `why`
};

// Reads `path` into `list` as kel2fram reads a spreadsheet or a delimited table with headings,
// each mass with its row. Rows it rejects and its notes go to standard error as kel2fram
// gives them, each line beginning with the program's prefix and naming the cell; so do masses
// that cannot be drawn, through `notice`. `source` says what was read, for the title block,
// `sheet` which sheet (empty for delimited text) and `mass_cells` the start of the mass cells'
// names ("Deck!C", or "C" of delimited text). `why` is one line for standard error, after the
// file's name.
TableDrawn read_table_list(const std::string& path, const kel2fram::RunSettings& settings,
                           plot::MassList& list, Notices& notice, std::string& source,
                           std::string& sheet, std::string& mass_cells, std::string& why);

// Reads the weight list `path` as kel2fram reads it into `list`, its lines the list's own.
// Lines kel2fram rejects and its warnings go to standard error, as kel2fram gives them, each
// line beginning with the program's prefix; so do masses that cannot be drawn, through
// `notice`. `source` says what was read, for the title block. Answers an empty text, or why
// nothing can be drawn (one line for standard error, after the file's name).
std::string read_weight_list(const std::string& path, const kel2fram::RunSettings& settings,
                             plot::MassList& list, plot::RecordNotice& notice, std::string& source);

}  // namespace massplot
