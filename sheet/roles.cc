// The heading row: the first row that names a mass and X, Y, Z (by the words engineers use,
// or as --columns names them); title rows, a revision line or empty rows above it are passed
// over. A mass may be a quantity times a unit mass, the coordinates a centre written in one
// cell or constants of --columns. Two columns for one role, or no such row, refuse the table
// with the candidates named and the columns to name.
#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "lineio/text_encoding.h"
#include "sheet/cells.h"
#include "sheet/totals.h"

namespace sheet::detail {
namespace {

constexpr std::array<std::string_view, kRoles> kOptionName = {"mass", "x", "y", "z"};

// Headings of an item code's column ("Item", "No.", "Pos", "SWBS").
bool is_code_heading(std::string_view text) {
  std::string key;
  for (const char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) key += c;
    if (c >= 'A' && c <= 'Z') key += static_cast<char>(c - 'A' + 'a');
  }
  constexpr std::array<std::string_view, 16> kCodes = {
      "item", "itemno", "itemnr", "itemcode", "no",   "nr",  "pos",   "position",
      "id",   "code",   "ref",    "wbs",      "swbs", "sfi", "group", "number"};
  return std::find(kCodes.begin(), kCodes.end(), key) != kCodes.end();
}

bool is_number_text(const std::string& text) {
  double value = 0.0;
  return number_of_text(text, '.', value) || number_of_text(text, ',', value);
}

}  // namespace

std::string column_shown(std::uint32_t column, std::string_view text) {
  constexpr std::size_t kShownBytes = 40;
  return column_letters(column) + " (\"" + lineio::escape_controls(text.substr(0, kShownBytes)) +
         "\")";
}

TableRows::TableRows(RowSink& sink, ColumnChoice choice, std::string sheet, char decimal,
                     const RowRanges* skip)
    : sink_(sink),
      choice_(std::move(choice)),
      sheet_(std::move(sheet)),
      decimal_(decimal),
      skip_(skip) {
  heading_.sheet = sheet_;
}

TableRows::~TableRows() = default;

void TableRows::begin_row(std::int64_t row, bool hidden) {
  row_ = row;
  hidden_ = hidden;
  kept_.clear();
  for (ReadColumn& r : read_) r.present = false;
  total_label_ = false;
  unclosed_column_ = -1;
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

std::string TableRows::text_of(std::uint32_t column) const {
  const auto at = std::find_if(kept_.begin(), kept_.end(),
                               [&](const KeptCell& c) { return c.column == column; });
  return at == kept_.end() || at->kind != CellKind::text ? std::string{} : at->text;
}

bool TableRows::end_search_row() {
  if (kept_.empty()) return true;
  ++searched_;
  Found found;
  std::array<const KeptCell*, kRoles> by_position{};
  for (const KeptCell& c : kept_) {
    for (std::size_t r = 0; r < kRoles; ++r) {
      if (choice_.column[r] == c.column) by_position[r] = &c;
    }
    if (c.kind == CellKind::number || (c.kind == CellKind::text && is_number_text(c.text))) {
      if (number_cells_.size() <= c.column) number_cells_.resize(std::size_t{c.column} + 1);
      ++number_cells_[c.column];
    }
    if (c.kind != CellKind::text) continue;
    const HeadingMeaning m = meaning_of_heading(c.text);
    for (std::size_t r = 0; r < kRoles; ++r) {
      if (choice_.is_constant[r]) continue;
      const bool named = !choice_.heading[r].empty();
      if (named ? same_heading(c.text, choice_.heading[r])
                : static_cast<std::size_t>(m.kind) == r + 1) {
        found.role[r].push_back(c.column);
      }
    }
    switch (m.kind) {
      case HeadingMeaning::unit_column:
        found.unit.push_back(c.column);
        break;
      case HeadingMeaning::centre:
        found.centre.push_back(c.column);
        break;
      case HeadingMeaning::quantity:
        found.quantity.push_back(c.column);
        break;
      case HeadingMeaning::unit_mass:
        found.unit_mass.push_back(c.column);
        break;
      default:
        break;
    }
  }
  // Roles named by a column letter or number that no heading of that text claims.
  const bool by_heading =
      std::any_of(found.role.begin(), found.role.end(), [](const auto& f) { return !f.empty(); });
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (found.role[r].empty() && choice_.column[r] >= 0) {
      found.role[r].push_back(static_cast<std::uint32_t>(choice_.column[r]));
    }
  }
  if (choice_.all_by_position() && !by_heading) {
    // Columns given by position: the first row with all their cells decides. A text there is
    // the heading; a number means the table has none and this row is the first item. A row
    // that lacks one of the columns decides nothing (under the wrong delimiter every row does).
    for (std::size_t r = 0; r < kRoles; ++r) {
      if (!choice_.is_constant[r] && by_position[r] == nullptr) return true;
    }
    const KeptCell* mass = by_position[kMass];
    const bool heading_row = mass->kind == CellKind::text && !is_number_text(mass->text);
    if (!heading_row) {
      const std::int64_t row = row_;
      std::vector<KeptCell> cells = std::move(kept_);
      if (!take_heading(found, false)) return false;
      begin_row(row, hidden_);
      for (const KeptCell& c : cells) {
        data_cell(c.view());
      }
      end_data_row();
      return !stopped_;
    }
    return take_heading(found);
  }
  // A role is named when its column is, or a centre gives it, or --columns a constant; the
  // mass also by a quantity and a unit mass.
  std::size_t roles = 0;
  for (std::size_t r = 0; r < kRoles; ++r) {
    const bool named =
        !found.role[r].empty() || choice_.is_constant[r] ||
        (r == kMass ? !found.quantity.empty() && !found.unit_mass.empty() : !found.centre.empty());
    roles += named ? 1 : 0;
  }
  if (roles == kRoles) return take_heading(found);
  remember_closest(found);
  if (searched_ >= kHeadingSearchRows) {
    stopped_ = true;
    return false;
  }
  return true;
}

void TableRows::remember_closest(const Found& found) {
  std::size_t roles = 0;
  for (std::size_t r = 0; r < kRoles; ++r) roles += found.role[r].empty() ? 0 : 1;
  if (roles <= closest_roles_) return;
  closest_roles_ = roles;
  closest_ = "row " + std::to_string(row_) + " comes closest, with";
  std::string missing;
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (found.role[r].empty()) {
      missing += (missing.empty() ? "" : ", ") + std::string(kRoleName[r]);
      closest_column_[r] = -1;
      continue;
    }
    closest_column_[r] = found.role[r][0];
    closest_ += " " + std::string(kRoleName[r]) + " in " +
                column_shown(found.role[r][0], text_of(found.role[r][0])) + ",";
  }
  closest_ += " and no " + missing;
}

std::string TableRows::suggested_columns() const {
  // The roles the closest row named keep their columns; the others take, in order, the
  // columns right of the mass that held numbers in the rows searched and no role yet. A
  // coordinate still without one is suggested as a constant.
  std::array<std::int64_t, kRoles> column = closest_column_;
  if (closest_roles_ == 0 && number_cells_.empty()) return "--columns mass=D,x=E,y=F,z=G";
  std::vector<std::uint32_t> numbers;
  for (std::uint32_t c = 0; c < number_cells_.size(); ++c) {
    if (number_cells_[c] > 0 && std::find(column.begin(), column.end(), c) == column.end() &&
        (column[kMass] < 0 || c > column[kMass])) {
      numbers.push_back(c);
    }
  }
  std::size_t next = 0;
  bool constant = false;
  std::string text = "--columns ";
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (r > 0) text += ',';
    text += kOptionName[r];
    text += '=';
    if (column[r] < 0 && next < numbers.size()) column[r] = numbers[next++];
    if (column[r] >= 0) {
      text += column_letters(static_cast<std::uint32_t>(column[r]));
    } else if (r == kMass) {
      text += "D";
    } else {
      text += '0';
      constant = true;
    }
  }
  if (constant) text += " (a coordinate the file lacks given as a constant, in metres)";
  return text;
}

// The one column of a kind a heading row names; a refusal naming them all when it names two.
std::string TableRows::choose_column(std::string_view what,
                                     const std::vector<std::uint32_t>& columns,
                                     std::string_view option) {
  if (columns.size() <= 1) return {};
  std::string why = "row " + std::to_string(row_) + " names " + std::to_string(columns.size()) +
                    " " + std::string(what) + " columns:";
  for (std::size_t k = 0; k < columns.size(); ++k) {
    why += (k == 0                    ? " "
            : k + 1 == columns.size() ? " and "
                                      : ", ") +
           column_shown(columns[k], text_of(columns[k]));
  }
  if (!option.empty()) {
    why += "; choose one with --columns " + std::string(option) + "=" + column_letters(columns[0]);
  }
  return why;
}

bool TableRows::take_heading(const Found& found, bool heading_row) {
  const auto refuse = [&](std::string why) {
    refusal_ = std::move(why);
    stopped_ = true;
    return false;
  };
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (std::string why = choose_column(kRoleName[r], found.role[r], kOptionName[r]);
        !why.empty()) {
      return refuse(std::move(why));
    }
  }
  const auto slot = [&](Slot s, std::uint32_t column) {
    read_[s].used = true;
    read_[s].column = column;
  };
  // The mass: its column, or a quantity times a unit mass (a total mass column wins).
  if (!found.role[kMass].empty()) {
    heading_.source[kMass] = RoleSource::column;
    heading_.column[kMass] = found.role[kMass][0];
    heading_.text[kMass] = text_of(found.role[kMass][0]);
    if (!found.quantity.empty() && !found.unit_mass.empty()) {
      unused_product_ = column_shown(found.quantity[0], text_of(found.quantity[0])) + " times " +
                        column_shown(found.unit_mass[0], text_of(found.unit_mass[0]));
    }
  } else {
    if (std::string why = choose_column("quantity", found.quantity, {}); !why.empty()) {
      return refuse(std::move(why));
    }
    if (std::string why = choose_column("unit mass", found.unit_mass, {}); !why.empty()) {
      return refuse(std::move(why));
    }
    heading_.source[kMass] = RoleSource::product;
    heading_.column[kMass] = found.unit_mass[0];
    heading_.text[kMass] = text_of(found.unit_mass[0]);
    heading_.quantity_column = found.quantity[0];
    heading_.quantity_text = text_of(found.quantity[0]);
    slot(kQuantitySlot, heading_.quantity_column);
  }
  slot(kMassSlot, heading_.column[kMass]);
  // The coordinates: their columns, else constants, else a centre written in one cell.
  bool by_centre = false;
  for (std::size_t r = kX; r < kRoles; ++r) {
    if (!found.role[r].empty()) {
      heading_.source[r] = RoleSource::column;
      heading_.column[r] = found.role[r][0];
      heading_.text[r] = text_of(found.role[r][0]);
      slot(static_cast<Slot>(r), heading_.column[r]);
    } else if (choice_.is_constant[r]) {
      heading_.source[r] = RoleSource::constant;
      heading_.constant[r] = choice_.constant[r];
    } else {
      by_centre = true;
    }
  }
  if (by_centre) {
    if (std::string why = choose_column("centre", found.centre, {}); !why.empty()) {
      return refuse(std::move(why));
    }
    for (std::size_t r = kX; r < kRoles; ++r) {
      if (!found.role[r].empty() || choice_.is_constant[r]) continue;
      heading_.source[r] = RoleSource::centre;
      heading_.column[r] = found.centre[0];
      heading_.text[r] = text_of(found.centre[0]);
    }
    slot(kCentreSlot, found.centre[0]);
  }
  // No column read twice.
  for (std::size_t a = 0; a < kSlots; ++a) {
    for (std::size_t b = 0; b < a; ++b) {
      if (read_[a].used && read_[b].used && read_[a].column == read_[b].column) {
        constexpr std::array<std::string_view, kSlots> kSlotName = {
            "mass", "X", "Y", "Z", "unit", "centre", "quantity"};
        return refuse("the " + std::string(kSlotName[b]) + " and the " + std::string(kSlotName[a]) +
                      " are both column " + column_letters(read_[a].column));
      }
    }
  }
  if (found.unit.size() > 1) {
    return refuse("row " + std::to_string(row_) + " names two unit columns: " +
                  column_shown(found.unit[0], text_of(found.unit[0])) + " and " +
                  column_shown(found.unit[1], text_of(found.unit[1])));
  }
  heading_.unit_column = found.unit.size() == 1;
  if (heading_.unit_column) {
    slot(kUnitSlot, found.unit[0]);
    for (std::size_t s = 0; s < kUnitSlot; ++s) {
      if (read_[s].used && read_[s].column == found.unit[0]) {
        return refuse("the unit column " + column_letters(found.unit[0]) + " is also read as " +
                      std::string(kRoleName[s]));
      }
    }
  }
  heading_.row = heading_row ? row_ : 0;
  // The item code: the first column headed so that nothing else reads.
  for (const KeptCell& c : kept_) {
    if (c.kind != CellKind::text || !is_code_heading(c.text)) continue;
    const bool read = std::any_of(read_.begin(), read_.end(), [&](const ReadColumn& r) {
      return r.used && r.column == c.column;
    });
    if (read) continue;
    slot(kCodeSlot, c.column);
    break;
  }
  for (std::size_t k = 0; k < kSlots; ++k) {
    if (!read_[k].used) continue;
    if (slot_of_.size() <= read_[k].column) slot_of_.resize(std::size_t{read_[k].column} + 1, -1);
    slot_of_[read_[k].column] = static_cast<std::int8_t>(k);
  }
  if (std::string why = role_units(); !why.empty()) return refuse(std::move(why));
  found_ = true;
  heading_pending_ = true;
  return true;
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
    return why + "; name the columns with " + suggested_columns();
  }
  if (heading_pending_ && !emit_heading()) return {};
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
  if (skip_ != nullptr && !skip_->empty()) {
    sink_.note(skip_->listed() + " left out, as --skip-rows asks (" + std::to_string(skipped_) +
               (skipped_ == 1 ? " row" : " rows") + " with cells)");
  }
  return {};
}

}  // namespace sheet::detail
