// The page: three views side by side at one common scale, with ticks at round values.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "plot/massplot.h"

namespace plot {
namespace {

// Page geometry in pixels.
constexpr double kMarginLeft = 90;  // room for the first view's vertical tick labels
constexpr double kGap = 100;        // between views: the next view's tick labels
constexpr double kMarginRight = 30;
constexpr double kLeastPageWidth = 1000;    // the title block needs this much
constexpr double kViewNameWidth = 220;      // "Section (Y right, Z up)" in bold
constexpr double kFramesTop = 200;          // below the title block and the view names
constexpr double kBelowFrames = 70;         // tick labels and axis names under the frames
constexpr double kFramesWidth = 1500;       // the three frames together, at most
constexpr double kTallestFrame = 620;       // one frame's height, at most
constexpr double kInnerMargin = 8;          // between the outermost circle and the frame
constexpr double kTickSpacing = 90;         // least distance between two tick labels
constexpr double kLargestRadius = 16;       // the largest mass of a small list
constexpr double kLargestRadiusOfMany = 5;  // ... of a list of thousands
constexpr std::int64_t kMostTicks = 1000;
constexpr double kLargestTickIndex = 1e15;  // keeps k * digit well inside 64 bits

// A view whose coordinates all lie on one point or line still gets this share of the
// largest half-extent, so that it shows as a band rather than a hair.
constexpr double kLeastShare = 0.1;

}  // namespace

double Ticks::step() const {
  return digit * std::pow(10.0, exponent);
}

Ticks round_step(double least) {
  Ticks t;
  if (!(least > 0) || !std::isfinite(least)) return t;
  int e = static_cast<int>(std::floor(std::log10(least)));
  for (int tries = 0; tries < 3; ++tries, ++e) {
    for (const int d : {1, 2, 5}) {
      if (d * std::pow(10.0, e) >= least) {
        t.digit = d;
        t.exponent = e;
        return t;
      }
    }
  }
  t.exponent = e;
  return t;
}

Ticks ticks_within(Ticks step, double lo, double hi) {
  step.first = 0;
  step.last = -1;
  const double size = step.step();
  const double first = std::ceil(lo / size);
  const double last = std::floor(hi / size);
  if (!std::isfinite(first) || !std::isfinite(last) || first > last) return step;
  if (std::fabs(first) > kLargestTickIndex || std::fabs(last) > kLargestTickIndex) return step;
  if (last - first >= kMostTicks) return step;
  step.first = static_cast<std::int64_t>(first);
  step.last = static_cast<std::int64_t>(last);
  return step;
}

std::string_view tick_label(const Ticks& ticks, std::int64_t k, std::array<char, 48>& out) {
  const std::int64_t n = k * ticks.digit;
  if (n == 0) return "0";
  std::array<char, 24> digits{};
  const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), std::llabs(n));
  const auto count = static_cast<int>(r.ptr - digits.data());
  const std::string_view d(digits.data(), static_cast<std::size_t>(count));
  const int e = ticks.exponent;
  std::size_t len = 0;
  const auto put = [&](std::string_view text) {
    for (const char c : text) {
      if (len < out.size()) out[len++] = c;
    }
  };
  const auto drop_trailing_zeros = [&](std::size_t point) {
    while (len > point + 1 && out[len - 1] == '0') --len;
    if (len == point + 1) --len;  // nothing after the point
  };
  if (n < 0) put("-");
  if (e >= 0 && count + e <= 9) {
    put(d);
    for (int z = 0; z < e; ++z) put("0");
  } else if (e < 0 && e >= -9) {
    const int whole = count + e;  // digits before the point
    if (whole > 0) {
      put(d.substr(0, static_cast<std::size_t>(whole)));
      const std::size_t point = len;
      put(".");
      put(d.substr(static_cast<std::size_t>(whole)));
      drop_trailing_zeros(point);
    } else {
      put("0");
      const std::size_t point = len;
      put(".");
      for (int z = 0; z < -whole; ++z) put("0");
      put(d);
      drop_trailing_zeros(point);
    }
  } else {
    put(d.substr(0, 1));
    const std::size_t point = len;
    put(".");
    put(d.substr(1));
    drop_trailing_zeros(point);
    put("e");
    std::array<char, 8> exponent{};
    const auto x = std::to_chars(exponent.data(), exponent.data() + exponent.size(), e + count - 1);
    put({exponent.data(), static_cast<std::size_t>(x.ptr - exponent.data())});
  }
  return {out.data(), len};
}

namespace {

// The page's common ticks, or finer ones where a narrow frame would show fewer than two:
// a step of at most 2.5 times a fifth of the range puts at least two within it.
Ticks axis_ticks(Ticks step, double centre, double half) {
  const Ticks common = ticks_within(step, centre - half, centre + half);
  if (common.last > common.first) return common;
  return ticks_within(round_step(2 * half / 5), centre - half, centre + half);
}

}  // namespace

double View::page_x(double across_value) const {
  return left + width / 2 + (across_value - centre_across) * scale;
}

double View::page_y(double up_value) const {
  return top + height / 2 - (up_value - centre_up) * scale;
}

Page plan_page(const Summary& summary) {
  Page page;
  page.grid = summary.count > kMostCircles;
  if (!page.grid) {
    const double many =
        std::sqrt(100.0 / static_cast<double>(std::max<std::size_t>(summary.count, 1)));
    page.largest_radius = std::clamp(kLargestRadius * many, kLargestRadiusOfMany, kLargestRadius);
  }
  const double pad = kInnerMargin + page.largest_radius;

  // Centre and half-extent per axis, the centre of gravity included so that its cross-hair
  // is always in view. Coordinates are within kLargestDrawn, so none of this overflows.
  std::array<double, 3> centre{};
  std::array<double, 3> half{};
  double largest_half = 0;
  double magnitude = 0;
  for (std::size_t a = 0; a < 3; ++a) {
    Range r = summary.extent[a];
    if (summary.cog_defined) {
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

  const double across = 2 * (half[0] + half[0] + half[1]);
  const double tallest = 2 * std::max(half[1], half[2]);
  page.scale = std::min((kFramesWidth - 6 * pad) / across, (kTallestFrame - 2 * pad) / tallest);

  struct Spec {
    std::string_view name;
    Axis across, up;
  };
  constexpr std::array<Spec, 3> specs{
      {{"Plan", Axis::x, Axis::y}, {"Elevation", Axis::x, Axis::z}, {"Section", Axis::y, Axis::z}}};
  const Ticks step = round_step(kTickSpacing / page.scale);
  double left = kMarginLeft;
  double tallest_frame = 0;
  double widest = 0;
  for (std::size_t v = 0; v < 3; ++v) {
    View& view = page.views[v];
    const auto a = static_cast<std::size_t>(specs[v].across);
    const auto u = static_cast<std::size_t>(specs[v].up);
    view.name = specs[v].name;
    view.across = specs[v].across;
    view.up = specs[v].up;
    view.scale = page.scale;
    view.left = left;
    view.top = kFramesTop;
    view.width = 2 * half[a] * page.scale + 2 * pad;
    view.height = 2 * half[u] * page.scale + 2 * pad;
    view.centre_across = centre[a];
    view.centre_up = centre[u];
    const double half_across = view.width / 2 / page.scale;
    const double half_up = view.height / 2 / page.scale;
    view.ticks_across = axis_ticks(step, centre[a], half_across);
    view.ticks_up = axis_ticks(step, centre[u], half_up);
    left += view.width + kGap;
    tallest_frame = std::max(tallest_frame, view.height);
    widest = std::max({widest, view.width, view.height});
  }
  const View& last = page.views.back();
  page.width = std::max({left - kGap + kMarginRight, last.left + kViewNameWidth, kLeastPageWidth});
  page.height = kFramesTop + tallest_frame + kBelowFrames;
  page.cell = widest / kGridCellsAcross;
  return page;
}

double circle_radius(const Page& page, const Summary& summary, double kg) {
  if (!(summary.largest_kg > 0)) return kSmallestRadius;
  const double r = page.largest_radius * std::sqrt(std::fabs(kg) / summary.largest_kg);
  return std::max(r, kSmallestRadius);
}

}  // namespace plot
