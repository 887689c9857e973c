// One run: dialogue, processing, report, and the close of the output file.
#include "kit/kit.h"
#include "lineio/lineio.h"
#include "tool/kel2fram.h"

namespace kel2fram {
namespace {

RunSettings settings;
Totals totals;

MassTable& mass_table() {
  static MassTable table;
  return table;
}

}  // namespace

int run_steps() {
  settings = RunSettings{};
  write_banner();
  try {
    run_dialogue(settings);
  } catch (const lineio::TransferFailure&) {
    // Answers in an encoding that cannot be read: said once more, where scripts look.
    if (const std::string problem = lineio::text_problem(kConsoleIn); !problem.empty()) {
      lineio::notice(std::string(kNoticePrefix) + problem);
    }
    throw;
  }
  MassTable& table = mass_table();
  // An early end writes nothing into the output file: an existing one keeps its former
  // contents, also when the reader's failure report was addressed to it, and one that did
  // not exist is not made.
  switch (process_weight_data(settings, table, totals)) {
    case Processed::reader_failed: {
      lineio::discard_unit(kOutputUnit);
      const std::string problem = lineio::text_problem(kInputUnit);
      lineio::notice(std::string(kNoticePrefix) +
                     (problem.empty() ? "the weight list could not be read to its end" : problem) +
                     "; the output file is left as it was");
      return kFailed;
    }
    case Processed::nothing_kept:
      lineio::discard_unit(kOutputUnit);
      lineio::notice(why_nothing_kept(settings, totals));
      return kNothingWritten;
    case Processed::kept:
      break;
  }
  if (const std::string problem = first_unwritable(settings, table, totals); !problem.empty()) {
    lineio::discard_unit(kOutputUnit);
    write_report(settings, table, totals, false);
    lineio::notice(problem);
    return kNothingWritten;
  }
  write_report(settings, table, totals);
  // The console is written before the file takes its new contents: a console that cannot
  // be written fails the run with the file as it was.
  lineio::flush_console();
  lineio::close_unit(kOutputUnit);
  return kWritten;
}

int run(lineio::ByteSource& console_in, lineio::ByteSink& console_out, bool interactive) {
  lineio::bind_console(console_in, console_out, interactive);
  kit::reset_reader();
  return lineio::guarded_run(run_steps);
}

}  // namespace kel2fram
