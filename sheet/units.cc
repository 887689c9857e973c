// The units people write beside masses and lengths, and their factors to kilograms and
// metres: the one reading of a unit for headings, unit rows and unit cells alike.
#include <algorithm>
#include <array>
#include <string>

#include "sheet/cells.h"

namespace sheet {
namespace {

struct Named {
  std::string_view word;
  UnitWord unit;
};

// Pounds and inches as defined since 1959: 0.45359237 kg and 0.0254 m.
constexpr std::array kUnits = {
    Named{"kg", {UnitWord::mass, 1.0, "kg"}},
    Named{"kgs", {UnitWord::mass, 1.0, "kg"}},
    Named{"kilogram", {UnitWord::mass, 1.0, "kg"}},
    Named{"kilograms", {UnitWord::mass, 1.0, "kg"}},
    Named{"t", {UnitWord::mass, 1000.0, "t"}},
    Named{"te", {UnitWord::mass, 1000.0, "t"}},
    Named{"tonne", {UnitWord::mass, 1000.0, "t"}},
    Named{"tonnes", {UnitWord::mass, 1000.0, "t"}},
    Named{"mt", {UnitWord::mass, 1000.0, "t"}},
    Named{"g", {UnitWord::mass, 0.001, "g"}},
    Named{"gram", {UnitWord::mass, 0.001, "g"}},
    Named{"grams", {UnitWord::mass, 0.001, "g"}},
    Named{"lb", {UnitWord::mass, 0.45359237, "lb"}},
    Named{"lbs", {UnitWord::mass, 0.45359237, "lb"}},
    Named{"lbm", {UnitWord::mass, 0.45359237, "lb"}},
    Named{"pound", {UnitWord::mass, 0.45359237, "lb"}},
    Named{"pounds", {UnitWord::mass, 0.45359237, "lb"}},
    // Metric, long (1016.05 kg) or short (907.18 kg): read as metric, and warned.
    Named{"ton", {UnitWord::mass, 1000.0, "ton", true}},
    Named{"tons", {UnitWord::mass, 1000.0, "ton", true}},
    Named{"m", {UnitWord::length, 1.0, "m"}},
    Named{"metre", {UnitWord::length, 1.0, "m"}},
    Named{"metres", {UnitWord::length, 1.0, "m"}},
    Named{"meter", {UnitWord::length, 1.0, "m"}},
    Named{"meters", {UnitWord::length, 1.0, "m"}},
    Named{"mm", {UnitWord::length, 0.001, "mm"}},
    Named{"cm", {UnitWord::length, 0.01, "cm"}},
    Named{"in", {UnitWord::length, 0.0254, "in"}},
    Named{"inch", {UnitWord::length, 0.0254, "in"}},
    Named{"inches", {UnitWord::length, 0.0254, "in"}},
    Named{"ft", {UnitWord::length, 0.3048, "ft"}},
    Named{"foot", {UnitWord::length, 0.3048, "ft"}},
    Named{"feet", {UnitWord::length, 0.3048, "ft"}},
};

}  // namespace

std::optional<UnitWord> unit_named(std::string_view word) {
  std::array<char, 16> folded{};
  std::size_t n = 0;
  for (const char c : word) {
    if (c == ' ' || c == '\t' || c == '.') continue;  // "kg." and " t " read as kg and t
    if (n == folded.size()) return std::nullopt;
    folded[n++] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  const std::string_view key(folded.data(), n);
  const auto* it =
      std::find_if(kUnits.begin(), kUnits.end(), [&](const Named& u) { return u.word == key; });
  if (it == kUnits.end()) return std::nullopt;
  return it->unit;
}

}  // namespace sheet
