// Internal to tool/: the two readers of a weight list behind process_list, each translating
// its items into the intake.
#pragma once

#include "tool/intake.h"
#include "tool/processing.h"
#include "tool/settings.h"

namespace tool {

// Reads the list as a table when it is one (a workbook, or delimited text with headings),
// filling `read`; answers false, having kept nothing, when it is a text list (a pipe or a
// device is never a table).
bool process_table(const RunSettings& settings, Intake& intake, ListRead& read);
// Sets up the reader on the input unit and hands every line of the text list to the intake.
// `quiet`: the reader's own reports are not written.
Processed process_text_list(Intake& intake, bool quiet);
// process_list without the reader's own reports on the console.
ListRead process_list_quietly(const RunSettings& settings, Intake& intake);

}  // namespace tool
