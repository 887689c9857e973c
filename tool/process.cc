// Weight-data processing: every line through the mixed-line reader, checked, converted to
// kilograms, filtered by the ranges and summed in reading order.
#include <algorithm>
#include <array>
#include <cmath>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "tool/kel2fram.h"

namespace kel2fram {
namespace {

using lineio::Line;

constexpr std::int32_t kTextField = 3;
constexpr std::int32_t kLineCount = 9;  // GETPAR: records read, the line number an editor shows
constexpr std::string_view kNotice = "       Processing Weight Data ... ";

// The line fields, reserved once.
std::array<std::int32_t, kFieldCount> field_type;
std::array<double, kFieldCount> field_value;
std::array<char, kFieldCount * kFieldTextLength> field_text;

bool outside(const RunSettings& s, double x, double y, double z) {
  return x < s.min[0] || x > s.max[0] || y < s.min[1] || y > s.max[1] || z < s.min[2] ||
         z > s.max[2];
}

// A mass and point that a record holds as they are. (A comparison with a NaN is false.)
bool ordinary(double mass, double x, double y, double z) {
  constexpr double kLimit = 1.0e6;
  return std::isfinite(mass) && std::fabs(x) < kLimit && std::fabs(y) < kLimit &&
         std::fabs(z) < kLimit;
}

}  // namespace

Processed process_weight_data(const RunSettings& s, MassTable& table, Totals& t) {
  std::int32_t ierr = 0;
  kit::INIFII(kInputUnit, kConsoleOut, ierr);
  if (ierr != 0) return Processed::reader_failed;

  lineio::put_empty(kConsoleOut);
  lineio::put_line(kConsoleOut, kNotice);
  lineio::put_empty(kConsoleOut);

  t = Totals{};
  t.ordinary_values = true;
  table.clear();
  kit::SurpriseLog& log = surprise_log();
  log.name_file(lineio::escape_controls(trimmed({s.input_name.data(), s.input_name.size()})));
  const kit::TextArray texts(field_text, kFieldTextLength);
  std::int32_t npar = 0;
  for (;;) {
    kit::RDMIX(npar, field_type, field_value, texts, kInputUnit, kOutputUnit, ierr);
    if (ierr != 0) return Processed::reader_failed;  // the reader has reported it
    if (npar < 0) break;                             // end of the data
    if (npar == 0) continue;  // nothing usable on the line; it is not counted
    ++t.lines;

    const auto used = static_cast<std::size_t>(npar);
    // A line of plain numbers holds no text field.
    if (!kit::RDSTATE.LPLAIN &&
        std::any_of(field_type.begin(), field_type.begin() + static_cast<std::ptrdiff_t>(used),
                    [](std::int32_t type) { return type == kTextField; })) {
      lineio::put(kConsoleOut, Line().lit(" Illegal character in line").i(t.lines, 7));
      t.rejected.add(kit::GETPAR(kLineCount));
      continue;
    }
    if (npar < 4) {
      lineio::put(kConsoleOut,
                  Line().lit(" Too few parameters, (").i(npar, 2).lit(" ), on line").i(t.lines, 7));
      t.rejected.add(kit::GETPAR(kLineCount));
      continue;
    }
    log.check_line(npar, field_type, field_value);

    const double mass = s.unit_factor * field_value[0];
    const double x = field_value[1];
    const double y = field_value[2];
    const double z = field_value[3];
    if (outside(s, x, y, z)) {
      ++t.skipped;
      t.skipped_weight += mass;
      continue;
    }
    ++t.kept;
    table.add({mass, x, y, z});
    t.ordinary_values = t.ordinary_values && ordinary(mass, x, y, z);
    t.moment[0] += mass * x;
    t.moment[1] += mass * y;
    t.moment[2] += mass * z;
    t.total_mass += mass;
  }
  return t.kept > 0 ? Processed::kept : Processed::nothing_kept;
}

}  // namespace kel2fram
