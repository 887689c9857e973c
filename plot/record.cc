// One line of a Map_Mass file: is it a record, and which numbers does it hold?
//
// Safety rule: every look at the line goes through std::string_view (substr, bounded loops);
// a number is copied into a fixed buffer only after its length was checked against it.
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>

#include "plot/records_file.h"

namespace plot {
namespace {

constexpr std::string_view kKeyword = "Map_Mass";
constexpr std::size_t kLongestNumber = 120;  // characters of one number, sign and exponent

// The tool's own record layout: [begin, end) of spread, x, y, z and mass (0-based).
constexpr std::array<std::array<std::size_t, 2>, 5> kColumns{
    {{11, 15}, {15, 27}, {27, 39}, {39, 51}, {51, 64}}};

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool equals_ignoring_case(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c =
        text[k] >= 'A' && text[k] <= 'Z' ? static_cast<char>(text[k] - 'A' + 'a') : text[k];
    if (c != lower[k]) return false;
  }
  return true;
}

// A number as writers of these files put it: optional sign, digits with an optional point,
// an optional exponent with E or D; also the words other writers use for values that are
// not finite. Answers false for anything else.
bool read_number(std::string_view text, double& value) {
  if (text.size() > kLongestNumber) return false;
  // The plain forms (no plus sign, no D exponent) go to std::from_chars as they lie; it reads
  // exactly these forms when they start with a digit or a point after an optional minus.
  const char* const end = text.data() + text.size();
  const char* const start = !text.empty() && text.front() == '-' ? text.data() + 1 : text.data();
  if (start != end && (is_digit(*start) || *start == '.')) {
    double parsed = 0;
    const auto result = std::from_chars(text.data(), end, parsed);
    if (result.ec == std::errc{} && result.ptr == end) {
      value = parsed;
      return true;
    }
  }
  std::string_view body = text;
  bool negative = false;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  if (equals_ignoring_case(body, "inf") || equals_ignoring_case(body, "infinity")) {
    value = negative ? -std::numeric_limits<double>::infinity()
                     : std::numeric_limits<double>::infinity();
    return true;
  }
  if (equals_ignoring_case(body, "nan")) {
    value = std::numeric_limits<double>::quiet_NaN();
    return true;
  }

  std::array<char, kLongestNumber + 2> plain{};  // sign, then the body with 'e' for D
  std::size_t n = 0;
  if (negative) plain[n++] = '-';
  std::size_t k = 0;
  std::size_t digits = 0;
  const auto copy_digits = [&] {
    const std::size_t start = k;
    while (k < body.size() && is_digit(body[k])) plain[n++] = body[k++];
    return k - start;
  };
  digits += copy_digits();
  if (k < body.size() && body[k] == '.') {
    plain[n++] = body[k++];
    digits += copy_digits();
  }
  if (digits == 0) return false;
  bool tiny = false;  // a negative exponent: out of range means too small, not too big
  if (k < body.size()) {
    const char e = body[k];
    if (e != 'E' && e != 'e' && e != 'D' && e != 'd') return false;
    plain[n++] = 'e';
    ++k;
    if (k < body.size() && (body[k] == '+' || body[k] == '-')) {
      tiny = body[k] == '-';
      plain[n++] = body[k++];
    }
    if (copy_digits() == 0 || k != body.size()) return false;
  }
  double parsed = 0;
  const auto result = std::from_chars(plain.data(), plain.data() + n, parsed);
  if (result.ptr != plain.data() + n) return false;
  if (result.ec == std::errc::result_out_of_range) {
    parsed = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    if (negative) parsed = -parsed;
  } else if (result.ec != std::errc{}) {
    return false;
  }
  value = parsed;
  return true;
}

// The spread count is not drawn; it may be a number or the asterisks of a count too wide
// for its columns.
bool is_spread(std::string_view text) {
  double ignored = 0;
  if (read_number(text, ignored)) return true;
  return !text.empty() && text.find_first_not_of('*') == std::string_view::npos;
}

bool read_fields(std::span<const std::string_view> fields, Mass& mass) {
  std::array<double, 4> v{};
  if (!is_spread(fields[0])) return false;
  for (std::size_t k = 0; k < v.size(); ++k) {
    if (!read_number(fields[k + 1], v[k])) return false;
  }
  mass = Mass{v[0], v[1], v[2], v[3]};
  return true;
}

// The first five blank-separated items after the keyword.
bool read_free(std::string_view rest, Mass& mass) {
  std::array<std::string_view, 5> fields;
  std::size_t found = 0;
  while (found < fields.size()) {
    while (!rest.empty() && is_blank(rest.front())) rest.remove_prefix(1);
    if (rest.empty()) return false;
    std::size_t end = 0;
    while (end < rest.size() && !is_blank(rest[end])) ++end;
    fields[found++] = rest.substr(0, end);
    rest.remove_prefix(end);
  }
  return read_fields(fields, mass);
}

// The tool's fixed columns, where neighbouring fields may touch; nothing may follow them.
bool read_columns(std::string_view line, Mass& mass) {
  if (!line.starts_with(" Map_Mass") || line.size() < kColumns.back()[1]) return false;
  if (!trim(line.substr(kColumns.back()[1])).empty()) return false;
  std::array<std::string_view, 5> fields;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    fields[k] = trim(line.substr(kColumns[k][0], kColumns[k][1] - kColumns[k][0]));
  }
  return read_fields(fields, mass);
}

bool drawable(double v) {
  return std::isfinite(v) && std::fabs(v) <= kLargestDrawn;
}

}  // namespace

RecordKind parse_record(std::string_view line, Mass& mass) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view rest = line;
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  if (!rest.starts_with(kKeyword)) return RecordKind::other;
  rest.remove_prefix(kKeyword.size());
  if (!rest.empty() && !is_blank(rest.front())) return RecordKind::other;  // "Map_Masses"

  Mass read;
  if (!read_free(rest, read) && !read_columns(line, read)) return RecordKind::malformed;
  if (!drawable(read.x) || !drawable(read.y) || !drawable(read.z) || !drawable(read.kg)) {
    return RecordKind::not_drawn;
  }
  mass = read;
  return RecordKind::mass;
}

}  // namespace plot
