// Rows below the heading: each role's cell read as a number, or the reason the row is left
// out, naming the cell as a spreadsheet program shows it ("Sheet1!C14"). Only the cells of
// the four roles and the unit column are kept, in strings reused from row to row.
#include <algorithm>
#include <array>
#include <string>

#include "lineio/text_encoding.h"
#include "sheet/cells.h"
#include "sheet/sheet.h"

namespace sheet::detail {
namespace {

constexpr std::array<std::string_view, kRoles> kRoleName = {"mass", "X", "Y", "Z"};
constexpr std::string_view kLeftOut = "; the row is left out";
constexpr std::size_t kKeptBytes = 256;  // a number is far shorter; the rest is only shown

std::string quoted(std::string_view text) {
  constexpr std::size_t kShownBytes = 40;
  std::string q = "\"" + lineio::escape_controls(text.substr(0, kShownBytes));
  if (text.size() > kShownBytes) q += "...";
  return q + "\"";
}

// A sheet's name as a cell reference starts with it: quoted when it holds more than letters
// and digits ('Deck 2'!C14), a control character in it shown escaped.
std::string sheet_prefix(const std::string& sheet) {
  if (sheet.empty()) return {};
  const bool plain = std::all_of(sheet.begin(), sheet.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
  return plain ? sheet + "!" : "'" + lineio::escape_controls(sheet) + "'!";
}

}  // namespace

void TableRows::data_cell(const Cell& cell) {
  KeptCell* k = nullptr;
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (cell.column == heading_.column[r]) {
      k = &role_cell_[r];
      role_present_[r] = true;
    }
  }
  if (k == nullptr && heading_.unit_column && cell.column == unit_cell_.column) {
    k = &unit_cell_;
    unit_present_ = true;
  }
  if (k == nullptr) {
    if (cell.kind == CellKind::text && is_total_label(cell.text)) total_label_ = true;
    return;
  }
  k->column = cell.column;
  k->kind = cell.kind;
  k->number = cell.number;
  k->text.assign(cell.text.substr(0, kKeptBytes));
  k->formula.assign(cell.formula.substr(0, kKeptBytes));
  k->cut = cell.cut;
}

// Why a role's cell is no number (outcome illegal), or empty when it is one.
std::string_view TableRows::role_reason(std::size_t r, Row::Outcome& outcome) {
  const KeptCell& c = role_cell_[r];
  const std::string role(kRoleName[r]);
  outcome = Row::Outcome::illegal;
  switch (c.kind) {
    case CellKind::number:
    case CellKind::text:
      break;
    case CellKind::error:
      reason_ = "the " + role + " cell holds the error " + lineio::escape_controls(c.text);
      return reason_;
    case CellKind::boolean:
      reason_ = "the " + role + " cell holds " + c.text + ", not a number";
      return reason_;
    case CellKind::no_value:
      reason_ = "the " + role + " cell is a formula without a saved value (=" +
                lineio::escape_controls(c.formula.substr(0, 40)) +
                "); open and save the file in a spreadsheet program to store its values";
      return reason_;
  }
  if (c.cut) {
    reason_ = "the " + role + " cell holds a text longer than " + std::to_string(kMaxCellBytes) +
              " characters";
    return reason_;
  }
  if (c.kind == CellKind::text) {
    double value = 0.0;
    if (!number_of_text(c.text, decimal_, value)) {
      reason_ = "the " + role + " cell holds " + quoted(c.text) + ", not a number";
      return reason_;
    }
  }
  outcome = Row::Outcome::item;
  return {};
}

void TableRows::end_data_row() {
  const bool any_role =
      std::any_of(role_present_.begin(), role_present_.end(), [](bool present) { return present; });
  // Wholly empty rows, and rows with nothing in the columns read (a section's title), are
  // passed over.
  if (!any_role && !unit_present_) return;
  Row row;
  row.number = row_;
  row.hidden = hidden_;
  if (hidden_) ++hidden_rows_;
  row.filled =
      static_cast<std::int32_t>(std::count(role_present_.begin(), role_present_.end(), true));
  auto name_cell = [&](std::uint32_t column) {
    cell_name_ = sheet_prefix(sheet_) + column_letters(column) + std::to_string(row_);
    row.cell = cell_name_;
  };

  // A subtotal: a summing formula in the mass cell, or a mass without coordinates under a
  // total label.
  const bool no_point = !role_present_[kX] && !role_present_[kY] && !role_present_[kZ];
  if (role_present_[kMass] &&
      (is_sum_formula(role_cell_[kMass].formula) || (no_point && total_label_))) {
    row.outcome = Row::Outcome::subtotal;
    name_cell(heading_.column[kMass]);
    reason_ =
        role_cell_[kMass].formula.empty()
            ? "a total: a mass without coordinates beside a total label; left out"
            : "a subtotal (=" + lineio::escape_controls(role_cell_[kMass].formula.substr(0, 40)) +
                  "); left out";
    row.reason = reason_;
    ++subtotals_;
    sink_.row(row);
    return;
  }

  // A role cell that is no number makes the row illegal; failing that, an empty one makes it
  // short of values.
  for (std::size_t r = 0; r < kRoles && row.outcome == Row::Outcome::item; ++r) {
    if (!role_present_[r]) continue;
    Row::Outcome outcome = Row::Outcome::item;
    const std::string_view why = role_reason(r, outcome);
    if (outcome != Row::Outcome::item) {
      row.outcome = outcome;
      name_cell(role_cell_[r].column);
      reason_ = std::string(why) + std::string(kLeftOut);
      row.reason = reason_;
    }
  }
  if (row.outcome == Row::Outcome::item && unit_present_) {
    std::string unit = unit_cell_.text;
    std::transform(unit.begin(), unit.end(), unit.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    unit.erase(0, unit.find_first_not_of(' '));
    unit.erase(unit.find_last_not_of(' ') + 1);
    if (unit == "kg") {
      row.mass_factor = 1.0;
    } else if (unit == "t" || unit == "te" || unit == "tonnes" || unit == "tonne") {
      row.mass_factor = 1000.0;
    } else if (!unit.empty()) {
      row.outcome = Row::Outcome::illegal;
      name_cell(unit_cell_.column);
      reason_ = "the unit cell holds " + quoted(unit_cell_.text) + ", not kg or t" +
                std::string(kLeftOut);
      row.reason = reason_;
    }
  }
  for (std::size_t r = 0; r < kRoles && row.outcome == Row::Outcome::item; ++r) {
    if (role_present_[r]) continue;
    row.outcome = Row::Outcome::too_few;
    name_cell(heading_.column[r]);
    reason_ = "the " + std::string(kRoleName[r]) + " cell is empty" + std::string(kLeftOut);
    row.reason = reason_;
  }
  if (row.outcome == Row::Outcome::item) {
    for (std::size_t r = 0; r < kRoles; ++r) {
      const KeptCell& c = role_cell_[r];
      double value = c.number;
      if (c.kind == CellKind::text) {
        static_cast<void>(number_of_text(c.text, decimal_, value));
        if (decimal_ == ',' && !comma_told_ && c.text.find(',') != std::string::npos) {
          comma_told_ = true;
          sink_.note("numbers written as text are read with a decimal comma, as in " +
                     sheet_prefix(sheet_) + column_letters(c.column) + std::to_string(row_));
        }
      }
      row.value[r] = scale_[r] == 1.0 ? value : value / scale_[r];
    }
  }
  sink_.row(row);
}

}  // namespace sheet::detail

namespace sheet {

std::string column_reference(std::string_view sheet, std::uint32_t column) {
  return detail::sheet_prefix(std::string(sheet)) + detail::column_letters(column);
}

}  // namespace sheet
