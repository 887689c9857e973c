// The mixed-line reader RDMIX and its word recognisers: RDNAME/GETNAM for names,
// RDWORD/GETWRD for any other word, RAWSUB, ATEOF and ATEOL.
#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <limits>
#include <span>
#include <string_view>

#include "kit/fields.h"
#include "kit/kit.h"
#include "kit/reader_access.h"
#include "lineio/lineio.h"

namespace kit {

namespace {

using namespace detail;

constexpr std::size_t kKeptTextLength = 8;  // a text field keeps its first 8 characters
constexpr std::size_t kWordLength = 16;     // GETNAM / GETWRD result length RDMIX asks for

// A word beginning with one of these ends the useful part of the line.
constexpr std::string_view kLineEnders = "!%*'#";

void fill_blanks(std::span<char> text) {
  std::fill(text.begin(), text.end(), kBlank);
}

// TEXT(n) of a text field: the first 8 characters of the word, blank padded (or cut to the
// element length when that is shorter).
void put_text(std::span<char> element, std::span<const char> word) {
  fill_blanks(element);
  const std::size_t n = std::min({element.size(), word.size(), kKeptTextLength});
  std::copy_n(word.begin(), n, element.begin());
}

// Puts the cursor back to `position` through MOVCUR; a move by 0 would go to the next blank.
void move_back_to(std::int32_t position) {
  const std::int64_t difference = static_cast<std::int64_t>(position) - RDSTATE.ICUR;
  if (difference != 0) {
    MOVCUR(static_cast<std::int32_t>(
        std::clamp<std::int64_t>(difference, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max())));
  }
}

}  // namespace

bool ATEOF() {
  return RDSTATE.NEOF > 0;
}

bool ATEOL() {
  skip_blanks();
  return at_end_of_line();
}

bool RDNAME() {
  ReaderState& s = RDSTATE;
  if (at_end_of_line()) return false;
  skip_blanks();
  const std::int32_t start = s.ICUR;
  const std::int32_t saved_digit = s.IDIGIT;
  const char saved_letter = s.CURCHR;
  if (!take_letter()) return false;
  std::array<char, kNameLength> name;
  name.fill(kBlank);
  std::size_t length = 0;
  name[length++] = s.CURCHR;
  while (length < name.size()) {
    if (take_letter()) {
      name[length++] = s.CURCHR;
    } else if (take_digit()) {
      name[length++] = static_cast<char>('0' + s.IDIGIT);
    } else {
      break;
    }
  }
  if (!ENDFLD()) {
    s.ICUR = start;
    s.CURCHR = saved_letter;
    s.IDIGIT = saved_digit;
    return false;
  }
  s.NAMBUF = name;
  s.NAMLEN = static_cast<std::int32_t>(length);
  return true;
}

void GETNAM(std::span<char> result) {
  fill_blanks(result);
  const auto length = static_cast<std::size_t>(std::clamp(RDSTATE.NAMLEN, 0, kNameLength));
  std::copy_n(RDSTATE.NAMBUF.begin(), std::min(length, result.size()), result.begin());
}

bool RDWORD() {
  ReaderState& s = RDSTATE;
  s.IWBEG = s.ICUR;
  if (ATEOF() || ATEOL() || RDINT() || RDREAL() || RDNAME()) {
    move_back_to(s.IWBEG);
    s.IWBEG = 0;
    s.IWEND = 0;
    return false;
  }
  if (GETSTS() != 0) return false;
  s.IWBEG = s.ICUR;
  std::array<char, 1> first{kBlank};
  RAWSUB(first, s.IWBEG, s.IWBEG);
  if (kLineEnders.find(first[0]) != std::string_view::npos) {
    s.IWBEG = 0;
    s.IWEND = 0;
    return false;
  }
  MOVCUR(0);  // commas inside the word belong to it
  if (s.ICUR == s.IWBEG) {
    // Only a cursor outside the line can stand still here: no word, and no endless line.
    s.IWBEG = 0;
    s.IWEND = 0;
    return false;
  }
  s.IWEND = s.ICUR;
  return true;
}

void GETWRD(std::span<char> result) {
  const ReaderState& s = RDSTATE;
  fill_blanks(result);
  const std::int64_t k = static_cast<std::int64_t>(s.IWEND) - s.IWBEG;
  if (k <= 0) return;
  const auto n = static_cast<std::size_t>(std::min<std::int64_t>(k, std::ssize(result)));
  const std::span<char> word = result.first(n);
  RAWSUB(word, s.IWBEG, static_cast<std::int32_t>(s.IWBEG + static_cast<std::int64_t>(n) - 1));
  if (GETPAR(4) == 1) UPCASE(word);
}

// Positions outside 1..NCHLIN are not part of the record: only the part of i..j inside
// it is copied, to the start of the buffer.
void RAWSUB(std::span<char> buffer, std::int32_t i, std::int32_t j) {
  const std::int64_t first = std::max<std::int64_t>(i, 1);
  const std::int64_t last = std::min<std::int64_t>(j, line_length());
  if (first > last) return;
  const auto count = static_cast<std::size_t>(last - first + 1);
  const std::size_t n = std::min(count, buffer.size());
  std::copy_n(RDSTATE.RAWLIN.begin() + first, n, buffer.begin());
  std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(n), buffer.end(), kBlank);
}

void RDMIX(std::int32_t& NPAR, std::span<std::int32_t> ITYPE, std::span<double> VALUE,
           TextArray TEXT, std::int32_t LUNRD, std::int32_t LUNER, std::int32_t& IERR) {
  if (LUNRD <= 0) return;
  RDLINE();
  if (GETSTS() != 0) {
    const std::int32_t unit = output_unit(LUNER);
    if (unit != kNoUnit) {
      lineio::put_empty(unit);
      lineio::put_line(unit, "  *** ERROR IN RDMIX");
      lineio::put_empty(unit);
    }
    count_failure(IERR);
    return;
  }
  if (ATEOF()) {
    NPAR = -1;
    return;
  }
  // Never more fields than the caller's arrays hold.
  const std::size_t capacity = std::min({ITYPE.size(), VALUE.size(), TEXT.count()});
  RDSTATE.LPLAIN = plain_fields(NPAR, ITYPE, VALUE, TEXT, capacity);
  if (!RDSTATE.LPLAIN) general_fields(NPAR, ITYPE, VALUE, TEXT, capacity);
}

void detail::general_fields(std::int32_t& NPAR, std::span<std::int32_t> ITYPE,
                            std::span<double> VALUE, TextArray TEXT, std::size_t capacity) {
  const ReaderState& s = RDSTATE;
  std::array<char, kWordLength> word;
  std::size_t n = 0;
  for (;;) {
    if (n == capacity) break;
    if (RDNAME()) {
      ITYPE[n] = kText;
      VALUE[n] = 0.0;
      GETNAM(word);
      put_text(TEXT.at(n), word);
    } else if (RDINT()) {
      ITYPE[n] = kInteger;
      VALUE[n] = static_cast<double>(s.IVALUE);
      fill_blanks(TEXT.at(n));
    } else if (RDREAL()) {
      ITYPE[n] = kReal;
      VALUE[n] = s.RVALUE;
      fill_blanks(TEXT.at(n));
    } else if (RDWORD()) {
      ITYPE[n] = kText;
      VALUE[n] = 0.0;
      GETWRD(word);
      put_text(TEXT.at(n), word);
    } else {
      break;  // the rest of the line is ignored
    }
    ++n;
    if (ATEOL()) break;
  }
  NPAR = static_cast<std::int32_t>(n);
}

}  // namespace kit
