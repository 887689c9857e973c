// Internal: the pieces of the picture and the line composer they share.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plot/massplot.h"

namespace plot {

// Composes one SVG line in a buffer reused for every line, then hands it to the sink.
class SvgLine {
 public:
  explicit SvgLine(LineSink& sink);
  SvgLine& raw(std::string_view markup);       // markup as is
  SvgLine& text(std::string_view bytes);       // character data or an attribute value: markup
                                               // characters escaped, control bytes and invalid
                                               // UTF-8 replaced by '?'
  SvgLine& px(double value);                   // a page coordinate, one decimal (0 if not finite)
  SvgLine& fixed(double value, int decimals);  // like px with more decimals
  SvgLine& integer(long long value);
  void end();  // hands the line to the sink and starts an empty one

 private:
  LineSink& sink_;
  std::string line_;
};

// Writes a finite value for people to read: fixed with `decimals` below 1e9, else
// scientific with four decimals. Answers the text within `out`.
std::string_view readable(double value, int decimals, std::array<char, 64>& out);

// Greys of the grid's shades, darkest first, and how many there are.
inline constexpr std::array<std::string_view, 6> kShades{"#1a1a1a", "#4d4d4d", "#808080",
                                                         "#a6a6a6", "#cccccc", "#e8e8e8"};
// Each shade holds cells of up to 1/kShadeRatio of the mass of the next darker one.
inline constexpr double kShadeRatio = 4;

// The frame, grid lines, ticks, tick labels, axis names and the view's name.
void draw_axes(const View& view, SvgLine& out);
// One circle per mass, largest first so that small masses stay visible on top of large.
void draw_circles(const View& view, const PictureInput& input, SvgLine& out);
// The masses of one view summed into square cells of the page's cell size.
struct CellGrid {
  int columns = 0;
  int rows = 0;
  std::vector<double> net;           // kg per cell, row by row from the top left
  std::vector<std::uint32_t> count;  // masses per cell
};
CellGrid accumulate_cells(const View& view, const PictureInput& input);
// The largest net mass of one cell of these grids (0 when none is positive).
double largest_cell_mass(std::span<const CellGrid> grids);
// Shaded cells: the net mass in each cell of the view, shades relative to `largest`.
void draw_cells(const View& view, const CellGrid& grid, double cell, double largest, SvgLine& out);
// Cross-hair lines through the centre of gravity across the frame, and its symbol.
void draw_cog(const View& view, const Summary& summary, SvgLine& out);
// The centre-of-gravity symbol: a circle with two opposite quarters filled.
void draw_cog_symbol(double x, double y, SvgLine& out);
// Title block with file name, counts, totals, centre of gravity, extents and the legend.
void draw_title(const PictureInput& input, double largest_cell, SvgLine& out);

}  // namespace plot
