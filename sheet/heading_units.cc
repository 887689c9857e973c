// What a heading row decides once, before its rows: the units its headings (or the unit row
// under them) name, with the scales that convert them, and the heading handed on with the
// notes and warnings that go with it: conversions, a "ton", a quantity times a unit mass,
// constants of --columns, a centre written in one cell.
#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string>

#include "lineio/text_encoding.h"
#include "sheet/cells.h"
#include "sheet/totals.h"

namespace sheet::detail {
namespace {

// A factor as its shortest digits: "0.45359237".
std::string shortest(double value) {
  std::array<char, 32> digits{};
  const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  return {digits.data(), r.ptr};
}

}  // namespace

// The units the headings name: the mass in kg, t, g or lb, coordinates in m, mm, cm, in or ft.
std::string TableRows::role_units() {
  // A role's unit: the one its heading names, or else the one below it in a unit row.
  const auto unit_of = [&](std::size_t r, UnitWord::Kind kind, std::string_view what,
                           std::optional<UnitWord>& unit) -> std::string {
    const std::string& text = heading_.text[r];
    const HeadingMeaning m = meaning_of_heading(text);
    unit.reset();
    const std::string written = m.unit.empty() ? unit_below_[r] : m.unit;
    if (written.empty()) return {};
    unit = unit_named(written);
    if (!unit || unit->kind != kind) {
      const std::string where =
          m.unit.empty() ? "unit \"" + lineio::escape_controls(written) + "\" under the " +
                               std::string(what) + " heading"
                         : std::string(what) + " heading \"" + lineio::escape_controls(text) + "\"";
      return "the " + where + " names a unit other than " +
             (kind == UnitWord::mass ? "kg, t, g or lb" : "m, mm, cm, in or ft");
    }
    return {};
  };
  std::optional<UnitWord> mass;
  if (std::string why = unit_of(kMass, UnitWord::mass, "mass", mass); !why.empty()) {
    return why;
  }
  heading_.mass_unit = MassUnit::none;
  heading_.mass_factor = 0.0;
  heading_.mass_unit_below = meaning_of_heading(heading_.text[kMass]).unit.empty() && mass;
  scale_[kMass] = Scale{};
  if (mass) {
    heading_.mass_factor = mass->factor;
    heading_.mass_unit_name = mass->name;
    heading_.mass_unit_column = heading_.column[kMass];
    if (mass->factor == 1.0) {
      heading_.mass_unit = MassUnit::kg;
    } else if (mass->factor == 1000.0) {
      heading_.mass_unit = MassUnit::tonnes;
    } else {
      scale_[kMass] = scale_of(*mass);  // g and lb are handed on in kg
    }
  }
  for (std::size_t r = kX; r < kRoles; ++r) {
    scale_[r] = Scale{};
    unit_name_[r].clear();
    if (heading_.source[r] == RoleSource::constant) continue;
    std::optional<UnitWord> length;
    if (std::string why =
            unit_of(r, UnitWord::length,
                    heading_.source[r] == RoleSource::centre ? "centre" : kRoleName[r], length);
        !why.empty()) {
      return why;
    }
    if (!length || length->factor == 1.0) continue;
    scale_[r] = scale_of(*length);
    unit_name_[r] = length->name;
  }
  return {};
}

// Hands the heading on, with what it decided that the sink should know once.
bool TableRows::emit_heading() {
  heading_pending_ = false;
  plain_ = !read_[kUnitSlot].used && !read_[kCentreSlot].used && !read_[kQuantitySlot].used &&
           std::all_of(heading_.source.begin(), heading_.source.end(),
                       [](RoleSource s) { return s == RoleSource::column; });
  if (!sink_.heading(heading_)) {
    stopped_ = true;
    return false;
  }
  totals_ = std::make_unique<TotalRules>(
      sink_, scale_[kMass].plain() ? heading_.mass_unit_name : std::string("kg"),
      column_reference(sheet_, heading_.column[kMass]));
  const std::string mass_cell =
      column_reference(sheet_, heading_.mass_unit_column) +
      std::to_string(heading_.unit_row > 0 ? heading_.unit_row : heading_.row);
  std::string converted;
  std::string imperial;
  for (std::size_t r = kX; r < kRoles; ++r) {
    if (unit_name_[r].empty()) continue;
    const std::string item = std::string(kRoleName[r]) + " (" + unit_name_[r] + ")";
    std::string& list = unit_name_[r] == "in" || unit_name_[r] == "ft" ? imperial : converted;
    list += (list.empty() ? "" : ", ") + item;
  }
  if (!converted.empty()) {
    sink_.note("coordinates headed in mm or cm are converted to metres: " + converted);
  }
  if (!imperial.empty()) {
    sink_.note(
        "coordinates headed in inches or feet are converted to metres (1 in = 0.0254 m, 1 ft = "
        "0.3048 m): " +
        imperial);
  }
  if (heading_.mass_factor > 0.0 && !scale_[kMass].plain()) {
    sink_.note("masses in " + heading_.mass_unit_name + " are converted to kg (1 " +
               heading_.mass_unit_name + " = " + shortest(heading_.mass_factor) + " kg)");
  }
  if (heading_.mass_unit_name == "ton") {
    sink_.warning(mass_cell,
                  "\"ton\" is read as the metric tonne, 1000 kg; a long ton is 1016.05 kg and "
                  "a short ton 907.18 kg: give the unit as t, or the masses in kg");
  }
  if (!unused_product_.empty()) {
    sink_.note("the mass of each row is " +
               column_shown(heading_.column[kMass], heading_.text[kMass]) + "; " + unused_product_ +
               " is not used");
  }
  if (heading_.source[kMass] == RoleSource::product) {
    sink_.note("the mass of each row is " +
               column_shown(heading_.quantity_column, heading_.quantity_text) + " times " +
               column_shown(heading_.column[kMass], heading_.text[kMass]));
  }
  std::string constants;
  for (std::size_t r = kX; r < kRoles; ++r) {
    if (heading_.source[r] != RoleSource::constant) continue;
    constants += (constants.empty() ? "" : " and ") + std::string(kRoleName[r]) + " is " +
                 shortest(heading_.constant[r]) + " m";
  }
  if (!constants.empty()) constants += " in every row, as --columns gives";
  if (!constants.empty()) sink_.note(constants);
  if (read_[kCentreSlot].used) {
    std::string given;
    std::size_t by_centre = kZ + 1;
    for (std::size_t r = kX; r < kRoles; ++r) {
      if (heading_.source[r] != RoleSource::centre) continue;
      if (!given.empty()) given += ", ";
      given += kRoleName[r];
      by_centre = std::min(by_centre, r);
    }
    sink_.note(given + " of each row from the centre in " +
               column_shown(read_[kCentreSlot].column, heading_.text[by_centre]));
  }
  return true;
}

}  // namespace sheet::detail
