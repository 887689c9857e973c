// Weight-data processing: every line through the mixed-line reader, checked, converted to
// kilograms, filtered by the ranges and summed in reading order.
#include <algorithm>
#include <array>
#include <vector>

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

}  // namespace

void write_processing_notice() {
  lineio::put_empty(kConsoleOut);
  lineio::put_line(kConsoleOut, kNotice);
  lineio::put_empty(kConsoleOut);
}

Processed process_weight_data(const RunSettings& s, MassTable& table, Totals& t,
                              std::vector<std::int32_t>* kept_lines) {
  std::int32_t ierr = 0;
  kit::INIFII(kInputUnit, kConsoleOut, ierr);
  if (ierr != 0) return Processed::reader_failed;

  write_processing_notice();

  t = Totals{};
  t.ordinary_values = true;
  table.clear();
  kit::SurpriseLog& log = surprise_log();
  log.name_file(lineio::escape_controls(trimmed({s.input_name.data(), s.input_name.size()})));
  const kit::TextArray texts(field_text, kFieldTextLength);
  std::int32_t npar = 0;
  // The least and greatest kept coordinates, kept in the loop's own variables.
  double low_x = kInfinity;
  double low_y = kInfinity;
  double low_z = kInfinity;
  double high_x = -kInfinity;
  double high_y = -kInfinity;
  double high_z = -kInfinity;
  for (;;) {
    kit::RDMIX(npar, field_type, field_value, texts, kInputUnit, kOutputUnit, ierr);
    if (ierr != 0) return Processed::reader_failed;  // the reader has reported it
    if (npar < 0) {                                  // end of the data
      log.check_list_end();
      break;
    }
    if (npar == 0) continue;  // nothing usable on the line; it is not counted
    ++t.lines;

    const auto used = static_cast<std::size_t>(npar);
    // A line of plain numbers holds no text field.
    if (!kit::RDSTATE.LPLAIN &&
        std::any_of(field_type.begin(), field_type.begin() + static_cast<std::ptrdiff_t>(used),
                    [](std::int32_t type) { return type == kTextField; })) {
      lineio::put(kConsoleOut, Line().lit(" Illegal character in line").i(t.lines, 7));
      t.rejected.add(kit::GETPAR(kLineCount));
      log.explain_refused_line(npar, field_type);
      continue;
    }
    if (npar < 4) {
      lineio::put(kConsoleOut,
                  Line().lit(" Too few parameters, (").i(npar, 2).lit(" ), on line").i(t.lines, 7));
      t.rejected.add(kit::GETPAR(kLineCount));
      log.explain_refused_line(npar, field_type);
      continue;
    }
    log.check_line(npar, field_type, field_value);

    const double x = field_value[1];
    const double y = field_value[2];
    const double z = field_value[3];
    if (!take_mass(s, table, t, s.unit_factor * field_value[0], x, y, z)) continue;
    t.kept_lines.add(static_cast<std::size_t>(t.kept - 1), kit::RDSTATE.NLINE);
    low_x = x < low_x ? x : low_x;
    low_y = y < low_y ? y : low_y;
    low_z = z < low_z ? z : low_z;
    high_x = x > high_x ? x : high_x;
    high_y = y > high_y ? y : high_y;
    high_z = z > high_z ? z : high_z;
    if (kept_lines != nullptr) kept_lines->push_back(kit::GETPAR(kLineCount));
  }
  t.low = {low_x, low_y, low_z};
  t.high = {high_x, high_y, high_z};
  return t.kept > 0 ? Processed::kept : Processed::nothing_kept;
}

}  // namespace kel2fram
