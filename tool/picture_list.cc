// A weight list read for its picture: kel2fram's own reading, quietly (standard output may be
// the picture), every kept mass with the line an editor or the row a spreadsheet program
// shows it on, and one line that sums up what was left out.
#include <array>
#include <charconv>
#include <cstdio>
#include <string>

#include "kit/kit.h"
#include "kit/surprises.h"
#include "lineio/text_encoding.h"
#include "sheet/sheet.h"
#include "tool/list_readers.h"
#include "tool/processing.h"
#include "tool/warnings.h"

namespace tool {
namespace {

// "xlsx spreadsheet, sheet Deck, masses in tonnes from the heading": the kind of file, its
// sheet, the mass unit and what decided it.
std::string what_was_read(const ListRead& read, const RunSettings& s) {
  if (!read.table) return "weight list, masses in " + std::string(unit_word(read.unit));
  std::string text;
  if (read.form == sheet::form_name(sheet::Form::xlsx)) {
    text = "xlsx spreadsheet";
  } else if (read.form == sheet::form_name(sheet::Form::ods)) {
    text = "ods spreadsheet";
  } else {
    text = "delimited table";
  }
  if (!read.sheet.empty()) text += ", sheet " + read.sheet;
  text += ", masses in ";
  if (read.unit_column) text += "each row's unit where its unit cell gives one, else ";
  text += read.unit == MassUnit::kg ? "kg" : "tonnes";
  if (read.unit_from_heading) {
    text += " from the heading";
  } else if (s.unit_answered) {
    text += " from --unit";
  } else {
    text += " by default";
  }
  return text;
}

// ", X from -100 to 100; 3 masses outside the ranges left out".
std::string ranges_read(const RunSettings& s, const Totals& totals) {
  std::string text;
  for (std::size_t axis = 0; axis < 3; ++axis) {
    if (s.min[axis] == kDefaultMin && s.max[axis] == kDefaultMax) continue;
    text += ", ";
    text += kAxisName[axis];
    text +=
        " from " + kit::shortest_number(s.min[axis]) + " to " + kit::shortest_number(s.max[axis]);
  }
  if (totals.skipped > 0) {
    text += "; " + std::to_string(totals.skipped) +
            (totals.skipped == 1 ? " mass outside the ranges left out"
                                 : " masses outside the ranges left out");
  }
  return text;
}

// "2 rows left out, as kel2fram leaves them out: rows 4, 5", each already told with its cell.
void tell_rejected(std::string_view prefix, std::string_view path, const Totals& totals,
                   bool rows) {
  const std::int64_t count = totals.rejected.count();
  if (count == 0) return;
  const std::string listed = totals.rejected.listed();  // "line 4", "lines 4, 5"
  std::string line(prefix);
  line += lineio::escape_controls(path);
  line += ": " + std::to_string(count);
  if (rows) {
    line += count == 1 ? " row left out, as kel2fram leaves them out: row "
                       : " rows left out, as kel2fram leaves them out: rows ";
    line += listed.substr(std::min(listed.find(' ') + 1, listed.size()));
  } else {
    line += count == 1 ? " line" : " lines";
    line += " left out, as kel2fram leaves them out (a word, or fewer than four numbers): ";
    line += listed;
  }
  lineio::notice(line);
}

// How far a text list was read: to its end, not at all (it cannot be opened), or to a
// failure of the reader.
enum class TextRead { to_end, not_opened, reader_failed };

// Reads a text list on the input unit; a failure leaves its reason in `out.why`.
TextRead read_text_list(const std::string& path, const RunSettings& s, Intake& intake,
                        PictureList& out) {
  kit::reset_reader();
  std::int32_t flag = 0;
  kit::OPNFIL(path, kInputUnit, 2, 10, 1, 0, 0, -1, -kConsoleOut, flag);
  if (flag != 0) {
    out.why = "cannot be opened";
    return TextRead::not_opened;
  }
  try {
    out.read = process_list_quietly(s, intake);
  } catch (const lineio::TransferFailure&) {
    // A read failure the reader reports to the output unit, which a picture does not have.
    out.read.processed = Processed::reader_failed;
  } catch (const lineio::StopRun&) {
    out.read.processed = Processed::reader_failed;
  }
  if (out.read.processed == Processed::reader_failed) {
    const std::string problem = lineio::text_problem(kInputUnit);
    out.why = problem.empty() ? "the weight list could not be read to its end" : problem;
  }
  lineio::discard_unit(kInputUnit);
  return out.read.processed == Processed::reader_failed ? TextRead::reader_failed
                                                        : TextRead::to_end;
}

}  // namespace

PictureList read_for_picture(const std::string& path, const RunSettings& given,
                             std::string_view prefix, bool tables_only) {
  PictureList out;
  RunSettings s = given;
  if (!set_name(s.input_name, path)) {
    if (!tables_only) out.why = "the file's name is too long for the reader";
    return out;
  }
  warnings().start(prefix);
  MassTable table;
  Intake intake(s, table, Intake::Console::quiet);
  bool read_to_end = true;
  if (tables_only) {
    warnings().name_file(lineio::escape_controls(path));
    if (!process_table(s, intake, out.read)) return out;
    if (out.read.processed == Processed::refused || out.read.processed == Processed::unreadable) {
      out.why = out.read.why;
      return out;
    }
  } else {
    const TextRead text = read_text_list(path, s, intake, out);
    if (text == TextRead::not_opened) return out;
    read_to_end = text == TextRead::to_end;
  }
  warnings().finish();
  intake.finish();
  out.totals = intake.totals();
  tell_rejected(prefix, path, out.totals, out.read.table);
  if (!read_to_end) return out;
  if (out.read.processed != Processed::kept) {
    out.why = why_nothing_kept(out.totals, out.read.table);
    return out;
  }
  out.masses.reserve(table.size());
  for (std::size_t k = 0; k < table.size(); ++k) {
    out.masses.push_back({table[k], out.totals.kept_places.place_of(k)});
  }
  out.source = what_was_read(out.read, s) + ranges_read(s, out.totals);
  if (out.read.table)
    out.mass_cells = sheet::column_reference(out.read.sheet, out.read.mass_column);
  return out;
}

}  // namespace tool
