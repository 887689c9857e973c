// Cells along one axis, and the spreading of a mass over the cells its footprint overlaps.
//
// Summing each mass into the one cell that holds its point draws patterns that are not in
// the data: evenly spaced masses fall two or three to a cell by turns, and the cells at the
// edges, cut by the frame, read lighter. Here the cells are laid over the data (the ends
// half a gap beyond the outermost masses), and each mass is spread, as anti-aliased drawing
// spreads a point, over a footprint that is a whole number of the data's gaps: on a regular
// spacing the footprints of all masses tile the line exactly, so every cell gets the same.
#include <algorithm>
#include <cmath>

#include "plot/picture.h"

namespace plot {
namespace {

constexpr int kMostCells = 4 * kGridCellsAcross;

}  // namespace

Tiling tile_axis(Range body, double spacing, double target) {
  Tiling t;
  if (!(target > 0) || !std::isfinite(target)) return t;
  // Masses much further apart than a cell are drawn each in its own cells.
  const bool even = spacing > 0 && spacing <= 2 * target;
  const double pad = even ? spacing / 2 : target / 2;
  double lo = body.lo - pad;
  double hi = body.hi + pad;
  if (!(hi - lo >= target)) {  // one coordinate, or close ones: one cell centred on them
    const double centre = body.lo / 2 + body.hi / 2;
    lo = centre - target / 2;
    hi = centre + target / 2;
  }
  const double cells = std::round((hi - lo) / target);
  t.count = static_cast<int>(
      std::clamp(std::isfinite(cells) ? cells : 1.0, 1.0, static_cast<double>(kMostCells)));
  t.lo = lo;
  t.width = (hi - lo) / t.count;
  t.footprint = even ? spacing * std::max(1.0, std::round(t.width / spacing)) : t.width;
  if (!(t.width > 0) || !std::isfinite(t.width)) t = Tiling{};
  return t;
}

bool bins_follow_spacing(double spacing, double target) {
  return spacing >= target / 2 && std::isfinite(spacing) && spacing > 0;
}

Tiling bin_axis(Range body, double spacing, double target) {
  if (!bins_follow_spacing(spacing, target)) return tile_axis(body, spacing, target);
  // Masses about a cell apart or further: one bin per gap, centred on the masses of a regular
  // spacing, each mass spread over one bin's width. Cells narrower than the gap would hold
  // a mass and then none by turns, a comb the list does not have.
  Tiling t;
  const double gaps = std::round((body.hi - body.lo) / spacing);
  t.count = static_cast<int>(std::clamp(gaps + 1, 1.0, static_cast<double>(kMostCells)));
  t.width = (body.hi - body.lo + spacing) / t.count;
  t.lo = body.lo - t.width / 2;
  t.footprint = t.width;
  if (!(t.width > 0) || !std::isfinite(t.width)) return tile_axis(body, spacing, target);
  return t;
}

std::span<const CellShare> spread(const Tiling& t, double at, std::array<CellShare, 4>& out) {
  const double last = t.count - 1;
  const double centre = (at - t.lo) / t.width;
  const double half = t.footprint / t.width / 2;
  // The ends clamped to just beyond the cells keep the loop short whatever `at` is.
  const double a = std::clamp(centre - half, -1.0, last + 2);
  const double b = std::clamp(centre + half, -1.0, last + 2);
  if (!(b > a)) {
    const double nearest = std::clamp(std::floor(centre), 0.0, last);
    out[0] = {static_cast<int>(std::isfinite(nearest) ? nearest : 0.0), 1.0};
    return {out.data(), 1};
  }
  std::size_t used = 0;
  // a and b lie within [-1, last + 2], so the cells between them are few small integers.
  const int first = static_cast<int>(std::floor(a));
  for (int i = first; i < b && used < out.size(); ++i) {
    const double share = (std::min(b, i + 1.0) - std::max(a, static_cast<double>(i))) / (b - a);
    const int cell = std::clamp(i, 0, t.count - 1);
    if (used > 0 && out[used - 1].cell == cell) {
      out[used - 1].share += share;
    } else {
      out[used++] = {cell, share};
    }
  }
  return {out.data(), used};
}

}  // namespace plot
