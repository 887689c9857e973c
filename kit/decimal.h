// Internal to KIT: the decimal arithmetic of the number scanners, shared by the general
// scanner UNSNUM and the plain-number scanner of RDMIX, so that both give the same bits.
#pragma once

#include <array>
#include <cstdint>

#include "kit/kit.h"

namespace kit::detail {

// 10.0 to an integer power by repeated squaring, the way the reader has always converted
// exponents (not correctly rounded: 1.0E-2 comes out as 0.010000000000000002).
inline double power_of_ten(std::int32_t exponent) {
  if (exponent == 0) return 1.0;
  double base = 10.0;
  std::uint32_t bits = static_cast<std::uint32_t>(exponent);
  if (exponent < 0) {
    base = 1.0 / 10.0;
    bits = 0u - bits;  // the magnitude, also for the most negative exponent
  }
  double result = 1.0;
  for (;;) {
    if ((bits & 1u) != 0) result *= base;
    bits >>= 1;
    if (bits == 0) break;
    base *= base;
  }
  return result;
}

// The scale of the k-th digit after a decimal point: 1.0 divided by 10.0 k times over,
// rounded after each division. Computed once, at compile time, with the same divisions.
inline constexpr std::array<double, kMaxLine + 1> kFractionScales = [] {
  std::array<double, kMaxLine + 1> scales{};
  double scale = 1.0;
  for (double& entry : scales) {
    entry = scale;
    scale = scale / 10.0;
  }
  return scales;
}();

// One more digit after the point: the running fraction of the first k-1 digits and the k-th.
constexpr double add_fraction_digit(double fraction, std::int32_t digit, std::size_t k) {
  const std::size_t at = k < kFractionScales.size() ? k : kFractionScales.size() - 1;
  return digit * kFractionScales[at] + fraction;
}

// The fraction of the first three digits after a point, 000 to 999, as add_fraction_digit
// gives it digit by digit: the same operations in the same order, done once at compile time.
inline constexpr std::array<double, 1000> kThreeDigitFractions = [] {
  std::array<double, 1000> fractions{};
  for (std::int32_t digits = 0; digits < 1000; ++digits) {
    double fraction = 0.0;
    fraction = add_fraction_digit(fraction, digits / 100, 1);
    fraction = add_fraction_digit(fraction, digits / 10 % 10, 2);
    fractions[static_cast<std::size_t>(digits)] = add_fraction_digit(fraction, digits % 10, 3);
  }
  return fractions;
}();

}  // namespace kit::detail
