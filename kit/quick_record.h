// Internal to KIT: the record read of RDLINE for the common line, straight from the unit's
// input buffer.
#pragma once

#include <cstdint>

namespace kit::detail {

// Whether RDLINE may take records the quick way; the fuzz target reader turns it off to read
// the same file the general way and compare every reader cell.
inline bool quick_records = true;

// The next record of the file unit LUNRD into RAWLIN positions 1..NCHLIN, blank padded, when
// the whole line is in the unit's input buffer and holds no more than NCHLIN characters:
// exactly what lineio::read_record gives there, with ITAIL 0 (nothing beyond NCHLIN) and
// `filled` the line's length. Answers false, with nothing read, for any other record.
bool quick_raw_record(std::int32_t& filled);

}  // namespace kit::detail
