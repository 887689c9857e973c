// A weight list kept as a table (a workbook, or delimited text with headings): the rows, read
// by the headings, go through the same ranges, conversion and sums as the lines of a text
// list. Rejected rows give the console's messages with the sheet's row number, and each
// row's reason on standard error, naming its cell.
#include <algorithm>
#include <limits>
#include <string>

#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "sheet/sheet.h"
#include "tool/kel2fram.h"

namespace kel2fram {
namespace {

using lineio::Line;

std::string_view unit_word(MassUnit unit) {
  return unit == MassUnit::kg ? "kg" : "tonnes";
}

class ToolRows final : public sheet::RowSink {
 public:
  ToolRows(RunSettings& s, MassTable& table, Totals& t, std::string_view file,
           TableReading& reading)
      : s_(s), table_(table), t_(t), file_(file), reading_(reading) {}

  bool heading(const sheet::Heading& h) override {
    std::string where = h.sheet.empty() ? std::string("the table") : "sheet \"" + h.sheet + "\"";
    if (h.row > 0) {
      where += ", headings in row " + std::to_string(h.row);
    } else {
      where += ", without a heading row";
    }
    note("reading " + where);
    reading_.sheet = h.sheet;
    reading_.unit_column = h.unit_column;
    reading_.mass_column = h.column[sheet::kMass];
    if (h.mass_unit != sheet::MassUnit::none) {
      const MassUnit unit = h.mass_unit == sheet::MassUnit::kg ? MassUnit::kg : MassUnit::tonnes;
      if (s_.unit_answered && unit != s_.unit) {
        conflict_ = "the mass unit answer is " + std::string(unit_word(s_.unit)) +
                    " but the mass heading \"" + h.text[sheet::kMass] + "\" says " +
                    std::string(unit_word(unit));
        return false;
      }
      if (!s_.unit_answered) {
        s_.unit = unit;
        s_.unit_factor = unit == MassUnit::kg ? 1.0 : 1000.0;
        reading_.unit_from_heading = true;
        note("the mass unit is " + std::string(unit_word(unit)) + ", from the heading \"" +
             h.text[sheet::kMass] + "\"");
      }
    }
    write_processing_notice();
    return true;
  }

  void row(const sheet::Row& r) override {
    using Outcome = sheet::Row::Outcome;
    const auto number = static_cast<std::int32_t>(
        std::min<std::int64_t>(r.number, std::numeric_limits<std::int32_t>::max()));
    switch (r.outcome) {
      case Outcome::subtotal:
        tell_cell(r);
        return;
      case Outcome::illegal:
        ++t_.lines;
        lineio::put(kConsoleOut, Line().lit(" Illegal character in line").i(r.number, 7));
        t_.rejected.add(number);
        tell_cell(r);
        return;
      case Outcome::too_few:
        ++t_.lines;
        lineio::put(
            kConsoleOut,
            Line().lit(" Too few parameters, (").i(r.filled, 2).lit(" ), on line").i(r.number, 7));
        t_.rejected.add(number);
        tell_cell(r);
        return;
      case Outcome::item:
        break;
    }
    ++t_.lines;
    const double factor = r.mass_factor > 0.0 ? r.mass_factor : s_.unit_factor;
    if (!take_mass(s_, table_, t_, factor * r.value[sheet::kMass], r.value[sheet::kX],
                   r.value[sheet::kY], r.value[sheet::kZ])) {
      return;
    }
    t_.kept_lines.add(static_cast<std::size_t>(t_.kept - 1), number);
    if (reading_.kept_rows != nullptr) reading_.kept_rows->push_back(number);
    // The least and greatest kept coordinates, as a text list's are kept: the look for a
    // coordinate far beyond the others starts from them.
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const double v = r.value[sheet::kX + axis];
      t_.low[axis] = v < t_.low[axis] ? v : t_.low[axis];
      t_.high[axis] = v > t_.high[axis] ? v : t_.high[axis];
    }
  }

  void note(std::string_view text) override {
    lineio::notice(std::string(reading_.prefix) + std::string(file_) + ": " + std::string(text));
  }

  const std::string& conflict() const { return conflict_; }

 private:
  void tell_cell(const sheet::Row& r) {
    std::string line(reading_.prefix);
    line += file_;
    line += ": ";
    line += r.cell;
    line += ": ";
    line += r.reason;
    lineio::notice(line);
  }

  RunSettings& s_;
  MassTable& table_;
  Totals& t_;
  std::string_view file_;
  TableReading& reading_;
  std::string conflict_;
};

}  // namespace

TableRead process_table(RunSettings& s, MassTable& table, Totals& t, Processed& processed,
                        std::string& why, TableReading* reading) {
  TableReading own;
  TableReading& told = reading != nullptr ? *reading : own;
  const std::string_view file = trimmed({s.input_name.data(), s.input_name.size()});
  int error = 0;
  const std::unique_ptr<sheet::Source> source = sheet::open_file(file, error);
  if (!source) {
    if (!s.table) return TableRead::not_a_table;  // a pipe or a device: a text list
    why = error != 0 ? lineio::describe_error(error) : "--table reads regular files only";
    return TableRead::refused;
  }
  const sheet::Form form = sheet::form_of(*source, file, s.table);
  if (form == sheet::Form::text_list) return TableRead::not_a_table;
  told.form = sheet::form_name(form);
  if (form == sheet::Form::other_zip) {
    why = "is a zip archive but no workbook (.xlsx) or OpenDocument spreadsheet (.ods)";
    return TableRead::refused;
  }

  t = Totals{};
  t.ordinary_values = true;
  table.clear();
  // Findings on kept rows (a coordinate far beyond the others) name the file and the row.
  surprise_log().name_file(lineio::escape_controls(file));
  ToolRows rows(s, table, t, file, told);
  sheet::Options options;
  options.table = s.table;
  options.columns = s.columns;
  options.sheet_name = s.sheet_name;
  const sheet::Outcome outcome = sheet::read_table(*source, form, options, rows);
  if (outcome.no_table) return TableRead::not_a_table;
  if (!rows.conflict().empty()) {
    why = rows.conflict();
    return TableRead::refused;
  }
  if (!outcome.read) {
    why = outcome.reason;
    return outcome.unreadable ? TableRead::unreadable : TableRead::refused;
  }
  processed = t.kept > 0 ? Processed::kept : Processed::nothing_kept;
  return TableRead::processed;
}

}  // namespace kel2fram
