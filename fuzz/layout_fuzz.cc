// Fuzz target: the field layouts of the line output, for arbitrary values, widths and
// decimals.
//
//   byte 0     field kind: integer, fixed point, scientific or text; bit 2 composes the field
//              after a literal and blank columns in a Line; bit 3 makes the value a decimal
//              number of a weight list rather than any bit pattern
//   byte 1-2   width w (mostly 0..63, sometimes up to 2200)
//   byte 3-4   decimals d (mostly -2..29, sometimes up to 1300)
//   byte 5-12  the value: the bits of a double or of a 64-bit integer
//   the rest   the text of a text field, and the literal before a composed field
//
// Every field must be exactly w columns. Its contents are compared with an independent
// rendering by the C library's printf (which rounds the exact binary value, ties to even),
// right-aligned, or w asterisks exactly when that rendering does not fit. A fixed or
// scientific field read back must lie within half a unit of its last digit of the value.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "lineio/lineio.h"

namespace {

enum Kind { kInteger, kFixed, kScientific, kText };

void fail(const char* what, std::string_view got, std::string_view want) {
  std::fprintf(stderr, "layout check failed: %s\n  got:  [%.*s]\n  want: [%.*s]\n", what,
               static_cast<int>(got.size()), got.data(), static_cast<int>(want.size()),
               want.data());
  std::abort();
}

std::string right_aligned(std::string_view body, int w) {
  if (body.size() > static_cast<std::size_t>(w))
    return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - body.size(), ' ') + std::string(body);
}

std::string printed(const char* format, int precision, double value) {
  const int n = std::snprintf(nullptr, 0, format, precision, value);
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(s.data(), s.size(), format, precision, value);
  s.resize(static_cast<std::size_t>(n));
  return s;
}

std::string expected_special(double value, int w) {
  if (std::isnan(value)) return right_aligned("NaN", w);
  const std::string full = std::signbit(value) ? "-Infinity" : "Infinity";
  if (full.size() <= static_cast<std::size_t>(w)) return right_aligned(full, w);
  return right_aligned(std::signbit(value) ? "-Inf" : "Inf", w);
}

std::string expected_fixed(double value, int w, int decimals) {
  if (w <= 0) return {};
  if (!std::isfinite(value)) return expected_special(value, w);
  const int d = std::max(decimals, 0);
  if (d + 1 > w) return std::string(static_cast<std::size_t>(w), '*');
  std::string s = printed("%.*f", d, value);
  if (d == 0) s += '.';
  if (s.size() == static_cast<std::size_t>(w) + 1) {
    // A lone 0 before the point gives way when that makes the number fit.
    if (s.starts_with("0.")) s.erase(0, 1);
    if (s.starts_with("-0.")) s.erase(1, 1);
  }
  return right_aligned(s, w);
}

std::string expected_sci(double value, int w, int decimals) {
  if (w <= 0) return {};
  if (!std::isfinite(value)) return expected_special(value, w);
  const int d = std::max(decimals, 0);
  if (d + 6 > w) return std::string(static_cast<std::size_t>(w), '*');
  std::string s = printed("%.*E", d, value);
  const std::size_t e = s.find('E');
  if (d == 0) s.insert(e, ".");
  const std::size_t e2 = s.find('E');
  if (s.size() - e2 - 2 == 3) s.erase(e2, 1);  // three exponent digits replace the letter
  return right_aligned(s, w);
}

// The value a fixed or scientific field shows, read back.
double read_back(std::string_view field, Kind kind) {
  std::string s(field.substr(field.find_first_not_of(' ')));
  if (kind == kScientific && s.find('E') == std::string::npos) {
    const std::size_t sign = s.find_last_of("+-");
    s.insert(sign, "E");
  }
  return std::strtod(s.c_str(), nullptr);
}

void check_read_back(std::string_view field, Kind kind, double value, int decimals) {
  if (field.empty() || field.front() == '*' || !std::isfinite(value)) return;
  const double shown = read_back(field, kind);
  const int d = std::max(decimals, 0);
  int last_digit_power = -d;
  if (kind == kScientific) {
    const std::size_t sign = field.find_last_of("+-");
    last_digit_power += std::atoi(std::string(field.substr(sign)).c_str());
  }
  const double half_unit = 0.5 * std::pow(10.0, last_digit_power);
  const double scale = std::max(std::fabs(value), std::fabs(shown));
  const double slack = 4 * scale * std::numeric_limits<double>::epsilon() +
                       std::numeric_limits<double>::denorm_min();
  if (!(std::fabs(shown - value) <= half_unit * (1 + 1e-12) + slack)) {
    char want[64];
    std::snprintf(want, sizeof want, "%.17g (half unit %g)", value, half_unit);
    fail("read back within half a unit of the last digit", field, want);
  }
}

std::uint64_t bits_at(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int k = 0; k < 8; ++k) v = v << 8 | p[k];
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 13) return 0;
  const auto kind = static_cast<Kind>(data[0] & 3);
  const bool composed = (data[0] & 4) != 0;
  const int wide = data[1] << 8 | data[2];
  const int w = (wide & 0x8000) != 0 ? (wide & 0x7fff) % 2201 : (wide & 0xff) % 64;
  const int dd = data[3] << 8 | data[4];
  const int decimals = (dd & 0x8000) != 0 ? (dd & 0x7fff) % 1301 : (dd & 0xff) % 32 - 2;
  const std::uint64_t raw = bits_at(data + 5);
  // Bit 3 of byte 0: a value as weight lists hold them, an integer of up to 15 digits divided
  // by a power of ten up to 10^31 (ties such as 0.0625 among them); otherwise any bit
  // pattern, NaN and infinities included.
  const double value = (data[0] & 8) != 0
                           ? static_cast<double>(static_cast<std::int64_t>(raw << 14) >> 14) /
                                 std::pow(10.0, static_cast<double>(raw >> 59))
                           : std::bit_cast<double>(raw);
  const auto integer = static_cast<std::int64_t>(raw);
  const std::string_view rest(reinterpret_cast<const char*>(data) + 13, size - 13);

  std::string want;
  switch (kind) {
    case kInteger:
      want = w <= 0 ? std::string() : right_aligned(std::to_string(integer), w);
      break;
    case kFixed:
      want = expected_fixed(value, w, decimals);
      break;
    case kScientific:
      want = expected_sci(value, w, decimals);
      break;
    case kText:
      want = w <= 0 ? std::string()
             : rest.size() >= static_cast<std::size_t>(w)
                 ? std::string(rest.substr(0, static_cast<std::size_t>(w)))
                 : std::string(static_cast<std::size_t>(w) - rest.size(), ' ') + std::string(rest);
      break;
  }

  // The field rendered into a span of exactly w columns.
  if (w > 0) {
    std::vector<char> field(static_cast<std::size_t>(w), '?');
    switch (kind) {
      case kInteger:
        lineio::render_int(field, integer);
        break;
      case kFixed:
        lineio::render_fixed(field, value, decimals);
        break;
      case kScientific:
        lineio::render_sci(field, value, decimals);
        break;
      case kText:
        lineio::render_text(field, rest);
        break;
    }
    const std::string_view got(field.data(), field.size());
    if (got != want) fail("rendered field", got, want);
    if (kind == kFixed || kind == kScientific) check_read_back(got, kind, value, decimals);
  }

  // The same field composed in a line after a literal and blank columns.
  lineio::Line line;
  std::string prefix;
  int blanks = 0;
  if (composed && w > 0) {
    prefix.assign(rest.substr(0, std::min<std::size_t>(rest.size(), data[2] % 16)));
    blanks = data[4] % 8;
    line.lit(prefix).x(blanks);
  }
  switch (kind) {
    case kInteger:
      line.i(integer, w);
      break;
    case kFixed:
      line.f(value, w, decimals);
      break;
    case kScientific:
      line.e(value, w, decimals);
      break;
    case kText:
      line.text(rest, w);
      break;
  }
  const std::string whole = prefix + std::string(static_cast<std::size_t>(blanks), ' ') + want;
  if (line.view() != whole) fail("composed line", line.view(), whole);
  return 0;
}
