// One view: frame, ticks and axis names, the masses as circles, the centre-of-gravity
// cross-hair.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "plot/picture.h"

namespace plot {
namespace {

constexpr double kTickLength = 6;
constexpr double kCogRadius = 7;

std::string_view axis_name(Axis axis) {
  switch (axis) {
    case Axis::x:
      return "X";
    case Axis::y:
      return "Y";
    case Axis::z:
      return "Z";
  }
  return "?";
}

double coordinate(const Mass& m, Axis axis) {
  switch (axis) {
    case Axis::x:
      return m.x;
    case Axis::y:
      return m.y;
    case Axis::z:
      return m.z;
  }
  return 0;
}

double tick_value(const Ticks& t, std::int64_t k) {
  return static_cast<double>(k) * t.step();
}

}  // namespace

void draw_axes(const View& v, SvgLine& out) {
  const double right = v.left + v.width;
  const double bottom = v.top + v.height;
  // Over the frame's left edge: a narrow frame's name reaches to its right.
  out.raw("<text class=\"view-name\" x=\"")
      .px(v.left)
      .raw("\" y=\"")
      .px(v.top - 34)
      .raw("\" font-size=\"15\" font-weight=\"bold\">")
      .raw(v.name)
      .raw(" (")
      .raw(axis_name(v.across))
      .raw(" right, ")
      .raw(axis_name(v.up))
      .raw(" up)</text>");
  out.end();

  // Light grid lines at the ticks, then the frame over them.
  out.raw(
      "<path class=\"grid-lines\" fill=\"none\" stroke=\"#c8c8c8\" stroke-width=\"0.6\" "
      "d=\"");
  for (std::int64_t k = v.ticks_across.first; k <= v.ticks_across.last; ++k) {
    out.raw("M").px(v.page_x(tick_value(v.ticks_across, k))).raw(" ").px(v.top).raw("V").px(bottom);
  }
  for (std::int64_t k = v.ticks_up.first; k <= v.ticks_up.last; ++k) {
    out.raw("M").px(v.left).raw(" ").px(v.page_y(tick_value(v.ticks_up, k))).raw("H").px(right);
  }
  out.raw("\"/>");
  out.end();
  out.raw("<rect class=\"frame\" x=\"")
      .px(v.left)
      .raw("\" y=\"")
      .px(v.top)
      .raw("\" width=\"")
      .px(v.width)
      .raw("\" height=\"")
      .px(v.height)
      .raw("\" fill=\"none\" stroke=\"#000\" stroke-width=\"1.2\"/>");
  out.end();

  std::array<char, 48> label{};
  out.raw("<path class=\"tick-marks\" stroke=\"#000\" d=\"");
  for (std::int64_t k = v.ticks_across.first; k <= v.ticks_across.last; ++k) {
    out.raw("M").px(v.page_x(tick_value(v.ticks_across, k))).raw(" ").px(bottom).raw("v6");
  }
  for (std::int64_t k = v.ticks_up.first; k <= v.ticks_up.last; ++k) {
    out.raw("M")
        .px(v.left - kTickLength)
        .raw(" ")
        .px(v.page_y(tick_value(v.ticks_up, k)))
        .raw("h6");
  }
  out.raw("\"/>");
  out.end();
  for (std::int64_t k = v.ticks_across.first; k <= v.ticks_across.last; ++k) {
    out.raw("<text class=\"tick-across\" x=\"")
        .px(v.page_x(tick_value(v.ticks_across, k)))
        .raw("\" y=\"")
        .px(bottom + 20)
        .raw("\" text-anchor=\"middle\">")
        .raw(tick_label(v.ticks_across, k, label))
        .raw("</text>");
    out.end();
  }
  for (std::int64_t k = v.ticks_up.first; k <= v.ticks_up.last; ++k) {
    out.raw("<text class=\"tick-up\" x=\"")
        .px(v.left - kTickLength - 3)
        .raw("\" y=\"")
        .px(v.page_y(tick_value(v.ticks_up, k)) + 4)
        .raw("\" text-anchor=\"end\">")
        .raw(tick_label(v.ticks_up, k, label))
        .raw("</text>");
    out.end();
  }
  out.raw("<text class=\"axis-name\" x=\"")
      .px(v.left + v.width / 2)
      .raw("\" y=\"")
      .px(bottom + 42)
      .raw("\" text-anchor=\"middle\" font-weight=\"bold\">")
      .raw(axis_name(v.across))
      .raw(" \xE2\x86\x92</text>");  // X followed by a right arrow
  out.end();
  out.raw("<text class=\"axis-name\" x=\"")
      .px(v.left - kTickLength - 3)
      .raw("\" y=\"")
      .px(v.top - 10)
      .raw("\" text-anchor=\"end\" font-weight=\"bold\">")
      .raw(axis_name(v.up))
      .raw(" \xE2\x86\x91</text>");  // Y followed by an up arrow
  out.end();
}

void draw_circles(const View& v, const PictureInput& input, SvgLine& out) {
  const std::vector<Mass>& masses = input.list->masses;
  std::vector<std::size_t> order(masses.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::fabs(masses[a].kg) > std::fabs(masses[b].kg);
  });
  // Filled circles for masses, hollow ones (an outline only) for negative masses: the
  // difference shows in black and white as well as in colour.
  for (const bool negative : {false, true}) {
    out.raw(negative ? "<g class=\"negative-masses\" fill=\"none\" stroke=\"#000\" "
                       "stroke-width=\"1.4\">"
                     : "<g class=\"masses\" fill=\"#3d6aa8\" fill-opacity=\"0.75\" "
                       "stroke=\"#000\" stroke-width=\"0.6\">");
    out.end();
    for (const std::size_t n : order) {
      const Mass& m = masses[n];
      if ((m.kg < 0) != negative) continue;
      out.raw("<circle cx=\"")
          .px(v.page_x(coordinate(m, v.across)))
          .raw("\" cy=\"")
          .px(v.page_y(coordinate(m, v.up)))
          .raw("\" r=\"")
          .px(circle_radius(*input.page, *input.summary, m.kg))
          .raw("\"/>");
      out.end();
    }
    out.raw("</g>");
    out.end();
  }
}

void draw_cog_symbol(double x, double y, SvgLine& out) {
  const double r = kCogRadius;
  out.raw("<path class=\"cog-symbol\" fill=\"#fff\" stroke=\"#000\" stroke-width=\"1.2\" d=\"M")
      .px(x - r)
      .raw(" ")
      .px(y)
      .raw("A7 7 0 1 0 ")
      .px(x + r)
      .raw(" ")
      .px(y)
      .raw("A7 7 0 1 0 ")
      .px(x - r)
      .raw(" ")
      .px(y)
      .raw("Z\"/>");
  out.end();
  // The upper right and the lower left quarter filled.
  out.raw("<path class=\"cog-symbol\" fill=\"#000\" d=\"M")
      .px(x)
      .raw(" ")
      .px(y)
      .raw("H")
      .px(x + r)
      .raw("A7 7 0 0 0 ")
      .px(x)
      .raw(" ")
      .px(y - r)
      .raw("ZM")
      .px(x)
      .raw(" ")
      .px(y)
      .raw("H")
      .px(x - r)
      .raw("A7 7 0 0 0 ")
      .px(x)
      .raw(" ")
      .px(y + r)
      .raw("Z\"/>");
  out.end();
}

void draw_cog(const View& v, const Summary& summary, SvgLine& out) {
  if (!summary.cog_defined) return;
  const Mass cog{summary.cog[0], summary.cog[1], summary.cog[2], 0};
  const double x = v.page_x(coordinate(cog, v.across));
  const double y = v.page_y(coordinate(cog, v.up));
  // Dashed dark red lines: the dashes, not the colour, tell them from the grid lines.
  out.raw("<g class=\"cog\" stroke=\"#a00000\" stroke-width=\"1.2\" stroke-dasharray=\"8 4\">");
  out.end();
  out.raw("<line class=\"cog-across\" x1=\"")
      .px(v.left)
      .raw("\" y1=\"")
      .px(y)
      .raw("\" x2=\"")
      .px(v.left + v.width)
      .raw("\" y2=\"")
      .px(y)
      .raw("\"/>");
  out.end();
  out.raw("<line class=\"cog-up\" x1=\"")
      .px(x)
      .raw("\" y1=\"")
      .px(v.top)
      .raw("\" x2=\"")
      .px(x)
      .raw("\" y2=\"")
      .px(v.top + v.height)
      .raw("\"/>");
  out.end();
  out.raw("</g>");
  out.end();
  draw_cog_symbol(x, y, out);
}

}  // namespace plot
