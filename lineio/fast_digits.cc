// Exact rounding by integer arithmetic: a finite double is m * 2^k with a 53-bit m, so
// value * 10^t is the fraction (m * 10^t * 2^k) / 1 or m / (10^-t * 2^-k); 128-bit integers
// hold both sides for the magnitudes and digit counts of real weight lists. The quotient is
// rounded to nearest with ties to even, as the general conversion does.
#include "lineio/fast_digits.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "lineio/record_fields.h"

namespace lineio::detail {
namespace {

using u128 = Unsigned128;

constexpr int kMaxDecimals = 17;  // keeps every quotient below 2^64

constexpr std::array<u128, 39> make_powers() {
  std::array<u128, 39> p{};
  p[0] = 1;
  for (std::size_t n = 1; n < p.size(); ++n) p[n] = p[n - 1] * 10;
  return p;
}
constexpr std::array<u128, 39> kPow10 = make_powers();

int bit_width(u128 x) {
  const auto high = static_cast<std::uint64_t>(x >> 64);
  if (high != 0) return 64 + static_cast<int>(std::bit_width(high));
  return static_cast<int>(std::bit_width(static_cast<std::uint64_t>(x)));
}

// Writes q as exactly `width` digits with leading zeros.
char* put_digits(char* out, std::uint64_t q, int width) {
  for (int n = width - 1; n >= 0; --n) {
    out[n] = static_cast<char>('0' + q % 10);
    q /= 10;
  }
  return out + width;
}

// Digits of q, lowest first, written backwards before p; answers the new start.
char* put_backwards(char* p, std::uint64_t q, int count) {
  for (int n = 0; n < count; ++n) {
    *--p = static_cast<char>('0' + q % 10);
    q /= 10;
  }
  return p;
}

// Places text right-aligned in the field, or asterisks when it is wider.
FastField place_right(std::span<char> field, const char* text, std::size_t length) {
  if (length > field.size()) {
    std::fill(field.begin(), field.end(), '*');
    return FastField::kTooWide;
  }
  const std::size_t pad = field.size() - length;
  std::fill_n(field.data(), pad, ' ');
  std::copy_n(text, length, field.data() + pad);
  return FastField::kWritten;
}

// The digits and exponent of value in scientific form with `decimals` (0..8) decimals:
// value = q * 10^(e10 - decimals) with q of decimals + 1 digits (0 for a zero), rounded to
// nearest, ties to even. Answers false outside about 1.0E-15 to 1.0E+15.
bool scaled_sci(double value, int decimals, std::uint64_t& q, int& e10) {
  constexpr int kMaxScale = 19;  // powers of ten that fit 64 bits
  if (!std::isfinite(value)) return false;
  const Binary b = decompose(value);
  if (b.k >= 0) return false;
  q = 0;
  e10 = 0;
  if (b.m == 0) return true;
  const std::uint64_t low = kPowersOfTen[static_cast<std::size_t>(decimals)];
  const std::uint64_t high = low * 10;
  const int s = -b.k;
  // The decimal exponent from the binary one (floor of e2 * log10(2)); off by at most one,
  // corrected below.
  const int e2 = b.k + static_cast<int>(std::bit_width(b.m)) - 1;
  e10 = (e2 * 1233) >> 12;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int t = decimals - e10;
    std::uint64_t floor_q = 0;
    bool up = false;
    if (t >= 0) {
      // value * 10^t = m * 10^t / 2^s.
      if (t > kMaxScale || s >= 128) return false;
      const u128 num = u128{b.m} * kPowersOfTen[static_cast<std::size_t>(t)];
      const u128 whole = num >> s;
      if (whole >= high) {
        ++e10;
        continue;
      }
      floor_q = static_cast<std::uint64_t>(whole);
      const u128 r = num - (whole << s);
      const u128 half = u128{1} << (s - 1);
      up = r > half || (r == half && (floor_q & 1) != 0);
    } else {
      // value / 10^-t = m / (10^-t * 2^s), the divisor within 64 bits.
      if (-t > kMaxScale) return false;
      const std::uint64_t scale = kPowersOfTen[static_cast<std::size_t>(-t)];
      if (static_cast<int>(std::bit_width(scale)) + s > 63) return false;
      const std::uint64_t den = scale << s;
      // den is at least 10^-t * 2 here; the analyzer loses track of the bound above.
      floor_q = b.m / den;  // NOLINT(clang-analyzer-core.DivideZero)
      const std::uint64_t r = b.m - floor_q * den;
      const std::uint64_t rest = den - r;
      up = r > rest || (r == rest && (floor_q & 1) != 0);
    }
    if (floor_q < low) {
      --e10;
      continue;
    }
    if (floor_q >= high) {
      ++e10;
      continue;
    }
    q = floor_q + (up ? 1 : 0);
    if (q == high) {
      q = low;
      ++e10;
    }
    return e10 <= 99 && e10 >= -99;
  }
  return false;
}

}  // namespace

FastField fixed_field(std::span<char> field, double value, int decimals) {
  constexpr int kFieldDecimals = 3;
  // The coordinates of a record.
  if (field.size() == 12 && decimals == 3 && try_f12_3(field.data(), value)) {
    return FastField::kWritten;
  }
  std::uint64_t q = 0;
  if (decimals < 0 || decimals > kFieldDecimals || !scaled_fixed(value, decimals, q)) {
    return FastField::kDeclined;
  }
  char text[32];
  char* const end = text + sizeof text;
  char* p = put_backwards(end, q, decimals);
  q /= kPowersOfTen[static_cast<std::size_t>(decimals)];
  *--p = '.';  // the point is always written
  const bool zero_whole = q == 0;
  do {
    *--p = static_cast<char>('0' + q % 10);
    q /= 10;
  } while (q != 0);
  const bool negative = std::signbit(value);
  if (negative) *--p = '-';
  auto length = static_cast<std::size_t>(end - p);
  // A lone 0 before the point is dropped when that makes the field fit: -0.5 in 5 columns is
  // -.500.
  if (zero_whole && length == field.size() + 1) {
    if (negative) p[1] = '-';
    ++p;
    --length;
  }
  return place_right(field, p, length);
}

FastField sci_field(std::span<char> field, double value, int decimals) {
  constexpr int kFieldDecimals = 8;
  // The mass of a record.
  if (field.size() == 13 && decimals == 4 && try_e13_4(field.data(), value)) {
    return FastField::kWritten;
  }
  std::uint64_t q = 0;
  int e10 = 0;
  if (decimals < 0 || decimals > kFieldDecimals || !scaled_sci(value, decimals, q, e10)) {
    return FastField::kDeclined;
  }
  const std::uint64_t low = kPowersOfTen[static_cast<std::size_t>(decimals)];
  char text[32];
  char* const end = text + sizeof text;
  const int magnitude = e10 < 0 ? -e10 : e10;
  char* p = end;
  *--p = static_cast<char>('0' + magnitude % 10);
  *--p = static_cast<char>('0' + magnitude / 10);
  *--p = e10 < 0 ? '-' : '+';
  *--p = 'E';
  p = put_backwards(p, q, decimals);
  *--p = '.';
  *--p = static_cast<char>('0' + q / low);
  if (std::signbit(value)) *--p = '-';
  return place_right(field, p, static_cast<std::size_t>(end - p));
}

bool fixed_digits(double value, int decimals, char* out, std::size_t& length) {
  if (!std::isfinite(value) || decimals < 0 || decimals > kMaxDecimals) return false;
  const Binary b = decompose(value);
  if (decimals <= 3 && b.k < 0 && b.k > -64) {
    // The usual case, coordinates with three decimals: m * 10^d stays below 2^63.
    const std::uint64_t unit =
        static_cast<std::uint64_t>(kPow10[static_cast<std::size_t>(decimals)]);
    const std::uint64_t scaled = b.m * unit;
    const int s = -b.k;
    std::uint64_t q = scaled >> s;
    const std::uint64_t r = scaled - (q << s);
    const std::uint64_t half = std::uint64_t{1} << (s - 1);
    if (r > half || (r == half && (q & 1) != 0)) ++q;
    char* p = out;
    if (std::signbit(value)) *p++ = '-';
    p = std::to_chars(p, out + 64, q / unit).ptr;
    if (decimals > 0) {
      *p++ = '.';
      p = put_digits(p, q % unit, decimals);
    }
    length = static_cast<std::size_t>(p - out);
    return true;
  }
  u128 q = 0;
  const u128 scaled = u128{b.m} * kPow10[static_cast<std::size_t>(decimals)];  // < 2^110
  if (b.k >= 0) {
    if (b.k > 17) return false;
    q = scaled << b.k;
  } else if (-b.k < 128) {
    const int s = -b.k;
    q = scaled >> s;
    const u128 r = scaled - (q << s);
    const u128 half = u128{1} << (s - 1);
    if (r > half || (r == half && (q & 1) != 0)) ++q;
  }
  if ((q >> 64) != 0) return false;
  const auto q64 = static_cast<std::uint64_t>(q);
  const auto unit = static_cast<std::uint64_t>(kPow10[static_cast<std::size_t>(decimals)]);
  const std::uint64_t whole = q64 / unit;
  const std::uint64_t part = q64 % unit;
  char* p = out;
  if (std::signbit(value)) *p++ = '-';
  p = std::to_chars(p, out + 64, whole).ptr;
  if (decimals > 0) {
    *p++ = '.';
    p = put_digits(p, part, decimals);
  }
  length = static_cast<std::size_t>(p - out);
  return true;
}

bool sci_digits(double value, int decimals, char* out, std::size_t& length) {
  if (!std::isfinite(value) || decimals < 0 || decimals > kMaxDecimals) return false;
  char* p = out;
  if (std::signbit(value)) *p++ = '-';
  const Binary b = decompose(value);
  int e10 = 0;
  std::uint64_t digits = 0;
  if (b.m != 0) {
    const u128 low = kPow10[static_cast<std::size_t>(decimals)];
    const u128 high = low * 10;
    // The decimal exponent from the binary one; off by at most one, corrected below.
    const int e2 = b.k + static_cast<int>(std::bit_width(b.m)) - 1;
    e10 = static_cast<int>(std::floor(e2 * 0.30102999566398120));
    u128 q = 0;
    for (int attempt = 0;; ++attempt) {
      if (attempt == 3) return false;
      const int t = decimals - e10;
      if (t > 38 || -t > 38) return false;
      u128 num = b.m;
      u128 den = 1;
      if (t > 0) {
        if (bit_width(num) + bit_width(kPow10[static_cast<std::size_t>(t)]) > 127) return false;
        num *= kPow10[static_cast<std::size_t>(t)];
      } else if (t < 0) {
        den = kPow10[static_cast<std::size_t>(-t)];
      }
      if (b.k > 0) {
        if (bit_width(num) + b.k > 127) return false;
        num <<= b.k;
      } else if (b.k < 0) {
        if (bit_width(den) - b.k > 127) return false;
        // den is 1 or a power of ten here; the analyzer loses track of 128-bit values.
        den <<= -b.k;  // NOLINT(clang-analyzer-core.uninitialized.Assign)
      }
      // A power-of-two denominator needs shifts only; others a division.
      const bool shift = t >= 0 && b.k < 0;
      const int s = shift ? -b.k : 0;
      const u128 floor_q = shift ? num >> s : num / den;
      if (floor_q < low) {
        --e10;
        continue;
      }
      if (floor_q >= high) {
        ++e10;
        continue;
      }
      q = floor_q;
      const u128 r = num - floor_q * den;
      const u128 rest = den - r;
      if (r > rest || (r == rest && (q & 1) != 0)) ++q;
      if (q == high) {
        q = low;
        ++e10;
      }
      break;
    }
    digits = static_cast<std::uint64_t>(q);
  }
  char all[24];
  put_digits(all, digits, decimals + 1);
  *p++ = all[0];
  if (decimals > 0) {
    *p++ = '.';
    for (int n = 1; n <= decimals; ++n) *p++ = all[n];
  }
  *p++ = 'e';
  *p++ = e10 < 0 ? '-' : '+';
  const int magnitude = e10 < 0 ? -e10 : e10;
  if (magnitude < 10) *p++ = '0';
  p = std::to_chars(p, out + 64, magnitude).ptr;
  length = static_cast<std::size_t>(p - out);
  return true;
}

}  // namespace lineio::detail
