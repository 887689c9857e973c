// The column letters; --columns and --skip-rows; labels and formulas of subtotal rows; numbers
// written as text, and a centre's three numbers in one cell; scales of units.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "sheet/cells.h"

namespace sheet::detail {
namespace {

// Lower case, without blanks, hyphens, underscores and dots: "X-CoG" and "x cog" read alike.
std::string folded(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (blank(c) || c == '-' || c == '_' || c == '.') continue;
    out += lower(c);
  }
  return out;
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

bool is_total_label(std::string_view text) {
  // Every label starts with "t", "s" or "g", or ends with "total" ("Deck total"): most cells
  // are told apart by their first and last characters alone.
  const auto may_label = [](std::string_view t) {
    if (t.empty()) return false;
    const char first = lower(t.front());
    return first == 't' || first == 's' || first == 'g' || lower(t.back()) == 'l' ||
           blank(t.front()) || blank(t.back());
  };
  if (!may_label(text)) return false;
  text = trim(text);
  // Every label below is short: a longer text is a description, read without a copy.
  constexpr std::size_t kLongest = 64;
  if (text.empty() || text.size() > kLongest) return false;
  // Every label starts with "t", "s" or "g", or ends with "total" ("Deck total").
  const char first = lower(text.front());
  if (first != 't' && first != 's' && first != 'g' && lower(text.back()) != 'l') return false;
  std::array<char, kLongest> buffer{};
  std::transform(text.begin(), text.end(), buffer.begin(), lower);
  const std::string_view t(buffer.data(), text.size());
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

bool centre_of_text(std::string_view text, char decimal, std::array<double, 3>& point) {
  text = trim(text);
  if (text.size() >= 2 &&
      ((text.front() == '(' && text.back() == ')') || (text.front() == '[' && text.back() == ']') ||
       (text.front() == '{' && text.back() == '}'))) {
    text = text.substr(1, text.size() - 2);
  }
  // With a decimal comma only blanks and semicolons separate; otherwise commas too.
  const std::string_view separators = decimal == ',' ? " \t;" : " \t;,";
  std::size_t found = 0;
  while (!text.empty()) {
    const std::size_t start = text.find_first_not_of(separators);
    if (start == std::string_view::npos) break;
    text.remove_prefix(start);
    const std::size_t end = std::min(text.find_first_of(separators), text.size());
    if (found == point.size() || !number_of_text(text.substr(0, end), decimal, point[found])) {
      return false;
    }
    ++found;
    text.remove_prefix(end);
    // Between two numbers at most one separator that is no blank.
    const std::size_t next = text.find_first_not_of(" \t");
    if (next != std::string_view::npos && separators.find(text[next]) != std::string_view::npos) {
      text.remove_prefix(next + 1);
      const std::size_t after = text.find_first_not_of(" \t");
      if (after == std::string_view::npos ||
          separators.find(text[after]) != std::string_view::npos) {
        return false;
      }
    }
  }
  return found == point.size();
}

Scale scale_of(const UnitWord& unit) {
  // Exact factors as fractions: each conversion rounds once.
  if (unit.name == "mm" || unit.name == "g") return {1.0, 1000.0};
  if (unit.name == "cm") return {1.0, 100.0};
  if (unit.name == "in") return {254.0, 10000.0};
  if (unit.name == "ft") return {3048.0, 10000.0};
  if (unit.name == "lb") return {45359237.0, 100000000.0};
  return {unit.factor, 1.0};
}

bool ColumnChoice::any() const {
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (column[r] >= 0 || !heading[r].empty() || is_constant[r]) return true;
  }
  return false;
}

bool ColumnChoice::all_by_position() const {
  for (std::size_t r = 0; r < kRoles; ++r) {
    if (column[r] < 0 && !is_constant[r]) return false;
  }
  return std::any_of(column.begin(), column.end(), [](std::int64_t c) { return c >= 0; });
}

bool same_heading(std::string_view cell, std::string_view wanted) {
  const std::string c = folded(cell);
  const std::string w = folded(wanted);
  if (c == w) return true;
  const std::size_t open = c.find_first_of("[(");
  return open != std::string::npos && c.substr(0, open) == w;
}

namespace {

// A constant of --columns: a number with a sign, a decimal point or an exponent, or 0 (a
// column is a whole number from 1, or letters).
bool constant_of(std::string_view text, double& value) {
  if (text.find_first_of("+-.eE") == std::string_view::npos && text != "0") return false;
  if (text.find_first_not_of("0123456789+-.eE") != std::string_view::npos) return false;
  return number_of_text(text, '.', value);
}

}  // namespace

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
    if (choice.column[r] >= 0 || !choice.heading[r].empty() || choice.is_constant[r]) {
      return "the " + role + " column is named twice";
    }
    if (where.empty()) return "the " + role + " column is not named";
    if (double value = 0.0; constant_of(where, value)) {
      if (r == kMass) return "the mass is read from a column, not given as a constant";
      if (!std::isfinite(value)) return "the " + role + " constant is not a finite number";
      choice.is_constant[r] = true;
      choice.constant[r] = value;
      continue;
    }
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

std::string RowRanges::parse(std::string_view text) {
  ranges_.clear();
  while (!text.empty()) {
    const std::size_t comma = std::min(text.find(','), text.size());
    const std::string_view item = trim(text.substr(0, comma));
    text.remove_prefix(std::min(comma + 1, text.size()));
    const std::size_t dash = item.find('-');
    const std::string_view first_text = trim(item.substr(0, dash));
    const std::string_view last_text =
        dash == std::string_view::npos ? first_text : trim(item.substr(dash + 1));
    std::int64_t first = 0;
    std::int64_t last = 0;
    const auto read = [](std::string_view t, std::int64_t& n) {
      const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
      return !t.empty() && ec == std::errc() && end == t.data() + t.size() && n >= 1 &&
             n <= std::int64_t{1} << 31;
    };
    if (!read(first_text, first) || !read(last_text, last)) {
      return "\"" + std::string(item.substr(0, 40)) +
             "\" is not a row number or a range of them (7, 11-13)";
    }
    if (last < first) return "the range " + std::string(item) + " ends before it starts";
    ranges_.emplace_back(first, last);
  }
  if (ranges_.empty()) return "no row is named";
  return {};
}

bool RowRanges::contains(std::int64_t row) const {
  return std::any_of(ranges_.begin(), ranges_.end(),
                     [row](const auto& r) { return row >= r.first && row <= r.second; });
}

std::string RowRanges::listed() const {
  std::int64_t count = 0;
  std::string text;
  for (const auto& [first, last] : ranges_) {
    text += text.empty() ? "" : ", ";
    text += std::to_string(first);
    if (last != first) text += "-" + std::to_string(last);
    count += last - first + 1;
  }
  return (count == 1 ? "row " : "rows ") + text;
}

}  // namespace sheet::detail
