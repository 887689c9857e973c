// What a heading says: the role of its column (mass, X, Y, Z, the unit of each row) and the
// unit written with it; the column letters; --columns; labels and formulas of subtotal rows;
// numbers written as text.
#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <string_view>

#include "sheet/cells.h"

namespace sheet::detail {
namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Lower case, without blanks, hyphens, underscores and dots: "X-CoG" and "x cog" read alike.
std::string folded(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (blank(c) || c == '-' || c == '_' || c == '.') continue;
    out += lower(c);
  }
  return out;
}

struct Word {
  std::string_view name;
  HeadingMeaning::Kind kind;
};

// The headings engineers give these columns, in several languages; "KG" is the height of the
// centre of gravity above the keel.
constexpr std::array kWords = {
    Word{"mass", HeadingMeaning::mass},
    Word{"weight", HeadingMeaning::mass},
    Word{"masse", HeadingMeaning::mass},
    Word{"vekt", HeadingMeaning::mass},
    Word{"gewicht", HeadingMeaning::mass},
    Word{"w", HeadingMeaning::mass},
    Word{"wt", HeadingMeaning::mass},
    Word{"vikt", HeadingMeaning::mass},
    Word{"massa", HeadingMeaning::mass},
    Word{"poids", HeadingMeaning::mass},
    Word{"x", HeadingMeaning::x},
    Word{"lcg", HeadingMeaning::x},
    Word{"xcg", HeadingMeaning::x},
    Word{"xcog", HeadingMeaning::x},
    Word{"cogx", HeadingMeaning::x},
    Word{"xg", HeadingMeaning::x},
    Word{"y", HeadingMeaning::y},
    Word{"tcg", HeadingMeaning::y},
    Word{"ycg", HeadingMeaning::y},
    Word{"ycog", HeadingMeaning::y},
    Word{"cogy", HeadingMeaning::y},
    Word{"yg", HeadingMeaning::y},
    Word{"z", HeadingMeaning::z},
    Word{"vcg", HeadingMeaning::z},
    Word{"zcg", HeadingMeaning::z},
    Word{"zcog", HeadingMeaning::z},
    Word{"cogz", HeadingMeaning::z},
    Word{"zg", HeadingMeaning::z},
    Word{"kg", HeadingMeaning::z},
    Word{"unit", HeadingMeaning::unit_column},
    Word{"units", HeadingMeaning::unit_column},
    Word{"massunit", HeadingMeaning::unit_column},
    Word{"enhet", HeadingMeaning::unit_column},
    Word{"einheit", HeadingMeaning::unit_column},
};

// Units that may follow a heading after a blank, without brackets ("Mass kg", "X m").
constexpr std::array<std::string_view, 9> kBareUnits = {"kg", "t",  "te", "tonnes", "tonne",
                                                        "m",  "mm", "cm", "tons"};

HeadingMeaning::Kind kind_of(std::string_view name) {
  const std::string key = folded(name);
  const auto* it =
      std::find_if(kWords.begin(), kWords.end(), [&](const Word& w) { return w.name == key; });
  return it == kWords.end() ? HeadingMeaning::none : it->kind;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), lower);
  return out;
}

}  // namespace

std::string column_letters(std::uint32_t column) {
  std::string letters;
  std::uint64_t n = std::uint64_t{column} + 1;
  while (n > 0) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    n = (n - 1) / 26;
  }
  return letters;
}

bool column_of_letters(std::string_view letters, std::uint32_t& column) {
  if (letters.empty() || letters.size() > 3) return false;
  std::uint32_t n = 0;
  for (char c : letters) {
    const char l = lower(c);
    if (l < 'a' || l > 'z') return false;
    n = n * 26 + static_cast<std::uint32_t>(l - 'a' + 1);
  }
  if (n > kMaxColumns) return false;
  column = n - 1;
  return true;
}

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
  } else if (const std::size_t space = text.find_last_of(" \t"); space != std::string_view::npos) {
    const std::string bare = lowered(text.substr(space + 1));
    if (std::find(kBareUnits.begin(), kBareUnits.end(), bare) != kBareUnits.end() &&
        kind_of(text.substr(0, space)) != HeadingMeaning::none) {
      name = trim(text.substr(0, space));
      unit = text.substr(space + 1);
    }
  }
  m.kind = kind_of(name);
  if (m.kind != HeadingMeaning::none) m.unit = lowered(unit);
  return m;
}

bool is_total_label(std::string_view text) {
  const std::string t = lowered(trim(text));
  constexpr std::array<std::string_view, 8> kTotals = {
      "total", "subtotal", "sub-total", "sum", "totals", "grand total", "summe", "totalt"};
  if (std::find(kTotals.begin(), kTotals.end(), t) != kTotals.end()) return true;
  return t.starts_with("total ") || t.starts_with("subtotal ") || t.starts_with("sum ") ||
         t.ends_with(" total") || t.ends_with(" subtotal");
}

bool is_sum_formula(std::string_view formula) {
  const std::string f = lowered(formula);
  return f.find("sum(") != std::string::npos || f.find("subtotal(") != std::string::npos ||
         f.find("aggregate(") != std::string::npos;
}

bool number_of_text(std::string_view text, char decimal, double& value) {
  text = trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  constexpr std::size_t kLongest = 64;
  if (text.empty() || text.size() > kLongest) return false;
  std::array<char, kLongest> plain{};
  std::size_t n = 0;
  bool digits = false;
  bool point = false;
  for (std::size_t k = 0; k < text.size(); ++k) {
    char c = text[k];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' || c == ',') {
      // Where the comma is the decimal sign, a point still is one; a second sign is a
      // thousands separator, and such a text is not plainly a number.
      if (point || (c == ',' && decimal != ',')) return false;
      point = true;
      c = '.';
    } else if (c == 'e' || c == 'E') {
      if (!digits) return false;
    } else if (c != '-' && c != '+') {
      return false;
    }
    plain[n++] = c;
  }
  if (!digits) return false;
  const char* end = plain.data() + n;
  const auto r = std::from_chars(plain.data(), end, value);
  return r.ec == std::errc() && r.ptr == end;
}

bool ColumnChoice::any() const {
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (column[r] >= 0 || !heading[r].empty()) return true;
  }
  return false;
}

bool ColumnChoice::all_by_position() const {
  return std::all_of(column.begin(), column.end(), [](std::int64_t c) { return c >= 0; });
}

bool same_heading(std::string_view cell, std::string_view wanted) {
  const std::string c = folded(cell);
  const std::string w = folded(wanted);
  if (c == w) return true;
  const std::size_t open = c.find_first_of("[(");
  return open != std::string::npos && c.substr(0, open) == w;
}

std::string parse_columns(std::string_view text, ColumnChoice& choice) {
  choice = ColumnChoice{};
  constexpr std::array<std::string_view, kRoles> kNames = {"mass", "x", "y", "z"};
  while (!text.empty()) {
    const std::size_t comma = std::min(text.find(','), text.size());
    const std::string_view item = trim(text.substr(0, comma));
    text.remove_prefix(std::min(comma + 1, text.size()));
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) {
      return "\"" + std::string(item) + "\" is not ROLE=COLUMN (roles: mass, x, y, z)";
    }
    const std::string role = lowered(trim(item.substr(0, equals)));
    const std::string_view where = trim(item.substr(equals + 1));
    const auto* it = std::find(kNames.begin(), kNames.end(), role);
    if (it == kNames.end()) return "\"" + role + "\" is no role (roles: mass, x, y, z)";
    const auto r = static_cast<std::size_t>(it - kNames.begin());
    if (choice.column[r] >= 0 || !choice.heading[r].empty()) {
      return "the " + role + " column is named twice";
    }
    if (where.empty()) return "the " + role + " column is not named";
    std::uint32_t column = 0;
    std::uint64_t number = 0;
    const auto [end, ec] = std::from_chars(where.data(), where.data() + where.size(), number);
    if (ec == std::errc() && end == where.data() + where.size()) {
      if (number < 1 || number > kMaxColumns) {
        return "column " + std::string(where) + " is not between 1 and 16384";
      }
      choice.column[r] = static_cast<std::int64_t>(number - 1);
    } else {
      // Letters name a column unless the heading row holds a heading of that text ("LCG").
      if (column_of_letters(where, column)) choice.column[r] = column;
      choice.heading[r] = std::string(where);
    }
  }
  return {};
}

}  // namespace sheet::detail
