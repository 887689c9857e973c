// Checks made before the output file is written: why a run kept nothing, and whether every
// value of the result can be written as it is. A result that cannot be written faithfully
// (a value that is not a number, or too wide for its columns) would mislead the analysis
// program that reads it; such a run writes nothing.
#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "kit/surprises.h"
#include "lineio/lineio.h"
#include "tool/processing.h"
#include "tool/report.h"

namespace tool {
namespace {

constexpr std::string_view kLeftAsItWas = "; the output file is left as it was";

// Whether a value prints in a fixed-point field of w columns and 3 decimals as a number
// (not asterisks, Infinity or NaN). Values well inside the field are decided at once.
bool fits_fixed(double value, int w) {
  if (std::isfinite(value) && std::fabs(value) < 1.0e6) return true;
  std::array<char, 16> field{};
  return lineio::render_fixed({field.data(), static_cast<std::size_t>(w)}, value, 3);
}

bool fits_int(std::int64_t value, int w) {
  std::array<char, 24> field{};
  return lineio::render_int({field.data(), static_cast<std::size_t>(w)}, value);
}

std::string problem(std::string_view what, double value, std::string_view why) {
  std::string line(kNoticePrefix);
  line += what;
  line += ' ';
  line += kit::shortest_number(value);
  line += why;
  line += kLeftAsItWas;
  return line;
}

std::string record_problem(std::size_t n, std::string_view field, double value, int w) {
  std::string what = "Map_Mass record " + std::to_string(n + 1) + " cannot be written: ";
  what += field;
  what += " =";
  return problem(what, value,
                 std::isfinite(value) ? " does not fit its " + std::to_string(w) + " columns"
                                      : " is not a finite number");
}

}  // namespace

std::string nothing_kept_line(const RunSettings& s, const Totals& t) {
  // Of a table too, kel2fram has always said "line".
  std::string line(kNoticePrefix);
  line += why_nothing_kept(t, false);
  for (std::size_t axis = 0; t.lines > 0 && t.skipped > 0 && axis < 3; ++axis) {
    if (s.min[axis] > s.max[axis]) {
      line += " (the ";
      line += kAxisName[axis];
      line += " range is empty: its minimum " + kit::shortest_number(s.min[axis]) +
              " is above its maximum " + kit::shortest_number(s.max[axis]) + ")";
      break;
    }
  }
  line += kLeftAsItWas;
  return line;
}

std::string first_unwritable(const RunSettings& s, const MassTable& table, const Totals& t) {
  constexpr int kCoordinateColumns = 12;
  constexpr int kSpreadColumns = 4;
  if (!fits_int(s.spread, kSpreadColumns)) {
    return problem("the spread count", s.spread, " does not fit its 4 columns of the records");
  }
  // Processing has seen whether any kept value needs a closer look.
  for (std::size_t n = 0; !t.ordinary_values && n < table.size(); ++n) {
    const MassEntry& m = table[n];
    const std::array<double, 3> point{m.x, m.y, m.z};
    for (std::size_t axis = 0; axis < 3; ++axis) {
      if (!fits_fixed(point[axis], kCoordinateColumns)) {
        return record_problem(n, kAxisName[axis], point[axis], kCoordinateColumns);
      }
    }
    // A scientific field holds every finite double.
    if (!std::isfinite(m.mass)) return record_problem(n, "mass [kg]", m.mass, 13);
  }
  if (!std::isfinite(t.total_mass)) {
    return problem("the total mass =", t.total_mass, " [kg] is not a finite number");
  }
  const std::array<double, 3> centre = centre_of_gravity(t);
  for (std::size_t axis = 0; axis < 3; ++axis) {
    if (!fits_fixed(centre[axis], kCoordinateColumns)) {
      std::string what = "the centre of gravity's ";
      what += kAxisName[axis];
      what += " =";
      return problem(
          what, centre[axis],
          std::isfinite(centre[axis]) ? " does not fit its 12 columns" : " is not a finite number");
    }
  }
  return {};
}

}  // namespace tool
