// A spreadsheet or a delimited table read for massplot through kel2fram's own reading of
// tables: the same headings, units, columns, sheet and ranges, every kept mass with the row
// a spreadsheet program shows it in.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "programs/weight_list.h"
#include "sheet/sheet.h"
#include "terminal/console.h"

namespace massplot {
namespace {

// "xlsx spreadsheet, sheet Deck, masses in tonnes from the heading": the kind of file, its
// sheet, the mass unit and what decided it.
std::string what_was_read(const kel2fram::TableReading& reading, const kel2fram::RunSettings& s) {
  std::string text;
  if (reading.form == sheet::form_name(sheet::Form::xlsx)) {
    text = "xlsx spreadsheet";
  } else if (reading.form == sheet::form_name(sheet::Form::ods)) {
    text = "ods spreadsheet";
  } else {
    text = "delimited table";
  }
  if (!reading.sheet.empty()) text += ", sheet " + reading.sheet;
  text += ", masses in ";
  if (reading.unit_column) text += "each row's unit where its unit cell gives one, else ";
  text += s.unit == kel2fram::MassUnit::kg ? "kg" : "tonnes";
  if (reading.unit_from_heading) {
    text += " from the heading";
  } else if (s.unit_answered) {
    text += " from --unit";
  } else {
    text += " by default";
  }
  return text;
}

// "2 rows left out, as kel2fram leaves them out: rows 4, 5", each already told with its cell.
void tell_rejected(const std::string& path, const kel2fram::Totals& totals) {
  const std::int64_t count = totals.rejected.count();
  if (count == 0) return;
  const std::string listed = totals.rejected.listed();  // "line 4", "lines 4, 5"
  const std::string_view numbers =
      std::string_view(listed).substr(std::min(listed.find(' ') + 1, listed.size()));
  std::fprintf(stderr, "massplot: %s: %lld %s left out, as kel2fram leaves them out: %s %.*s\n",
               path.c_str(), static_cast<long long>(count), count == 1 ? "row" : "rows",
               count == 1 ? "row" : "rows", static_cast<int>(numbers.size()), numbers.data());
}

}  // namespace

TableDrawn read_table_list(const std::string& path, const kel2fram::RunSettings& given_settings,
                           plot::MassList& list, Notices& notice, std::string& source,
                           std::string& sheet, std::string& mass_cells, std::string& why) {
  kel2fram::RunSettings s = given_settings;
  // A name too long for the reader is said by the reading of a text list.
  if (path.size() > s.input_name.size()) return TableDrawn::not_a_table;
  s.input_name.fill(' ');
  std::copy(path.begin(), path.end(), s.input_name.begin());

  kel2fram::MassTable table;
  kel2fram::Totals totals;
  std::vector<std::int32_t> rows;
  kel2fram::TableReading reading;
  reading.prefix = "massplot: ";
  reading.kept_rows = &rows;
  kel2fram::Processed processed = kel2fram::Processed::nothing_kept;
  bind_quiet_console();
  const kel2fram::TableRead read =
      kel2fram::process_table(s, table, totals, processed, why, &reading);
  terminal::bind_standard_console();
  switch (read) {
    case kel2fram::TableRead::not_a_table:
      return TableDrawn::not_a_table;
    case kel2fram::TableRead::refused:
    case kel2fram::TableRead::unreadable:
      return TableDrawn::failed;
    case kel2fram::TableRead::processed:
      break;
  }
  tell_rejected(path, totals);
  if (processed != kel2fram::Processed::kept) {
    why = totals.lines == 0     ? "no mass kept: the table has no row with mass data"
          : totals.skipped == 0 ? "no mass kept: every row of the table was rejected"
                                : "no mass kept: every mass lies outside the ranges";
    return TableDrawn::failed;
  }
  notice.name_rows(reading.sheet);
  add_masses(table, rows, list, notice);
  source = describe_reading(what_was_read(reading, s), s, totals);
  sheet = reading.sheet;
  mass_cells = sheet::column_reference(reading.sheet, reading.mass_column);
  return TableDrawn::drawn;
}

}  // namespace massplot
