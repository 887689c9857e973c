// The intake: where every item of a weight list ends, a text list's line as a table's row.
// An item is a mass and its point, kept when it lies inside the ranges and counted as skipped
// otherwise, or a rejection with its place (the line an editor shows, or the row and cell a
// spreadsheet program shows) and its reason. The intake owns the mass table, the counts, the
// sums, the extremes and the kept places; the reader's loop and the table's rows only
// translate their items into its calls.
//
// Data flow: reader's loop (process.cc) | table rows (table_rows.cc) -> Intake -> Totals and
// MassTable -> checks, report and records (report.h) | the picture's masses (processing.h).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "kit/surprises.h"
#include "tool/mass_table.h"
#include "tool/settings.h"

namespace tool {

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Counters and sums of the processing. Counts are 64-bit so that they cannot wrap.
struct Totals {
  std::int64_t lines = 0;  // lines (or rows) that yielded at least one field
  std::int64_t kept = 0;
  std::int64_t skipped = 0;  // dropped by the boundary test
  double skipped_weight = 0.0;
  double total_mass = 0.0;
  std::array<double, 3> moment{0.0, 0.0, 0.0};
  kit::LineTally rejected;  // lines left out, by the line numbers an editor shows
  // Every kept coordinate is finite and below 10^6 in magnitude and every kept mass finite,
  // so that each record can be written as it is (known only after processing).
  bool ordinary_values = true;
  // The line an editor shows of each kept mass.
  KeptPlaces kept_places;
  // The least and the greatest kept X, Y and Z (NaNs left out), known once the intake is
  // finished: a list whose extremes lie near the others needs no closer look for a
  // coordinate far beyond them.
  std::array<double, 3> low{kInfinity, kInfinity, kInfinity};
  std::array<double, 3> high{-kInfinity, -kInfinity, -kInfinity};
};

// Why an item is not used: a field or cell that is no number, or fewer than four numbers.
enum class Rejection { illegal, too_few };

class Intake {
 public:
  // Whether the dialogue's console lines of the processing are written (the notice and the
  // rejected lines); a program that reads a list only to draw it takes it quietly.
  enum class Console { written, quiet };

  Intake(const RunSettings& settings, MassTable& table, Console console);
  // Starts a list afresh: empties the table and the totals; its masses are in `unit`.
  void start(MassUnit unit);
  // The masses of the list are in `unit` from now on (a table's heading decided).
  void set_unit(MassUnit unit);
  MassUnit unit() const { return unit_; }

  // An item counted: a line that yielded a field, a row that holds a role's cell.
  void count_item() { ++t_.lines; }
  // A counted item's mass (in the list's unit, or kg per `factor`) and its point: kept and
  // summed when inside the ranges, counted as skipped otherwise. `place` is its line or row.
  // Answers whether it was kept.
  bool take(double mass, double x, double y, double z, std::int32_t place) {
    return take_kg(unit_factor_ * mass, x, y, z, place);
  }
  bool take_kg(double mass, double x, double y, double z, std::int32_t place);
  // A counted item rejected: the console's message numbered `shown` (the count of items for a
  // text list, the row for a table; `fields` the numbers found), and `place` among the
  // rejected.
  void reject(Rejection why, std::int32_t fields, std::int64_t shown, std::int32_t place);
  // Why a table's row was left out, told with its cell (flood-limited).
  void tell_row(std::string_view cell, std::string_view reason);
  // The processing notice of the console, between empty lines.
  void write_notice() const;

  // Ends the list: the extremes of the kept masses are taken from the table, in one pass
  // rather than on every line.
  void finish();

  const Totals& totals() const { return t_; }
  const MassTable& table() const { return table_; }
  bool kept_any() const { return t_.kept > 0; }

 private:
  const RunSettings& s_;
  MassTable& table_;
  Console console_;
  Totals t_;
  MassUnit unit_ = MassUnit::tonnes;
  double unit_factor_ = 1000.0;
};

[[gnu::always_inline]] inline bool Intake::take_kg(double mass, double x, double y, double z,
                                                   std::int32_t place) {
  if (x < s_.min[0] || x > s_.max[0] || y < s_.min[1] || y > s_.max[1] || z < s_.min[2] ||
      z > s_.max[2]) {
    ++t_.skipped;
    t_.skipped_weight += mass;
    return false;
  }
  t_.kept_places.add(static_cast<std::size_t>(t_.kept), place);
  ++t_.kept;
  table_.add({mass, x, y, z});
  // A mass and point that a record holds as they are. (A comparison with a NaN is false.)
  constexpr double kLimit = 1.0e6;
  t_.ordinary_values = t_.ordinary_values && std::isfinite(mass) && std::fabs(x) < kLimit &&
                       std::fabs(y) < kLimit && std::fabs(z) < kLimit;
  t_.moment[0] += mass * x;
  t_.moment[1] += mass * y;
  t_.moment[2] += mass * z;
  t_.total_mass += mass;
  return true;
}

}  // namespace tool
