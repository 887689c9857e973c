// The part of the model the views are drawn for, and the usual spacing of its coordinates.
//
// One record typed in millimetres among metres would shrink the model to a dot if the views
// took in every coordinate. Per axis the fence is the central 98 % of the coordinates (1st to
// 99th percentile, nearest rank) widened on both sides by twice the largest such range of
// any axis; a mass beyond a fence is drawn at the frame's edge and listed. With 99 masses or
// fewer the percentiles are the extremes, so no mass lies beyond.
#include <algorithm>
#include <cmath>
#include <vector>

#include "plot/picture.h"

namespace plot {
namespace {

constexpr double kFenceMargin = 2;

double coordinate(const Mass& m, std::size_t axis) {
  return axis == 0 ? m.x : axis == 1 ? m.y : m.z;
}

// The median gap between neighbouring distinct values of `sorted`, 0 when all are one.
double median_gap(std::span<const double> sorted, std::vector<double>& gaps) {
  gaps.clear();
  for (std::size_t k = 1; k < sorted.size(); ++k) {
    if (sorted[k] > sorted[k - 1]) gaps.push_back(sorted[k] - sorted[k - 1]);
  }
  if (gaps.empty()) return 0;
  const auto middle = gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2);
  std::nth_element(gaps.begin(), middle, gaps.end());
  return *middle;
}

}  // namespace

void find_body(std::span<const Mass> masses, Summary& s) {
  const std::size_t n = masses.size();
  if (n == 0) return;
  std::vector<double> values(n);
  std::vector<double> gaps;
  gaps.reserve(n);
  std::array<Range, 3> central{};
  double widest = 0;
  for (std::size_t a = 0; a < 3; ++a) {
    for (std::size_t k = 0; k < n; ++k) values[k] = coordinate(masses[k], a);
    std::sort(values.begin(), values.end());
    // Nearest rank: the 1st percentile is value ceil(n/100), the 99th ceil(99n/100).
    central[a] = {values[(n + 99) / 100 - 1], values[(99 * n + 99) / 100 - 1]};
    widest = std::max(widest, central[a].hi - central[a].lo);
    s.spacing[a] = median_gap(values, gaps);
  }
  const double margin = kFenceMargin * widest;
  for (std::size_t a = 0; a < 3; ++a) {
    // All but a few masses on one point: nothing to measure a distance by, so no fence.
    s.fence[a] = margin > 0 ? Range{central[a].lo - margin, central[a].hi + margin} : s.extent[a];
    s.body[a] = central[a];
  }
  s.outside_count = 0;
  s.outside.clear();
  s.inside_largest_kg = 0;
  for (std::size_t k = 0; k < n; ++k) {
    bool out = false;
    for (std::size_t a = 0; a < 3; ++a) {
      const double v = coordinate(masses[k], a);
      if (s.within(a, v)) {
        s.body[a].lo = std::min(s.body[a].lo, v);
        s.body[a].hi = std::max(s.body[a].hi, v);
      } else {
        out = true;
      }
    }
    if (!out) {
      s.inside_largest_kg = std::max(s.inside_largest_kg, std::fabs(masses[k].kg));
      continue;
    }
    if (s.outside.size() < kOutsideListed) s.outside.push_back(k);
    ++s.outside_count;
  }
  // A centre far from the masses without any mass far from the rest comes of negative
  // masses that nearly cancel the others: the views take it in, as they always have. Beyond
  // the fences because of masses outside them, it would shrink the model again.
  s.cog_inside = s.cog_defined;
  for (std::size_t a = 0; a < 3 && s.outside_count > 0; ++a) {
    s.cog_inside = s.cog_inside && s.within(a, s.cog[a]);
  }
}

}  // namespace plot
