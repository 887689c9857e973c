// The report block (console and output file), the Map_Mass records and the closing lines.
#include "tool/report.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "lineio/lineio.h"
#include "lineio/text_encoding.h"

namespace tool {
namespace {

using lineio::Line;

constexpr std::string_view kPhraseTonnes = ", with input mass unit [tonnes]. ";
constexpr std::string_view kPhraseKg = ", with input mass unit [kg].";
constexpr std::array<std::string_view, 3> kBoundaryLabel = {
    "#  X_min and X_max boundary:",
    "#  Y_min and Y_max boundary:",
    "#  Z_min and Z_max boundary:",
};
constexpr std::string_view kColumnHeader =
    "'          nSpread     X           Y           Z       Mass [kg]";
constexpr std::string_view kEndMarker = "'  --------------- E O F ----------------";

// Writes a composed report line as its 256-character line text without trailing blanks,
// first on the console, then (unless only the console is written) on the output file. The
// line is cut after 256 characters, never inside one.
bool report_to_file = true;

void report(const Line& line) {
  std::string_view out = line.view();
  out = out.substr(0, lineio::bytes_of_characters(out, kTextLength));
  out = out.substr(0, static_cast<std::size_t>(LENTRM(out)));
  lineio::put_line(kConsoleOut, out);
  if (report_to_file) lineio::put_line(kOutputUnit, out);
}

}  // namespace

std::string_view trimmed(std::string_view text) {
  return text.substr(0, static_cast<std::size_t>(LENTRM(text)));
}

std::int32_t LENTRM(std::string_view text) {
  const auto length = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX / 2));
  // A first guess at where the blank tail begins, so that long blank tails are not scanned
  // character by character from their end.
  std::int32_t end = length;
  for (double fraction : {0.1, 0.2, 0.3, 0.4, 0.7}) {
    const auto k = static_cast<std::int32_t>(std::lround(length * fraction));
    if (k > 1 && k <= length &&
        text.substr(static_cast<std::size_t>(k - 1), static_cast<std::size_t>(length - k + 1))
                .find_first_not_of(' ') == std::string_view::npos) {
      end = k;
      break;
    }
  }
  for (std::int32_t p = end; p >= 1; --p) {
    if (text[static_cast<std::size_t>(p - 1)] != ' ') return p;
  }
  return 0;
}

std::array<double, 3> centre_of_gravity(const Totals& t) {
  std::array<double, 3> centre{0.0, 0.0, 0.0};
  if (t.total_mass != 0.0) {
    for (std::size_t axis = 0; axis < 3; ++axis) centre[axis] = t.moment[axis] / t.total_mass;
  }
  return centre;
}

void write_report(const RunSettings& s, MassUnit unit, const MassTable& table, const Totals& t,
                  bool to_file) {
  report_to_file = to_file;
  const std::array<double, 3> centre = centre_of_gravity(t);
  const std::string_view name(s.input_name.data(), s.input_name.size());
  const std::string_view phrase = unit == MassUnit::kg ? kPhraseKg : kPhraseTonnes;

  report(Line());
  report(Line().lit("# ======================================================="));
  report(Line().lit("#").i(t.kept, 6).lit(" lines with mass data found."));
  // A name holding a line break or a terminal command is shown escaped: it never adds a line.
  const std::string shown = lineio::escape_controls(trimmed(name));
  report(Line().lit("#  Input File: ").lit(shown).lit(trimmed(phrase)));
  for (std::size_t axis = 0; axis < 3; ++axis) {
    report(Line().lit(kBoundaryLabel[axis]).e(s.min[axis], 12, 3).e(s.max[axis], 12, 3));
  }
  report(Line().lit("#  Total Mass (kept):").e(t.total_mass, 13, 3).lit(" [kg]"));
  report(Line()
             .lit("#  Center of Gravity:")
             .f(centre[0], 12, 3)
             .f(centre[1], 12, 3)
             .f(centre[2], 12, 3));
  report(Line().lit("#  Masses are spread to").i(s.spread, 2).lit(" nearest node(s)."));
  if (t.skipped > 0) {
    report(Line()
               .lit("#  ")
               .i(t.skipped, 5)
               .lit(" masses skipped. Weight=")
               .e(t.skipped_weight, 13, 3));
  } else {
    report(Line().lit("#  No masses outside boundary. "));
  }
  report(Line().lit("# -------------------------------------------------------"));
  report(Line().lit("#"));
  report(Line().lit("#   Input To Framix: "));
  report(Line().lit("#"));
  report(Line().lit(kColumnHeader));
  if (!to_file) return;

  // Records are composed straight into the output buffer, as many at a time as it holds, so
  // that the buffer is asked for room once per piece rather than once per record.
  constexpr std::size_t kRecordsPerPiece = lineio::kLargestOutputSpace / kRecordSize;
  const RecordComposer composer(s.spread);
  for (std::size_t b = 0; b < table.block_count(); ++b) {
    std::span<const MassEntry> entries = table.block(b);
    while (!entries.empty()) {
      const std::size_t n = std::min(entries.size(), kRecordsPerPiece);
      char* record = lineio::output_space(kOutputUnit, n * kRecordSize).data();
      for (const MassEntry& m : entries.first(n)) {
        composer.compose(std::span<char, kRecordSize>(record, kRecordSize), m);
        record += kRecordSize;
      }
      entries = entries.subspan(n);
    }
  }
  lineio::put_line(kOutputUnit, "#");
  lineio::put_line(kOutputUnit, kEndMarker);
}

}  // namespace tool
