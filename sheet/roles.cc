// The heading row: the first row that names a mass and X, Y, Z (by the words engineers use,
// or as --columns names them); title rows, a revision line or empty rows above it are passed
// over. Two columns for one role, or no such row, refuse the table with the candidates named.
#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "lineio/text_encoding.h"
#include "sheet/cells.h"

namespace sheet::detail {
namespace {

constexpr std::array<std::string_view, kRoles> kRoleName = {"mass", "X", "Y", "Z"};
constexpr std::string_view kName = "name the columns with --columns mass=D,x=E,y=F,z=G";

// A column and its heading for a message: C ("Weight [t]").
std::string shown(std::uint32_t column, std::string_view text) {
  constexpr std::size_t kShownBytes = 40;
  return column_letters(column) + " (\"" + lineio::escape_controls(text.substr(0, kShownBytes)) +
         "\")";
}

bool is_number_text(const std::string& text) {
  double value = 0.0;
  return number_of_text(text, '.', value) || number_of_text(text, ',', value);
}

}  // namespace

TableRows::TableRows(RowSink& sink, ColumnChoice choice, std::string sheet, char decimal)
    : sink_(sink), choice_(std::move(choice)), sheet_(std::move(sheet)), decimal_(decimal) {
  heading_.sheet = sheet_;
}

void TableRows::begin_row(std::int64_t row, bool hidden) {
  row_ = row;
  hidden_ = hidden;
  kept_.clear();
  role_present_.fill(false);
  unit_present_ = false;
  total_label_ = false;
}

void TableRows::cell(const Cell& cell) {
  if (found_) {
    data_cell(cell);
    return;
  }
  if (kept_.size() >= kMaxColumns) return;
  KeptCell& k = kept_.emplace_back();
  k.column = cell.column;
  k.kind = cell.kind;
  k.number = cell.number;
  // A heading is short: a longer text is kept only in part, as no heading.
  constexpr std::size_t kHeadingBytes = 256;
  k.text = cell.text.substr(0, kHeadingBytes);
  k.formula = cell.formula;
  k.cut = cell.cut;
}

bool TableRows::end_row() {
  if (stopped_) return false;
  if (found_) {
    end_data_row();
    return !stopped_;
  }
  return end_search_row();
}

bool TableRows::end_search_row() {
  if (kept_.empty()) return true;
  ++searched_;
  std::array<std::vector<std::uint32_t>, kRoles> found;
  std::vector<std::uint32_t> unit_columns;
  std::array<const KeptCell*, kRoles> by_position{};
  for (const KeptCell& c : kept_) {
    for (std::size_t r = 0; r < kRoles; ++r) {
      if (choice_.column[r] == c.column) by_position[r] = &c;
    }
    if (c.kind != CellKind::text) continue;
    const HeadingMeaning m = meaning_of_heading(c.text);
    for (std::size_t r = 0; r < kRoles; ++r) {
      const bool named = !choice_.heading[r].empty();
      if (named ? same_heading(c.text, choice_.heading[r])
                : static_cast<std::size_t>(m.kind) == r + 1) {
        found[r].push_back(c.column);
      }
    }
    if (m.kind == HeadingMeaning::unit_column) unit_columns.push_back(c.column);
  }
  // Roles named by a column letter or number that no heading of that text claims.
  const bool by_heading =
      std::any_of(found.begin(), found.end(), [](const auto& f) { return !f.empty(); });
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (found[r].empty() && choice_.column[r] >= 0) {
      found[r].push_back(static_cast<std::uint32_t>(choice_.column[r]));
    }
  }
  if (choice_.all_by_position() && !by_heading) {
    // Columns given by position: the first row with all four cells decides. A text there is the
    // heading; a number means the table has none and this row is the first item.
    // A row that lacks one of the columns decides nothing (under the wrong delimiter every
    // row does).
    if (std::find(by_position.begin(), by_position.end(), nullptr) != by_position.end()) {
      return true;
    }
    const KeptCell* mass = by_position[kMass];
    const bool heading_row = mass->kind == CellKind::text && !is_number_text(mass->text);
    if (!heading_row) {
      const std::int64_t row = row_;
      std::vector<KeptCell> cells = std::move(kept_);
      if (!take_heading(found, unit_columns, false)) return false;
      begin_row(row, hidden_);
      for (const KeptCell& c : cells) {
        data_cell(Cell{c.column, c.kind, c.number, c.text, c.formula, c.cut});
      }
      end_data_row();
      return !stopped_;
    }
    return take_heading(found, unit_columns);
  }
  const std::size_t roles = static_cast<std::size_t>(
      std::count_if(found.begin(), found.end(), [](const auto& f) { return !f.empty(); }));
  if (roles == kRoles) return take_heading(found, unit_columns);
  if (roles > closest_roles_) {
    closest_roles_ = roles;
    closest_ = "row " + std::to_string(row_) + " comes closest, with";
    std::string missing;
    for (std::size_t r = 0; r < kRoles; ++r) {
      if (found[r].empty()) {
        missing += (missing.empty() ? "" : ", ") + std::string(kRoleName[r]);
        continue;
      }
      const auto at = std::find_if(kept_.begin(), kept_.end(),
                                   [&](const KeptCell& c) { return c.column == found[r][0]; });
      closest_ += " " + std::string(kRoleName[r]) + " in " +
                  shown(found[r][0], at == kept_.end() ? std::string_view{} : at->text) + ",";
    }
    closest_ += " and no " + missing;
  }
  if (searched_ >= kHeadingSearchRows) {
    stopped_ = true;
    return false;
  }
  return true;
}

bool TableRows::take_heading(const std::array<std::vector<std::uint32_t>, kRoles>& found,
                             const std::vector<std::uint32_t>& unit_columns, bool heading_row) {
  auto text_of = [&](std::uint32_t column) -> std::string {
    const auto at = std::find_if(kept_.begin(), kept_.end(),
                                 [&](const KeptCell& c) { return c.column == column; });
    return at == kept_.end() || at->kind != CellKind::text ? std::string{} : at->text;
  };
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (found[r].size() > 1) {
      refusal_ = "row " + std::to_string(row_) + " names " + std::to_string(found[r].size()) + " " +
                 std::string(kRoleName[r]) + " columns:";
      for (std::size_t k = 0; k < found[r].size(); ++k) {
        refusal_ += (k == 0                     ? " "
                     : k + 1 == found[r].size() ? " and "
                                                : ", ") +
                    shown(found[r][k], text_of(found[r][k]));
      }
      refusal_ += "; choose one with --columns " +
                  std::string(r == kMass ? "mass"
                              : r == kX  ? "x"
                              : r == kY  ? "y"
                                         : "z") +
                  "=" + column_letters(found[r][0]);
      stopped_ = true;
      return false;
    }
    heading_.column[r] = found[r][0];
    heading_.text[r] = text_of(found[r][0]);
  }
  for (std::size_t r = 0; r < kRoles; ++r) {
    for (std::size_t q = 0; q < r; ++q) {
      if (heading_.column[r] == heading_.column[q]) {
        refusal_ = "the " + std::string(kRoleName[q]) + " and the " + std::string(kRoleName[r]) +
                   " are both column " + column_letters(heading_.column[r]);
        stopped_ = true;
        return false;
      }
    }
  }
  if (unit_columns.size() > 1) {
    refusal_ = "row " + std::to_string(row_) +
               " names two unit columns: " + shown(unit_columns[0], text_of(unit_columns[0])) +
               " and " + shown(unit_columns[1], text_of(unit_columns[1]));
    stopped_ = true;
    return false;
  }
  heading_.unit_column = unit_columns.size() == 1;
  if (heading_.unit_column) unit_cell_.column = unit_columns[0];
  heading_.row = heading_row ? row_ : 0;
  if (std::string why = role_units(); !why.empty()) {
    refusal_ = std::move(why);
    stopped_ = true;
    return false;
  }
  found_ = true;
  if (!sink_.heading(heading_)) {
    stopped_ = true;
    return false;
  }
  std::string converted;
  for (std::size_t r = kX; r < kRoles; ++r) {
    if (scale_[r] != 1.0) {
      converted += (converted.empty() ? "" : ", ") + std::string(kRoleName[r]) + " (" +
                   (scale_[r] == 1000.0 ? "mm" : "cm") + ")";
    }
  }
  if (!converted.empty()) {
    sink_.note("coordinates headed in mm or cm are converted to metres: " + converted);
  }
  return true;
}

// The units the headings name: the mass in kg or t, coordinates in m, mm or cm.
std::string TableRows::role_units() {
  const HeadingMeaning mass = meaning_of_heading(heading_.text[kMass]);
  const std::string& u = mass.unit;
  if (u == "kg") {
    heading_.mass_unit = MassUnit::kg;
  } else if (u == "t" || u == "te" || u == "tonnes" || u == "tonne" || u == "ton" || u == "tons") {
    heading_.mass_unit = MassUnit::tonnes;
  } else if (!u.empty()) {
    return "the mass heading \"" + lineio::escape_controls(heading_.text[kMass]) +
           "\" names a unit other than kg or t";
  }
  for (std::size_t r = kX; r < kRoles; ++r) {
    const std::string unit = meaning_of_heading(heading_.text[r]).unit;
    if (unit.empty() || unit == "m") {
      scale_[r] = 1.0;
    } else if (unit == "mm") {
      scale_[r] = 1000.0;
    } else if (unit == "cm") {
      scale_[r] = 100.0;
    } else {
      return "the " + std::string(kRoleName[r]) + " heading \"" +
             lineio::escape_controls(heading_.text[r]) + "\" names a unit other than m, mm or cm";
    }
  }
  return {};
}

std::string TableRows::finish() {
  if (!refusal_.empty()) return refusal_;
  if (!found_) {
    std::string why = searched_ == 0 ? std::string("the table holds no rows")
                      : searched_ >= kHeadingSearchRows
                          ? "no row among the first " + std::to_string(kHeadingSearchRows) +
                                " names the mass and X, Y, Z columns"
                          : std::string("no row names the mass and X, Y, Z columns");
    if (!closest_.empty()) why += " (" + closest_ + ")";
    return why + "; " + std::string(kName);
  }
  if (hidden_rows_ > 0) {
    sink_.note(
        std::to_string(hidden_rows_) +
        (hidden_rows_ == 1 ? " hidden or filtered row was" : " hidden or filtered rows were") +
        " read like the others");
  }
  if (subtotals_ > 0) {
    sink_.note(std::to_string(subtotals_) +
               (subtotals_ == 1 ? " subtotal row was" : " subtotal rows were") + " left out");
  }
  return {};
}

}  // namespace sheet::detail
