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

void run_steps() {
  settings = RunSettings{};
  write_banner();
  run_dialogue(settings);
  MassTable& table = mass_table();
  if (process_weight_data(settings, table, totals)) {
    write_report(settings, table, totals);
    lineio::close_unit(kOutputUnit);
  } else {
    // An early end writes nothing into the output file: an existing one keeps its former
    // contents, also when the reader's failure report was addressed to it.
    lineio::discard_unit(kOutputUnit);
  }
}

int run(lineio::ByteSource& console_in, lineio::ByteSink& console_out, bool interactive) {
  lineio::bind_console(console_in, console_out, interactive);
  kit::reset_reader();
  return lineio::guarded_run(run_steps);
}

}  // namespace kel2fram
