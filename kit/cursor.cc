// Cursor primitives shared by every scanner: SKIPBL, ENDFLD, LETTER, DIGIT, MATCH, MATCHB,
// MOVCUR. They read PRCLIN in place through the checked accessors; the end mark after
// ILAST stops every blank-skipping loop.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "kit/kit.h"
#include "kit/reader_access.h"

namespace kit {

namespace {

using namespace detail;

constexpr char kSeparator = ',';

// The end of line as a position, never past the buffers whatever ILAST holds.
std::int64_t end_of_line() {
  return std::min<std::int64_t>(static_cast<std::int64_t>(RDSTATE.ILAST) + 1, kLastPosition);
}

}  // namespace

void SKIPBL() {
  skip_blanks();
}

bool ENDFLD() {
  ReaderState& s = RDSTATE;
  if (s.ICUR < 1) s.ICUR = 1;
  const char c = prc_at(s.ICUR);
  if (is_blank(c)) {
    skip_blanks();
    if (prc_at(s.ICUR) == kSeparator) {
      ++s.ICUR;
      skip_blanks();
    }
    return true;
  }
  if (c == kSeparator) {
    ++s.ICUR;
    skip_blanks();
    return true;
  }
  return at_end_of_line();
}

bool LETTER() {
  return take_letter();
}

bool DIGIT() {
  return take_digit();
}

bool MATCH(std::string_view keyword) {
  ReaderState& s = RDSTATE;
  if (at_end_of_line()) return false;
  // Equal characters from the cursor on; the comparison never leaves the buffer.
  std::int64_t n = 0;
  const auto length = static_cast<std::int64_t>(keyword.size());
  while (n < length && inside(s.ICUR + n) &&
         prc_at(s.ICUR + n) == keyword[static_cast<std::size_t>(n)]) {
    ++n;
  }
  if (n < length && n < s.NCMTCH) return false;
  s.ICUR = static_cast<std::int32_t>(s.ICUR + n);
  if (n < length) MOVCUR(0);  // an abbreviation: the rest of the word goes with it
  return true;
}

bool MATCHB(std::string_view keyword) {
  SKIPBL();
  return MATCH(keyword);
}

void MOVCUR(std::int32_t count) {
  ReaderState& s = RDSTATE;
  if (count != 0) {
    const std::int64_t target = static_cast<std::int64_t>(s.ICUR) + count;
    s.ICUR = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(target, 1, std::max<std::int64_t>(end_of_line(), 1)));
    return;
  }
  if (at_end_of_line()) return;
  // To the next blank, or to the end of the line. Positions below 1 hold no blank.
  if (s.ICUR < 1) s.ICUR = 1;
  while (s.ICUR < end_of_line() && !is_blank(prc_at(s.ICUR))) ++s.ICUR;
}

}  // namespace kit
