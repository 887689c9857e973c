// kitdump's view of a table: the heading row and each role's column, then per row its number
// and each role's cell and value, or why it is left out.
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "front/notice.h"
#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "programs/dump.h"
#include "sheet/sheet.h"

namespace kitdump {
namespace {

constexpr std::array<std::string_view, sheet::kRoles> kRole = {"mass", "X", "Y", "Z"};

void append_number(std::string& out, double value) {
  std::array<char, 64> buf;
  const int n = std::snprintf(buf.data(), buf.size(), "%.17g", value);
  if (n > 0) out.append(buf.data(), static_cast<std::size_t>(n));
}

std::string column_letters(std::uint32_t column) {
  return sheet::column_reference({}, column);
}

// The heading's line; names and headings come from the file: a control character in them is
// shown escaped.
std::string heading_line(const sheet::Heading& h) {
  std::string line = "table";
  if (!h.sheet.empty()) line += " sheet \"" + lineio::escape_controls(h.sheet) + "\"";
  line += h.row > 0 ? ", headings in row " + std::to_string(h.row) : ", no heading row";
  line += ":";
  for (std::size_t r = 0; r < sheet::kRoles; ++r) {
    line += std::string(r == 0 ? " " : ", ") + std::string(kRole[r]);
    switch (h.source[r]) {
      case sheet::RoleSource::constant:
        line += " = ";
        append_number(line, h.constant[r]);
        line += " m (constant)";
        continue;
      case sheet::RoleSource::product:
        line += " " + column_letters(h.quantity_column) + " \"" +
                lineio::escape_controls(h.quantity_text) + "\" times";
        break;
      case sheet::RoleSource::centre:
        line += " (centre)";
        break;
      case sheet::RoleSource::column:
        break;
    }
    line += " " + column_letters(h.column[r]);
    if (!h.text[r].empty()) line += " \"" + lineio::escape_controls(h.text[r]) + "\"";
  }
  if (h.mass_unit != sheet::MassUnit::none) {
    line += h.mass_unit == sheet::MassUnit::kg ? "; mass in kg" : "; mass in tonnes";
  } else if (h.mass_factor > 0.0) {
    line += "; mass in " + h.mass_unit_name + ", converted to kg";
  }
  if (h.unit_column) line += "; a unit column";
  if (h.unit_row > 0) line += "; units in row " + std::to_string(h.unit_row);
  return line;
}

// A row's line: its number, then each role's cell and value, or why it is left out.
std::string row_line(const sheet::Heading& heading, const sheet::Row& r) {
  std::string line = std::to_string(r.number);
  if (r.hidden) line += " hidden";
  switch (r.outcome) {
    case sheet::Row::Outcome::item:
      for (std::size_t k = 0; k < sheet::kRoles; ++k) {
        line += " " + std::string(kRole[k]);
        if (heading.source[k] == sheet::RoleSource::constant) {
          line += "=";
          append_number(line, r.value[k]);
          line += " (constant)";
          continue;
        }
        line += " " + column_letters(heading.column[k]) + std::to_string(r.number) + "=";
        append_number(line, r.value[k]);
        if (heading.source[k] == sheet::RoleSource::product) {
          line += " (" + column_letters(heading.quantity_column) + std::to_string(r.number) + " ";
          append_number(line, r.quantity);
          line += " times unit mass)";
        } else if (heading.source[k] == sheet::RoleSource::centre) {
          line += " (centre)";
        }
      }
      if (r.mass_factor > 0.0) line += r.mass_factor == 1.0 ? " (kg)" : " (tonnes)";
      break;
    case sheet::Row::Outcome::skipped:
      line += " skipped: --skip-rows";
      break;
    case sheet::Row::Outcome::illegal:
      line += " illegal " + std::string(r.cell) + ": " + std::string(r.reason);
      break;
    case sheet::Row::Outcome::too_few:
      line += " too-few " + std::string(r.cell) + ": " + std::string(r.reason);
      break;
    case sheet::Row::Outcome::subtotal:
      line += " subtotal " + std::string(r.cell) + ": " + std::string(r.reason);
      break;
  }
  return line;
}

// The rows of a table, one console line each.
class TableDump final : public sheet::RowSink {
 public:
  TableDump(const front::Program& program, std::string_view file)
      : program_(program), file_(lineio::escape_controls(file)) {}
  bool heading(const sheet::Heading& h) override {
    heading_ = h;
    lineio::put_line(kConsole, heading_line(h));
    return true;
  }
  void row(const sheet::Row& r) override { lineio::put_line(kConsole, row_line(heading_, r)); }
  void note(std::string_view text) override {
    front::notice(program_, file_ + ": " + std::string(text));
  }
  // What a rule decided that may not be what the table means: a line of the dump, as the
  // rows are.
  void warning(std::string_view cell, std::string_view text) override {
    lineio::put_line(kConsole, "warning " + std::string(cell) + ": " + std::string(text));
  }

 private:
  const front::Program& program_;
  std::string file_;
  sheet::Heading heading_;
};

}  // namespace

std::optional<front::DumpStatus> dump_table(const front::Program& program,
                                            const std::string& file_name,
                                            const sheet::Options& options) {
  int error = 0;
  const std::unique_ptr<sheet::Source> source = sheet::open_file(file_name, error);
  if (!source) return std::nullopt;
  const sheet::Form form = sheet::form_of(*source, file_name, options.table);
  if (form == sheet::Form::text_list) return std::nullopt;
  TableDump dump(program, file_name);
  const sheet::Outcome outcome = sheet::read_table(*source, form, options, dump);
  if (outcome.no_table) return std::nullopt;
  if (!outcome.read) {
    front::notice(program, lineio::escape_controls(file_name) + ": " +
                               (form == sheet::Form::other_zip ? "is a zip archive but no workbook"
                                                               : outcome.reason));
    return outcome.unreadable ? front::DumpStatus::failed : front::DumpStatus::refused;
  }
  lineio::put_line(kConsole, "-1");
  return front::DumpStatus::dumped;
}

}  // namespace kitdump
