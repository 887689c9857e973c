// One run: dialogue, processing, report, and the close of the output file.
#include "tool/run.h"

#include <string>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "tool/dialogue.h"
#include "tool/intake.h"
#include "tool/processing.h"
#include "tool/report.h"
#include "tool/warnings.h"

namespace tool {
namespace {

RunSettings settings;

MassTable& mass_table() {
  static MassTable table;
  return table;
}

// Ends the run early: the output file keeps what it had (or is not made), and the last line on
// standard error says why, with the rejected lines and the warnings.
Status end_early(std::string_view why, const Totals& totals, Status status) {
  lineio::discard_unit(kOutputUnit);
  warnings().finish();
  lineio::notice(run_summary(why, totals));
  return status;
}

}  // namespace

Status run_steps(const CommandLine& command) {
  settings = command.settings;
  warnings().start(kNoticePrefix);
  write_banner();
  try {
    run_dialogue(settings, command.answers);
  } catch (const lineio::TransferFailure&) {
    // Answers in an encoding that cannot be read: said once more, where scripts look.
    if (const std::string problem = lineio::text_problem(kConsoleIn); !problem.empty()) {
      lineio::notice(std::string(kNoticePrefix) + problem);
    }
    throw;
  }
  // An early end writes nothing into the output file: an existing one keeps its former
  // contents, also when the reader's failure report was addressed to it, and one that did
  // not exist is not made.
  MassTable& table = mass_table();
  Intake intake(settings, table, Intake::Console::written);
  const ListRead read = process_list(settings, intake);
  const Totals& totals = intake.totals();
  switch (read.processed) {
    case Processed::refused:
    case Processed::unreadable:
      return end_early(
          std::string(kNoticePrefix) + lineio::escape_controls(input_name_of(settings)) + ": " +
              read.why + "; nothing written, the output file is left as it was",
          totals, read.processed == Processed::refused ? Status::nothing_written : Status::failed);
    case Processed::reader_failed: {
      const std::string problem = lineio::text_problem(kInputUnit);
      return end_early(
          std::string(kNoticePrefix) +
              (problem.empty() ? "the weight list could not be read to its end" : problem) +
              "; the output file is left as it was",
          totals, Status::failed);
    }
    case Processed::nothing_kept:
      return end_early(nothing_kept_line(settings, totals), totals, Status::nothing_written);
    case Processed::kept:
      break;
  }
  check_far_masses(table, totals);
  if (totals.total_mass == 0.0) {
    warnings().tell(
        "the kept masses sum to exactly 0 kg: their centre of gravity is undefined and is shown "
        "as 0, 0, 0");
  }
  if (settings.strict && (warnings().count() > 0 || totals.rejected.count() > 0)) {
    return end_early(std::string(kNoticePrefix) + std::string(kStrictRefusal), totals,
                     Status::nothing_written);
  }
  if (const std::string problem = first_unwritable(settings, table, totals); !problem.empty()) {
    write_report(settings, read.unit, table, totals, false);
    return end_early(problem, totals, Status::nothing_written);
  }
  write_report(settings, read.unit, table, totals);
  // The console is written before the file takes its new contents: a console that cannot
  // be written fails the run with the file as it was.
  lineio::flush_console();
  lineio::close_unit(kOutputUnit);
  warnings().finish();
  lineio::notice(run_summary(records_written(settings, totals), totals));
  return Status::written;
}

Status start(const CommandLine& command) {
  return static_cast<Status>(lineio::guarded_run([&] { return exit_code(run_steps(command)); }));
}

int run(lineio::ByteSource& console_in, lineio::ByteSink& console_out, bool interactive) {
  lineio::bind_console(console_in, console_out, interactive);
  kit::reset_reader();
  return exit_code(start({}));
}

}  // namespace tool
