// The console dialogue: the banner and the questions of a run, each answered on the console
// or beforehand, and the opening of both files.
#pragma once

#include <cstdint>
#include <string_view>

#include "tool/settings.h"

namespace tool {

// Writes one blank and min(length, 80) characters of text, leaving the line open.
void PROMPT(std::int32_t unit, std::string_view text);
void write_banner();
// Asks the seven questions, opens the input file on unit 88 and the output file on unit 17.
// A question answered beforehand is shown with its answer, as if typed, and not asked; a
// file named so that cannot be opened ends the run (status 2) instead of being asked again.
void run_dialogue(RunSettings& settings, const Answers& answers = {});

}  // namespace tool
