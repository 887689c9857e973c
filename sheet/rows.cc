// Rows below the heading: each role's cell read as a number (a centre's cell as three, a
// mass as a quantity times a unit mass where the table gives it so), or the reason the row is
// left out, naming the cell as a spreadsheet program shows it ("Sheet1!C14"). Only the cells
// of the columns read are kept, in strings reused from row to row.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "lineio/text_encoding.h"
#include "sheet/cells.h"
#include "sheet/sheet.h"
#include "sheet/totals.h"

namespace sheet::detail {
namespace {

constexpr std::string_view kLeftOut = "; the row is left out";
constexpr std::size_t kKeptBytes = 256;  // a number is far shorter; the rest is only shown

// The decimals a number is written with ("30.25" 2, "30" 0); -1 with an exponent.
int decimals_written(std::string_view text) {
  const std::size_t point = text.find('.');
  if (text.find_first_of("eE") != std::string_view::npos) return -1;
  if (point == std::string_view::npos) return 0;
  std::size_t end = point + 1;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return static_cast<int>(end - point - 1);
}

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
  if (cell.unclosed) unclosed_column_ = cell.column;
  const int slot = cell.column < slot_of_.size() ? slot_of_[cell.column] : -1;
  if (slot < 0 || slot == static_cast<int>(kCodeSlot)) {
    if (cell.kind == CellKind::text && is_total_label(cell.text)) total_label_ = true;
    if (slot < 0) return;
  }
  ReadColumn& read = read_[static_cast<std::size_t>(slot)];
  read.present = true;
  KeptCell& k = read.cell;
  k.column = cell.column;
  k.kind = cell.kind;
  k.number = cell.number;
  k.cut = cell.cut;
  if (!cell.formula.empty() || !k.formula.empty())
    k.formula.assign(cell.formula.substr(0, kKeptBytes));
  // A number's cell is read now; its text is kept only when it is no number.
  const bool numeric = slot <= static_cast<int>(kZSlot) || slot == static_cast<int>(kQuantitySlot);
  k.is_number = false;
  k.comma = false;
  if (numeric && !cell.cut && cell.kind == CellKind::number) {
    // The stored double is the value (a saved "NaN" is none). Its text gives the digits the
    // totals compare: all of them of the mass, the decimals of a coordinate.
    k.is_number = std::isfinite(cell.number);
    if (!k.is_number) {
      k.text.assign(cell.text.substr(0, kKeptBytes));
      return;
    }
    if (slot == static_cast<int>(kMassSlot)) {
      if (!parse_number(cell.text, '.', k.parsed)) k.parsed = ParsedNumber{};
    } else {
      k.parsed = ParsedNumber{};
      k.parsed.decimals = decimals_written(cell.text);
    }
    k.parsed.value = cell.number;
    return;
  }
  if (numeric && !cell.cut && cell.kind == CellKind::text) {
    k.is_number = parse_number(cell.text, decimal_, k.parsed);
    if (k.is_number) {
      k.comma = decimal_ == ',' && cell.text.find(',') != std::string_view::npos;
      return;
    }
  }
  k.text.assign(cell.text.substr(0, kKeptBytes));
}

void TableRows::name_cell(Row& row, std::uint32_t column) {
  cell_name_ = sheet_prefix(sheet_) + column_letters(column) + std::to_string(row_);
  row.cell = cell_name_;
}

// Why a cell read as a number is none (outcome illegal), or empty when it is one.
std::string_view TableRows::cell_reason(const KeptCell& c, std::string_view role,
                                        Row::Outcome& outcome) {
  outcome = Row::Outcome::item;
  if (c.is_number) return {};
  const std::string what(role);
  outcome = Row::Outcome::illegal;
  switch (c.kind) {
    case CellKind::number:
      reason_ = "the " + what + " cell holds " + quoted(c.text) + ", not a finite number";
      return reason_;
    case CellKind::text:
      break;
    case CellKind::error:
      reason_ = "the " + what + " cell holds the error " + lineio::escape_controls(c.text);
      return reason_;
    case CellKind::boolean:
      reason_ = "the " + what + " cell holds " + c.text + ", not a number";
      return reason_;
    case CellKind::no_value:
      reason_ = "the " + what + " cell is a formula without a saved value (=" +
                lineio::escape_controls(c.formula.substr(0, 40)) +
                "); open and save the file in a spreadsheet program to store its values";
      return reason_;
  }
  if (c.cut) {
    reason_ = "the " + what + " cell holds a text longer than " + std::to_string(kMaxCellBytes) +
              " characters";
    return reason_;
  }
  reason_ = "the " + what + " cell holds " + quoted(c.text) + ", not a number";
  return reason_;
}

// The first row below the headings, when it holds only units ("kg", "m", "m", "m") under the
// columns read: their units, as if the headings named them. Answers whether it was one (the
// row is then no item), or false with refusal_ set when its units cannot be taken.
bool TableRows::take_unit_row() {
  bool any = false;
  for (std::size_t s = 0; s <= kCentreSlot; ++s) {
    const ReadColumn& r = read_[s];
    if (!r.used || !r.present || s == kUnitSlot) continue;
    if (r.cell.kind != CellKind::text || r.cell.is_number) return false;
    std::string_view unit = r.cell.text;
    if (unit.size() >= 2 && (unit.front() == '[' || unit.front() == '(')) {
      unit = unit.substr(1, unit.size() - 2);
    }
    if (!unit_named(unit)) return false;
    any = true;
  }
  if (!any) return false;
  // Each read column's heading takes the unit below it, unless it names one of its own.
  for (std::size_t r = 0; r < kRoles; ++r) {
    const Slot s = heading_.source[r] == RoleSource::centre ? kCentreSlot : static_cast<Slot>(r);
    if (heading_.source[r] == RoleSource::constant || !read_[s].present) continue;
    std::string_view unit = read_[s].cell.text;
    if (unit.size() >= 2 && (unit.front() == '[' || unit.front() == '(')) {
      unit = unit.substr(1, unit.size() - 2);
    }
    const std::string written = meaning_of_heading(heading_.text[r]).unit;
    if (!written.empty()) {
      const std::optional<UnitWord> own = unit_named(written);
      const std::optional<UnitWord> below = unit_named(unit);
      if (own && below && own->factor != below->factor) {
        refusal_ = "the " + std::string(kRoleName[r]) + " heading \"" +
                   lineio::escape_controls(heading_.text[r]) + "\" and the unit below it in row " +
                   std::to_string(row_) + " (\"" + lineio::escape_controls(unit) + "\") disagree";
        stopped_ = true;
        return false;
      }
      continue;
    }
    unit_below_[r] = std::string(unit);
  }
  heading_.unit_row = row_;
  if (std::string why = role_units(); !why.empty()) {
    refusal_ = std::move(why);
    stopped_ = true;
    return false;
  }
  if (heading_.mass_factor > 0.0) heading_.mass_unit_column = read_[kMassSlot].column;
  return true;
}

void TableRows::end_data_row() {
  const bool any_read = std::any_of(read_.begin(), read_.begin() + kCodeSlot,
                                    [](const ReadColumn& r) { return r.used && r.present; });
  // Wholly empty rows, and rows with nothing in the columns read (a section's title), are
  // passed over.
  if (!any_read && unclosed_column_ < 0) return;
  if (heading_pending_) {
    const bool units = take_unit_row();
    if (stopped_) return;
    if (!emit_heading()) return;
    if (units) {
      sink_.note("the units in row " + std::to_string(row_) +
                 " under the headings are read as theirs");
      return;
    }
  }
  // The usual row: four numbers in their own columns, and nothing else to decide.
  if (plain_ && unclosed_column_ < 0 && !total_label_ && read_[kMassSlot].cell.formula.empty() &&
      (skip_ == nullptr || skip_->empty())) {
    bool numbers = true;
    for (std::size_t r = 0; r < kRoles; ++r) {
      numbers = numbers && read_[r].present && read_[r].cell.is_number;
    }
    if (numbers) {
      Row row;
      row.number = row_;
      row.hidden = hidden_;
      if (hidden_) ++hidden_rows_;
      row.filled = static_cast<std::int32_t>(kRoles);
      for (std::size_t r = 0; r < kRoles; ++r) {
        const KeptCell& c = read_[r].cell;
        if (c.comma && !comma_told_) {
          comma_told_ = true;
          sink_.note("numbers written as text are read with a decimal comma, as in " +
                     sheet_prefix(sheet_) + column_letters(c.column) + std::to_string(row_));
        }
        row.value[r] = scale_[r].of(c.parsed.value);
      }
      if (!scale_[kMass].plain()) row.mass_factor = 1.0;  // headed in g or lb: now in kg
      sink_.row(row);
      add_to_totals(row);
      return;
    }
  }
  Row row;
  if (skip_ != nullptr && skip_->contains(row_)) {
    ++skipped_;
    row.number = row_;
    row.outcome = Row::Outcome::skipped;
    sink_.row(row);
    return;
  }
  row.number = row_;
  row.hidden = hidden_;
  if (hidden_) ++hidden_rows_;
  const ReadColumn& mass = read_[kMassSlot];
  const ReadColumn& centre = read_[kCentreSlot];
  const ReadColumn& quantity = read_[kQuantitySlot];
  // The cells of the roles, in role order: a coordinate from the centre counts once.
  std::array<bool, kRoles> present{};
  for (std::size_t r = 0; r < kRoles; ++r) {
    switch (heading_.source[r]) {
      case RoleSource::column:
        present[r] = read_[r].present;
        break;
      case RoleSource::product:
        present[r] = mass.present || quantity.present;
        break;
      case RoleSource::centre:
        present[r] = centre.present;
        break;
      case RoleSource::constant:
        present[r] = true;
        break;
    }
  }
  row.filled = static_cast<std::int32_t>(std::count(present.begin(), present.end(), true));

  if (unclosed_column_ >= 0) {
    // Its cells after the quote are not known: the reading went on at the next line.
    row.outcome = Row::Outcome::illegal;
    name_cell(row, static_cast<std::uint32_t>(unclosed_column_));
    reason_ =
        "the quote that opens this cell is never closed, so the rest of the row is not "
        "known (the reading goes on at the next line)" +
        std::string(kLeftOut);
    row.reason = reason_;
    sink_.row(row);
    return;
  }

  // A subtotal: a summing formula in the mass cell, or a mass without coordinates under a
  // total label.
  const bool no_point = std::none_of(read_.begin() + kXSlot, read_.begin() + kZSlot + 1,
                                     [](const ReadColumn& r) { return r.present; }) &&
                        !centre.present;
  if (mass.present && (is_sum_formula(mass.cell.formula) || (no_point && total_label_))) {
    row.outcome = Row::Outcome::subtotal;
    name_cell(row, mass.column);
    reason_ = mass.cell.formula.empty()
                  ? "a total: a mass without coordinates beside a total label; left out"
                  : "a subtotal (=" + lineio::escape_controls(mass.cell.formula.substr(0, 40)) +
                        "); left out";
    row.reason = reason_;
    ++subtotals_;
    sink_.row(row);
    // The list's own total, where its mass cell holds a number, is held against its rows.
    if (mass.cell.is_number) {
      const bool in_kg = !scale_[kMass].plain();
      totals_->list_total(row_, row.cell, scale_[kMass].of(mass.cell.parsed.value), in_kg);
    }
    return;
  }

  // A cell that is no number makes the row illegal; failing that, an empty one makes it
  // short of values.
  const auto refuse = [&](Row::Outcome outcome, std::uint32_t column, std::string why) {
    row.outcome = outcome;
    name_cell(row, column);
    reason_ = std::move(why);
    row.reason = reason_;
  };
  const auto check = [&](const ReadColumn& r, std::string_view role) {
    if (row.outcome != Row::Outcome::item || !r.used || !r.present) return;
    Row::Outcome outcome = Row::Outcome::item;
    const std::string_view why = cell_reason(r.cell, role, outcome);
    if (outcome != Row::Outcome::item)
      refuse(outcome, r.cell.column, std::string(why) + std::string(kLeftOut));
  };
  check(quantity, "quantity");
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (heading_.source[r] == RoleSource::column || heading_.source[r] == RoleSource::product) {
      check(read_[r], heading_.source[r] == RoleSource::product ? "unit mass" : kRoleName[r]);
    }
  }
  std::array<double, 3> point{};
  if (row.outcome == Row::Outcome::item && centre.present) {
    const KeptCell& c = centre.cell;
    if (c.kind == CellKind::number) {
      refuse(Row::Outcome::illegal, c.column,
             "the centre cell holds one number, not X, Y and Z" + std::string(kLeftOut));
    } else if (c.kind != CellKind::text || !centre_of_text(c.text, decimal_, point)) {
      refuse(Row::Outcome::illegal, c.column,
             "the centre cell holds " + quoted(c.text) + ", not three numbers X, Y and Z" +
                 std::string(kLeftOut));
    }
  }
  if (row.outcome == Row::Outcome::item && read_[kUnitSlot].present) {
    const KeptCell& unit_cell = read_[kUnitSlot].cell;
    const std::optional<UnitWord> unit = unit_named(unit_cell.text);
    if (unit && unit->kind == UnitWord::mass) {
      row.mass_factor = unit->factor;
      if (unit->ambiguous && !ton_told_) {
        ton_told_ = true;
        name_cell(row, unit_cell.column);
        sink_.warning(row.cell,
                      "\"" + lineio::escape_controls(unit_cell.text) +
                          "\" is read as the metric tonne, 1000 kg; a long ton is 1016.05 kg and "
                          "a short ton 907.18 kg: give the unit as t, or the masses in kg");
        row.cell = {};
      }
    } else if (unit_cell.text.find_first_not_of(" \t") != std::string::npos) {
      refuse(Row::Outcome::illegal, unit_cell.column,
             "the unit cell holds " + quoted(unit_cell.text) + ", not kg, t, g or lb" +
                 std::string(kLeftOut));
    }
  }
  if (row.outcome == Row::Outcome::item) {
    const auto empty = [&](std::uint32_t column, std::string_view role) {
      refuse(Row::Outcome::too_few, column,
             "the " + std::string(role) + " cell is empty" + std::string(kLeftOut));
    };
    if (heading_.source[kMass] == RoleSource::product && !quantity.present) {
      empty(quantity.column, "quantity");
    } else if (!mass.present) {
      empty(mass.column, heading_.source[kMass] == RoleSource::product ? "unit mass" : "mass");
    }
    for (std::size_t r = kX; r < kRoles && row.outcome == Row::Outcome::item; ++r) {
      if (present[r]) continue;
      empty(heading_.source[r] == RoleSource::centre ? centre.column : read_[r].column,
            heading_.source[r] == RoleSource::centre ? "centre" : kRoleName[r]);
    }
  }
  if (row.outcome == Row::Outcome::item) {
    const auto value_of = [&](const KeptCell& c) {
      if (c.comma && !comma_told_) {
        comma_told_ = true;
        sink_.note("numbers written as text are read with a decimal comma, as in " +
                   sheet_prefix(sheet_) + column_letters(c.column) + std::to_string(row_));
      }
      return c.parsed.value;
    };
    for (std::size_t r = 0; r < kRoles; ++r) {
      double value = 0.0;
      switch (heading_.source[r]) {
        case RoleSource::column:
          value = value_of(read_[r].cell);
          break;
        case RoleSource::product:
          row.quantity = value_of(quantity.cell);
          value = row.quantity * value_of(mass.cell);
          break;
        case RoleSource::centre:
          value = point[r - kX];
          break;
        case RoleSource::constant:
          row.value[r] = heading_.constant[r];
          continue;
      }
      // A mass in its unit cell's unit, or in the heading's.
      row.value[r] = r == kMass && row.mass_factor > 0.0 ? value : scale_[r].of(value);
    }
    if (row.mass_factor > 0.0 && row.mass_factor != 1.0 && row.mass_factor != 1000.0) {
      // A row's mass in g or lb is handed on in kg.
      row.value[kMass] = scale_of(*unit_named(read_[kUnitSlot].cell.text)).of(row.value[kMass]);
      row.mass_factor = 1.0;
    } else if (row.mass_factor == 0.0 && !scale_[kMass].plain()) {
      row.mass_factor = 1.0;  // headed in g or lb: converted to kg above
    }
  }
  sink_.row(row);
  if (row.outcome == Row::Outcome::item) add_to_totals(row);
}

void TableRows::add_to_totals(const Row& row) {
  TotalRules::Item item;
  item.row = row.number;
  item.in_kg = row.mass_factor > 0.0;
  item.mass = row.mass_factor > 0.0 ? row.mass_factor * row.value[kMass] : row.value[kMass];
  // The digits as written, where the mass is its cell's number as it stands.
  if (heading_.source[kMass] == RoleSource::column && scale_[kMass].plain() &&
      (row.mass_factor == 0.0 || row.mass_factor == 1.0)) {
    item.digits = &read_[kMassSlot].cell.parsed;
  }
  for (std::size_t a = 0; a < 3; ++a) {
    item.point[a] = row.value[kX + a];
    switch (heading_.source[kX + a]) {
      case RoleSource::column: {
        const int written = read_[kXSlot + a].cell.parsed.decimals;
        item.decimals[a] = written < 0 ? 6 : written;
        break;
      }
      case RoleSource::centre:
        item.decimals[a] = 6;  // a centre's three numbers: their digits are not counted
        break;
      default:
        item.decimals[a] = 15;
        break;
    }
    // A converted coordinate keeps the decimals of its unit.
    if (!scale_[kX + a].plain()) item.decimals[a] += 4;
  }
  if (read_[kCodeSlot].present) item.code = read_[kCodeSlot].cell.text;
  totals_->item(item);
}

}  // namespace sheet::detail

namespace sheet {

std::string column_reference(std::string_view sheet, std::uint32_t column) {
  return detail::sheet_prefix(std::string(sheet)) + detail::column_letters(column);
}

}  // namespace sheet
