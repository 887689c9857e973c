// Internal to KIT: the two ways RDLINE builds the processed line PRCLIN from RAWLIN.
#pragma once

#include <cstdint>

namespace kit::detail {

// PRCLIN from RAWLIN, character by character: positions first..stop-1 are copied, where stop is
// the first "!" (or last+1 when there is none), tabs as blanks and, with upcase, small letters
// as capitals; ILAST becomes the last of them that is neither a blank nor a tab, and the end
// mark follows it. `first` is the line's first significant position, `last` its last one.
// No other position of PRCLIN is written.
void general_processed_line(std::int32_t first, std::int32_t last, bool upcase);

// The same, sixteen characters at a step. Writes exactly what general_processed_line writes
// and sets ILAST alike; answers false, with nothing changed, for a line that ends too near
// the end of the buffers for a whole step.
bool quick_processed_line(std::int32_t first, std::int32_t last, bool upcase);

}  // namespace kit::detail
