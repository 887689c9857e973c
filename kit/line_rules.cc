// The checks of surprising readings that look at a line's layout and at the lines before it:
// an empty cell between two tabs, two numbers joined by a minus as fixed columns join them, a
// SIN or COS of an angle in degrees, item numbers in front of the mass.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "kit/fields.h"
#include "kit/kit.h"
#include "kit/reader_access.h"
#include "kit/surprises.h"

namespace kit {

namespace detail {
namespace {

// Digits, a point and digits, an optional exponent, from `at` on; answers the number of
// decimals (0 when the number is not of this form) and leaves `at` after it.
std::size_t fixed_number(std::string_view text, std::size_t& at) {
  const std::size_t begin = at;
  while (at < text.size() && is_digit(text[at])) ++at;
  if (at == begin || at >= text.size() || text[at] != '.') return 0;
  const std::size_t point = ++at;
  while (at < text.size() && is_digit(text[at])) ++at;
  const std::size_t decimals = at - point;
  if (at < text.size() && text[at] == 'E') {
    std::size_t q = at + 1;
    if (q < text.size() && (text[q] == '+' || text[q] == '-')) ++q;
    const std::size_t digits = q;
    while (q < text.size() && is_digit(text[q])) ++q;
    if (q == digits) return 0;
    at = q;
  }
  return decimals;
}

}  // namespace

std::size_t empty_cell_at(std::string_view line, std::size_t& column) {
  std::size_t p = 0;
  while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
  std::size_t item = 0;
  std::size_t found = std::string_view::npos;
  bool single = false;
  while (p < line.size()) {
    while (p < line.size() && line[p] != ' ' && line[p] != '\t' && line[p] != ',') ++p;
    if (p == line.size()) break;
    if (line[p] != '\t') return std::string_view::npos;  // a blank or a comma separates
    const std::size_t run = p;
    while (p < line.size() && line[p] == '\t') ++p;
    if (p == line.size()) break;  // tabs at the end separate nothing
    if (line[p] == ' ' || line[p] == ',') return std::string_view::npos;
    ++item;
    if (p - run == 1) {
      single = true;
    } else if (found == std::string_view::npos &&
               item < static_cast<std::size_t>(kWeightLineNumbers)) {
      found = item;
      column = run + 2;
    }
  }
  return single ? found : std::string_view::npos;
}

bool joined_numbers(std::string_view field) {
  std::size_t at = field.starts_with('-') || field.starts_with('+') ? 1 : 0;
  const std::size_t decimals = fixed_number(field, at);
  if (decimals == 0) return false;
  std::size_t numbers = 1;
  while (at < field.size()) {
    if (field[at] != '-') return false;
    ++at;
    if (fixed_number(field, at) != decimals) return false;
    ++numbers;
  }
  return numbers > 1;
}

bool ItemNumbers::add(std::int32_t line, bool whole, double first, double last, Run& ended) {
  const bool continues = whole && run_.lines > 0 && first == run_.last_number + 1.0 &&
                         !(last == last_of_previous_ + 1.0);
  last_of_previous_ = last;
  if (continues) {
    run_.last_line = line;
    run_.last_number = first;
    ++run_.lines;
    return false;
  }
  const bool told = run_.lines >= kItemRun;
  if (told) ended = run_;
  run_ = Run{};
  if (whole) run_ = Run{line, line, first, first, 1};
  return told;
}

bool ItemNumbers::finish(Run& ended) {
  const bool told = run_.lines >= kItemRun;
  if (told) ended = run_;
  run_ = Run{};
  return told;
}

}  // namespace detail

namespace {

using namespace detail;

constexpr std::array<std::string_view, 4> kRoles = {"the mass", "X", "Y", "Z"};

// A value to four significant digits, for a message.
std::string four_digits(double value) {
  std::array<char, 32> text{};
  const int n = std::snprintf(text.data(), text.size(), "%.4g", value);
  return {text.data(), static_cast<std::size_t>(std::max(n, 0))};
}

std::string_view raw_line() {
  const ReaderState& s = RDSTATE;
  return {s.RAWLIN.data() + 1, static_cast<std::size_t>(std::clamp(s.ILAST, 0, kMaxLine))};
}

}  // namespace

void SurpriseLog::check_empty_cell(std::int32_t NPAR, std::span<const double> VALUE) {
  std::size_t column = 0;
  const std::size_t moved = empty_cell_at(raw_line(), column);
  if (moved == std::string_view::npos || moved >= static_cast<std::size_t>(NPAR)) return;
  if (!counted(kEmptyCell)) return;
  tell_line("column " + std::to_string(column) +
            ": two tabs with nothing between them are one separator, so the numbers after the "
            "empty cell move one place left (" +
            shortest_number(VALUE[moved]) + " is read as " + std::string(kRoles[moved]) + ")");
}

void SurpriseLog::check_joined(const Item& field, double value) {
  const std::string_view text(RDSTATE.PRCLIN.data() + 1 + field.begin, field.end - field.begin);
  if (!joined_numbers(text) || !counted(kJoined)) return;
  const std::string_view written(RDSTATE.RAWLIN.data() + 1 + field.begin, text.size());
  tell_line(quoted_text(written) + " reads as the difference " + shortest_number(value) +
            ": two numbers written without a blank between them?");
}

void SurpriseLog::check_degrees(const Item& field, const TwoReadings& two) {
  if (two.degrees_at == 0 || !counted(kDegrees)) return;
  const std::string name(RDSTATE.PRCLIN.data() + two.degrees_at, 3);
  const std::string_view text(RDSTATE.PRCLIN.data() + 1 + field.begin, field.end - field.begin);
  const std::string argument = shortest_number(two.argument);
  tell_line(quoted_text(text) + ": SIN and COS take radians, and " + argument +
            " looks like degrees (" + name + "(" + argument + ") reads as " +
            four_digits(two.in_radians) + "; of " + argument + " degrees it is " +
            four_digits(two.in_degrees) + ")");
}

void SurpriseLog::check_item_numbers(std::int32_t NPAR, std::span<const std::int32_t> ITYPE,
                                     std::span<const double> VALUE) {
  ItemNumbers::Run ended;
  const auto last = static_cast<std::size_t>(NPAR) - 1;
  if (item_numbers_.add(RDSTATE.NLINE, ITYPE[0] == kInteger, VALUE[0], VALUE[last], ended)) {
    tell_item_run(ended);
  }
}

void SurpriseLog::tell_item_run(const ItemNumbers::Run& run) {
  if (!counted(kItemNumbers)) return;
  tell_line(run.first_line, "the first numbers of lines " + std::to_string(run.first_line) + "-" +
                                std::to_string(run.last_line) + " count up by one (" +
                                shortest_number(run.first_number) + " to " +
                                shortest_number(run.last_number) +
                                "): an item number is read as the mass, and each coordinate "
                                "as the number before it");
}

}  // namespace kit
