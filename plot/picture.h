// The picture: the masses of a list, as a self-contained SVG of plan, elevation and section at
// one common scale, with the weight curve and the moments of inertia.
//
// Data flow: MassList (records_file.h, or a weight list read by the tool) -> summarize ->
// plan_page (one common scale, ticks) -> write_svg (lines to a LineSink). Nothing here touches
// a file for writing; the program's front hands the lines to lineio.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plot/records_file.h"

namespace plot {

// ---------------------------------------------------------------------------------------
// Totals.

struct Range {
  double lo = 0;
  double hi = 0;
};

// Lists of the title block and the tables are this long at most.
inline constexpr std::size_t kHeaviestListed = 15;
inline constexpr std::size_t kNegativesListed = 20;
inline constexpr std::size_t kOutsideListed = 10;

struct Summary {
  std::size_t count = 0;          // masses drawn
  std::size_t negative = 0;       // of them with a mass below 0
  double total_kg = 0;            // may be infinite for absurd masses
  double negative_kg = 0;         // the sum of the negative masses
  double absolute_kg = 0;         // the sum of |mass|
  bool cog_defined = false;       // false when the total is 0 or not finite
  std::array<double, 3> cog{};    // centre of gravity x, y, z
  std::array<Range, 3> extent{};  // of the masses' coordinates x, y, z
  double largest_kg = 0;          // largest |mass|
  // Mass moments of inertia about axes through the centre of gravity parallel to X, Y and Z
  // (kg times the square of the coordinates' unit), and the radii of gyration sqrt(I / total);
  // a radius is -1 where I / total is negative.
  bool inertia_defined = false;
  std::array<double, 3> inertia{};
  std::array<double, 3> gyration{};

  // The part of the model the views show. Per axis, a coordinate beyond `fence` lies far
  // from the rest (a few masses typed in millimetres among metres, say): such a mass is drawn
  // as a marker at the frame's edge instead. `body` is the extent of the coordinates within
  // the fence, `spacing` the usual gap between neighbouring distinct coordinates (0 for one).
  std::array<Range, 3> fence{};
  std::array<Range, 3> body{};
  std::array<double, 3> spacing{};
  bool cog_inside = false;            // the views take in the centre of gravity: it lies within the
                                      // fences, or no mass lies beyond them
  std::size_t outside_count = 0;      // masses with a coordinate beyond its fence
  double inside_largest_kg = 0;       // largest |mass| of the others
  std::vector<std::size_t> outside;   // the first kOutsideListed of them, in file order
  std::vector<std::size_t> heaviest;  // the kHeaviestListed largest masses, largest first
  double listed_least_kg = 0;         // the mass of the last of them
  std::vector<std::size_t> most_negative;  // up to kNegativesListed, most negative first

  bool within(std::size_t axis, double value) const {
    return value >= fence[axis].lo && value <= fence[axis].hi;
  }
};

// Sums the masses and their moments (in long double, so that absurd values do not
// overflow on the way), finds the extents, the fences and the lists. Needs at least one
// mass for extents. Indices in the lists are positions in `masses`.
Summary summarize(std::span<const Mass> masses);
// The moments of inertia and radii of gyration of `s` about its centre of gravity (part of
// summarize): a second pass over the distances from it, in compensated sums.
void find_inertia(std::span<const Mass> masses, Summary& s);
// The fences, body, spacing and outside list of `s` (part of summarize).
void find_body(std::span<const Mass> masses, Summary& s);

// ---------------------------------------------------------------------------------------
// Scale and ticks.

// Tick values a common step apart: value(k) = k * step for k = first .. last. The step is
// digit * 10^exponent with digit 1, 2 or 5; labels are written from these integers, so a
// label is exactly the round value it names.
struct Ticks {
  int digit = 1;
  int exponent = 0;
  std::int64_t first = 0;
  std::int64_t last = -1;
  double step() const;
};

// The smallest round step (1, 2 or 5 times a power of ten) of at least `least`.
Ticks round_step(double least);
// The round step after `step`: 1 -> 2 -> 5 -> 10.
Ticks next_round_step(Ticks step);
// The ticks of `step` that lie within [lo, hi]; none when there would be more than 1000.
Ticks ticks_within(Ticks step, double lo, double hi);
// Writes the label of tick k (for instance "-2.5", "1500", "1.5e+12") into `out`.
std::string_view tick_label(const Ticks& ticks, std::int64_t k, std::array<char, 48>& out);

enum class Axis { x = 0, y = 1, z = 2 };

// One view on the page: a frame in page pixels showing model coordinates across and up.
struct View {
  std::string_view name;                            // "Plan", "Elevation", "Section"
  Axis across = Axis::x;                            // the coordinate to the right
  Axis up = Axis::y;                                // the coordinate upwards
  double left = 0, top = 0, width = 0, height = 0;  // frame in page pixels
  double centre_across = 0, centre_up = 0;          // model coordinates at the frame centre
  Ticks ticks_across, ticks_up;
  double page_x(double across_value) const;  // page pixel of a model coordinate
  double page_y(double up_value) const;
  double scale = 0;  // page pixels per model unit, the same for all views
  // The weight curve's panel is a view too, whose up axis is not a coordinate: its name and
  // pixels per unit upwards.
  std::string_view up_name;
  double up_scale = 0;  // 0: the same as scale
};

// Equal cells along one axis: `count` cells of `width` from `lo`, laid over the coordinates
// within the fence so that the first and last cells hold as much of the data as the others.
// A mass is spread over the cells its `footprint` (centred on it) overlaps, in proportion to
// the overlap, the parts beyond the ends going to the end cells.
struct Tiling {
  double lo = 0;
  double width = 1;
  int count = 1;
  double footprint = 1;
};

// Cells of `tiling` that a mass at `at` is spread over, and its share of each (summing to 1).
struct CellShare {
  int cell = 0;
  double share = 0;
};
std::span<const CellShare> spread(const Tiling& tiling, double at, std::array<CellShare, 4>& out);

// Cells along one axis about `target` wide, for coordinates `body` with the usual gap
// `spacing`: on a regular spacing the footprint is a whole number of gaps, so that evenly
// spaced masses give even cells, and the ends lie half a gap beyond the outermost masses.
Tiling tile_axis(Range body, double spacing, double target);
// The weight curve's bins along one axis: one bin per gap where the usual gap is at least half
// of `target`, so that evenly spaced masses fill every bin alike; else as tile_axis, whose
// footprints of whole gaps do the same.
Tiling bin_axis(Range body, double spacing, double target);
// Whether bin_axis makes one bin per gap: the usual gap is at least half of `target`.
bool bins_follow_spacing(double spacing, double target);

struct Page {
  double width = 0, height = 0;
  double scale = 0;             // page pixels per model unit
  double largest_radius = 0;    // circle radius of `largest_kg`, pixels
  double largest_kg = 0;        // the largest |mass| within the fences, drawn at largest_radius
  double least_full_kg = 0;     // masses below this |kg| are drawn at kSmallestRadius
  bool grid = false;            // too many masses for circles: shaded cells instead
  double cell = 0;              // grid cell size, pixels (about; see `cells`)
  std::array<View, 3> views;    // plan, elevation, section
  std::array<Tiling, 3> cells;  // grid cells along X, Y and Z
  Tiling bins;                  // the weight curve's bins along X
  View curve;  // the weight curve's frame under the elevation, at its X scale (drawn with
               // the up axis it needs)
  double title_height = 0;  // of the title block
  double tables_top = 0;    // the tables of heaviest and negative masses
};

// Masses drawn one by one up to this count; above it each view becomes a grid.
inline constexpr std::size_t kMostCircles = 20000;
// The widest view has about this many grid cells across.
inline constexpr int kGridCellsAcross = 200;

// Lays out the three views side by side at one common scale that fits the page, with ticks
// at round values whose labels do not overlap, the weight curve under the elevation and the
// tables under it all. Every number of the page is finite, whatever the summary holds.
Page plan_page(const Summary& summary);

// Circle radius in pixels for a mass: area proportional to |kg|, never below kSmallestRadius
// (nor above largest_radius, which only a mass far from the rest could reach).
inline constexpr double kSmallestRadius = 1.5;
double circle_radius(const Page& page, const Summary& summary, double kg);

// ---------------------------------------------------------------------------------------
// The picture.

// Receives the SVG one line at a time (without line end).
class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void line(std::string_view text) = 0;
};

struct PictureInput {
  std::string_view file_name;  // shown in the title block (any bytes; escaped for XML)
  // Masses of a records file: its name as its lines are named ("record 3 (line 19 of
  // out.txt)"); empty for the masses of a weight list, whose lines are its own ("line 5").
  std::string_view record_file;
  std::string_view source;  // what was read, under the title ("weight list, tonnes"); may be empty
  const MassList* list = nullptr;
  const Summary* summary = nullptr;
  const Page* page = nullptr;
  // Masses of a spreadsheet or a delimited table: their places are its rows ("row 14 of sheet
  // Deck"; "row 14" of delimited text, whose `sheet` is empty).
  bool rows = false;
  std::string_view sheet;
  // With `rows`, the start of the mass cells' names ("Deck!C"): each mass is then named by its
  // cell too ("row 14 of sheet Deck (mass cell Deck!C14)"), as a spreadsheet program finds it.
  std::string_view mass_cells;
};

// Writes the whole SVG document: title block with legend, the three views with frames,
// ticks, axis names, masses (circles or shaded cells), negative masses and masses outside
// the views as markers, the centre-of-gravity cross-hairs, the weight curve and the tables.
void write_svg(const PictureInput& input, LineSink& sink);
// Whether a text begins as an SVG picture: after a byte-order mark, an XML declaration,
// processing instructions, comments and a document type, its first (root) element is svg.
bool starts_as_svg(std::string_view text);

}  // namespace plot
