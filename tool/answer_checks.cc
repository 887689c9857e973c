// The dialogue's answers read against their look. The dialogue takes every answer as it always
// has; these checks tell on standard error where that reading differs from what the answer
// looks like: a unit that is neither kg nor tonnes, a skip answer that is neither yes nor no,
// a range with a decimal comma or more than two numbers, a spread count below 1.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "kit/surprises.h"
#include "lineio/lineio.h"
#include "tool/report.h"
#include "tool/settings.h"
#include "tool/warnings.h"

namespace tool {
namespace {

// Units of a force, which a mass unit answer may be mistaken for.
constexpr std::array<std::string_view, 10> kForceUnits = {"N",    "KN",  "MN",  "DAN", "KIP",
                                                          "KIPS", "LBF", "KGF", "TF",  "KP"};

// The answer as typed, without the blanks that pad it.
std::string_view as_typed(const Text& answer) {
  return trimmed({answer.data(), answer.size()});
}

std::string capitals(std::string_view text) {
  std::string word(text);
  kit::UPCASE(word);
  return word;
}

}  // namespace

void check_unit_answer(const Text& answer) {
  const std::string_view typed = as_typed(answer);
  const std::string word = capitals(typed);
  if (word.empty() || word == "K" || word == "KG" || word.starts_with("KILO") || word == "T" ||
      word.starts_with("TON")) {
    return;
  }
  // The dialogue's rule: a K in the first column means kilograms, anything else tonnes.
  const bool kg = unit_of_answer(typed) == MassUnit::kg;
  std::string line = "mass unit " + kit::quoted_text(typed) + " is read as ";
  if (kg) {
    line += "kg: it begins with K";
  } else {
    line +=
        "tonnes (the masses are multiplied by 1000): only an answer that begins with K or k "
        "means kg";
    if (typed.front() == ' ') line += ", and the blank before it counts";
  }
  const std::string_view unit = std::string_view(word).substr(word.find_first_not_of(' '));
  if (std::find(kForceUnits.begin(), kForceUnits.end(), unit) != kForceUnits.end()) {
    line += "; a force is not a mass: give the masses in kg or tonnes";
  }
  warnings().tell(line);
}

void check_skip_answer(std::size_t axis, const Text& answer) {
  const std::string_view typed = as_typed(answer);
  if (typed.empty() || std::string_view("yYnN").find(typed.front()) != std::string_view::npos) {
    return;
  }
  warnings().tell("answer " + kit::quoted_text(typed) + " to \"Skip Masses outside " +
                  std::string(kAxisName[axis]) + "min/" + std::string(kAxisName[axis]) +
                  "max\" is read as no: only an answer that begins with Y or y asks for a "
                  "range");
}

void check_range_answer(std::size_t axis, std::string_view typed, std::span<const double> bounds) {
  // The answer's lines one after the other: items as the numbers are separated, the third and
  // later ones not read.
  bool decimal_comma = false;
  std::size_t items = 0;
  std::string_view not_read;
  std::string shown;
  std::vector<kit::detail::LineItem> cut;
  for (std::string_view rest = typed; !rest.empty();) {
    const std::string_view line = rest.substr(0, rest.find('\n'));
    rest.remove_prefix(std::min(rest.size(), line.size() + 1));
    if (!shown.empty()) shown += ' ';
    shown += line;
    decimal_comma = decimal_comma || kit::has_decimal_comma(line);
    cut.resize(line.size() / 2 + 1);
    cut.resize(kit::detail::split_items(line, cut));
    for (const kit::detail::LineItem& item : cut) {
      if (++items == bounds.size() + 1) not_read = line.substr(item.begin);
    }
  }
  if (!decimal_comma && not_read.empty()) return;
  std::string text = std::string(kAxisName[axis]) + " range " + kit::quoted_text(shown) +
                     " is read as " + kit::shortest_number(bounds[0]) + " to " +
                     kit::shortest_number(bounds[1]) + ": ";
  text += decimal_comma ? "a comma separates numbers (a decimal point is written \".\")"
                        : "a range is two numbers";
  if (!not_read.empty()) {
    text += "; " + kit::quoted_text(not_read.substr(0, not_read.find_last_not_of(" \t") + 1)) +
            " is not read";
  }
  warnings().tell(text);
}

void check_spread_answer(std::int32_t spread) {
  if (spread >= 1) return;
  warnings().tell("spread count " + std::to_string(spread) + " is below 1: every record asks for " +
                  std::to_string(spread) + " nearest nodes");
}

}  // namespace tool
