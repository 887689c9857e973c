// The processed line sixteen characters at a step: must give exactly what
// general_processed_line (record.cc) gives, every written position and ILAST alike. The fuzz
// target plain_fields builds every line both ways and compares the whole of PRCLIN and every
// reader cell.
//
// Each step loads sixteen characters of RAWLIN, turns tabs into blanks (and small letters into
// capitals when asked for) in the whole step at once, and writes only the positions before the
// line's end or its first "!", leaving every other position of PRCLIN as it was. The steps use
// the compilers' vector types, which become the processor's vector instructions where it has
// them.
#include "kit/processed_line.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "kit/kit.h"
#include "kit/reader_access.h"

namespace kit::detail {
namespace {

constexpr std::int32_t kStep = 16;
using Chunk = std::uint8_t __attribute__((vector_size(kStep)));

struct Halves {
  std::uint64_t low;  // lanes 0-7, lane 0 in the lowest byte
  std::uint64_t high;
};

Chunk splat(char c) {
  return Chunk{} + static_cast<std::uint8_t>(c);
}

// A comparison's lanes: 0xFF where it holds, 0 elsewhere.
template <class Mask>
Chunk lanes(Mask mask) {
  return std::bit_cast<Chunk>(mask);
}

Halves halves(Chunk mask) {
  return std::bit_cast<Halves>(mask);
}

bool any(Chunk mask) {
  const Halves h = halves(mask);
  return (h.low | h.high) != 0;
}

// The first lane set in a mask, kStep when none is.
std::int32_t first_lane(Chunk mask) {
  const Halves h = halves(mask);
  if (h.low != 0) return std::countr_zero(h.low) / 8;
  if (h.high != 0) return 8 + std::countr_zero(h.high) / 8;
  return kStep;
}

constexpr Chunk kLaneNumbers = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

}  // namespace

bool quick_processed_line(std::int32_t first, std::int32_t last, bool upcase) {
  if constexpr (std::endian::native != std::endian::little) return false;
  ReaderState& s = RDSTATE;
  // Every step reads and writes sixteen whole positions, the last one starting at `last` at
  // the latest.
  if (first < 1 || last < first || static_cast<std::size_t>(last) + kStep > s.RAWLIN.size()) {
    return false;
  }
  const Chunk blank = splat(kBlank);
  const Chunk capitals = upcase ? splat('a' - 'A') : Chunk{};
  char* const prc = s.PRCLIN.data();
  // `last` is significant: without a "!" on the line, it is the last position taken.
  std::int32_t ilast = last;
  // The tabs among the written positions, and the position after the last one written: a
  // line with a tab is then looked at once more for two tabs in a row (most lines have none,
  // and pay one operation a step for it).
  Chunk tabs_seen{};
  std::int32_t end = last + 1;
  for (std::int32_t p = first; p <= last; p += kStep) {
    Chunk raw;
    std::memcpy(&raw, s.RAWLIN.data() + p, kStep);
    const Chunk tab = lanes(raw == splat(kTab));
    const Chunk letter = lanes(raw >= splat('a')) & lanes(raw <= splat('z'));
    const Chunk processed = ((raw & ~tab) | (blank & tab)) - (letter & capitals);
    const Chunk comment = lanes(raw == splat('!'));
    const std::int32_t remaining = last - p + 1;
    if (remaining >= kStep && !any(comment)) {
      std::memcpy(prc + p, &processed, kStep);  // sixteen positions of the line
      tabs_seen |= tab;
      continue;
    }
    // The step where the line ends, at its end or at its first "!": only the positions
    // before that are written.
    const std::int32_t comment_lane = first_lane(comment);
    const std::int32_t count = std::min({remaining, comment_lane, kStep});
    const Chunk inside = lanes(kLaneNumbers < splat(static_cast<char>(count)));
    Chunk old;
    std::memcpy(&old, prc + p, kStep);
    const Chunk written = (processed & inside) | (old & ~inside);
    std::memcpy(prc + p, &written, kStep);
    tabs_seen |= tab & inside;
    end = p + count;
    if (comment_lane < remaining) {
      // Ended by a "!": the last position before it that is not a blank (tabs are blanks
      // by now), `first` at the earliest.
      ilast = std::max(p + count - 1, first);
      while (ilast > first && prc[ilast] == kBlank) --ilast;
    }
    break;
  }
  s.ILAST = ilast;
  s.LTAB = false;
  if (any(tabs_seen)) {
    const std::string_view written(s.RAWLIN.data() + first, static_cast<std::size_t>(end - first));
    s.LTAB = written.find("\t\t") != std::string_view::npos;
  }
  prc[static_cast<std::size_t>(ilast) + 1] = kEndMark;
  return true;
}

}  // namespace kit::detail
