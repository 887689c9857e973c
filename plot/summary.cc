// Total mass, centre of gravity and extents of the drawn masses, and the lists of the
// heaviest and of the negative masses.
#include <algorithm>
#include <cmath>

#include "plot/massplot.h"

namespace plot {
namespace {

// The positions of the (at most) `k` masses whose key is largest and above 0, largest first,
// equal keys in file order.
template <class Key>
std::vector<std::size_t> largest(std::span<const Mass> masses, std::size_t k, Key key) {
  std::vector<std::size_t> top;
  top.reserve(k + 1);
  for (std::size_t n = 0; n < masses.size(); ++n) {
    const double v = key(masses[n]);
    if (!(v > 0) || (top.size() == k && !(v > key(masses[top.back()])))) continue;
    const auto at = std::upper_bound(top.begin(), top.end(), v, [&](double value, std::size_t i) {
      return value > key(masses[i]);
    });
    top.insert(at, n);
    if (top.size() > k) top.pop_back();
  }
  return top;
}

}  // namespace

Summary summarize(std::span<const Mass> masses) {
  Summary s;
  s.count = masses.size();
  if (masses.empty()) return s;
  // Long double keeps the products of large coordinates and masses from overflowing where
  // the platform has the wider type; the result is checked for finiteness in any case.
  long double total = 0;
  long double negative = 0;
  long double absolute = 0;
  std::array<long double, 3> moment{};
  s.extent = {Range{masses[0].x, masses[0].x}, Range{masses[0].y, masses[0].y},
              Range{masses[0].z, masses[0].z}};
  for (const Mass& m : masses) {
    const std::array<double, 3> at{m.x, m.y, m.z};
    total += m.kg;
    absolute += std::fabs(m.kg);
    for (std::size_t a = 0; a < 3; ++a) {
      moment[a] += static_cast<long double>(m.kg) * at[a];
      s.extent[a].lo = std::min(s.extent[a].lo, at[a]);
      s.extent[a].hi = std::max(s.extent[a].hi, at[a]);
    }
    if (m.kg < 0) {
      ++s.negative;
      negative += m.kg;
    }
    s.largest_kg = std::max(s.largest_kg, std::fabs(m.kg));
  }
  s.total_kg = static_cast<double>(total);
  s.negative_kg = static_cast<double>(negative);
  s.absolute_kg = static_cast<double>(absolute);
  s.cog_defined = total != 0 && std::isfinite(s.total_kg);
  for (std::size_t a = 0; a < 3 && s.cog_defined; ++a) {
    s.cog[a] = static_cast<double>(moment[a] / total);
    // A centre far outside the masses (a total near 0 from negative masses) cannot be shown.
    s.cog_defined = std::isfinite(s.cog[a]) && std::fabs(s.cog[a]) <= kLargestDrawn;
  }
  if (!s.cog_defined) s.cog = {};
  s.heaviest = largest(masses, kHeaviestListed, [](const Mass& m) { return m.kg; });
  if (!s.heaviest.empty()) s.listed_least_kg = masses[s.heaviest.back()].kg;
  s.most_negative = largest(masses, kNegativesListed, [](const Mass& m) { return -m.kg; });
  find_body(masses, s);
  return s;
}

}  // namespace plot
