// Numbers written in cells: "1.5", "-2,25" (a decimal comma), "1.5E-3", "+7", read in one
// pass with their digits kept (the decimals written, and the value as an exact decimal), and
// converted to the nearest double: at once when the digits and the power of ten are exact in
// a double, else by std::from_chars.
#include <array>
#include <charconv>

#include "sheet/cells.h"

namespace sheet::detail {
namespace {

constexpr std::array<double, 23> kPowers = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::size_t kLongest = 64;
constexpr int kMantissaDigits = 19;  // what a 64-bit mantissa holds of any digits

bool digit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

}  // namespace

bool parse_number(std::string_view text, char decimal, ParsedNumber& out) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end && blank(*p)) ++p;
  while (end > p && blank(end[-1])) --end;
  if (p < end && *p == '+') ++p;
  if (p == end || end - p > static_cast<std::ptrdiff_t>(kLongest)) return false;
  const char* const first = p;
  const bool negative = *p == '-';
  if (negative) ++p;
  // The usual shape first: digits, a decimal sign and digits, at most 19 digits in all.
  {
    const char* q = p;
    std::uint64_t m = 0;
    while (q < end && digit(*q)) m = m * 10 + static_cast<std::uint64_t>(*q++ - '0');
    const char* const whole_end = q;
    int fraction = 0;
    if (q < end && (*q == '.' || (*q == ',' && decimal == ','))) {
      ++q;
      const char* const fraction_start = q;
      while (q < end && digit(*q)) m = m * 10 + static_cast<std::uint64_t>(*q++ - '0');
      fraction = static_cast<int>(q - fraction_start);
    }
    const auto all = static_cast<int>(whole_end - p) + fraction;
    if (q == end && all > 0 && all <= kMantissaDigits && fraction <= 22 &&
        m < (std::uint64_t{1} << 53)) {
      // Digits after the leading zeros (those of "0.015" are 2); of 15 digits or fewer the
      // count may include them, as only more than 15 are rounded.
      int significant = all;
      if (all > 15) {
        for (const char* z = p; z < end && (*z == '0' || !digit(*z)); ++z) {
          if (*z == '0') --significant;
        }
      }
      if (m == 0) significant = 0;
      out.mantissa = m;
      out.significant = significant;
      out.exponent = -fraction;
      out.decimals = fraction;
      out.exact = true;
      out.negative = negative;
      const auto v = static_cast<double>(m);
      out.value = fraction == 0 ? v : v / kPowers[static_cast<std::size_t>(fraction)];
      if (negative) out.value = -out.value;
      return true;
    }
  }
  std::uint64_t mantissa = 0;
  int digits = 0;     // significant digits taken into the mantissa
  int scale = 0;      // powers of ten: digits not taken before the point, less those after it
  int decimals = -1;  // digits after the decimal sign; -1 without one
  bool any = false;
  bool lost = false;  // a digit other than 0 was not taken
  for (; p < end; ++p) {
    const char c = *p;
    if (digit(c)) {
      any = true;
      if (decimals >= 0) ++decimals;
      if (mantissa == 0 && c == '0') {
        if (decimals >= 0) --scale;  // leading zeros after the point only scale
        continue;
      }
      if (digits < kMantissaDigits) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        ++digits;
        if (decimals >= 0) --scale;
      } else {
        lost = lost || c != '0';
        if (decimals < 0) ++scale;
      }
      continue;
    }
    if (c == '.' || c == ',') {
      // Where the comma is the decimal sign, a point still is one; a second sign is a
      // thousands separator, and such a text is not plainly a number.
      if (decimals >= 0 || (c == ',' && decimal != ',')) return false;
      decimals = 0;
      continue;
    }
    break;
  }
  if (!any) return false;
  out.decimals = decimals < 0 ? 0 : decimals;
  int exponent = 0;
  if (p < end) {
    if (*p != 'e' && *p != 'E') return false;
    ++p;
    bool minus = false;
    if (p < end && (*p == '+' || *p == '-')) minus = *p++ == '-';
    if (p == end) return false;
    int e = 0;
    for (; p < end; ++p) {
      if (!digit(*p)) return false;
      e = e < 10000 ? e * 10 + (*p - '0') : e;
    }
    exponent = minus ? -e : e;
    out.decimals = -1;  // written in powers of ten
  }
  out.mantissa = mantissa;
  out.significant = digits;
  out.exponent = exponent + scale;
  out.exact = !lost;
  out.negative = negative;
  // The nearest double: exact digits times an exact power of ten round once.
  if (!lost && mantissa < (std::uint64_t{1} << 53) && out.exponent >= -22 && out.exponent <= 22) {
    const auto m = static_cast<double>(mantissa);
    out.value = out.exponent < 0 ? m / kPowers[static_cast<std::size_t>(-out.exponent)]
                                 : m * kPowers[static_cast<std::size_t>(out.exponent)];
    if (negative) out.value = -out.value;
    return true;
  }
  std::array<char, kLongest> plain{};
  std::size_t n = 0;
  for (const char* c = first; c < end; ++c) plain[n++] = *c == ',' ? '.' : *c;
  const char* last = plain.data() + n;
  const auto r = std::from_chars(plain.data(), last, out.value);
  return r.ec == std::errc() && r.ptr == last;
}

bool number_of_text(std::string_view text, char decimal, double& value) {
  ParsedNumber n;
  if (!parse_number(text, decimal, n)) return false;
  value = n.value;
  return true;
}

}  // namespace sheet::detail
