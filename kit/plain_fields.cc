// The plain-number scanner of RDMIX: must give exactly the fields, values and reader cells
// that general_fields (mixed.cc) gives; the fuzz target plain_fields reads every line both
// ways and compares them bit for bit. Most weight lines hold nothing but decimal numbers
// between blanks or commas, and a hand-edited one now and then the product of two of them
// ("12.5*2"); this reads such a line in one pass, with the same arithmetic as UNSINT, UNSNUM,
// RDINT and RDREAL, and leaves the reader state as they would. At the first field of any other
// shape it gives up, and the general recognisers read the line.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

#include "kit/decimal.h"
#include "kit/fields.h"
#include "kit/kit.h"
#include "kit/reader_access.h"

namespace kit::detail {
namespace {

constexpr std::int32_t kMaxExponentDigits = 4;
// More digits than this before the point go to the general scanner (a digit run beyond the
// 32-bit range is read another way there); below it the run fits 64 bits.
constexpr std::int32_t kMaxIntegerDigits = 18;
constexpr std::uint64_t kAccumulatorLimit = std::numeric_limits<std::int32_t>::max();

// An unsigned number as UNSNUM takes it: digits, a point and more digits, an exponent.
struct Number {
  const char* int_begin = nullptr;  // the digit run before the point
  const char* int_end = nullptr;
  std::uint64_t acc = 0;  // its value
  bool has_point = false;
  std::size_t fraction_digits = 0;
  double fraction = 0.0;
  bool has_exponent = false;
  std::int32_t exponent = 0;

  bool has_integer() const { return int_end > int_begin; }
  // UNSNUM's value.
  double value() const {
    double v = has_integer() ? static_cast<double>(acc) : fraction + 0.0;
    if (has_integer() && fraction_digits > 0) v = v + fraction;
    if (has_exponent) v = v * power_of_ten(exponent);
    return v;
  }
};

// Scans the number at `at`, leaving `at` after it. Answers false for anything the plain
// scanner does not take there: no digit at all, a digit run too long for 64 bits or beyond the
// 32-bit range, an E that is no exponent. The end mark after the line stops every loop.
[[gnu::always_inline]] inline bool scan_number(const char*& at, Number& n) {
  char c = *at;
  // Digits before the point, accumulated as UNSINT does (unsigned: a long run wraps
  // harmlessly and is given up below).
  n.int_begin = at;
  std::uint64_t acc = 0;
  while (is_digit(c)) {
    acc = acc * 10 + static_cast<std::uint64_t>(c - '0');
    c = *++at;
  }
  n.int_end = at;
  n.acc = acc;
  if (n.int_end - n.int_begin > kMaxIntegerDigits || acc > kAccumulatorLimit) return false;
  // Point and fraction: after digits the point is taken even with no digit following it.
  if (c == '.') {
    n.has_point = true;
    c = *++at;
    // Three digits at once from the table, then any further ones one by one.
    if (is_digit(c) && is_digit(at[1]) && is_digit(at[2])) {
      const int three = (c - '0') * 100 + (at[1] - '0') * 10 + (at[2] - '0');
      n.fraction = kThreeDigitFractions[static_cast<std::size_t>(three)];
      n.fraction_digits = 3;
      at += 3;
      c = *at;
    }
    while (is_digit(c)) {
      n.fraction = add_fraction_digit(n.fraction, c - '0', ++n.fraction_digits);
      c = *++at;
    }
  }
  if (!n.has_integer() && n.fraction_digits == 0) return false;  // no number at all
  // Exponent: E, an optional sign and one to four digits.
  if (c == 'E') {
    const char* q = at + 1;
    const bool exponent_negative = *q == '-';
    if (*q == '+' || *q == '-') ++q;
    if (!is_digit(*q)) return false;  // an E that is no exponent
    for (int k = 0; k < kMaxExponentDigits && is_digit(*q); ++k, ++q) {
      n.exponent = n.exponent * 10 + (*q - '0');
    }
    if (exponent_negative) n.exponent = -n.exponent;
    n.has_exponent = true;
    at = q;
  }
  return true;
}

}  // namespace

bool plain_fields(std::int32_t& NPAR, std::span<std::int32_t> ITYPE, std::span<double> VALUE,
                  TextArray TEXT, std::size_t capacity) {
  ReaderState& s = RDSTATE;
  // With a match length below 1 a sign would be matched as an abbreviation: not plain.
  if (s.NCMTCH < 1) return false;
  const std::int32_t last = s.ILAST;
  if (s.ICUR < 1 || s.ICUR > last || last > kMaxLine) return false;
  // Positions 1..last are the line, last+1 its end mark. The end mark is no sign, digit,
  // point, E, blank or comma, so every scan below stops at it: no position beyond last+1 is
  // ever read.
  const char* const line = s.PRCLIN.data();
  if (line[last + 1] != kEndMark) return false;

  // The reader cells the general scanners leave changed, given to RDSTATE only when the
  // whole line was plain. ITYPE and VALUE are written as the fields come: for every field
  // read here the general scanners write the same values, so a line given up is no harm.
  std::int32_t iaccum = s.IACCUM;
  std::int32_t ivalue = s.IVALUE;
  double rvalue = s.RVALUE;
  // The digit cells come from the integer digits of the last number that has any; they are
  // set at the end.
  const char* digits_begin = nullptr;
  const char* digits_end = nullptr;

  // The scan walks a pointer; positions are taken from it where a cell keeps one.
  const char* at = line + s.ICUR;
  const char* const last_at = line + last;
  const auto position = [line](const char* q) { return static_cast<std::int32_t>(q - line); };
  std::size_t n = 0;
  bool comma_after_number = false;  // a comma stood right after a number
  while (n < capacity) {
    // Sign.
    char c = *at;
    const bool negative = c == '-';
    if (c == '+' || c == '-') ++at;
    Number number;
    if (!scan_number(at, number)) return false;
    // A product of two numbers: RDREAL multiplies them and puts the sign on the product. Its
    // work cells come back as they were, so only the first number's digits leave a trace.
    const bool product = *at == '*' && at[1] != '*';
    double factor = 1.0;
    if (product) {
      Number second;
      if (!scan_number(++at, second)) return false;
      factor = second.value();
    }
    c = *at;
    // The end of the field, as ENDFLD takes it: blanks with at most one comma, a comma with
    // blanks around it, or the end of the line. Anything else makes an expression or a word.
    if (at <= last_at) {
      if (c == kBlank) {
        while (*at == kBlank) ++at;
        if (*at == ',') ++at;
      } else if (c == ',') {
        comma_after_number = true;
        ++at;
      } else {
        return false;
      }
      while (*at == kBlank) ++at;
    }

    if (number.has_integer()) {
      // The integer scan of RDINT comes first and leaves its digit cells, for a real too.
      digits_begin = number.int_begin;
      digits_end = number.int_end;
    }
    if (number.has_integer() && !number.has_point && !number.has_exponent && !product) {
      iaccum = static_cast<std::int32_t>(number.acc);
      ivalue = negative ? -iaccum : iaccum;
      ITYPE[n] = kInteger;
      VALUE[n] = static_cast<double>(ivalue);
    } else {
      // UNSNUM's value (times the factor's), then RDREAL's sign on the whole of it.
      double value = number.value();
      if (product) value = value * factor;
      rvalue = negative ? -value : value;
      ITYPE[n] = kReal;
      VALUE[n] = rvalue;
    }
    ++n;
    if (at > last_at) break;
  }

  s.ICUR = position(at);
  s.IACCUM = iaccum;
  s.IVALUE = ivalue;
  if (digits_end != nullptr) {
    s.IDIGIT = digits_end[-1] - '0';
    s.IDBEG = position(digits_begin);
    s.IDEND = position(digits_end);
    s.IACCUM_WIDE = false;
  }
  s.RVALUE = rvalue;
  s.LCOMMA = comma_after_number;
  const std::span<char> texts = TEXT.leading(n);
  std::fill(texts.begin(), texts.end(), kBlank);
  NPAR = static_cast<std::int32_t>(n);
  return true;
}

}  // namespace kit::detail
