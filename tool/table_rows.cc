// A weight list kept as a table (a workbook, or delimited text with headings): the rows, read
// by the headings, translated into the intake as a text list's lines are. Rejected rows give
// the console's messages with the sheet's row number, and each row's reason on standard
// error, naming its cell.
#include <algorithm>
#include <limits>
#include <string>

#include "lineio/text_encoding.h"
#include "sheet/sheet.h"
#include "tool/list_readers.h"
#include "tool/processing.h"
#include "tool/warnings.h"

namespace tool {
namespace {

class ToolRows final : public sheet::RowSink {
 public:
  ToolRows(const RunSettings& s, Intake& intake, ListRead& read)
      : s_(s), intake_(intake), read_(read) {}

  bool heading(const sheet::Heading& h) override {
    std::string where = h.sheet.empty() ? std::string("the table")
                                        : "sheet \"" + lineio::escape_controls(h.sheet) + "\"";
    if (h.row > 0) {
      where += ", headings in row " + std::to_string(h.row);
    } else {
      where += ", without a heading row";
    }
    note("reading " + where);
    read_.sheet = h.sheet;
    read_.unit_column = h.unit_column;
    read_.mass_column = h.column[sheet::kMass];
    if (h.mass_factor > 0.0) {
      // The heading names the unit: it must agree with an answer given.
      const std::string named = h.mass_unit == sheet::MassUnit::kg       ? "kg"
                                : h.mass_unit == sheet::MassUnit::tonnes ? "tonnes"
                                                                         : h.mass_unit_name;
      if (s_.unit_answered && unit_factor_of(s_.unit) != h.mass_factor) {
        conflict_ = "the mass unit answer is " + std::string(unit_word(s_.unit)) +
                    " but the mass heading \"" + h.text[sheet::kMass] + "\" says " +
                    std::string(named);
        return false;
      }
      if (!s_.unit_answered) {
        read_.unit_from_heading = true;
        if (h.mass_unit == sheet::MassUnit::none) {
          intake_.set_unit(MassUnit::kg);  // g and lb come converted to kg
        } else {
          const MassUnit unit =
              h.mass_unit == sheet::MassUnit::kg ? MassUnit::kg : MassUnit::tonnes;
          intake_.set_unit(unit);
          note("the mass unit is " + std::string(unit_word(unit)) +
               (h.mass_unit_below
                    ? ", from the units under the headings, in row " + std::to_string(h.unit_row)
                    : ", from the heading \"" + h.text[sheet::kMass] + "\""));
        }
      }
    } else if (!s_.unit_answered && !h.unit_column) {
      // Tonnes by default is a guess: a list in kg would be read 1000 times too heavy.
      const std::string cell = sheet::column_reference(h.sheet, h.column[sheet::kMass]) +
                               (h.row > 0 ? std::to_string(h.row) : std::string());
      warning(cell, (h.row > 0 ? "the heading \"" + h.text[sheet::kMass] + "\" names no unit"
                               : std::string("the mass column has no heading to name its unit")) +
                        ": the masses are read in tonnes, the default; give -u kg if they are "
                        "in kilograms, or -u t to say they are in tonnes");
    }
    intake_.write_notice();
    return true;
  }

  void row(const sheet::Row& r) override {
    using Outcome = sheet::Row::Outcome;
    const auto number = static_cast<std::int32_t>(
        std::min<std::int64_t>(r.number, std::numeric_limits<std::int32_t>::max()));
    switch (r.outcome) {
      case Outcome::subtotal:
        intake_.tell_row(r.cell, r.reason);
        return;
      case Outcome::illegal:
        intake_.count_item();
        intake_.reject(Rejection::illegal, r.filled, r.number, number);
        intake_.tell_row(r.cell, r.reason);
        return;
      case Outcome::too_few:
        intake_.count_item();
        intake_.reject(Rejection::too_few, r.filled, r.number, number);
        intake_.tell_row(r.cell, r.reason);
        return;
      case Outcome::skipped:
        return;  // told once, with the others, at the end
      case Outcome::item:
        break;
    }
    intake_.count_item();
    if (r.mass_factor > 0.0) {
      intake_.take_kg(r.mass_factor * r.value[sheet::kMass], r.value[sheet::kX], r.value[sheet::kY],
                      r.value[sheet::kZ], number);
    } else {
      intake_.take(r.value[sheet::kMass], r.value[sheet::kX], r.value[sheet::kY],
                   r.value[sheet::kZ], number);
    }
  }

  void note(std::string_view text) override { warnings().note(text); }

  void warning(std::string_view cell, std::string_view text) override {
    warnings().tell_cell(Warnings::kTable, cell, text);
  }

  const std::string& conflict() const { return conflict_; }

 private:
  const RunSettings& s_;
  Intake& intake_;
  ListRead& read_;
  std::string conflict_;
};

}  // namespace

bool process_table(const RunSettings& s, Intake& intake, ListRead& read) {
  const std::string_view file = input_name_of(s);
  int error = 0;
  const std::unique_ptr<sheet::Source> source = sheet::open_file(file, error);
  if (!source) {
    if (!s.table) return false;
    read.processed = Processed::refused;
    read.why = error != 0 ? lineio::describe_error(error) : "--table reads regular files only";
    return true;
  }
  const sheet::Form form = sheet::form_of(*source, file, s.table);
  if (form == sheet::Form::text_list) return false;
  read.table = true;
  read.form = sheet::form_name(form);
  if (form == sheet::Form::other_zip) {
    read.processed = Processed::refused;
    read.why = "is a zip archive but no workbook (.xlsx) or OpenDocument spreadsheet (.ods)";
    return true;
  }

  intake.start(s.unit);
  ToolRows rows(s, intake, read);
  sheet::Options options;
  options.table = s.table;
  options.columns = s.columns;
  options.sheet_name = s.sheet_name;
  options.skip_rows = s.skip_rows;
  const sheet::Outcome outcome = sheet::read_table(*source, form, options, rows);
  read.unit = intake.unit();
  if (outcome.no_table) {
    read = ListRead{};
    return false;
  }
  if (!rows.conflict().empty()) {
    read.processed = Processed::refused;
    read.why = rows.conflict();
    return true;
  }
  if (!outcome.read) {
    read.processed = outcome.unreadable ? Processed::unreadable : Processed::refused;
    read.why = outcome.reason;
    return true;
  }
  read.processed = intake.kept_any() ? Processed::kept : Processed::nothing_kept;
  return true;
}

}  // namespace tool
