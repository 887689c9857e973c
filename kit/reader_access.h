// Internal to KIT: checked access to the reader state's line buffers and the unit
// conventions of the library's messages. Every index into RAWLIN and PRCLIN goes through
// these accessors, so no cursor value, however it was reached, reads outside the buffers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "kit/kit.h"
#include "lineio/lineio.h"

namespace kit::detail {

// The carriage return of a CR LF line end, or of a list whose lines end with CR alone.
inline constexpr char kCarriageReturn = '\r';
// Characters that make a function name's match (SIN(, COS().
inline constexpr std::int32_t kFunctionMatchLength = 4;

// One of the ten digits.
inline bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

using lineio::kConsoleIn;
using lineio::kConsoleOut;
inline constexpr std::int32_t kNoUnit = 0;                   // "write nothing"
inline constexpr std::int64_t kLastPosition = kMaxLine + 1;  // room for the end mark
inline constexpr char kBlank = ' ';
inline constexpr char kTab = '\t';
inline constexpr char kEndMark = 'S';
inline constexpr char kOutside = '\0';  // what a position outside the buffers reads as

// The line length in force, kept inside 1..kMaxLine even before the reader is set up.
inline std::int32_t line_length() {
  return std::clamp(RDSTATE.NCHLIN, 1, kMaxLine);
}

inline bool inside(std::int64_t pos) {
  return pos >= 1 && pos <= kLastPosition;
}

inline char prc_at(std::int64_t pos) {
  return inside(pos) ? RDSTATE.PRCLIN[static_cast<std::size_t>(pos)] : kOutside;
}
inline char raw_at(std::int64_t pos) {
  return inside(pos) ? RDSTATE.RAWLIN[static_cast<std::size_t>(pos)] : kOutside;
}
inline void set_prc(std::int64_t pos, char c) {
  if (inside(pos)) RDSTATE.PRCLIN[static_cast<std::size_t>(pos)] = c;
}
inline void set_raw(std::int64_t pos, char c) {
  if (inside(pos)) RDSTATE.RAWLIN[static_cast<std::size_t>(pos)] = c;
}

// The cursor is beyond the last significant character: end of line.
inline bool beyond_last(std::int64_t pos) {
  return pos > RDSTATE.ILAST;
}
inline bool at_end_of_line() {
  return beyond_last(RDSTATE.ICUR);
}

inline bool is_blank(char c) {
  return c == kBlank;
}
inline bool is_blank_or_tab(char c) {
  return c == kBlank || c == kTab;
}

// The cursor steps every scanner takes many times per field, inline so that the number
// scanners keep their running values in registers. DIGIT, LETTER, SKIPBL and MATCH are
// these same steps.

// DIGIT: one digit at the cursor into IDIGIT.
inline bool take_digit() {
  ReaderState& s = RDSTATE;
  if (at_end_of_line()) return false;
  const char c = prc_at(s.ICUR);
  if (c < '0' || c > '9') return false;
  s.IDIGIT = c - '0';
  ++s.ICUR;
  return true;
}

// LETTER: one capital letter at the cursor into CURCHR.
inline bool take_letter() {
  ReaderState& s = RDSTATE;
  if (at_end_of_line()) return false;
  const char c = prc_at(s.ICUR);
  if (c < 'A' || c > 'Z') return false;
  s.CURCHR = c;
  ++s.ICUR;
  return true;
}

// SKIPBL: the end mark after ILAST, or the end of the buffer, stops it.
inline void skip_blanks() {
  ReaderState& s = RDSTATE;
  while (is_blank(prc_at(s.ICUR))) ++s.ICUR;
}

// MATCH of a one-character keyword: with NCMTCH at least 1 no abbreviation is possible.
inline bool take_char(char keyword) {
  ReaderState& s = RDSTATE;
  if (s.NCMTCH < 1) return MATCH(std::string_view(&keyword, 1));  // a set-up never made
  if (at_end_of_line() || prc_at(s.ICUR) != keyword) return false;
  ++s.ICUR;
  return true;
}

// KIT's message and echo units: 0 is the console, a negative unit means no output.
// Answers the line I/O unit to write on, or kNoUnit.
inline std::int32_t output_unit(std::int32_t lun) {
  if (lun < 0) return kNoUnit;
  return lun == 0 ? kConsoleOut : lun;
}

// The caller's error counters only ever go down by one; they never wrap.
inline void count_failure(std::int32_t& ierr) {
  if (ierr > std::numeric_limits<std::int32_t>::min()) --ierr;
}

}  // namespace kit::detail
