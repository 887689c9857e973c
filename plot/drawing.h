// Internal to plot/: the pieces of the picture, the page layout they share, and the line composer.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plot/picture.h"

namespace plot {

// Page layout shared by the page plan and the drawing, in pixels.
inline constexpr double kBlockTop = 20;      // the title block's top
inline constexpr double kBlockHeight = 200;  // its height without the list of masses outside
inline constexpr double kListTop = 210;      // baseline of the list's first line
inline constexpr double kRowHeight = 16;     // one line of a list or a table
inline constexpr double kTableHead = 42;     // a table's name and column heads
inline constexpr double kCharWidth = 7.7;    // a digit at the font size of tick labels, and a bit
inline constexpr double kLabelGap = 12;      // least blank between two tick labels side by side
inline constexpr double kInnerMargin = 8;    // between what a view or the curve draws and its frame

// The width of a tick label on the page (a little more than it takes).
inline double label_width(std::string_view text) {
  return static_cast<double>(text.size()) * kCharWidth;
}

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

// The one number style of the picture's texts: fixed with `decimals` and thousands grouped
// by commas ("27,488,721.9"), scientific with four decimals from 1e15 on. Answers the text
// within `out`.
std::string_view grouped(double value, int decimals, std::array<char, 64>& out);
// A positive value to two significant digits in the same style ("3,200", "0.012").
std::string_view two_digits(double value, std::array<char, 64>& out);
// "line 5: 1,500.0 kg at X 10.000, Y 20.000, Z 30.000" for a mass of a weight list,
// "row 14 of sheet Deck: ..." for one of a spreadsheet ("row 14: ..." of delimited text),
// "record 1 (line 17 of out.txt): ..." for one of a records file (the line left out when
// unknown).
void describe(const Mass& m, const PictureInput& in, SvgLine& out);

double coordinate(const Mass& m, Axis axis);
std::string_view axis_name(Axis axis);

// Greys of the grid's shades, darkest first, and how many there are.
inline constexpr std::array<std::string_view, 6> kShades{"#1a1a1a", "#4d4d4d", "#808080",
                                                         "#a6a6a6", "#cccccc", "#e8e8e8"};
// Each shade holds cells of up to 1/kShadeRatio of the mass of the next darker one.
inline constexpr double kShadeRatio = 4;

// Light grid lines at the ticks, drawn first so that cells and circles lie over them.
void draw_grid_lines(const View& view, SvgLine& out);
// The frame, ticks, tick labels, axis names and the view's name.
void draw_axes(const View& view, SvgLine& out);
// Is the mass inside the view (both of its coordinates within their fences)?
bool in_view(const View& view, const Summary& summary, const Mass& m);
// A circle of `radius` pixels at the mass's place in the view, with its hover details.
void mass_circle(const View& view, const PictureInput& input, const Mass& m, double radius,
                 SvgLine& out);
// One circle per mass inside the view, largest first so that small masses stay visible on
// top of large; negative masses as rings on top, each circle with its hover details.
void draw_circles(const View& view, const PictureInput& input, SvgLine& out);
// The masses of a view spread over its cells.
struct CellGrid {
  int columns = 0;
  int rows = 0;
  double area = 1;                   // of one cell, square model units
  std::vector<double> net;           // kg per cell, row by row from the top left
  std::vector<std::uint32_t> count;  // masses with a share in each cell
};
std::array<CellGrid, 3> accumulate_cells(const PictureInput& input);  // of the three views
// The largest net mass per area of one cell of these grids (0 when none is positive).
double largest_cell_density(std::span<const CellGrid> grids);
// Shaded cells: the net mass per area of each cell of the view, shades relative to `largest`.
void draw_cells(const View& view, const PictureInput& input, const CellGrid& grid, double largest,
                SvgLine& out);
// The negative-mass marker (a white disc with a black bar) at each negative mass of the view;
// on a grid (`grid` its cells), one per square a little wider than a marker that holds a cell
// whose net mass is negative or one of the listed most negative masses, at the most negative
// mass in it, with how many there are.
void draw_negative_marks(const View& view, const PictureInput& input, const CellGrid* grid,
                         SvgLine& out);
// A marker at the frame's edge pointing outwards for each mass outside the view.
void draw_outside_marks(const View& view, const PictureInput& input, SvgLine& out);
// One outside marker: a triangle with its tip at (x, y), pointing along (dx, dy).
void draw_outside_mark(double x, double y, int dx, int dy, SvgLine& out);
// Cross-hair lines through the centre of gravity across the frame (under the markers).
void draw_cog_lines(const View& view, const Summary& summary, SvgLine& out);
// The centre of gravity's symbol, drawn over everything else of the view.
void draw_cog(const View& view, const Summary& summary, SvgLine& out);
// The centre-of-gravity symbol: a ring with two opposite quarters shaded, see-through.
void draw_cog_symbol(double x, double y, SvgLine& out);
// The negative-mass marker's disc and bar, on their own (for the legend).
void draw_negative_mark(double x, double y, SvgLine& out);
// Title block with file name, counts, totals, centre of gravity, extents, the masses outside
// the views and the legend.
void draw_title(const PictureInput& input, double largest_density, SvgLine& out);
// The weight curve under the elevation.
void draw_curve(const PictureInput& input, SvgLine& out);
// The tables of the heaviest and of the negative masses.
void draw_tables(const PictureInput& input, SvgLine& out);

}  // namespace plot
