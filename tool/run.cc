// One run: dialogue, processing, report, and the close of the output file.
#include <string>

#include "kit/kit.h"
#include "kit/surprises.h"
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

// Ends the run early: the output file keeps what it had (or is not made), and the last line on
// standard error says why, with the rejected lines and the warnings.
int end_early(std::string_view why, int status) {
  lineio::discard_unit(kOutputUnit);
  surprise_log().finish();
  lineio::notice(run_summary(why, totals));
  return status;
}

}  // namespace

kit::SurpriseLog& surprise_log() {
  static kit::SurpriseLog log;
  return log;
}

int run_steps(const CommandLine& command) {
  settings = command.settings;
  surprise_log().start(kNoticePrefix);
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
  MassTable& table = mass_table();
  // An early end writes nothing into the output file: an existing one keeps its former
  // contents, also when the reader's failure report was addressed to it, and one that did
  // not exist is not made.
  // A workbook, or delimited text with headings, is read by its columns; any other file as
  // a text list.
  Processed processed = Processed::nothing_kept;
  std::string why;
  const TableRead read = process_table(settings, table, totals, processed, why);
  if (read == TableRead::refused || read == TableRead::unreadable) {
    why = std::string(kNoticePrefix) +
          std::string(trimmed({settings.input_name.data(), settings.input_name.size()})) + ": " +
          why + "; nothing written, the output file is left as it was";
  }
  switch (read) {
    case TableRead::refused:
      return end_early(why, kNothingWritten);
    case TableRead::unreadable:
      return end_early(why, kFailed);
    case TableRead::not_a_table:
      processed = process_weight_data(settings, table, totals);
      break;
    case TableRead::processed:
      break;
  }
  switch (processed) {
    case Processed::reader_failed: {
      const std::string problem = lineio::text_problem(kInputUnit);
      return end_early(
          std::string(kNoticePrefix) +
              (problem.empty() ? "the weight list could not be read to its end" : problem) +
              "; the output file is left as it was",
          kFailed);
    }
    case Processed::nothing_kept:
      return end_early(why_nothing_kept(settings, totals), kNothingWritten);
    case Processed::kept:
      break;
  }
  check_far_masses(table, totals);
  if (totals.total_mass == 0.0) {
    surprise_log().tell(
        "the kept masses sum to exactly 0 kg: their centre of gravity is undefined and is shown "
        "as 0, 0, 0");
  }
  if (settings.strict && (surprise_log().count() > 0 || totals.rejected.count() > 0)) {
    return end_early(std::string(kNoticePrefix) + std::string(kStrictRefusal), kNothingWritten);
  }
  if (const std::string problem = first_unwritable(settings, table, totals); !problem.empty()) {
    write_report(settings, table, totals, false);
    return end_early(problem, kNothingWritten);
  }
  write_report(settings, table, totals);
  // The console is written before the file takes its new contents: a console that cannot
  // be written fails the run with the file as it was.
  lineio::flush_console();
  lineio::close_unit(kOutputUnit);
  surprise_log().finish();
  lineio::notice(run_summary(records_written(settings, totals), totals));
  return kWritten;
}

int run(lineio::ByteSource& console_in, lineio::ByteSink& console_out, bool interactive) {
  lineio::bind_console(console_in, console_out, interactive);
  kit::reset_reader();
  return lineio::guarded_run([] { return run_steps(); });
}

}  // namespace kel2fram
