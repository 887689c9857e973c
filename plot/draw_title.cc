// The title block: what file, how many masses, their total and centre of gravity, the
// extents, and the legend of the symbols (or of the grid's shades).
#include <cmath>
#include <cstdio>

#include "plot/picture.h"

namespace plot {
namespace {

constexpr double kBlockLeft = 20;
constexpr double kBlockTop = 20;
constexpr double kBlockHeight = 122;
constexpr double kTextLeft = 34;
constexpr double kLegendWidth = 420;
constexpr std::size_t kLongestShownName = 44;  // bytes of the file name, its end kept

void text_at(SvgLine& out, double x, double y, std::string_view attributes) {
  out.raw("<text x=\"").px(x).raw("\" y=\"").px(y).raw("\"").raw(attributes).raw(">");
}

void count_text(SvgLine& out, std::size_t n, std::string_view one, std::string_view many) {
  out.integer(static_cast<long long>(n)).raw(n == 1 ? one : many);
}

void facts(const PictureInput& in, SvgLine& out) {
  const Summary& s = *in.summary;
  const MassList& list = *in.list;
  std::array<char, 64> a{};
  std::string_view name = in.file_name;
  if (name.size() > kLongestShownName) name = name.substr(name.size() - kLongestShownName);

  text_at(out, kTextLeft, 46, " font-size=\"18\" font-weight=\"bold\"");
  out.raw("Masses of ")
      .raw(name.size() < in.file_name.size() ? "\xE2\x80\xA6" : "")
      .text(name)
      .raw("</text>");
  out.end();

  text_at(out, kTextLeft, 68, "");
  count_text(out, s.count, " mass drawn", " masses drawn");
  if (s.negative > 0) {
    out.raw(", ");
    out.integer(static_cast<long long>(s.negative)).raw(" negative (drawn hollow)");
  }
  const std::int64_t skipped = list.malformed + list.not_drawn;
  if (skipped > 0) {
    out.raw("; ")
        .integer(skipped)
        .raw(skipped == 1 ? " record" : " records")
        .raw(" not drawn (listed on standard error)");
  }
  out.raw("</text>");
  out.end();

  text_at(out, kTextLeft, 88, "");
  out.raw("Total mass ").raw(readable(s.total_kg, 1, a)).raw(" kg = ");
  out.raw(readable(s.total_kg / 1000, 3, a)).raw(" t</text>");
  out.end();

  text_at(out, kTextLeft, 108, "");
  if (s.cog_defined) {
    out.raw("Centre of gravity: X ").raw(readable(s.cog[0], 3, a));
    out.raw(", Y ").raw(readable(s.cog[1], 3, a)).raw(", Z ").raw(readable(s.cog[2], 3, a));
  } else {
    out.raw("Centre of gravity: none (the total mass is 0 or too large to divide by)");
  }
  out.raw("</text>");
  out.end();

  text_at(out, kTextLeft, 128, "");
  out.raw("Extent:");
  constexpr std::array<std::string_view, 3> names{" X ", ", Y ", ", Z "};
  for (std::size_t k = 0; k < 3; ++k) {
    out.raw(names[k]).raw(readable(s.extent[k].lo, 3, a)).raw(" to ");
    out.raw(readable(s.extent[k].hi, 3, a));
  }
  out.raw("</text>");
  out.end();
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
          "fill-opacity=\"0.75\" stroke=\"#000\" "
          "stroke-width=\"0.6\"/>");
  out.end();
  text_at(out, x + 24, 68, "");
  out.raw("mass: circle area in proportion to kg (largest ")
      .raw(readable(in.summary->largest_kg, 1, a))
      .raw(" kg)</text>");
  out.end();
  out.raw("<circle cx=\"")
      .px(x + 8)
      .raw(
          "\" cy=\"86\" r=\"7\" fill=\"none\" stroke=\"#000\" "
          "stroke-width=\"1.4\"/>");
  out.end();
  text_at(out, x + 24, 90, "");
  out.raw("negative mass: outline only</text>");
  out.end();
}

// Two significant digits, an exponent without its plus sign and leading zeros ("1.2e6"),
// so that a label fits under its swatch.
std::string_view compact(double value, std::array<char, 24>& out) {
  const int n = std::snprintf(out.data(), out.size(), "%.2g", value);
  if (n <= 0 || static_cast<std::size_t>(n) >= out.size()) return "?";
  std::size_t len = 0;
  bool in_exponent = false;
  bool leading = false;
  for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
    const char c = out[k];
    if (c == 'e') {
      in_exponent = true;
      leading = true;
    } else if (in_exponent && (c == '+' || (leading && c == '0'))) {
      continue;
    } else if (in_exponent && c != '-') {
      leading = false;
    }
    out[len++] = c;
  }
  return {out.data(), len};
}

void shade_legend(const PictureInput& in, double largest, double x, SvgLine& out) {
  std::array<char, 64> a{};
  text_at(out, x, 46, " font-weight=\"bold\"");
  out.raw("Net mass per grid cell of ")
      .raw(readable(in.page->cell / in.page->scale, 3, a))
      .raw(" \xC3\x97 ")
      .raw(readable(in.page->cell / in.page->scale, 3, a))
      .raw("</text>");
  out.end();
  constexpr double kSwatch = 62;
  double bound = largest;
  for (std::size_t k = 0; k < kShades.size(); ++k) {
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
    std::array<char, 24> g{};
    text_at(out, sx, 84, " font-size=\"11\"");
    out.raw(last ? "\xE2\x89\xA4" : ">").raw(compact(bound, g)).raw("</text>");
    out.end();
  }
  text_at(out, x + 6 * kSwatch, 68, " font-size=\"11\"");
  out.raw("kg</text>");
  out.end();
  out.raw("<rect x=\"")
      .px(x)
      .raw(
          "\" y=\"126\" width=\"14\" height=\"10\" fill=\"none\" "
          "stroke=\"#000\" stroke-width=\"1\"/>");
  out.end();
  text_at(out, x + 24, 136, "");
  out.raw("cell whose net mass is negative: outline only</text>");
  out.end();
}

}  // namespace

void draw_title(const PictureInput& in, double largest_cell, SvgLine& out) {
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
      .px(kBlockHeight)
      .raw("\" fill=\"#fff\" stroke=\"#000\" stroke-width=\"1\"/>");
  out.end();
  facts(in, out);
  const double legend = kBlockLeft + width - kLegendWidth;
  if (in.page->grid) {
    shade_legend(in, largest_cell, legend, out);
  } else {
    symbol_legend(in, legend, out);
  }
  draw_cog_symbol(legend + 8, 114, out);
  text_at(out, legend + 24, 118, "");
  out.raw("centre of gravity, with dashed cross-hair lines</text>");
  out.end();
  out.raw("</g>");
  out.end();
}

}  // namespace plot
