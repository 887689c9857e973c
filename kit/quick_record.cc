// The record read of RDLINE for a line wholly in the unit's input buffer: must give exactly
// what read_raw_record (record.cc) gives through lineio::read_record, RAWLIN positions
// 1..NCHLIN and every reader cell alike. The fuzz target reader reads every file with and
// without this path and compares every reader cell after every call.
//
// The general read hands the line to a store piece by piece, keeps what lies beyond NCHLIN
// and settles the CR before the line feed afterwards; a line that is already in the buffer
// whole and fits the line length needs none of that: one copy and the blank padding.
#include "kit/quick_record.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "kit/kit.h"
#include "kit/reader_access.h"
#include "lineio/lineio.h"

namespace kit::detail {

bool quick_raw_record(std::int32_t& filled) {
  ReaderState& s = RDSTATE;
  if (!quick_records || s.LUNRD <= 0) return false;
  const std::optional<std::string_view> buffered = lineio::buffered_line(s.LUNRD);
  if (!buffered) return false;
  std::string_view line = *buffered;
  const auto nch = static_cast<std::size_t>(line_length());
  // What lies beyond NCHLIN, even a CR before the line feed alone, the general read keeps.
  if (line.size() > nch) return false;
  // One CR before the line feed is no character of the record.
  if (line.ends_with('\r')) line.remove_suffix(1);
  char* const raw = s.RAWLIN.data() + 1;
  std::copy_n(line.data(), line.size(), raw);
  std::fill(raw + line.size(), raw + nch, kBlank);
  lineio::pass_buffered_line(s.LUNRD, *buffered);
  s.ITAIL = 0;
  filled = static_cast<std::int32_t>(line.size());
  return true;
}

}  // namespace kit::detail
