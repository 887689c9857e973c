// The title block: what file, how many masses, their total and centre of gravity, the
// extents, and the legend of the symbols (or of the grid's shades).
#include <cmath>
#include <cstdio>

#include "plot/drawing.h"

namespace plot {
namespace {

constexpr double kBlockLeft = 20;
constexpr double kTextLeft = 34;
constexpr double kLegendWidth = 470;
constexpr std::size_t kLongestShownName = 44;  // bytes of the file name, its end kept

void text_at(SvgLine& out, double x, double y, std::string_view attributes) {
  out.raw("<text x=\"").px(x).raw("\" y=\"").px(y).raw("\"").raw(attributes).raw(">");
}

void count_text(SvgLine& out, std::size_t n, std::string_view one, std::string_view many) {
  out.integer(static_cast<long long>(n)).raw(n == 1 ? one : many);
}

// The moments of inertia about the centre of gravity and the radii of gyration.
void inertia(const Summary& s, SvgLine& out) {
  std::array<char, 64> a{};
  text_at(out, kTextLeft, 148, " class=\"inertia\"");
  if (!s.inertia_defined) {
    out.raw("Moments of inertia: none (no centre of gravity)</text>");
    out.end();
    return;
  }
  out.raw("Moments of inertia about the centre of gravity, kg \xC3\x97 (unit of length)\xC2\xB2:");
  out.raw("</text>");
  out.end();
  text_at(out, kTextLeft + 14, 168, " class=\"inertia\"");
  constexpr std::array<std::string_view, 3> moments{"Ixx ", ", Iyy ", ", Izz "};
  for (std::size_t k = 0; k < 3; ++k) out.raw(moments[k]).raw(grouped(s.inertia[k], 1, a));
  out.raw("</text>");
  out.end();
  text_at(out, kTextLeft, 188, " class=\"inertia\"");
  out.raw("Radii of gyration:");
  constexpr std::array<std::string_view, 3> radii{" kxx ", ", kyy ", ", kzz "};
  for (std::size_t k = 0; k < 3; ++k) {
    out.raw(radii[k]).raw(s.gyration[k] >= 0 ? grouped(s.gyration[k], 3, a) : "none");
  }
  out.raw("</text>");
  out.end();
}

void facts(const PictureInput& in, SvgLine& out) {
  const Summary& s = *in.summary;
  const MassList& list = *in.list;
  std::array<char, 64> a{};
  std::string_view name = in.file_name;
  if (name.size() > kLongestShownName) name = name.substr(name.size() - kLongestShownName);

  text_at(out, kTextLeft, 46, " font-size=\"18\" font-weight=\"bold\"");
  out.raw("Masses of ").raw(name.size() < in.file_name.size() ? "\xE2\x80\xA6" : "").text(name);
  if (!in.source.empty()) out.raw(" (").text(in.source).raw(")");
  out.raw("</text>");
  out.end();

  text_at(out, kTextLeft, 68, "");
  count_text(out, s.count, " mass drawn", " masses drawn");
  if (s.negative > 0) {
    out.raw(", ").integer(static_cast<long long>(s.negative)).raw(" negative (\xE2\x8A\x96)");
  }
  const std::int64_t skipped = list.malformed + list.not_drawn;
  if (skipped > 0) {
    out.raw("; ")
        .integer(skipped)
        .raw(in.rows ? (skipped == 1 ? " row" : " rows") : (skipped == 1 ? " record" : " records"))
        .raw(" not drawn (listed on standard error)");
  }
  out.raw("</text>");
  out.end();

  // kg and t with the same digits: one decimal of kg is four of t.
  text_at(out, kTextLeft, 88, "");
  out.raw("Total mass ").raw(grouped(s.total_kg, 1, a)).raw(" kg = ");
  out.raw(grouped(s.total_kg / 1000, 4, a)).raw(" t");
  if (s.negative > 0) out.raw(", negative masses ").raw(grouped(s.negative_kg, 1, a)).raw(" kg");
  out.raw("</text>");
  out.end();

  text_at(out, kTextLeft, 108, "");
  if (s.cog_defined) {
    out.raw("Centre of gravity: X ").raw(grouped(s.cog[0], 3, a));
    out.raw(", Y ").raw(grouped(s.cog[1], 3, a)).raw(", Z ").raw(grouped(s.cog[2], 3, a));
  } else {
    out.raw("Centre of gravity: none (the total mass is 0 or too large to divide by)");
  }
  out.raw("</text>");
  out.end();

  text_at(out, kTextLeft, 128, "");
  out.raw("Extent:");
  constexpr std::array<std::string_view, 3> names{" X ", ", Y ", ", Z "};
  for (std::size_t k = 0; k < 3; ++k) {
    out.raw(names[k]).raw(grouped(s.extent[k].lo, 3, a)).raw(" to ");
    out.raw(grouped(s.extent[k].hi, 3, a));
  }
  out.raw("</text>");
  out.end();
  inertia(s, out);
}

// The masses far from the rest, which the views show only as markers at their edges.
void outside_list(const PictureInput& in, SvgLine& out) {
  const Summary& s = *in.summary;
  if (s.outside_count == 0) return;
  std::array<char, 64> a{};
  double y = kListTop;
  text_at(out, kTextLeft, y, " class=\"outside-count\" font-weight=\"bold\"");
  count_text(out, s.outside_count, " mass lies", " masses lie");
  out.raw(" outside the views, far from the rest (\xE2\x96\xB6 at the frame's edge):</text>");
  out.end();
  for (const std::size_t n : s.outside) {
    y += kRowHeight;
    text_at(out, kTextLeft + 14, y, " class=\"outside-row\"");
    describe(in.list->masses[n], in, out);
    out.raw("</text>");
    out.end();
  }
  if (s.outside_count > s.outside.size()) {
    y += kRowHeight;
    text_at(out, kTextLeft + 14, y, "");
    out.raw("and ").integer(static_cast<long long>(s.outside_count - s.outside.size()));
    out.raw(" more, beyond X ").raw(grouped(s.fence[0].lo, 3, a)).raw(" to ");
    out.raw(grouped(s.fence[0].hi, 3, a)).raw(", Y ").raw(grouped(s.fence[1].lo, 3, a));
    out.raw(" to ").raw(grouped(s.fence[1].hi, 3, a)).raw(" or Z ");
    out.raw(grouped(s.fence[2].lo, 3, a)).raw(" to ").raw(grouped(s.fence[2].hi, 3, a));
    out.raw("</text>");
    out.end();
  }
}

void symbol_legend(const PictureInput& in, double x, SvgLine& out) {
  std::array<char, 64> a{};
  text_at(out, x, 46, " font-weight=\"bold\"");
  out.raw("Legend</text>");
  out.end();
  out.raw("<circle cx=\"")
      .px(x + 8)
      .raw(
          "\" cy=\"64\" r=\"7\" fill=\"#3d6aa8\" "
          "fill-opacity=\"0.7\" stroke=\"#000\" "
          "stroke-width=\"0.6\"/>");
  out.end();
  text_at(out, x + 24, 68, "");
  out.raw("mass: circle area in proportion to mass (largest ")
      .raw(grouped(in.page->largest_kg, 1, a))
      .raw(" kg)</text>");
  out.end();
  out.raw("<circle cx=\"").px(x + 8).raw("\" cy=\"84\" r=\"").fixed(kSmallestRadius, 1);
  out.raw("\" fill=\"#3d6aa8\" stroke=\"#000\" stroke-width=\"0.6\"/>");
  out.end();
  text_at(out, x + 24, 88, " class=\"least-size\"");
  out.raw("below ").raw(grouped(in.page->least_full_kg, 1, a)).raw(" kg: the least size, ");
  out.fixed(kSmallestRadius, 1).raw(" px radius</text>");
  out.end();
  draw_negative_mark(x + 8, 104, out);
  text_at(out, x + 24, 108, "");
  out.raw("negative mass: \xE2\x8A\x96 at its place, in a ring of its size</text>");
  out.end();
}

void shade_legend(const PictureInput& in, double largest, double x, SvgLine& out) {
  std::array<char, 64> a{};
  const Page& page = *in.page;
  text_at(out, x, 46, " font-weight=\"bold\"");
  out.raw("Net kg per square unit in cells about ")
      .raw(grouped(page.cell / page.scale, 3, a))
      .raw(" wide</text>");
  out.end();
  if (!(largest > 0)) {
    text_at(out, x, 68, "");
    out.raw("no cell holds a positive net mass</text>");
    out.end();
  }
  constexpr double kSwatch = 70;
  double bound = largest;
  for (std::size_t k = 0; k < kShades.size() && largest > 0; ++k) {
    const double sx = x + static_cast<double>(k) * kSwatch;
    out.raw("<rect class=\"shade-swatch\" x=\"")
        .px(sx)
        .raw("\" y=\"56\" width=\"")
        .px(kSwatch - 4)
        .raw("\" height=\"14\" fill=\"")
        .raw(kShades[k])
        .raw("\" stroke=\"#000\" stroke-width=\"0.5\"/>");
    out.end();
    const bool last = k + 1 == kShades.size();
    if (!last) bound /= kShadeRatio;
    text_at(out, sx, 84, " font-size=\"11\"");
    out.raw(last ? "\xE2\x89\xA4" : ">").raw(two_digits(bound, a)).raw("</text>");
    out.end();
  }
  draw_negative_mark(x + 8, 104, out);
  text_at(out, x + 24, 108, "");
  out.raw("negative mass: \xE2\x8A\x96 where a cell's net is negative, or a listed one</text>");
  out.end();
  out.raw("<rect x=\"")
      .px(x + 1)
      .raw(
          "\" y=\"159\" width=\"14\" height=\"10\" fill=\"none\" "
          "stroke=\"#000\" stroke-width=\"1\"/>");
  out.end();
  text_at(out, x + 24, 168, "");
  out.raw("cell whose net mass is negative: outline only</text>");
  out.end();
}

}  // namespace

void draw_title(const PictureInput& in, double largest_density, SvgLine& out) {
  const double width = in.page->width - 2 * kBlockLeft;
  out.raw("<g class=\"title-block\" font-size=\"13\">");
  out.end();
  out.raw("<rect x=\"")
      .px(kBlockLeft)
      .raw("\" y=\"")
      .px(kBlockTop)
      .raw("\" width=\"")
      .px(width)
      .raw("\" height=\"")
      .px(in.page->title_height)
      .raw("\" fill=\"#fff\" stroke=\"#000\" stroke-width=\"1\"/>");
  out.end();
  facts(in, out);
  outside_list(in, out);
  const double legend = kBlockLeft + width - kLegendWidth;
  if (in.page->grid) {
    shade_legend(in, largest_density, legend, out);
  } else {
    symbol_legend(in, legend, out);
  }
  draw_cog_symbol(legend + 8, 124, out);
  text_at(out, legend + 24, 128, "");
  out.raw("centre of gravity, with dashed cross-hair lines</text>");
  out.end();
  draw_outside_mark(legend + 14, 144, 1, 0, out);
  text_at(out, legend + 24, 148, "");
  out.raw("mass outside the views, far from the rest: at the frame's edge</text>");
  out.end();
  out.raw("</g>");
  out.end();
}

}  // namespace plot
