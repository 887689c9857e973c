// Markers for the masses a glance must not miss: negative masses, whatever lies under them,
// and masses outside the views, at the frame's edge.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

#include "plot/drawing.h"

namespace plot {
namespace {

constexpr double kMarkRadius = 4.5;
constexpr double kMarkSpacing = 12;  // on a grid, at most one marker per square this wide
constexpr double kHalfBar = 2.8;
constexpr double kArrowLength = 9;
constexpr double kArrowHalfWidth = 5;
constexpr std::size_t kNoMass = std::numeric_limits<std::size_t>::max();

// The square of kMarkSpacing pixels that `offset` pixels into the frame lie in.
std::size_t block_of(double offset, std::size_t count) {
  const double i = std::floor(offset / kMarkSpacing);
  return static_cast<std::size_t>(
      std::clamp(std::isfinite(i) ? i : 0.0, 0.0, static_cast<double>(count - 1)));
}

// A negative mass to be marked: on a grid, the most negative of those in its square, with
// how many there are and what they sum to.
struct Marked {
  std::size_t mass = kNoMass;
  std::uint32_t count = 0;
  double kg = 0;
};

// The negative masses inside the view to be marked, in file order.
std::vector<Marked> negatives_to_mark(const View& v, const PictureInput& in, const CellGrid* grid) {
  const std::vector<Mass>& masses = in.list->masses;
  std::vector<Marked> chosen;
  if (grid == nullptr) {
    for (std::size_t n = 0; n < masses.size(); ++n) {
      if (masses[n].kg < 0 && in_view(v, *in.summary, masses[n])) chosen.push_back({n, 1, 0});
    }
    return chosen;
  }
  // On a grid, where negative masses may crowd, a marker in each square a little larger than
  // a marker (more would cover each other) that holds a cell whose net mass is negative or one
  // of the listed most negative masses, at the most negative mass in it. Negative masses among
  // heavier ones leave the shading as it is: the title block and the table count them.
  const auto blocks = [](double pixels) {
    return static_cast<std::size_t>(std::clamp(std::ceil(pixels / kMarkSpacing), 1.0, 1e4));
  };
  const std::size_t columns = blocks(v.width);
  const std::size_t rows = blocks(v.height);
  const auto block_at = [&](double x, double y) {
    return block_of(y - v.top, rows) * columns + block_of(x - v.left, columns);
  };
  std::vector<Marked> in_block(columns * rows);
  std::vector<bool> shown(columns * rows, false);
  for (std::size_t n = 0; n < masses.size(); ++n) {
    const Mass& m = masses[n];
    if (!(m.kg < 0) || !in_view(v, *in.summary, m)) continue;
    Marked& b =
        in_block[block_at(v.page_x(coordinate(m, v.across)), v.page_y(coordinate(m, v.up)))];
    if (b.mass == kNoMass || m.kg < masses[b.mass].kg) b.mass = n;
    ++b.count;
    b.kg += m.kg;
  }
  const Tiling& across = in.page->cells[static_cast<std::size_t>(v.across)];
  const Tiling& up = in.page->cells[static_cast<std::size_t>(v.up)];
  for (int j = 0; j < grid->rows; ++j) {
    for (int i = 0; i < grid->columns; ++i) {
      const std::size_t at = static_cast<std::size_t>(j) * static_cast<std::size_t>(grid->columns) +
                             static_cast<std::size_t>(i);
      if (grid->count[at] == 0 || !(grid->net[at] < 0)) continue;
      // Rows count from the top of the page, cells upwards from the lowest coordinate.
      const double x = v.page_x(across.lo + (i + 0.5) * across.width);
      const double y = v.page_y(up.lo + (grid->rows - j - 0.5) * up.width);
      shown[block_at(x, y)] = true;
    }
  }
  for (const std::size_t n : in.summary->most_negative) {
    const Mass& m = masses[n];
    if (in_view(v, *in.summary, m)) {
      shown[block_at(v.page_x(coordinate(m, v.across)), v.page_y(coordinate(m, v.up)))] = true;
    }
  }
  for (std::size_t b = 0; b < in_block.size(); ++b) {
    if (shown[b] && in_block[b].mass != kNoMass) chosen.push_back(in_block[b]);
  }
  std::sort(chosen.begin(), chosen.end(),
            [](const Marked& p, const Marked& q) { return p.mass < q.mass; });
  return chosen;
}

void bar(double x, double y, SvgLine& out) {
  out.raw("M").px(x - kHalfBar).raw(" ").px(y).raw("h").fixed(2 * kHalfBar, 1);
}

void arrow(double x, double y, int dx, int dy, SvgLine& out) {
  const double length = std::hypot(dx, dy);
  const double ux = dx / length;
  const double uy = dy / length;
  const double bx = x - kArrowLength * ux;
  const double by = y - kArrowLength * uy;
  out.raw("M").px(x).raw(" ").px(y);
  out.raw("L").px(bx - kArrowHalfWidth * uy).raw(" ").px(by + kArrowHalfWidth * ux);
  out.raw("L").px(bx + kArrowHalfWidth * uy).raw(" ").px(by - kArrowHalfWidth * ux).raw("Z");
}

constexpr std::string_view kMarkStyle = "fill=\"#fff\" stroke=\"#000\" stroke-width=\"1.2\"";
constexpr std::string_view kBarStyle = "fill=\"none\" stroke=\"#000\" stroke-width=\"1.6\"";
constexpr std::string_view kArrowStyle = "fill=\"#000\" stroke=\"#fff\" stroke-width=\"1\"";

}  // namespace

void draw_negative_mark(double x, double y, SvgLine& out) {
  out.raw("<circle cx=\"").px(x).raw("\" cy=\"").px(y).raw("\" r=\"").fixed(kMarkRadius, 1);
  out.raw("\" ").raw(kMarkStyle).raw("/>");
  out.end();
  out.raw("<path ").raw(kBarStyle).raw(" d=\"");
  bar(x, y, out);
  out.raw("\"/>");
  out.end();
}

void draw_negative_marks(const View& v, const PictureInput& in, const CellGrid* grid,
                         SvgLine& out) {
  if (in.summary->negative == 0) return;
  const std::vector<Marked> chosen = negatives_to_mark(v, in, grid);
  if (chosen.empty()) return;
  const std::vector<Mass>& masses = in.list->masses;
  out.raw("<g class=\"negative-marks\" ").raw(kMarkStyle).raw(">");
  out.end();
  std::array<char, 64> a{};
  for (const Marked& marked : chosen) {
    const Mass& m = masses[marked.mass];
    if (marked.count <= 1) {
      mass_circle(v, in, m, kMarkRadius, out);
      continue;
    }
    out.raw("<circle cx=\"").px(v.page_x(coordinate(m, v.across)));
    out.raw("\" cy=\"").px(v.page_y(coordinate(m, v.up))).raw("\" r=\"").fixed(kMarkRadius, 1);
    out.raw("\"><title>").integer(marked.count).raw(" negative masses here, together ");
    out.raw(grouped(marked.kg, 1, a)).raw(" kg; the most negative: ");
    describe(m, in, out);
    out.raw("</title></circle>");
    out.end();
  }
  out.raw("</g>");
  out.end();
  out.raw("<path class=\"negative-bars\" ").raw(kBarStyle).raw(" d=\"");
  for (const Marked& marked : chosen) {
    const Mass& m = masses[marked.mass];
    bar(v.page_x(coordinate(m, v.across)), v.page_y(coordinate(m, v.up)), out);
  }
  out.raw("\"/>");
  out.end();
}

void draw_outside_mark(double x, double y, int dx, int dy, SvgLine& out) {
  out.raw("<path class=\"outside-mark\" ").raw(kArrowStyle).raw(" d=\"");
  arrow(x, y, dx, dy, out);
  out.raw("\"/>");
  out.end();
}

void draw_outside_marks(const View& v, const PictureInput& in, SvgLine& out) {
  if (in.summary->outside_count == 0) return;
  const Summary& s = *in.summary;
  const std::vector<Mass>& masses = in.list->masses;
  const auto a = static_cast<std::size_t>(v.across);
  const auto u = static_cast<std::size_t>(v.up);
  const double right = v.left + v.width;
  const double bottom = v.top + v.height;
  // Where each mass outside the view points from; masses pointing alike from the same pixel
  // share one marker (the first of them in the file).
  struct Mark {
    long x, y;
    int dx, dy;
    std::size_t mass;
  };
  std::vector<Mark> marks;
  for (std::size_t n = 0; n < masses.size(); ++n) {
    const Mass& m = masses[n];
    if (in_view(v, s, m)) continue;
    const double across = coordinate(m, v.across);
    const double up = coordinate(m, v.up);
    const int dx = across < s.fence[a].lo ? -1 : across > s.fence[a].hi ? 1 : 0;
    const int dy = up > s.fence[u].hi ? -1 : up < s.fence[u].lo ? 1 : 0;
    const double x = dx < 0 ? v.left : dx > 0 ? right : std::clamp(v.page_x(across), v.left, right);
    const double y = dy < 0 ? v.top : dy > 0 ? bottom : std::clamp(v.page_y(up), v.top, bottom);
    marks.push_back({std::lround(x), std::lround(y), dx, dy, n});
  }
  std::sort(marks.begin(), marks.end(), [](const Mark& p, const Mark& q) {
    return std::tie(p.x, p.y, p.dx, p.dy, p.mass) < std::tie(q.x, q.y, q.dx, q.dy, q.mass);
  });
  const auto same = [](const Mark& p, const Mark& q) {
    return p.x == q.x && p.y == q.y && p.dx == q.dx && p.dy == q.dy;
  };
  marks.erase(std::unique(marks.begin(), marks.end(), same), marks.end());
  if (marks.empty()) return;
  out.raw("<g class=\"outside-marks\" ").raw(kArrowStyle).raw(">");
  out.end();
  for (const Mark& mark : marks) {
    out.raw("<path d=\"");
    arrow(static_cast<double>(mark.x), static_cast<double>(mark.y), mark.dx, mark.dy, out);
    out.raw("\"><title>");
    describe(masses[mark.mass], in, out);
    out.raw("</title></path>");
    out.end();
  }
  out.raw("</g>");
  out.end();
}

}  // namespace plot
