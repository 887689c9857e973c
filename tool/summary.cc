// The last line of a run on standard error: what was written, or why nothing was, the lines
// left out and the count of warnings, so that a run that wrote 200,000 records never looks
// like one that wrote none.
#include <string>
#include <string_view>

#include "lineio/text_encoding.h"
#include "tool/command_line.h"
#include "tool/report.h"
#include "tool/run.h"
#include "tool/warnings.h"

namespace tool {

std::string records_written(const RunSettings& s, const Totals& t) {
  const std::string_view name(s.output_name.data(), s.output_name.size());
  std::string line(kNoticePrefix);
  line += std::to_string(t.kept);
  line += t.kept == 1 ? " record written to " : " records written to ";
  const std::string shown =
      s.output_in_full ? full_path(trimmed(name)) : std::string(trimmed(name));
  line += lineio::escape_controls(shown);
  return line;
}

std::string run_summary(std::string_view outcome, const Totals& t) {
  std::string line(outcome);
  if (t.rejected.count() > 0) {
    line += "; " + std::to_string(t.rejected.count());
    line += t.rejected.count() == 1 ? " line rejected (" : " lines rejected (";
    line += t.rejected.listed() + ")";
  }
  // Where masses were skipped, the report's count is of the kept ones only.
  if (t.skipped > 0) {
    line += "; " + std::to_string(t.kept + t.skipped) +
            (t.kept + t.skipped == 1 ? " usable line: " : " usable lines: ") +
            std::to_string(t.kept) + " kept, " + std::to_string(t.skipped) +
            " skipped outside the ranges (" + kit::shortest_number(t.skipped_weight) + " kg)";
  }
  const std::int64_t told = warnings().count();
  line += "; " + std::to_string(told) + (told == 1 ? " warning" : " warnings");
  return line;
}

}  // namespace tool
