// Internal to plot: a running sum that keeps the rounding error of every addition (Neumaier's
// compensation), in long double where the platform has the wider type, so that a million
// terms of mixed sizes and signs sum as if added exactly and rounded once.
#pragma once

#include <cmath>

namespace plot {

class CompensatedSum {
 public:
  void add(long double term) {
    const long double next = sum_ + term;
    carry_ += std::fabs(sum_) >= std::fabs(term) ? (sum_ - next) + term : (term - next) + sum_;
    sum_ = next;
  }
  // The sum; an infinite one (absurd terms) as it is, without the carry made NaN by it.
  long double value() const { return std::isfinite(sum_) ? sum_ + carry_ : sum_; }

 private:
  long double sum_ = 0;
  long double carry_ = 0;
};

}  // namespace plot
