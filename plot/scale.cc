// Round tick values and their labels.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "plot/picture.h"

namespace plot {
namespace {

constexpr std::int64_t kMostTicks = 1000;
constexpr double kLargestTickIndex = 1e15;  // keeps k * digit well inside 64 bits
constexpr int kLongestGrouped = 15;         // whole digits written out; beyond, an exponent

}  // namespace

double Ticks::step() const {
  return digit * std::pow(10.0, exponent);
}

Ticks round_step(double least) {
  Ticks t;
  if (!(least > 0) || !std::isfinite(least)) return t;
  int e = static_cast<int>(std::floor(std::log10(least)));
  for (int tries = 0; tries < 3; ++tries, ++e) {
    for (const int d : {1, 2, 5}) {
      if (d * std::pow(10.0, e) >= least) {
        t.digit = d;
        t.exponent = e;
        return t;
      }
    }
  }
  t.exponent = e;
  return t;
}

Ticks next_round_step(Ticks step) {
  if (step.digit == 1) {
    step.digit = 2;
  } else if (step.digit == 2) {
    step.digit = 5;
  } else {
    step.digit = 1;
    ++step.exponent;
  }
  return step;
}

Ticks ticks_within(Ticks step, double lo, double hi) {
  step.first = 0;
  step.last = -1;
  const double size = step.step();
  const double first = std::ceil(lo / size);
  const double last = std::floor(hi / size);
  if (!std::isfinite(first) || !std::isfinite(last) || first > last) return step;
  if (std::fabs(first) > kLargestTickIndex || std::fabs(last) > kLargestTickIndex) return step;
  if (last - first >= kMostTicks) return step;
  step.first = static_cast<std::int64_t>(first);
  step.last = static_cast<std::int64_t>(last);
  return step;
}

std::string_view tick_label(const Ticks& ticks, std::int64_t k, std::array<char, 48>& out) {
  const std::int64_t n = k * ticks.digit;
  if (n == 0) return "0";
  std::array<char, 24> digits{};
  const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), std::llabs(n));
  const auto count = static_cast<int>(r.ptr - digits.data());
  const std::string_view d(digits.data(), static_cast<std::size_t>(count));
  const int e = ticks.exponent;
  std::size_t len = 0;
  const auto put = [&](std::string_view text) {
    for (const char c : text) {
      if (len < out.size()) out[len++] = c;
    }
  };
  const auto drop_trailing_zeros = [&](std::size_t point) {
    while (len > point + 1 && out[len - 1] == '0') --len;
    if (len == point + 1) --len;  // nothing after the point
  };
  // Whole digits grouped by thousands with commas, as the title block writes its numbers.
  const auto put_whole = [&](std::string_view whole, int zeros) {
    const std::size_t size = whole.size() + static_cast<std::size_t>(zeros);
    for (std::size_t k = 0; k < size; ++k) {
      put(k < whole.size() ? whole.substr(k, 1) : "0");
      if (k + 1 < size && (size - k - 1) % 3 == 0) put(",");
    }
  };
  if (n < 0) put("-");
  if (e >= 0 && count + e <= kLongestGrouped) {
    put_whole(d, e);
  } else if (e < 0 && e >= -9) {
    const int whole = count + e;  // digits before the point
    if (whole > 0) {
      put_whole(d.substr(0, static_cast<std::size_t>(whole)), 0);
      const std::size_t point = len;
      put(".");
      put(d.substr(static_cast<std::size_t>(whole)));
      drop_trailing_zeros(point);
    } else {
      put("0");
      const std::size_t point = len;
      put(".");
      for (int z = 0; z < -whole; ++z) put("0");
      put(d);
      drop_trailing_zeros(point);
    }
  } else {
    put(d.substr(0, 1));
    const std::size_t point = len;
    put(".");
    put(d.substr(1));
    drop_trailing_zeros(point);
    put(e + count - 1 < 0 ? "e" : "e+");
    std::array<char, 8> exponent{};
    const auto x = std::to_chars(exponent.data(), exponent.data() + exponent.size(), e + count - 1);
    put({exponent.data(), static_cast<std::size_t>(x.ptr - exponent.data())});
  }
  return {out.data(), len};
}

}  // namespace plot
