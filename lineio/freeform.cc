// Free-form number reads: items separated by blanks or by one comma with optional blanks.
//
// An integer item is an optional sign and digits; a real item is
// [sign] digits [. [digits]] [exponent] or [sign] . digits [exponent], the exponent being
// E or D in either case, an optional sign and digits. Anything else is a bad number and ends
// the run. An empty item (a comma with nothing before it since the last separator) leaves
// the value it stands for as it was.
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lineio/failure.h"
#include "lineio/lineio.h"

namespace lineio {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// The item as shown in a message: at most 40 characters, unprintable ones as "?".
std::string shown_item(std::string_view item) {
  std::string s = "\"";
  for (std::size_t k = 0; k < item.size() && k < 40; ++k) {
    const auto c = static_cast<unsigned char>(item[k]);
    s += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
  }
  if (item.size() > 40) s += "...";
  s += "\"";
  return s;
}

std::string unit_name(std::int32_t unit) {
  if (unit == kConsoleIn) return "standard input";
  return "unit input";
}

[[noreturn]] void bad_number(std::string_view kind, std::string_view item, std::int32_t unit) {
  std::string what(kind);
  what += ' ';
  what += shown_item(item);
  fail_transfer(what, unit, unit_name(unit), 0);
}

// Length of the item starting at text[0]: up to a blank, a comma or the end.
std::size_t item_length(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && !is_blank(text[n]) && text[n] != ',') ++n;
  return n;
}

// Checks the real-item grammar and converts; false for a malformed item or one beyond the
// double range. A value below the smallest double is read as its correctly rounded value,
// a subnormal number or zero.
bool parse_real(std::string_view item, double& value) {
  std::string plain;  // the item with D turned into E and no leading "+"
  plain.reserve(item.size());
  std::size_t p = 0;
  if (p < item.size() && (item[p] == '+' || item[p] == '-')) {
    if (item[p] == '-') plain += '-';
    ++p;
  }
  std::size_t int_digits = 0;
  while (p < item.size() && is_digit(item[p])) {
    plain += item[p++];
    ++int_digits;
  }
  std::size_t frac_digits = 0;
  if (p < item.size() && item[p] == '.') {
    plain += item[p++];
    while (p < item.size() && is_digit(item[p])) {
      plain += item[p++];
      ++frac_digits;
    }
  }
  if (int_digits == 0 && frac_digits == 0) return false;
  if (p < item.size()) {
    const char letter = item[p];
    if (letter != 'E' && letter != 'e' && letter != 'D' && letter != 'd') return false;
    plain += 'e';
    ++p;
    if (p < item.size() && (item[p] == '+' || item[p] == '-')) plain += item[p++];
    std::size_t exp_digits = 0;
    while (p < item.size() && is_digit(item[p])) {
      plain += item[p++];
      ++exp_digits;
    }
    if (exp_digits == 0 || p != item.size()) return false;
  }
  const char* const end = plain.data() + plain.size();
  const auto result = std::from_chars(plain.data(), end, value);
  if (result.ptr != end) return false;
  if (result.ec == std::errc()) return true;
  if (result.ec != std::errc::result_out_of_range) return false;
  // Out of range: an overflow is refused, an underflow rounds to the nearest double.
  errno = 0;
  char* stop = nullptr;
  const double rounded = std::strtod(plain.c_str(), &stop);
  if (stop != end || std::isinf(rounded)) return false;
  value = rounded;
  return true;
}

}  // namespace

std::int32_t read_integer(std::string_view text, std::int32_t current, std::int32_t unit) {
  std::size_t p = 0;
  while (p < text.size() && is_blank(text[p])) ++p;
  if (p == text.size() || text[p] == ',') return current;  // no value given
  const std::string_view item = text.substr(p, item_length(text.substr(p)));
  std::string_view digits = item;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int32_t value = 0;
  bool ok = !digits.empty() && is_digit(digits.back());
  if (ok) {
    // from_chars takes a "-" but no "+", and refuses values beyond the 32-bit range.
    auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    ok = result.ec == std::errc() && result.ptr == digits.data() + digits.size() &&
         (digits.front() != '-' || item.front() != '+');
  }
  if (!ok) bad_number("BAD INTEGER", item, unit);
  return value;
}

namespace {

// Takes reals from one line into values, from values[got] on, until all are given or the line
// ends; answers the new count. after_separator carries over from the line before.
std::size_t scan_reals(std::string_view rest, std::span<double> values, std::size_t got,
                       bool& after_separator, std::int32_t unit) {
  while (got < values.size()) {
    const std::size_t first = rest.find_first_not_of(" \t");
    if (first == std::string_view::npos) break;
    rest.remove_prefix(first);
    if (rest.front() == ',') {
      if (after_separator) ++got;  // empty item: the value stays
      after_separator = true;
      rest.remove_prefix(1);
      continue;
    }
    const std::string_view item = rest.substr(0, item_length(rest));
    double value = 0.0;
    if (!parse_real(item, value)) bad_number("BAD REAL NUMBER", item, unit);
    values[got++] = value;
    after_separator = false;
    rest.remove_prefix(item.size());
    // A comma right after the item (blanks allowed) is its separator.
    const std::size_t next = rest.find_first_not_of(" \t");
    if (next != std::string_view::npos && rest[next] == ',') {
      rest.remove_prefix(next + 1);
      after_separator = true;
    }
  }
  return got;
}

}  // namespace

void read_reals(std::int32_t unit, std::span<double> values, std::string* typed) {
  std::string line;  // a whole answer, whatever its length
  std::size_t got = 0;
  bool after_separator = true;  // a comma now would stand for an empty item
  if (typed != nullptr) typed->clear();
  while (got < values.size()) {
    read_whole_line(unit, line);
    if (typed != nullptr) *typed += line + '\n';
    got = scan_reals(line, values, got, after_separator, unit);
  }
}

std::size_t read_reals_in(std::string_view line, std::span<double> values, std::int32_t unit) {
  bool after_separator = true;
  return scan_reals(line, values, 0, after_separator, unit);
}

}  // namespace lineio
