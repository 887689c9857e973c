// The weight curve: mass per unit length along X, as a step curve over equal bins, in a panel
// under the elevation at the same X scale so that its steps line up with the picture. The
// area under the curve is the mass: each mass is spread over the bins as over the cells.
#include <algorithm>
#include <cmath>
#include <vector>

#include "plot/drawing.h"

namespace plot {
namespace {

// Round ticks with at least two in [lo, hi].
Ticks curve_ticks(double lo, double hi) {
  Ticks t = ticks_within(round_step((hi - lo) / 4), lo, hi);
  if (t.last <= t.first) t = ticks_within(round_step((hi - lo) / 8), lo, hi);
  return t;
}

}  // namespace

void draw_curve(const PictureInput& in, SvgLine& out) {
  const Page& page = *in.page;
  const Summary& s = *in.summary;
  const Tiling& bins = page.bins;
  std::vector<double> kg(static_cast<std::size_t>(bins.count), 0.0);
  std::size_t beyond = 0;
  double beyond_kg = 0;
  std::array<CellShare, 4> shares{};
  for (const Mass& m : in.list->masses) {
    if (!s.within(0, m.x)) {
      ++beyond;
      beyond_kg += m.kg;
      continue;
    }
    for (const CellShare& c : spread(bins, m.x, shares)) {
      kg[static_cast<std::size_t>(c.cell)] += m.kg * c.share;
    }
  }
  double lo = 0;
  double hi = 0;
  for (double& k : kg) {
    k /= bins.width;  // kg per unit length
    if (std::isfinite(k)) {
      lo = std::min(lo, k);
      hi = std::max(hi, k);
    }
  }
  if (!(hi > lo)) hi = lo + 1;

  View v = page.curve;
  v.up_scale = (v.height - 2 * kInnerMargin) / (hi - lo);
  v.centre_up = lo / 2 + hi / 2;
  v.ticks_up = curve_ticks(lo, hi);

  std::array<char, 64> a{};
  out.raw("<g class=\"panel\" id=\"weight-curve\">");
  out.end();
  out.raw("<text class=\"curve-caption\" x=\"").px(v.left).raw("\" y=\"").px(v.top - 14);
  out.raw("\">mass per unit length along X in ").integer(bins.count);
  out.raw(bins.count == 1 ? " bin " : " bins ").raw(grouped(bins.width, 3, a)).raw(" wide");
  // Bins one gap of the masses wide, where they lie about a cell apart or further.
  if (bins_follow_spacing(s.spacing[0], page.cell / page.scale)) {
    out.raw(" (the masses' usual spacing along X)");
  }
  if (beyond > 0) {
    out.raw("; ").integer(static_cast<long long>(beyond));
    out.raw(beyond == 1 ? " mass" : " masses").raw(" beyond the X range (");
    out.raw(grouped(beyond_kg, 1, a)).raw(" kg) not in it");
  }
  out.raw("</text>");
  out.end();
  draw_grid_lines(v, out);
  const auto value_y = [&](double k) { return v.page_y(std::isfinite(k) ? k : 0.0); };
  out.raw(
      "<path class=\"weight-curve\" fill=\"#bcc9dc\" stroke=\"#1f3a60\" stroke-width=\"1\" "
      "d=\"M");
  // Heights to a hundredth of a pixel: the area under the curve is read as the mass.
  out.px(v.page_x(bins.lo)).raw(" ").fixed(value_y(0), 2);
  for (std::size_t b = 0; b < kg.size(); ++b) {
    out.raw("V").fixed(value_y(kg[b]), 2);
    out.raw("H").px(v.page_x(bins.lo + bins.width * static_cast<double>(b + 1)));
  }
  out.raw("V").fixed(value_y(0), 2).raw("Z\"/>");
  out.end();
  if (lo < 0) {
    out.raw("<line class=\"curve-zero\" stroke=\"#000\" stroke-width=\"0.8\" x1=\"").px(v.left);
    out.raw("\" y1=\"").px(value_y(0)).raw("\" x2=\"").px(v.left + v.width);
    out.raw("\" y2=\"").px(value_y(0)).raw("\"/>");
    out.end();
  }
  draw_axes(v, out);
  out.raw("</g>");
  out.end();
}

}  // namespace plot
