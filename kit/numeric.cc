// Numeric fields: UNSINT, EXPON, UNSNUM, FUNCAL and the field tests RDINT and RDREAL.
// A field is scanned and evaluated in one pass, strictly left to right; each scanner that
// answers false leaves the cursor where it started.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <system_error>

#include "kit/decimal.h"
#include "kit/kit.h"
#include "kit/operators.h"
#include "kit/reader_access.h"

namespace kit {

namespace {

using namespace detail;

// Keywords are written in full inside numbers: no abbreviation of "PI" or "E" (2) and of
// the function names (4) can match.
constexpr std::int32_t kNumberMatchLength = 2;
constexpr std::int32_t kMaxExponentDigits = 4;
constexpr std::int64_t kAccumulatorLimit = std::numeric_limits<std::int32_t>::max();

// The work cells the number scanners borrow and give back.
struct WorkCells {
  std::int32_t IACCUM, IDIGIT, IEXPO;
  bool IACCUM_WIDE;
  std::int32_t IDBEG, IDEND;

  static WorkCells save() {
    const ReaderState& s = RDSTATE;
    return {s.IACCUM, s.IDIGIT, s.IEXPO, s.IACCUM_WIDE, s.IDBEG, s.IDEND};
  }
  void restore() const {
    ReaderState& s = RDSTATE;
    s.IACCUM = IACCUM;
    s.IDIGIT = IDIGIT;
    s.IEXPO = IEXPO;
    s.IACCUM_WIDE = IACCUM_WIDE;
    s.IDBEG = IDBEG;
    s.IDEND = IDEND;
  }
};

// Sets NCMTCH for the duration of a scanner and gives the setting back at its end.
class MatchLengthScope {
 public:
  explicit MatchLengthScope(std::int32_t length) : saved_(RDSTATE.NCMTCH) {
    RDSTATE.NCMTCH = length;
  }
  ~MatchLengthScope() { RDSTATE.NCMTCH = saved_; }
  MatchLengthScope(const MatchLengthScope&) = delete;
  MatchLengthScope& operator=(const MatchLengthScope&) = delete;

 private:
  std::int32_t saved_;
};

// The integer part UNSINT just took, as a double: exact below 2^31, otherwise the digit
// run converted in place, correctly rounded (+infinity for a run beyond the double range).
double integer_part() {
  const ReaderState& s = RDSTATE;
  if (!s.IACCUM_WIDE) return static_cast<double>(s.IACCUM);
  if (!inside(s.IDBEG) || s.IDEND < s.IDBEG || s.IDEND > kLastPosition) {
    return std::numeric_limits<double>::infinity();  // no digit run recorded
  }
  const char* first = s.PRCLIN.data() + s.IDBEG;
  const char* last = s.PRCLIN.data() + s.IDEND;
  double value = std::numeric_limits<double>::infinity();
  const auto result = std::from_chars(first, last, value);
  if (result.ec != std::errc{}) value = std::numeric_limits<double>::infinity();
  return value;
}

// The digits after a decimal point, the first of them already taken by DIGIT. A line holds
// fewer than kMaxLine of them, so the table always reaches.
double fraction_digits() {
  double fraction = 0.0;
  std::size_t k = 0;
  do {
    fraction = add_fraction_digit(fraction, RDSTATE.IDIGIT, ++k);
  } while (take_digit());
  return fraction;
}

// "+" gives +1, "-" gives -1, nothing +1. `blanks_first` lets blanks stand before the sign.
int leading_sign(bool blanks_first) {
  if (blanks_first) skip_blanks();
  if (take_char('+')) return 1;
  if (take_char('-')) return -1;
  return 1;
}

// An operand: a number, or (outside a function's argument) a function.
bool operand(bool functions_allowed) {
  if (UNSNUM()) return true;
  return functions_allowed && FUNCAL();
}

// One operator and its operand, applied to the running value. There is no precedence:
// each operator applies to everything on its left.
bool apply_operator(double& acc, bool functions_allowed) {
  Operator op{};
  if (!take_operator(op)) return false;
  if (!operand(functions_allowed)) return false;
  acc = detail::apply_operator(op, acc, RDSTATE.RVALUE);
  return true;
}

}  // namespace

bool UNSINT() {
  ReaderState& s = RDSTATE;
  if (!take_digit()) return false;
  s.IDBEG = s.ICUR - 1;
  // Accumulated in 64 bits and only while within the 32-bit range: a longer run is kept
  // by its positions and flagged, never wrapped.
  std::int64_t acc = s.IDIGIT;
  bool wide = false;
  while (take_digit()) {
    if (!wide) {
      acc = acc * 10 + s.IDIGIT;
      wide = acc > kAccumulatorLimit;
    }
  }
  s.IDEND = s.ICUR;
  s.IACCUM_WIDE = wide;
  s.IACCUM = wide ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(acc);
  return true;
}

bool EXPON() {
  ReaderState& s = RDSTATE;
  const std::int32_t start = s.ICUR;
  if (!take_char('E')) return false;
  const int sign = leading_sign(false);
  if (!take_digit()) {
    s.ICUR = start;
    return false;
  }
  s.IEXPO = s.IDIGIT;
  for (int n = 1; n < kMaxExponentDigits && take_digit(); ++n) s.IEXPO = s.IEXPO * 10 + s.IDIGIT;
  s.IEXPO = sign * s.IEXPO;
  return true;
}

bool UNSNUM() {
  ReaderState& s = RDSTATE;
  const std::int32_t start = s.ICUR;
  const WorkCells cells = WorkCells::save();
  const MatchLengthScope scope(kNumberMatchLength);
  bool ok = false;
  if (UNSINT()) {
    double value = integer_part();
    if (take_char('.') && take_digit()) value = value + fraction_digits();
    if (EXPON()) value = value * power_of_ten(s.IEXPO);
    s.RVALUE = value;
    ok = true;
  } else if (take_char('.')) {
    if (take_digit()) {
      double value = fraction_digits() + 0.0;
      if (EXPON()) value = value * power_of_ten(s.IEXPO);
      s.RVALUE = value;
      ok = true;
    } else {
      s.ICUR = start;  // a lone point is no number
    }
  } else if (MATCH("PI")) {
    s.RVALUE = std::numbers::pi;
    ok = true;
  }
  cells.restore();
  return ok;
}

bool FUNCAL() {
  ReaderState& s = RDSTATE;
  if (at_end_of_line()) return false;
  const std::int32_t start = s.ICUR;
  const MatchLengthScope scope(kFunctionMatchLength);
  const Function function = take_function();
  if (function == nullptr) return false;
  const WorkCells cells = WorkCells::save();
  const double saved_value = s.RVALUE;
  // No blanks anywhere inside a function; its argument holds numbers and PI only.
  const int sign = leading_sign(false);
  bool ok = UNSNUM();
  double acc = s.RVALUE;
  while (ok && !take_char(')')) ok = apply_operator(acc, false);
  if (ok) {
    if (sign < 0) acc = -acc;
    s.RVALUE = function(acc);
  } else {
    s.RVALUE = saved_value;
    s.ICUR = start;
  }
  cells.restore();
  return ok;
}

bool RDINT() {
  ReaderState& s = RDSTATE;
  if (at_end_of_line()) return false;
  const std::int32_t start = s.ICUR;
  const int sign = leading_sign(true);
  const std::int32_t saved_accum = s.IACCUM;
  if (!UNSINT()) {
    s.ICUR = start;
    return false;
  }
  // A digit run beyond the 32-bit range is no integer field (RDREAL takes it as a real).
  if (s.IACCUM_WIDE || !ENDFLD()) {
    s.IACCUM = saved_accum;
    s.ICUR = start;
    return false;
  }
  s.IVALUE = sign * s.IACCUM;
  return true;
}

bool RDREAL() {
  ReaderState& s = RDSTATE;
  if (at_end_of_line()) return false;
  const std::int32_t start = s.ICUR;
  const WorkCells cells = WorkCells::save();
  const double saved_value = s.RVALUE;
  const int sign = leading_sign(true);
  bool ok = operand(true);
  double acc = s.RVALUE;
  while (ok && !ENDFLD()) ok = apply_operator(acc, true);
  if (ok) {
    // The leading sign applies to the value of the whole expression.
    if (sign < 0) acc = -acc;
    s.RVALUE = acc;
  } else {
    s.RVALUE = saved_value;
    s.ICUR = start;
  }
  cells.restore();
  return ok;
}

}  // namespace kit
