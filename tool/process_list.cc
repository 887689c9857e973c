// The processing of a weight list: a table by its columns when the file is one, any other
// file as a text list through the reader.
#include <string>

#include "lineio/text_encoding.h"
#include "tool/list_readers.h"
#include "tool/processing.h"
#include "tool/warnings.h"

namespace tool {
namespace {

ListRead process(const RunSettings& s, Intake& intake, bool quiet) {
  // Findings on the list's lines or rows name the file.
  warnings().name_file(lineio::escape_controls(input_name_of(s)));
  ListRead read;
  read.unit = s.unit;
  if (!process_table(s, intake, read)) {
    if (!s.skip_rows.empty()) {
      warnings().tell(lineio::escape_controls(input_name_of(s)) +
                      ": --skip-rows leaves out rows of a table; this text list is read whole");
    }
    intake.start(s.unit);
    read.processed = process_text_list(intake, quiet);
  }
  intake.finish();
  return read;
}

}  // namespace

ListRead process_list(const RunSettings& settings, Intake& intake) {
  return process(settings, intake, false);
}

ListRead process_list_quietly(const RunSettings& settings, Intake& intake) {
  return process(settings, intake, true);
}

std::string why_nothing_kept(const Totals& t, bool rows) {
  std::string why = "no mass kept: ";
  if (t.lines == 0) {
    why +=
        rows ? "the table has no row with mass data" : "the weight list has no line with mass data";
  } else if (t.skipped == 0) {
    why +=
        rows ? "every row of the table was rejected" : "every line of the weight list was rejected";
  } else {
    why += "every mass lies outside the ranges";
  }
  return why;
}

}  // namespace tool
