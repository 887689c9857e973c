// The tables under the picture: the heaviest masses, and the negative masses, each with the
// line of its record, so that an engineer can go from the picture to the file.
#include <vector>

#include "plot/picture.h"

namespace plot {
namespace {

constexpr double kTableLeft = 34;
constexpr double kSecondTable = 560;  // from the first table's left
// Right edges of the columns line, kg, X, Y and Z from the table's left.
constexpr std::array<double, 5> kColumnEnds{60, 200, 300, 400, 500};
constexpr std::array<std::string_view, 5> kColumnHeads{"line", "mass [kg]", "X", "Y", "Z"};

void table(double left, double top, std::string_view heading, std::span<const std::size_t> rows,
           const std::vector<Mass>& masses, std::string_view cls, SvgLine& out) {
  out.raw("<g class=\"").raw(cls).raw("\">");
  out.end();
  out.raw("<text x=\"").px(left).raw("\" y=\"").px(top + 14);
  out.raw("\" font-size=\"14\" font-weight=\"bold\">").raw(heading).raw("</text>");
  out.end();
  if (rows.empty()) {
    out.raw("</g>");
    out.end();
    return;
  }
  out.raw("<text class=\"table-head\" y=\"").px(top + 34).raw("\" font-weight=\"bold\">");
  for (std::size_t c = 0; c < kColumnEnds.size(); ++c) {
    out.raw("<tspan x=\"").px(left + kColumnEnds[c]).raw("\" text-anchor=\"end\">");
    out.raw(kColumnHeads[c]).raw("</tspan>");
  }
  out.raw("</text>");
  out.end();
  std::array<char, 64> a{};
  double y = top + kTableHead + kRowHeight - 4;
  for (const std::size_t n : rows) {
    const Mass& m = masses[n];
    const std::array<double, 4> numbers{m.kg, m.x, m.y, m.z};
    out.raw("<text class=\"table-row\" y=\"").px(y).raw("\">");
    out.raw("<tspan x=\"").px(left + kColumnEnds[0]).raw("\" text-anchor=\"end\">");
    out.integer(m.line).raw("</tspan>");
    for (std::size_t c = 0; c < numbers.size(); ++c) {
      out.raw("<tspan x=\"").px(left + kColumnEnds[c + 1]).raw("\" text-anchor=\"end\">");
      out.raw(grouped(numbers[c], c == 0 ? 1 : 3, a)).raw("</tspan>");
    }
    out.raw("</text>");
    out.end();
    y += kRowHeight;
  }
  out.raw("</g>");
  out.end();
}

}  // namespace

void draw_tables(const PictureInput& in, SvgLine& out) {
  const Summary& s = *in.summary;
  const double top = in.page->tables_top;
  std::string heading = s.heaviest.empty() ? "No mass above 0" : "Heaviest masses";
  if (s.heaviest.size() == kHeaviestListed && s.count > kHeaviestListed) {
    heading += " (the " + std::to_string(kHeaviestListed) + " largest)";
  }
  table(kTableLeft, top, heading, s.heaviest, in.list->masses, "heaviest", out);
  if (s.negative == 0) {
    heading = "No negative masses";
  } else if (s.negative <= s.most_negative.size()) {
    heading = "Negative masses (" + std::to_string(s.negative) + ")";
  } else {
    heading = "Negative masses: " + std::to_string(s.negative) + ", the " +
              std::to_string(s.most_negative.size()) + " most negative";
  }
  table(kTableLeft + kSecondTable, top, heading, s.most_negative, in.list->masses, "negatives",
        out);
}

}  // namespace plot
