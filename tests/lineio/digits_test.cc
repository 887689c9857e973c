// The fast digit paths must give exactly what the general conversion gives.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <utility>

#include "lineio/fast_digits.h"

namespace {

std::string general(double value, int decimals, std::chars_format format) {
  char text[2000];
  auto r = std::to_chars(text, text + sizeof text, value, format, decimals);
  return std::string(text, r.ptr);
}

// Checks one value at every digit count; answers how many were taken by the fast paths.
int check(double value) {
  int fast = 0;
  for (int d = 0; d <= 17; ++d) {
    char out[64];
    std::size_t len = 0;
    if (lineio::detail::fixed_digits(value, d, out, len)) {
      ++fast;
      EXPECT_EQ(std::string(out, len), general(value, d, std::chars_format::fixed))
          << "fixed " << value << " d=" << d;
    }
    if (lineio::detail::sci_digits(value, d, out, len)) {
      ++fast;
      EXPECT_EQ(std::string(out, len), general(value, d, std::chars_format::scientific))
          << "sci " << value << " d=" << d;
    }
  }
  return fast;
}

TEST(FastDigits, AgreeWithTheGeneralConversion) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> coordinate(-2000.0, 2000.0);
  std::uniform_int_distribution<std::int64_t> thousandths(-100'000'000, 100'000'000);
  std::uniform_int_distribution<int> exponent(-30, 30);
  int fast = 0;
  for (int n = 0; n < 20000; ++n) {
    fast += check(coordinate(rng));
    fast += check(static_cast<double>(thousandths(rng)) / 1000.0);
    // Exact ties at several digit positions: odd multiples of a power of two.
    fast += check(static_cast<double>(2 * thousandths(rng) + 1) / 2048.0);
    fast += check(coordinate(rng) * std::pow(10.0, exponent(rng)));
    check(std::bit_cast<double>(rng()));  // any bit pattern, the fast paths may decline
  }
  EXPECT_GT(fast, 20000 * 4 * 20);  // the fast paths take the usual magnitudes
  for (double v : {0.0, -0.0, 0.0625, 0.125, 2.5, 9999500000.0, 9.9995, 1e15, 1e17, 1e22,
                   123456789012345678.0, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308,
                   0.3, 0.30000000000000004, 1e-5, 999.9995, 0.00049999999999999999}) {
    check(v);
    check(-v);
  }
}

// The whole-field fast paths against the general digits, right-aligned, for the field sizes
// of the records and a few others: same text, or a decline. Answers how many were written.
int check_fields(double value) {
  using lineio::detail::FastField;
  int written = 0;
  for (const auto& [width, decimals] : {std::pair{12, 3}, {7, 1}, {13, 4}, {10, 0}}) {
    std::string field(static_cast<std::size_t>(width), '?');
    if (!std::isfinite(value)) {
      EXPECT_EQ(lineio::detail::fixed_field(field, value, decimals), FastField::kDeclined);
      EXPECT_EQ(lineio::detail::sci_field(field, value, decimals), FastField::kDeclined);
      continue;
    }
    std::string want = general(value, decimals, std::chars_format::fixed);
    if (decimals == 0) want += '.';
    if (lineio::detail::fixed_field(field, value, decimals) == FastField::kWritten) {
      ++written;
      EXPECT_EQ(field, std::string(static_cast<std::size_t>(width) - want.size(), ' ') + want)
          << value;
    }
    std::string sci = general(value, decimals, std::chars_format::scientific);
    const std::size_t e = sci.find('e');
    if (decimals == 0) sci.insert(e, ".");
    sci[sci.find('e')] = 'E';
    if (lineio::detail::sci_field(field, value, decimals) == FastField::kWritten) {
      ++written;
      EXPECT_EQ(field, std::string(static_cast<std::size_t>(width) - sci.size(), ' ') + sci)
          << value;
    }
  }
  return written;
}

TEST(FastDigits, FieldsAgreeWithTheGeneralDigits) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<std::int64_t> digits(-100'000'000'000, 100'000'000'000);
  std::uniform_int_distribution<int> scale(0, 16);
  int written = 0;
  for (int n = 0; n < 200000; ++n) {
    written +=
        check_fields(n % 5 == 0 ? std::bit_cast<double>(rng())
                                : static_cast<double>(digits(rng)) / std::pow(10.0, scale(rng)));
  }
  EXPECT_GT(written, 200000 * 4);  // the usual magnitudes take the fast paths
  // The edges of the record layouts' table paths: thousands, 10^6, values that round to 0,
  // ties, a rounding that carries into the exponent, exponents near 99, large masses.
  for (double v : {999.9994999,
                   999.9995,
                   1000.0,
                   1000.0005,
                   12345.678,
                   999999.9994999,
                   999999.9995,
                   1e6,
                   0.00048828125,
                   0.000488281249,
                   0.0005,
                   0.0004999999,
                   1.0005,
                   1.0015,
                   0.0625,
                   9.99995,
                   9.99994999,
                   99999.5,
                   1.00005e-10,
                   9.99995e98,
                   9.99994e98,
                   1e-99,
                   9.99995e-100,
                   1e-100,
                   12345.0,
                   1.5e14,
                   1e15,
                   4.9e-324,
                   2.2250738585072014e-308}) {
    check_fields(v);
    check_fields(-v);
  }
}

}  // namespace
