// Many masses: each view as a grid of square cells shaded by the net mass in the cell.
//
// Cells are written as runs along a row, one path per shade in cell units, so that even a
// full grid of alternating shades stays well within a few megabytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "plot/picture.h"

namespace plot {
namespace {

constexpr int kNegative = -1;  // net mass below 0: drawn as an outline
constexpr int kEmpty = -2;

double coordinate(const Mass& m, Axis axis) {
  return axis == Axis::x ? m.x : axis == Axis::y ? m.y : m.z;
}

int cells_along(double pixels, double cell) {
  const double n = std::ceil(pixels / cell);
  return std::clamp(static_cast<int>(std::isfinite(n) ? n : 1.0), 1, 4 * kGridCellsAcross);
}

}  // namespace

CellGrid accumulate_cells(const View& v, const PictureInput& input) {
  CellGrid g;
  const double cell = input.page->cell;
  g.columns = cells_along(v.width, cell);
  g.rows = cells_along(v.height, cell);
  const auto size = static_cast<std::size_t>(g.columns) * static_cast<std::size_t>(g.rows);
  g.net.assign(size, 0.0);
  g.count.assign(size, 0);
  const auto index = [cell](double offset, int cells) {
    const double i = std::floor(offset / cell);
    return static_cast<std::size_t>(
        std::clamp(std::isfinite(i) ? i : 0.0, 0.0, static_cast<double>(cells - 1)));
  };
  for (const Mass& m : input.list->masses) {
    const std::size_t i = index(v.page_x(coordinate(m, v.across)) - v.left, g.columns);
    const std::size_t j = index(v.page_y(coordinate(m, v.up)) - v.top, g.rows);
    const std::size_t at = j * static_cast<std::size_t>(g.columns) + i;
    g.net[at] += m.kg;
    ++g.count[at];
  }
  return g;
}

namespace {

int shade_of(const CellGrid& g, std::size_t at, double largest) {
  if (g.count[at] == 0) return kEmpty;
  const double m = g.net[at];
  if (std::isinf(m)) return m > 0 ? 0 : kNegative;  // absurd masses summed beyond range
  if (m < 0) return kNegative;
  const int last = static_cast<int>(kShades.size()) - 1;
  if (!(m > 0) || !(largest > 0)) return last;
  const double steps = std::floor(std::log(largest / m) / std::log(kShadeRatio));
  return static_cast<int>(
      std::clamp(std::isfinite(steps) ? steps : last, 0.0, static_cast<double>(last)));
}

}  // namespace

double largest_cell_mass(std::span<const CellGrid> grids) {
  double largest = 0;
  for (const CellGrid& g : grids) {
    for (std::size_t at = 0; at < g.net.size(); ++at) {
      if (g.count[at] > 0 && std::isfinite(g.net[at])) largest = std::max(largest, g.net[at]);
    }
  }
  return largest;
}

void draw_cells(const View& v, const CellGrid& g, double cell, double largest, SvgLine& out) {
  std::vector<int> shade(g.net.size());
  for (std::size_t at = 0; at < shade.size(); ++at) shade[at] = shade_of(g, at, largest);

  for (int s = kNegative; s < static_cast<int>(kShades.size()); ++s) {
    if (std::find(shade.begin(), shade.end(), s) == shade.end()) continue;
    if (s == kNegative) {
      out.raw("<path class=\"negative-cells\" fill=\"none\" stroke=\"#000\" stroke-width=\"")
          .raw(cell > 4 ? "0.3" : "0.15")
          .raw("\"");
    } else {
      out.raw("<path class=\"cells\" fill=\"").raw(kShades[static_cast<std::size_t>(s)]).raw("\"");
    }
    out.raw(" transform=\"translate(")
        .px(v.left)
        .raw(" ")
        .px(v.top)
        .raw(") scale(")
        .fixed(cell, 5)
        .raw(")\" d=\"");
    out.end();
    for (int j = 0; j < g.rows; ++j) {
      bool any = false;
      const std::size_t row = static_cast<std::size_t>(j) * static_cast<std::size_t>(g.columns);
      for (int i = 0; i < g.columns;) {
        if (shade[row + static_cast<std::size_t>(i)] != s) {
          ++i;
          continue;
        }
        int run = 1;
        while (i + run < g.columns && shade[row + static_cast<std::size_t>(i + run)] == s) ++run;
        out.raw("M")
            .integer(i)
            .raw(" ")
            .integer(j)
            .raw("h")
            .integer(run)
            .raw("v1h-")
            .integer(run)
            .raw("z");
        any = true;
        i += run;
      }
      if (any) out.end();
    }
    out.raw("\"/>");
    out.end();
  }
}

}  // namespace plot
