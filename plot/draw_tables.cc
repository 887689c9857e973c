// The tables under the picture: the heaviest masses, and the negative masses, each with the
// line of its record (or the row of its spreadsheet), so that an engineer can go from the
// picture to the file.
#include <cstdint>
#include <span>
#include <vector>

#include "plot/drawing.h"

namespace plot {
namespace {

constexpr double kTableLeft = 34;
// The second table's left from the first's: past the first's last column, and a gap.
constexpr double kTableGap = 60;

// The columns of a table: heads and right edges from the table's left. A mass of a weight list
// is found by its line, one of a spreadsheet by its row (the sheet is named in the title
// block); one of a records file by its record and that record's line.
struct Columns {
  std::span<const std::string_view> heads;
  std::span<const double> ends;
};
constexpr std::array<std::string_view, 5> kListHeads{"line", "mass [kg]", "X", "Y", "Z"};
constexpr std::array<std::string_view, 5> kRowHeads{"row", "mass [kg]", "X", "Y", "Z"};
constexpr std::array<double, 5> kListEnds{60, 200, 300, 400, 500};
constexpr std::array<std::string_view, 6> kRecordHeads{"record", "line", "mass [kg]",
                                                       "X",      "Y",    "Z"};
constexpr std::array<double, 6> kRecordEnds{60, 130, 270, 370, 470, 570};

Columns columns_of(const PictureInput& in) {
  if (in.rows) return {kRowHeads, kListEnds};
  if (in.record_file.empty()) return {kListHeads, kListEnds};
  return {kRecordHeads, kRecordEnds};
}

void table(double left, double top, std::string_view heading, std::span<const std::size_t> rows,
           const PictureInput& in, std::string_view cls, SvgLine& out) {
  const Columns columns = columns_of(in);
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
  for (std::size_t c = 0; c < columns.ends.size(); ++c) {
    out.raw("<tspan x=\"").px(left + columns.ends[c]).raw("\" text-anchor=\"end\">");
    out.raw(columns.heads[c]).raw("</tspan>");
  }
  out.raw("</text>");
  out.end();
  std::array<char, 64> a{};
  double y = top + kTableHead + kRowHeight - 4;
  const std::size_t first_number = columns.ends.size() - 4;
  for (const std::size_t n : rows) {
    const Mass& m = in.list->masses[n];
    const std::array<double, 4> numbers{m.kg, m.x, m.y, m.z};
    out.raw("<text class=\"table-row\" y=\"").px(y).raw("\">");
    const std::array<std::int64_t, 2> places{m.record, m.line};
    for (std::size_t c = 0; c < first_number; ++c) {
      out.raw("<tspan x=\"").px(left + columns.ends[c]).raw("\" text-anchor=\"end\">");
      out.integer(first_number == 1 ? m.line : places[c]).raw("</tspan>");
    }
    for (std::size_t c = 0; c < numbers.size(); ++c) {
      out.raw("<tspan x=\"").px(left + columns.ends[first_number + c]);
      out.raw("\" text-anchor=\"end\">");
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
  table(kTableLeft, top, heading, s.heaviest, in, "heaviest", out);
  if (s.negative == 0) {
    heading = "No negative masses";
  } else if (s.negative <= s.most_negative.size()) {
    heading = "Negative masses (" + std::to_string(s.negative) + ")";
  } else {
    heading = "Negative masses: " + std::to_string(s.negative) + ", the " +
              std::to_string(s.most_negative.size()) + " most negative";
  }
  table(kTableLeft + columns_of(in).ends.back() + kTableGap, top, heading, s.most_negative, in,
        "negatives", out);
}

}  // namespace plot
