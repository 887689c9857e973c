// Total mass, centre of gravity and extents of the drawn masses, and the lists of the
// heaviest and of the negative masses.
#include <algorithm>
#include <cmath>

#include "plot/picture.h"
#include "plot/sums.h"

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

void find_inertia(std::span<const Mass> masses, Summary& s) {
  s.inertia_defined = false;
  s.inertia = {};
  s.gyration = {};
  if (!s.cog_defined) return;
  // Second pass, about the centre of gravity found in the first: the distances are small
  // where the coordinates are large, and no square of a large coordinate is taken away from
  // another (which would leave only its rounding error).
  std::array<CompensatedSum, 3> about{};  // m * (dy^2 + dz^2), m * (dx^2 + dz^2), m * (dx^2 + dy^2)
  for (const Mass& m : masses) {
    const long double dx = static_cast<long double>(m.x) - s.cog[0];
    const long double dy = static_cast<long double>(m.y) - s.cog[1];
    const long double dz = static_cast<long double>(m.z) - s.cog[2];
    const long double kg = m.kg;
    about[0].add(kg * (dy * dy + dz * dz));
    about[1].add(kg * (dx * dx + dz * dz));
    about[2].add(kg * (dx * dx + dy * dy));
  }
  for (std::size_t a = 0; a < 3; ++a) {
    s.inertia[a] = static_cast<double>(about[a].value());
    // A radius only where mass and moment are positive (negative masses can make either not).
    const double ratio = s.inertia[a] / s.total_kg;
    s.gyration[a] = ratio >= 0 && std::isfinite(ratio) ? std::sqrt(ratio) : -1;
  }
  s.inertia_defined =
      std::isfinite(s.inertia[0]) && std::isfinite(s.inertia[1]) && std::isfinite(s.inertia[2]);
}

Summary summarize(std::span<const Mass> masses) {
  Summary s;
  s.count = masses.size();
  if (masses.empty()) return s;
  // Long double keeps the products of large coordinates and masses from overflowing where
  // the platform has the wider type; the result is checked for finiteness in any case. The
  // sums are compensated: the order of a million masses does not change a digit shown.
  CompensatedSum total;
  CompensatedSum negative;
  CompensatedSum absolute;
  std::array<CompensatedSum, 3> moment{};
  s.extent = {Range{masses[0].x, masses[0].x}, Range{masses[0].y, masses[0].y},
              Range{masses[0].z, masses[0].z}};
  for (const Mass& m : masses) {
    const std::array<double, 3> at{m.x, m.y, m.z};
    total.add(m.kg);
    absolute.add(std::fabs(m.kg));
    for (std::size_t a = 0; a < 3; ++a) {
      moment[a].add(static_cast<long double>(m.kg) * at[a]);
      s.extent[a].lo = std::min(s.extent[a].lo, at[a]);
      s.extent[a].hi = std::max(s.extent[a].hi, at[a]);
    }
    if (m.kg < 0) {
      ++s.negative;
      negative.add(m.kg);
    }
    s.largest_kg = std::max(s.largest_kg, std::fabs(m.kg));
  }
  s.total_kg = static_cast<double>(total.value());
  s.negative_kg = static_cast<double>(negative.value());
  s.absolute_kg = static_cast<double>(absolute.value());
  s.cog_defined = total.value() != 0 && std::isfinite(s.total_kg);
  for (std::size_t a = 0; a < 3 && s.cog_defined; ++a) {
    s.cog[a] = static_cast<double>(moment[a].value() / total.value());
    // A centre far outside the masses (a total near 0 from negative masses) cannot be shown.
    s.cog_defined = std::isfinite(s.cog[a]) && std::fabs(s.cog[a]) <= kLargestDrawn;
  }
  if (!s.cog_defined) s.cog = {};
  find_inertia(masses, s);
  s.heaviest = largest(masses, kHeaviestListed, [](const Mass& m) { return m.kg; });
  if (!s.heaviest.empty()) s.listed_least_kg = masses[s.heaviest.back()].kg;
  s.most_negative = largest(masses, kNegativesListed, [](const Mass& m) { return -m.kg; });
  find_body(masses, s);
  return s;
}

}  // namespace plot
