// The whole SVG document: head, title block, the three views, the weight curve, the tables.
#include "plot/drawing.h"

namespace plot {

void write_svg(const PictureInput& input, LineSink& sink) {
  const Page& page = *input.page;
  SvgLine out(sink);
  out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  out.end();
  // The page's own size is only its aspect: the picture takes the width of its window or
  // container and its whole height fits in it, and a printed copy fits one landscape page.
  out.raw("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"100%\" viewBox=\"0 0 ")
      .px(page.width)
      .raw(" ")
      .px(page.height)
      .raw(
          "\" preserveAspectRatio=\"xMidYMin meet\" "
          "font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"12\">");
  out.end();
  out.raw("<style>@page { size: A3 landscape; margin: 10mm }</style>");
  out.end();
  out.raw("<title>Masses of ").text(input.file_name).raw("</title>");
  out.end();
  out.raw("<rect class=\"page\" width=\"100%\" height=\"100%\" fill=\"#fff\"/>");
  out.end();

  const std::array<CellGrid, 3> grids =
      page.grid ? accumulate_cells(input) : std::array<CellGrid, 3>{};
  const double largest = page.grid ? largest_cell_density(grids) : 0;
  draw_title(input, largest, out);
  constexpr std::array<std::string_view, 3> ids{"plan", "elevation", "section"};
  for (std::size_t v = 0; v < page.views.size(); ++v) {
    const View& view = page.views[v];
    out.raw("<g class=\"view\" id=\"").raw(ids[v]).raw("\">");
    out.end();
    // Grid lines under the masses, the frame and its ticks over them, the odd items on top.
    draw_grid_lines(view, out);
    if (page.grid) {
      draw_cells(view, input, grids[v], largest, out);
    } else {
      draw_circles(view, input, out);
    }
    draw_axes(view, out);
    draw_cog_lines(view, *input.summary, out);
    draw_negative_marks(view, input, page.grid ? &grids[v] : nullptr, out);
    draw_outside_marks(view, input, out);
    // The centre of gravity's symbol last: nothing covers it.
    draw_cog(view, *input.summary, out);
    out.raw("</g>");
    out.end();
  }
  draw_curve(input, out);
  draw_tables(input, out);
  out.raw("</svg>");
  out.end();
}

}  // namespace plot
