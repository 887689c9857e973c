// What a heading says: the role of its column and the unit written with it. Headings are read
// as engineers write them: "Mass [t]", "Weight / kg", "Mass kg", "CoG_x [m]", "Xcg (m)",
// "CG X", "LCG from AP [m]", "VCG above BL [m]", "Center of mass (mm)", "Qty",
// "Unit mass [kg]".
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/cells.h"

namespace sheet::detail {
namespace {

using Kind = HeadingMeaning::Kind;

bool alphanumeric(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         static_cast<unsigned char>(c) >= 0x80;
}

struct Word {
  std::string_view name;
  Kind kind;
};

// Whole headings, lower case and without blanks, hyphens, underscores and dots, in several
// languages; "KG" is the height of the centre of gravity above the keel.
constexpr std::array kWholes = {
    Word{"mass", Kind::mass},
    Word{"weight", Kind::mass},
    Word{"masse", Kind::mass},
    Word{"vekt", Kind::mass},
    Word{"gewicht", Kind::mass},
    Word{"w", Kind::mass},
    Word{"wt", Kind::mass},
    Word{"vikt", Kind::mass},
    Word{"massa", Kind::mass},
    Word{"poids", Kind::mass},
    Word{"totalmass", Kind::mass},
    Word{"totalweight", Kind::mass},
    Word{"totalwt", Kind::mass},
    Word{"x", Kind::x},
    Word{"lcg", Kind::x},
    Word{"xcg", Kind::x},
    Word{"xcog", Kind::x},
    Word{"cogx", Kind::x},
    Word{"cgx", Kind::x},
    Word{"xg", Kind::x},
    Word{"lcog", Kind::x},
    Word{"y", Kind::y},
    Word{"tcg", Kind::y},
    Word{"ycg", Kind::y},
    Word{"ycog", Kind::y},
    Word{"cogy", Kind::y},
    Word{"cgy", Kind::y},
    Word{"yg", Kind::y},
    Word{"tcog", Kind::y},
    Word{"z", Kind::z},
    Word{"vcg", Kind::z},
    Word{"zcg", Kind::z},
    Word{"zcog", Kind::z},
    Word{"cogz", Kind::z},
    Word{"cgz", Kind::z},
    Word{"zg", Kind::z},
    Word{"kg", Kind::z},
    Word{"vcog", Kind::z},
    Word{"unit", Kind::unit_column},
    Word{"units", Kind::unit_column},
    Word{"massunit", Kind::unit_column},
    Word{"enhet", Kind::unit_column},
    Word{"einheit", Kind::unit_column},
    Word{"centerofmass", Kind::centre},
    Word{"centreofmass", Kind::centre},
    Word{"centerofgravity", Kind::centre},
    Word{"centreofgravity", Kind::centre},
    Word{"masscenter", Kind::centre},
    Word{"masscentre", Kind::centre},
    Word{"cog", Kind::centre},
    Word{"cg", Kind::centre},
    Word{"qty", Kind::quantity},
    Word{"quantity", Kind::quantity},
    Word{"pcs", Kind::quantity},
    Word{"nooff", Kind::quantity},
    Word{"numberoff", Kind::quantity},
    Word{"antall", Kind::quantity},
    Word{"anzahl", Kind::quantity},
    Word{"menge", Kind::quantity},
    Word{"unitmass", Kind::unit_mass},
    Word{"unitweight", Kind::unit_mass},
    Word{"unitwt", Kind::unit_mass},
    Word{"massperunit", Kind::unit_mass},
    Word{"weightperunit", Kind::unit_mass},
    Word{"masseach", Kind::unit_mass},
    Word{"weighteach", Kind::unit_mass},
};

// Words that name a role inside a longer heading ("LCG from AP", "VCG above BL", "Item
// weight"): at least two letters, so that a "Y" of "Y/N" names nothing.
constexpr std::array kInside = {
    Word{"mass", Kind::mass},    Word{"weight", Kind::mass}, Word{"masse", Kind::mass},
    Word{"gewicht", Kind::mass}, Word{"vekt", Kind::mass},   Word{"lcg", Kind::x},
    Word{"xcg", Kind::x},        Word{"lcog", Kind::x},      Word{"tcg", Kind::y},
    Word{"ycg", Kind::y},        Word{"tcog", Kind::y},      Word{"vcg", Kind::z},
    Word{"zcg", Kind::z},        Word{"vcog", Kind::z},
};

// Words that make a heading something else than a role it names ("Moment about X", "Mass
// %", "Min weight").
constexpr std::array<std::string_view, 24> kOther = {
    "moment", "mom", "per",      "percent",      "cum",        "cumulative", "min",      "max",
    "ratio",  "tol", "density",  "tolerance",    "share",      "fraction",   "position", "pos",
    "lever",  "arm", "distance", "longitudinal", "transverse", "vertical",   "centre",   "center",
};

Kind kind_of_whole(std::string_view key) {
  const auto* it =
      std::find_if(kWholes.begin(), kWholes.end(), [&](const Word& w) { return w.name == key; });
  return it == kWholes.end() ? Kind::none : it->kind;
}

// The heading's words, lower case, cut at everything but letters and digits.
std::vector<std::string> words_of(std::string_view name) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : name) {
    if (!alphanumeric(c)) {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
      continue;
    }
    word += lower(c);
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

Kind kind_of(std::string_view name) {
  const std::vector<std::string> words = words_of(name);
  if (words.empty()) return Kind::none;
  std::string whole;
  for (const std::string& w : words) whole += w;
  if (const Kind k = kind_of_whole(whole); k != Kind::none) return k;
  // "CoG X", "X-CoG" as two words read as one.
  Kind found = Kind::none;
  for (const std::string& w : words) {
    if (std::find(kOther.begin(), kOther.end(), w) != kOther.end()) return Kind::none;
    const auto* it = std::find_if(kInside.begin(), kInside.end(),
                                  [&](const Word& inside) { return inside.name == w; });
    if (it == kInside.end()) continue;
    if (found != Kind::none && found != it->kind) return Kind::none;  // "Mass LCG": unclear
    found = it->kind;
  }
  return found;
}

}  // namespace

HeadingMeaning meaning_of_heading(std::string_view text) {
  text = trim(text);
  HeadingMeaning m;
  std::string_view name = text;
  std::string_view unit;
  const std::size_t open = text.find_first_of("[(");
  if (open != std::string_view::npos) {
    const char close = text[open] == '[' ? ']' : ')';
    const std::size_t end = text.find(close, open + 1);
    if (end == std::string_view::npos || !trim(text.substr(end + 1)).empty()) return m;
    name = trim(text.substr(0, open));
    unit = trim(text.substr(open + 1, end - open - 1));
  } else if (const std::size_t slash = text.find_last_of("/,");
             slash != std::string_view::npos && unit_named(trim(text.substr(slash + 1)))) {
    // "Weight / kg", "Mass/t", "Mass, kg": a unit after a slash or a comma.
    name = trim(text.substr(0, slash));
    unit = trim(text.substr(slash + 1));
  } else if (const std::size_t space = text.find_last_of(" \t"); space != std::string_view::npos) {
    // "Mass kg", "X m": a unit after a blank, where what stands before it names a role.
    const std::string_view bare = text.substr(space + 1);
    if (unit_named(bare) && kind_of(text.substr(0, space)) != Kind::none) {
      name = trim(text.substr(0, space));
      unit = bare;
    }
  }
  // "Mass %": a share, not a mass.
  if (name.find('%') != std::string_view::npos) return m;
  m.kind = kind_of(name);
  if (m.kind != Kind::none) {
    m.unit = std::string(unit);
    std::transform(m.unit.begin(), m.unit.end(), m.unit.begin(), lower);
  }
  return m;
}

}  // namespace sheet::detail
