// massplot's reading of a weight list: kel2fram's own reader and processing, with the settings
// kel2fram's options give (or the dialogue's defaults), every mass kept with the line of the
// list that an editor shows it on.
//
// Data flow: options -> kel2fram::Answers -> RunSettings -> process_weight_data (unit 88,
// console discarded) -> MassTable and kept lines -> plot::MassList.
#pragma once

#include <string>

#include "plot/massplot.h"
#include "tool/kel2fram.h"

namespace massplot {

// Whether an answer that concerns weight lists only (--unit, --spread, a range) was given.
bool list_options_given(const kel2fram::Answers& answers);

// The run settings of the answers given, the dialogue's default for each one not given.
kel2fram::RunSettings settings_from(const kel2fram::Answers& answers);

// Reads the weight list `path` as kel2fram reads it into `list`, its lines the list's own.
// Lines kel2fram rejects and its warnings go to standard error, as kel2fram gives them, each
// line beginning with the program's prefix; so do masses that cannot be drawn, through
// `notice`. `source` says what was read, for the title block. Answers an empty text, or why
// nothing can be drawn (one line for standard error, after the file's name).
std::string read_weight_list(const std::string& path, const kel2fram::RunSettings& settings,
                             plot::MassList& list, plot::RecordNotice& notice, std::string& source);

}  // namespace massplot
