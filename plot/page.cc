// The page: three views side by side at one common scale, with ticks at round values whose
// labels do not overlap; the weight curve under the elevation; the tables under it all.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

#include "plot/drawing.h"

namespace plot {
namespace {

// Page geometry in pixels.
constexpr double kMarginLeft = 90;  // least room for the first view's vertical tick labels
constexpr double kGap = 100;        // least room between views for the next view's labels
constexpr double kMarginRight = 30;
constexpr double kLeastPageWidth = 1240;  // the title block and the two tables need this much
constexpr double kViewNameWidth = 220;    // "Section (Y right, Z up)" in bold
constexpr double kAboveFrames = 58;       // the view names under the title block
constexpr double kBelowFrames = 70;       // tick labels and axis names under a frame
constexpr double kAboveCurve = 40;        // the weight curve's caption
constexpr double kCurveHeight = 130;
constexpr double kBelowTables = 20;
constexpr double kFramesWidth = 1500;    // the three frames together, at most
constexpr double kTallestFrame = 620;    // one frame's height, at most
constexpr double kTickSpacing = 90;      // the common distance of ticks, at least
constexpr double kUpLabelSpacing = 18;   // least distance of two tick labels one above the other
constexpr double kLabelRoom = 9 + 10;    // tick and blank beside an up label
constexpr int kMostStepTries = 40;       // round steps tried for one axis (13 decades)
constexpr double kMostTicksShown = 900;  // a finer step would give more ticks than this

// The largest circle: as large as lets all circles cover about kCircleShare of the plan
// (few masses: large circles; thousands: small ones), and at least as large as keeps the
// listed heaviest masses above the least radius, all within bounds.
constexpr double kCircleShare = 0.1;
constexpr double kLeastLargestRadius = 6;
constexpr double kMostLargestRadius = 40;
constexpr double kHeaviestAboveLeast = 1.25;

// A view whose coordinates all lie on one point or line still gets this share of the
// largest half-extent, so that it shows as a band rather than a hair.
constexpr double kLeastShare = 0.1;

double widest_label(const Ticks& t) {
  std::array<char, 48> label{};
  double widest = 0;
  for (std::int64_t k = t.first; k <= t.last; ++k) {
    widest = std::max(widest, label_width(tick_label(t, k, label)));
  }
  return widest;
}

// The ticks along one frame axis of `half_px` pixels either side of `centre`: the common
// step when it gives two ticks or more, else the finest round step whose labels stand
// apart. Widens `half_px` when even that leaves fewer than two ticks in the frame.
Ticks fit_ticks(Ticks common, double centre, double& half_px, double scale, bool across) {
  const auto within = [&](Ticks step) {
    return ticks_within(step, centre - half_px / scale, centre + half_px / scale);
  };
  const auto apart = [&](const Ticks& t) {
    const double spacing = t.step() * scale;
    return across ? spacing >= widest_label(t) + kLabelGap : spacing >= kUpLabelSpacing;
  };
  Ticks t = within(common);
  if (t.last > t.first && apart(t)) return t;
  Ticks step = round_step((across ? 3 * kCharWidth + kLabelGap : kUpLabelSpacing) / scale);
  for (int tries = 0; tries < kMostStepTries; ++tries, step = next_round_step(step)) {
    const double spacing = step.step() * scale;
    if (!(spacing > 0) || 2 * half_px / spacing > kMostTicksShown) continue;
    // Two ticks of this step fit in any frame at least two steps wide.
    if (2 * half_px < 2 * spacing) half_px = spacing;
    t = within(step);
    if (t.last > t.first && apart(t)) return t;
  }
  return t;
}

struct Frames {
  double scale = 0;
  std::array<View, 3> views;
  double tallest = 0;  // frame height
  double right = 0;    // of the last frame
};

constexpr std::array<std::string_view, 3> kViewNames{"Plan", "Elevation", "Section"};
constexpr std::array<Axis, 3> kAcross{Axis::x, Axis::x, Axis::y};
constexpr std::array<Axis, 3> kUp{Axis::y, Axis::z, Axis::z};

// The three frames for model ranges `centre` +- `half` with `pad` pixels around the data.
Frames lay_out(const std::array<double, 3>& centre, const std::array<double, 3>& half, double pad,
               double top) {
  Frames f;
  const double across = 2 * (half[0] + half[0] + half[1]);
  const double tallest = 2 * std::max(half[1], half[2]);
  f.scale = std::min((kFramesWidth - 6 * pad) / across, (kTallestFrame - 2 * pad) / tallest);
  const Ticks step = round_step(kTickSpacing / f.scale);
  std::array<double, 3> widest_up{};
  for (std::size_t v = 0; v < 3; ++v) {
    View& view = f.views[v];
    const auto a = static_cast<std::size_t>(kAcross[v]);
    const auto u = static_cast<std::size_t>(kUp[v]);
    view.name = kViewNames[v];
    view.across = kAcross[v];
    view.up = kUp[v];
    view.scale = f.scale;
    view.top = top;
    view.centre_across = centre[a];
    view.centre_up = centre[u];
    double half_across = half[a] * f.scale + pad;
    double half_up = half[u] * f.scale + pad;
    view.ticks_across = fit_ticks(step, centre[a], half_across, f.scale, true);
    view.ticks_up = fit_ticks(step, centre[u], half_up, f.scale, false);
    view.width = 2 * half_across;
    view.height = 2 * half_up;
    widest_up[v] = widest_label(view.ticks_up);
    f.tallest = std::max(f.tallest, view.height);
  }
  // Room left of each frame for its up labels, and for the last across label of the frame
  // before it.
  double left = std::max(kMarginLeft, widest_up[0] + kLabelRoom);
  for (std::size_t v = 0; v < 3; ++v) {
    View& view = f.views[v];
    if (v > 0) {
      const View& before = f.views[v - 1];
      std::array<char, 48> label{};
      const double overhang =
          before.ticks_across.last >= before.ticks_across.first
              ? label_width(tick_label(before.ticks_across, before.ticks_across.last, label)) / 2
              : 0;
      left += std::max(kGap, overhang + kLabelGap + widest_up[v] + kLabelRoom);
    }
    view.left = left;
    left += view.width;
  }
  f.right = left;
  return f;
}

// Bins one gap of the masses wide reach half a gap beyond the outermost masses, which may be
// beyond the elevation's frame: the curve's frame is widened to take them in, its X where the
// elevation has it.
void widen_to_bins(View& curve, const Tiling& bins) {
  const double first = curve.page_x(bins.lo);
  const double last = curve.page_x(bins.lo + bins.width * bins.count);
  const double left = std::min(curve.left, first - kInnerMargin);
  const double right = std::max(curve.left + curve.width, last + kInnerMargin);
  if (!std::isfinite(left) || !std::isfinite(right)) return;
  if (left == curve.left && right == curve.left + curve.width) return;
  const double shift = (left + right) / 2 - (curve.left + curve.width / 2);
  curve.centre_across += shift / curve.scale;
  curve.left = left;
  curve.width = right - left;
  curve.ticks_across =
      ticks_within(curve.ticks_across, curve.centre_across - curve.width / 2 / curve.scale,
                   curve.centre_across + curve.width / 2 / curve.scale);
}

}  // namespace

double View::page_x(double across_value) const {
  return left + width / 2 + (across_value - centre_across) * scale;
}

double View::page_y(double up_value) const {
  return top + height / 2 - (up_value - centre_up) * (up_scale > 0 ? up_scale : scale);
}

Page plan_page(const Summary& summary) {
  Page page;
  page.grid = summary.count > kMostCircles;

  // Centre and half-extent per axis of the body, the centre of gravity included when it lies
  // within the fences so that its cross-hair is in view. Coordinates are within
  // kLargestDrawn, so none of this overflows.
  std::array<double, 3> centre{};
  std::array<double, 3> half{};
  double largest_half = 0;
  double magnitude = 0;
  for (std::size_t a = 0; a < 3; ++a) {
    Range r = summary.body[a];
    if (summary.cog_inside) {
      r.lo = std::min(r.lo, summary.cog[a]);
      r.hi = std::max(r.hi, summary.cog[a]);
    }
    centre[a] = r.lo / 2 + r.hi / 2;
    half[a] = r.hi / 2 - r.lo / 2;
    largest_half = std::max(largest_half, half[a]);
    magnitude = std::max({magnitude, std::fabs(r.lo), std::fabs(r.hi)});
  }
  // One point: a window around it. Tiny extents far from the origin are widened so that
  // round ticks between them stay apart as numbers.
  if (largest_half == 0) largest_half = magnitude > 0 ? magnitude * kLeastShare : 1.0;
  largest_half = std::max({largest_half, magnitude * 1e-6, 1e-30});
  for (double& h : half) h = std::max(h, largest_half * kLeastShare);

  const std::size_t outside_rows =
      summary.outside_count == 0
          ? 0
          : 1 + summary.outside.size() + (summary.outside_count > summary.outside.size() ? 1 : 0);
  // The list's rows from kListTop on, and a little room under the last.
  page.title_height =
      std::max(kBlockHeight, kListTop - kBlockTop + kRowHeight * static_cast<double>(outside_rows));
  const double frames_top = kBlockTop + page.title_height + kAboveFrames;

  // A first layout with room for the largest circle or cell there may be, then the final one
  // with the room the circles or cells of this page need.
  const double first_pad =
      kInnerMargin + (page.grid ? kTallestFrame / kGridCellsAcross : kMostLargestRadius);
  const Frames first = lay_out(centre, half, first_pad, frames_top);
  double widest = 0;
  for (const View& v : first.views) widest = std::max({widest, v.width, v.height});
  page.cell = widest / kGridCellsAcross;
  double pad = kInnerMargin + page.cell;
  // Circle sizes are for the masses within the fences: one heavy mass far from the rest would
  // shrink all the others.
  page.largest_kg = summary.inside_largest_kg;
  if (!page.grid && page.largest_kg > 0) {
    const View& plan = first.views[0];
    const double area =
        std::max(plan.width - 2 * first_pad, 1.0) * std::max(plan.height - 2 * first_pad, 1.0);
    const double share = page.largest_kg / std::max(summary.absolute_kg, page.largest_kg);
    double radius = std::sqrt(kCircleShare * area * share / std::numbers::pi);
    if (summary.listed_least_kg > 0) {
      radius = std::max(radius, kHeaviestAboveLeast * kSmallestRadius *
                                    std::sqrt(page.largest_kg / summary.listed_least_kg));
    }
    page.largest_radius = std::clamp(radius, kLeastLargestRadius, kMostLargestRadius);
    page.least_full_kg = page.largest_kg * std::pow(kSmallestRadius / page.largest_radius, 2);
    pad = kInnerMargin + page.largest_radius;
  } else if (!page.grid) {
    page.largest_radius = kLeastLargestRadius;
    pad = kInnerMargin + page.largest_radius;
  }

  const Frames frames = lay_out(centre, half, pad, frames_top);
  page.scale = frames.scale;
  page.views = frames.views;
  // Cells about page.cell wide over the body; the weight curve's bins along X as wide, or one
  // gap of the masses wide where they lie further apart.
  for (std::size_t a = 0; a < 3; ++a) {
    page.cells[a] = tile_axis(summary.body[a], summary.spacing[a], page.cell / page.scale);
  }
  page.bins = bin_axis(summary.body[0], summary.spacing[0], page.cell / page.scale);

  const View& elevation = page.views[1];
  const double frames_bottom = frames_top + frames.tallest;
  page.curve = elevation;
  page.curve.name = "Weight curve";
  page.curve.up_name = "kg per unit of X";
  page.curve.top = frames_bottom + kBelowFrames + kAboveCurve;
  page.curve.height = kCurveHeight;
  widen_to_bins(page.curve, page.bins);
  page.tables_top = page.curve.top + page.curve.height + kBelowFrames;
  const std::size_t rows =
      std::max({summary.heaviest.size(), summary.most_negative.size(), std::size_t{1}});
  page.height =
      page.tables_top + kTableHead + kRowHeight * static_cast<double>(rows) + kBelowTables;
  const View& last = page.views.back();
  page.width = std::max({frames.right + kMarginRight, last.left + kViewNameWidth, kLeastPageWidth,
                         page.curve.left + page.curve.width + kMarginRight});
  return page;
}

double circle_radius(const Page& page, const Summary& /*summary*/, double kg) {
  if (!(page.largest_kg > 0)) return kSmallestRadius;
  const double r = page.largest_radius * std::sqrt(std::fabs(kg) / page.largest_kg);
  return std::clamp(r, kSmallestRadius, std::max(kSmallestRadius, page.largest_radius));
}

}  // namespace plot
