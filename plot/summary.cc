// Total mass, centre of gravity and extents of the drawn masses.
#include <algorithm>
#include <cmath>

#include "plot/massplot.h"

namespace plot {

Summary summarize(std::span<const Mass> masses) {
  Summary s;
  s.count = masses.size();
  if (masses.empty()) return s;
  // Long double keeps the products of large coordinates and masses from overflowing where
  // the platform has the wider type; the result is checked for finiteness in any case.
  long double total = 0;
  std::array<long double, 3> moment{};
  s.extent = {Range{masses[0].x, masses[0].x}, Range{masses[0].y, masses[0].y},
              Range{masses[0].z, masses[0].z}};
  for (const Mass& m : masses) {
    const std::array<double, 3> at{m.x, m.y, m.z};
    total += m.kg;
    for (std::size_t a = 0; a < 3; ++a) {
      moment[a] += static_cast<long double>(m.kg) * at[a];
      s.extent[a].lo = std::min(s.extent[a].lo, at[a]);
      s.extent[a].hi = std::max(s.extent[a].hi, at[a]);
    }
    if (m.kg < 0) ++s.negative;
    s.largest_kg = std::max(s.largest_kg, std::fabs(m.kg));
  }
  s.total_kg = static_cast<double>(total);
  s.cog_defined = total != 0 && std::isfinite(s.total_kg);
  for (std::size_t a = 0; a < 3 && s.cog_defined; ++a) {
    s.cog[a] = static_cast<double>(moment[a] / total);
    // A centre far outside the masses (a total near 0 from negative masses) cannot be shown.
    s.cog_defined = std::isfinite(s.cog[a]) && std::fabs(s.cog[a]) <= kLargestDrawn;
  }
  if (!s.cog_defined) s.cog = {};
  return s;
}

}  // namespace plot
