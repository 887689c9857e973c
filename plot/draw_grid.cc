// Many masses: each view as a grid of cells shaded by the net mass per area in the cell.
//
// The cells are those of the page's tilings (laid over the data, each mass spread over the
// cells its footprint overlaps), so that evenly spread masses give evenly shaded cells up to
// the edges. Cells are written as runs along a row, one path per shade in cell units, so that
// even a full grid of alternating shades stays well within a few megabytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "plot/drawing.h"

namespace plot {
namespace {

constexpr int kNegative = -1;  // net mass below 0: drawn as an outline
constexpr int kEmpty = -2;

}  // namespace

std::array<CellGrid, 3> accumulate_cells(const PictureInput& input) {
  const Page& page = *input.page;
  const Summary& summary = *input.summary;
  std::array<CellGrid, 3> grids;
  for (std::size_t v = 0; v < grids.size(); ++v) {
    const Tiling& across = page.cells[static_cast<std::size_t>(page.views[v].across)];
    const Tiling& up = page.cells[static_cast<std::size_t>(page.views[v].up)];
    CellGrid& g = grids[v];
    g.columns = across.count;
    g.rows = up.count;
    g.area = across.width * up.width;
    const auto size = static_cast<std::size_t>(g.columns) * static_cast<std::size_t>(g.rows);
    g.net.assign(size, 0.0);
    g.count.assign(size, 0);
  }
  // Each coordinate spread once over its cells, for the two views that show it.
  std::array<std::array<CellShare, 4>, 3> buffers{};
  std::array<std::span<const CellShare>, 3> shares;
  for (const Mass& m : input.list->masses) {
    const std::array<double, 3> at{m.x, m.y, m.z};
    std::array<bool, 3> within{};
    for (std::size_t a = 0; a < 3; ++a) {
      within[a] = summary.within(a, at[a]);
      if (within[a]) shares[a] = spread(page.cells[a], at[a], buffers[a]);
    }
    for (std::size_t v = 0; v < grids.size(); ++v) {
      const auto a = static_cast<std::size_t>(page.views[v].across);
      const auto u = static_cast<std::size_t>(page.views[v].up);
      if (!within[a] || !within[u]) continue;  // drawn at the frame's edge instead
      CellGrid& g = grids[v];
      for (const CellShare& r : shares[u]) {
        // Rows count from the top of the page, cells upwards from the lowest coordinate.
        const std::size_t row =
            static_cast<std::size_t>(g.rows - 1 - r.cell) * static_cast<std::size_t>(g.columns);
        for (const CellShare& c : shares[a]) {
          const std::size_t cell = row + static_cast<std::size_t>(c.cell);
          g.net[cell] += m.kg * (r.share * c.share);
          ++g.count[cell];
        }
      }
    }
  }
  return grids;
}

namespace {

int shade_of(const CellGrid& g, std::size_t at, double largest) {
  if (g.count[at] == 0) return kEmpty;
  const double m = g.net[at] / g.area;
  if (std::isinf(m)) return m > 0 ? 0 : kNegative;  // absurd masses summed beyond range
  if (m < 0) return kNegative;
  const int last = static_cast<int>(kShades.size()) - 1;
  if (!(m > 0) || !(largest > 0)) return last;
  // A cell within a rounding error of a shade's bound stays in the darker shade, so that
  // equal cells summed in a different order shade alike.
  const double steps = std::floor(std::log(largest / m) / std::log(kShadeRatio) - 1e-9);
  return static_cast<int>(
      std::clamp(std::isfinite(steps) ? steps : last, 0.0, static_cast<double>(last)));
}

}  // namespace

double largest_cell_density(std::span<const CellGrid> grids) {
  double largest = 0;
  for (const CellGrid& g : grids) {
    for (std::size_t at = 0; at < g.net.size(); ++at) {
      const double m = g.net[at] / g.area;
      if (g.count[at] > 0 && std::isfinite(m)) largest = std::max(largest, m);
    }
  }
  return largest;
}

void draw_cells(const View& v, const PictureInput& input, const CellGrid& g, double largest,
                SvgLine& out) {
  const Tiling& across = input.page->cells[static_cast<std::size_t>(v.across)];
  const Tiling& up = input.page->cells[static_cast<std::size_t>(v.up)];
  const double cell_x = across.width * v.scale;
  const double cell_y = up.width * v.scale;
  std::vector<int> shade(g.net.size());
  for (std::size_t at = 0; at < shade.size(); ++at) shade[at] = shade_of(g, at, largest);

  for (int s = kNegative; s < static_cast<int>(kShades.size()); ++s) {
    if (std::find(shade.begin(), shade.end(), s) == shade.end()) continue;
    if (s == kNegative) {
      out.raw("<path class=\"negative-cells\" fill=\"none\" stroke=\"#000\" stroke-width=\"")
          .raw(std::min(cell_x, cell_y) > 4 ? "0.3" : "0.15")
          .raw("\"");
    } else {
      out.raw("<path class=\"cells\" fill=\"").raw(kShades[static_cast<std::size_t>(s)]).raw("\"");
    }
    out.raw(" transform=\"translate(")
        .px(v.page_x(across.lo))
        .raw(" ")
        .px(v.page_y(up.lo + up.width * up.count))
        .raw(") scale(")
        .fixed(cell_x, 5)
        .raw(" ")
        .fixed(cell_y, 5)
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
