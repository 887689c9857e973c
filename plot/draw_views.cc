// One view: grid lines, frame, ticks and axis names, the masses as circles, the
// centre-of-gravity cross-hair.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "plot/drawing.h"

namespace plot {
namespace {

constexpr double kTickLength = 6;
constexpr double kCogRadius = 7;

double tick_value(const Ticks& t, std::int64_t k) {
  return static_cast<double>(k) * t.step();
}

}  // namespace

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

void draw_grid_lines(const View& v, SvgLine& out) {
  const double right = v.left + v.width;
  const double bottom = v.top + v.height;
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
}

void draw_axes(const View& v, SvgLine& out) {
  const double bottom = v.top + v.height;
  // Over the frame's left edge: a narrow frame's name reaches to its right.
  out.raw("<text class=\"view-name\" x=\"")
      .px(v.left)
      .raw("\" y=\"")
      .px(v.top - 34)
      .raw("\" font-size=\"15\" font-weight=\"bold\">")
      .raw(v.name);
  if (v.up_name.empty()) {
    out.raw(" (").raw(axis_name(v.across)).raw(" right, ").raw(axis_name(v.up)).raw(" up)");
  }
  out.raw("</text>");
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
      .raw(v.up_name.empty() ? axis_name(v.up) : v.up_name)
      .raw(" \xE2\x86\x91</text>");  // Y followed by an up arrow
  out.end();
}

bool in_view(const View& v, const Summary& summary, const Mass& m) {
  return summary.within(static_cast<std::size_t>(v.across), coordinate(m, v.across)) &&
         summary.within(static_cast<std::size_t>(v.up), coordinate(m, v.up));
}

void mass_circle(const View& v, const PictureInput& in, const Mass& m, double radius,
                 SvgLine& out) {
  out.raw("<circle cx=\"")
      .px(v.page_x(coordinate(m, v.across)))
      .raw("\" cy=\"")
      .px(v.page_y(coordinate(m, v.up)))
      .raw("\" r=\"")
      .px(radius)
      .raw("\"><title>");
  describe(m, in, out);
  out.raw("</title></circle>");
  out.end();
}

void draw_circles(const View& v, const PictureInput& input, SvgLine& out) {
  const std::vector<Mass>& masses = input.list->masses;
  std::vector<std::size_t> order(masses.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::fabs(masses[a].kg) > std::fabs(masses[b].kg);
  });
  // Filled circles for masses, rings of their size for negative masses, on top: the
  // difference shows in black and white as well as in colour.
  for (const bool negative : {false, true}) {
    out.raw(negative ? "<g class=\"negative-masses\" fill=\"none\" stroke=\"#000\" "
                       "stroke-width=\"1.4\">"
                     : "<g class=\"masses\" fill=\"#3d6aa8\" fill-opacity=\"0.7\" "
                       "stroke=\"#000\" stroke-width=\"0.6\">");
    out.end();
    for (const std::size_t n : order) {
      const Mass& m = masses[n];
      if ((m.kg < 0) != negative || !in_view(v, *input.summary, m)) continue;
      mass_circle(v, input, m, circle_radius(*input.page, *input.summary, m.kg), out);
    }
    out.raw("</g>");
    out.end();
  }
}

namespace {

void ring(double x, double y, std::string_view paint, SvgLine& out) {
  out.raw("<circle cx=\"").px(x).raw("\" cy=\"").px(y).raw("\" r=\"7\" fill=\"none\" ");
  out.raw(paint).raw("/>");
  out.end();
}

}  // namespace

void draw_cog_symbol(double x, double y, SvgLine& out) {
  const double r = kCogRadius;
  // A white halo under the ring keeps it visible on dark cells; inside, the shaded quarters
  // let the data under the symbol show.
  out.raw("<g class=\"cog-symbol\">");
  out.end();
  ring(x, y, "stroke=\"#fff\" stroke-width=\"5\"", out);
  // The upper right and the lower left quarter shaded.
  out.raw("<path fill=\"#000\" fill-opacity=\"0.55\" d=\"M")
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
  ring(x, y, "stroke=\"#000\" stroke-width=\"1.2\"", out);
  out.raw("</g>");
  out.end();
}

namespace {

// Where the centre of gravity is drawn in the view: at its place, or at the frame's edge when it
// lies beyond (moved there by masses outside the views), with the direction it lies in.
struct CogPlace {
  double x, y;
  int dx, dy;
};

CogPlace cog_place(const View& v, const Summary& summary) {
  const Mass cog{summary.cog[0], summary.cog[1], summary.cog[2], 0};
  const double x_model = v.page_x(coordinate(cog, v.across));
  const double y_model = v.page_y(coordinate(cog, v.up));
  const double right = v.left + v.width;
  const double bottom = v.top + v.height;
  return {std::clamp(x_model, v.left, right), std::clamp(y_model, v.top, bottom),
          x_model < v.left  ? -1
          : x_model > right ? 1
                            : 0,
          y_model < v.top    ? -1
          : y_model > bottom ? 1
                             : 0};
}

}  // namespace

void draw_cog_lines(const View& v, const Summary& summary, SvgLine& out) {
  if (!summary.cog_defined) return;
  const auto [x, y, dx, dy] = cog_place(v, summary);
  const double right = v.left + v.width;
  const double bottom = v.top + v.height;
  // Dashed dark red lines: the dashes, not the colour, tell them from the grid lines.
  out.raw("<g class=\"cog\" stroke=\"#a00000\" stroke-width=\"1.2\" stroke-dasharray=\"8 4\">");
  out.end();
  if (dy == 0) {
    out.raw("<line class=\"cog-across\" x1=\"").px(v.left).raw("\" y1=\"").px(y);
    out.raw("\" x2=\"").px(right).raw("\" y2=\"").px(y).raw("\"/>");
    out.end();
  }
  if (dx == 0) {
    out.raw("<line class=\"cog-up\" x1=\"").px(x).raw("\" y1=\"").px(v.top);
    out.raw("\" x2=\"").px(x).raw("\" y2=\"").px(bottom).raw("\"/>");
    out.end();
  }
  out.raw("</g>");
  out.end();
}

void draw_cog(const View& v, const Summary& summary, SvgLine& out) {
  if (!summary.cog_defined) return;
  const auto [x, y, dx, dy] = cog_place(v, summary);
  draw_cog_symbol(x, y, out);
  if (dx != 0 || dy != 0) draw_outside_mark(x, y, dx, dy, out);
}

}  // namespace plot
