// A coordinate far beyond the other masses, as one typed in millimetres among metres: it
// pulls the centre of gravity off the structure. Judged against the spread of the middle of
// the masses, which a few such values do not move.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "kit/surprises.h"
#include "tool/intake.h"
#include "tool/mass_table.h"
#include "tool/report.h"
#include "tool/warnings.h"

namespace tool {
namespace {

constexpr std::size_t kSample = 8192;    // masses the spread is measured on, at most
constexpr double kMiddleShare = 0.02;    // cut from either end: the middle 96 % remain
constexpr double kMillimetres = 1000.0;  // a length in mm read as metres

struct Spread {
  double low = 0.0;  // the middle of the masses on one axis
  double high = 0.0;
};

// The value at share q of the sorted values (which are reordered).
double quantile(std::vector<double>& values, double q) {
  const auto k = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
  return values[k];
}

std::string point(const std::array<double, 3>& p) {
  std::array<char, 96> text{};
  const int n = std::snprintf(text.data(), text.size(), "%.3f, %.3f, %.3f", p[0], p[1], p[2]);
  return {text.data(), static_cast<std::size_t>(std::max(n, 0))};
}

}  // namespace

void check_far_masses(const MassTable& table, const Totals& t) {
  const std::size_t n = table.size();
  if (n < kFarMinimum) return;
  // Every mass up to kSample of them, or an even choice of kSample.
  const std::size_t stride = std::max<std::size_t>(1, n / kSample);
  std::array<std::vector<double>, 3> values;
  for (std::size_t k = 0; k < n; k += stride) {
    const MassEntry& m = table[k];
    const std::array<double, 3> p{m.x, m.y, m.z};
    for (std::size_t axis = 0; axis < 3; ++axis) {
      if (std::isfinite(p[axis])) values[axis].push_back(p[axis]);
    }
  }
  std::array<Spread, 3> middle;
  double widest = 0.0;
  for (std::size_t axis = 0; axis < 3; ++axis) {
    if (values[axis].size() < kFarMinimum / 2) return;
    middle[axis] = {quantile(values[axis], kMiddleShare), quantile(values[axis], 1 - kMiddleShare)};
    widest = std::max(widest, middle[axis].high - middle[axis].low);
  }
  if (!(widest > 0.0) || !std::isfinite(widest)) return;
  const double margin = kFarFactor * widest;
  bool any_far = false;
  for (std::size_t axis = 0; axis < 3; ++axis) {
    any_far = any_far || t.low[axis] < middle[axis].low - margin ||
              t.high[axis] > middle[axis].high + margin;
  }
  if (!any_far) return;  // every mass lies near the others: no need to look at each
  const std::array<double, 3> centre = centre_of_gravity(t);
  for (std::size_t k = 0; k < n; ++k) {
    const MassEntry& m = table[k];
    const std::array<double, 3> p{m.x, m.y, m.z};
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const Spread& s = middle[axis];
      if (!(p[axis] < s.low - margin || p[axis] > s.high + margin)) continue;
      std::string text = std::string(kAxisName[axis]) + " " + kit::shortest_number(p[axis]) +
                         " lies far beyond the other masses";
      const double mm = p[axis] / kMillimetres;
      if (mm >= s.low - widest && mm <= s.high + widest) text += " (a length in mm?)";
      const double rest = t.total_mass - m.mass;
      text += ": the centre of gravity is " + point(centre) + " with it";
      if (rest != 0.0) {
        const std::array<double, 3> without{(t.moment[0] - m.mass * m.x) / rest,
                                            (t.moment[1] - m.mass * m.y) / rest,
                                            (t.moment[2] - m.mass * m.z) / rest};
        text += " and " + point(without) + " without it";
      }
      warnings().tell_at(Warnings::kFar, t.kept_places.place_of(k), text);
      break;  // one finding per mass
    }
  }
}

}  // namespace tool
