// The two field layouts that fill an output file's records, F12.3 and E13.4, for the values
// they usually hold, composed from small tables in two or three stores. The digits come
// from table lookups rather than a chain of divisions, and a sign only changes a table index:
// a record's fields are then made side by side in the processor, with no branch on the
// value's digits or sign. Any other value gets the general rendering, whose characters these
// reproduce exactly.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>

#include "lineio/lineio.h"

namespace lineio {
namespace detail {

__extension__ typedef unsigned __int128 Unsigned128;

inline constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// The characters of a table entry as a little-endian word: the first in the lowest byte.
constexpr std::uint32_t chars4(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

constexpr char digit(std::uint32_t n) {
  return static_cast<char>('0' + n % 10);
}

// ".000" to ".999": the point and three decimals.
inline constexpr std::array<std::uint32_t, 1000> kPointAndDecimals = [] {
  std::array<std::uint32_t, 1000> t{};
  for (std::uint32_t n = 0; n < t.size(); ++n) {
    t[n] = chars4('.', digit(n / 100), digit(n / 10), digit(n));
  }
  return t;
}();

// 0 to 999 right-aligned in four columns ("   0" to " 999"), then the same with a minus sign
// before the first digit ("  -0" to "-999").
inline constexpr std::array<std::uint32_t, 2000> kSignedThousands = [] {
  std::array<std::uint32_t, 2000> t{};
  for (std::uint32_t k = 0; k < t.size(); ++k) {
    std::array<char, 4> c{' ', ' ', ' ', ' '};
    std::uint32_t n = k % 1000;
    std::size_t p = c.size();
    do {
      c[--p] = digit(n);
      n /= 10;
    } while (n != 0);
    if (k >= 1000) c[p - 1] = '-';
    t[k] = chars4(c[0], c[1], c[2], c[3]);
  }
  return t;
}();

// "00" to "99".
inline constexpr std::array<std::uint16_t, 100> kDigitPairs = [] {
  std::array<std::uint16_t, 100> t{};
  for (std::uint32_t n = 0; n < t.size(); ++n) {
    t[n] = static_cast<std::uint16_t>(chars4(digit(n / 10), digit(n), '\0', '\0'));
  }
  return t;
}();

// "E-99" to "E+99".
inline constexpr int kLargestExponent = 99;
inline constexpr std::array<std::uint32_t, 2 * kLargestExponent + 1> kExponents = [] {
  std::array<std::uint32_t, 2 * kLargestExponent + 1> t{};
  for (int e = -kLargestExponent; e <= kLargestExponent; ++e) {
    const auto magnitude = static_cast<std::uint32_t>(e < 0 ? -e : e);
    const int index = e + kLargestExponent;
    t[static_cast<std::size_t>(index)] =
        chars4('E', e < 0 ? '-' : '+', digit(magnitude / 10), digit(magnitude));
  }
  return t;
}();

inline constexpr std::array<std::uint64_t, 20> kPowersOfTen = [] {
  std::array<std::uint64_t, 20> t{};
  std::uint64_t p = 1;
  for (std::uint64_t& entry : t) {
    entry = p;
    p *= 10;
  }
  return t;
}();

// A finite double as m * 2^k with a 53-bit m (fewer bits for a subnormal).
struct Binary {
  std::uint64_t m;  // significand
  int k;            // power of two
};

inline Binary decompose(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074};
  return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

// value * 10^decimals rounded to the nearest integer, ties to even, for decimals 0..3 and
// |value| below 2^52; answers false outside that range. A normal value is m / 2^s with a
// 53-bit m; m * 10^decimals fits 64 bits, so the rounding is one exact shift.
inline bool scaled_fixed(double value, int decimals, std::uint64_t& q) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const int s = 1075 - static_cast<int>((bits >> 52) & 0x7ff);
  q = 0;
  if (s >= 64) return true;  // below 2^-11, zero and subnormals: 0 at 3 decimals or fewer
  if (s < 1) return false;   // 2^52 and more, infinite or not a number
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
  const std::uint64_t scaled = m * kPowersOfTen[static_cast<std::size_t>(decimals)];
  q = scaled >> s;
  const std::uint64_t rest = scaled - (q << s);
  const std::uint64_t half = std::uint64_t{1} << (s - 1);
  // Without a branch: which way a value rounds is as good as random.
  q += static_cast<std::uint64_t>(rest > half) | (static_cast<std::uint64_t>(rest == half) & q & 1);
  return true;
}

inline void store8(char* out, std::uint64_t word) {
  std::memcpy(out, &word, sizeof word);
}
inline void store4(char* out, std::uint32_t word) {
  std::memcpy(out, &word, sizeof word);
}

// F12.3 of a value below 10^6 in magnitude; false, with nothing written, for any other.
inline bool try_f12_3(char* out, double value) {
  if constexpr (!kLittleEndian) return false;
  constexpr std::uint64_t kThousand = 1000;
  std::uint64_t q = 0;
  if (!scaled_fixed(value, 3, q)) return false;
  const std::uint64_t whole = q / kThousand;
  const std::uint32_t decimals = kPointAndDecimals[q - whole * kThousand];
  const std::uint64_t sign = std::bit_cast<std::uint64_t>(value) >> 63;
  if (whole < kThousand) {
    // Columns 0-3 blank, 4-7 the signed whole part, 8-11 the point and the decimals.
    store8(out, 0x20202020u | std::uint64_t{kSignedThousands[whole + kThousand * sign]} << 32);
    store4(out + 8, decimals);
    return true;
  }
  if (whole >= kThousand * kThousand) return false;
  // Column 0 blank, 1-4 the signed thousands, 5-7 the units with their zeros.
  const std::uint64_t thousands = whole / kThousand;
  const std::uint64_t units = kPointAndDecimals[whole - thousands * kThousand] >> 8;
  store8(out,
         0x20u | std::uint64_t{kSignedThousands[thousands + kThousand * sign]} << 8 | units << 40);
  store4(out + 8, decimals);
  return true;
}

// E13.4 of a normal value from about 1.0E-15 to 1.0E+14; false, with nothing written, for
// any other. The value is m / 2^s; its decimal exponent is the estimate from the binary one
// or one more, and both scalings are made so that the right one is chosen without a branch.
inline bool try_e13_4(char* out, double value) {
  if constexpr (!kLittleEndian) return false;
  constexpr std::uint64_t kLow = 10000;  // the five significant digits: kLow to kHigh - 1
  constexpr std::uint64_t kHigh = 100000;
  constexpr int kDecimals = 4;
  if (!std::isfinite(value)) return false;
  const auto [m, k] = decompose(value);
  if (m < std::uint64_t{1} << 52) return false;  // zero or subnormal
  const int s = -k;
  const int estimate = ((k + 52) * 1233) >> 12;  // floor(e2 * log10(2)), or one below
  const int t = kDecimals - estimate;
  if (t < 1 || t >= static_cast<int>(kPowersOfTen.size()) || s < 1 || s >= 128) return false;
  const Unsigned128 at_estimate = Unsigned128{m} * kPowersOfTen[static_cast<std::size_t>(t)];
  const Unsigned128 one_more = Unsigned128{m} * kPowersOfTen[static_cast<std::size_t>(t - 1)];
  const bool above = (at_estimate >> s) >= kHigh;
  const Unsigned128 scaled = above ? one_more : at_estimate;
  const auto whole = static_cast<std::uint64_t>(scaled >> s);
  if (whole >= kHigh) return false;
  const Unsigned128 rest = scaled - (Unsigned128{whole} << s);
  const Unsigned128 half = Unsigned128{1} << (s - 1);
  // Up when above half, or at half with an odd last digit; no branch on which.
  const auto above_half = static_cast<std::uint64_t>(rest > half);
  const auto at_half = static_cast<std::uint64_t>(rest == half);
  std::uint64_t q = whole + (above_half | (at_half & whole & 1));
  const bool carried = q == kHigh;  // rounded up to the next power of ten
  q = carried ? kLow : q;
  const int e10 = estimate + static_cast<int>(above) + static_cast<int>(carried);
  if (e10 > kLargestExponent || e10 < -kLargestExponent) return false;
  const std::uint64_t first = q / kLow;
  const std::uint64_t decimals = q - first * kLow;
  const std::uint64_t high_pair = decimals / 100;
  const std::uint64_t low_pair = decimals - high_pair * 100;
  const std::uint64_t sign =
      ' ' + static_cast<std::uint64_t>(' ' ^ '-') * (std::bit_cast<std::uint64_t>(value) >> 63);
  // Columns 0-1 blank, 2 the sign, 3 the first digit, 4 the point; then 5-8 the decimals and
  // 9-12 the exponent, stored over the end of the first word.
  store8(out, 0x2020u | sign << 16 | ('0' + first) << 24 | std::uint64_t{'.'} << 32);
  const int exponent_index = e10 + kLargestExponent;
  store8(out + 5, kDigitPairs[high_pair] | std::uint64_t{kDigitPairs[low_pair]} << 16 |
                      std::uint64_t{kExponents[static_cast<std::size_t>(exponent_index)]} << 32);
  return true;
}

}  // namespace detail

// F12.3 and E13.4 fields, as render_fixed(field, value, 3) and render_sci(field, value, 4).
inline bool render_f12_3(std::span<char, 12> field, double value) {
  return detail::try_f12_3(field.data(), value) || render_fixed(field, value, 3);
}
inline bool render_e13_4(std::span<char, 13> field, double value) {
  return detail::try_e13_4(field.data(), value) || render_sci(field, value, 4);
}

}  // namespace lineio
