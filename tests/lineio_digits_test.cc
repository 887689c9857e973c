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
// of the records and a few others: same text, or a decline.
TEST(FastDigits, FieldsAgreeWithTheGeneralDigits) {
  using lineio::detail::FastField;
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<std::int64_t> digits(-100'000'000'000, 100'000'000'000);
  std::uniform_int_distribution<int> scale(0, 16);
  int written = 0;
  for (int n = 0; n < 200000; ++n) {
    const double value = n % 5 == 0 ? std::bit_cast<double>(rng())
                                    : static_cast<double>(digits(rng)) / std::pow(10.0, scale(rng));
    for (const auto& [width, decimals] : {std::pair{12, 3}, {7, 1}, {13, 4}, {10, 0}}) {
      std::string field(static_cast<std::size_t>(width), '?');
      if (!std::isfinite(value)) {
        ASSERT_EQ(lineio::detail::fixed_field(field, value, decimals), FastField::kDeclined);
        ASSERT_EQ(lineio::detail::sci_field(field, value, decimals), FastField::kDeclined);
        continue;
      }
      std::string want = general(value, decimals, std::chars_format::fixed);
      if (decimals == 0) want += '.';
      if (lineio::detail::fixed_field(field, value, decimals) == FastField::kWritten) {
        ++written;
        ASSERT_EQ(field, std::string(static_cast<std::size_t>(width) - want.size(), ' ') + want)
            << value;
      }
      std::string sci = general(value, decimals, std::chars_format::scientific);
      const std::size_t e = sci.find('e');
      if (decimals == 0) sci.insert(e, ".");
      sci[sci.find('e')] = 'E';
      if (lineio::detail::sci_field(field, value, decimals) == FastField::kWritten) {
        ++written;
        ASSERT_EQ(field, std::string(static_cast<std::size_t>(width) - sci.size(), ' ') + sci)
            << value;
      }
    }
  }
  EXPECT_GT(written, 200000 * 4);  // the usual magnitudes take the fast paths
}

}  // namespace
