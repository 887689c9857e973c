// An expression field read two ways: as the reader reads it, strictly from left to right with
// a leading sign applied last, and as arithmetic is usually read. Both readings take their
// operands from the reader's own number scanner UNSNUM, so that where the two agree they give
// the same bits.
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string_view>

#include "kit/kit.h"
#include "kit/operators.h"
#include "kit/reader_access.h"
#include "kit/surprises.h"

namespace kit {
namespace {

using namespace detail;

// A field of a line of kMaxLine characters holds at most this many operands.
constexpr std::size_t kMostOperands = kMaxLine / 2 + 1;

using Op = Operator;

// How tightly an operator binds under the usual reading.
int binding(Op op) {
  switch (op) {
    case Op::kAdd:
    case Op::kSubtract:
      return 1;
    case Op::kMultiply:
    case Op::kDivide:
      return 2;
    case Op::kPower:
      return 3;
  }
  return 0;
}

// The usual reading, operand by operand: a run of powers gathered and taken from the right,
// products and quotients into a term, terms summed from the left; a leading minus goes with
// the first term.
class UsualReading {
 public:
  explicit UsualReading(bool negative) : negative_(negative) {}

  bool operand(double value) {
    if (powers_ == chain_.size()) return false;
    chain_[powers_++] = value;
    return true;
  }
  void op(Op op) {
    if (op == Op::kPower) return;  // the run of powers goes on
    close_factor();
    if (binding(op) == 2) {
      term_op_ = op;
      return;
    }
    close_term();
    sum_op_ = op;
  }
  double finish() {
    close_factor();
    close_term();
    return sum_;
  }

 private:
  void close_factor() {
    if (powers_ == 0) return;
    double factor = chain_[powers_ - 1];
    for (std::size_t k = powers_ - 1; k-- > 0;) factor = std::pow(chain_[k], factor);
    powers_ = 0;
    term_ = has_term_ ? apply_operator(term_op_, term_, factor) : factor;
    has_term_ = true;
  }
  void close_term() {
    if (!has_term_) return;
    const double term = !has_sum_ && negative_ ? -term_ : term_;
    sum_ = has_sum_ ? apply_operator(sum_op_, sum_, term) : term;
    has_sum_ = true;
    has_term_ = false;
  }

  bool negative_;
  std::array<double, kMostOperands> chain_;  // filled before it is read: not cleared, it is large
  std::size_t powers_ = 0;
  double term_ = 0.0;
  Op term_op_ = Op::kMultiply;
  bool has_term_ = false;
  double sum_ = 0.0;
  Op sum_op_ = Op::kAdd;
  bool has_sum_ = false;
};

struct Reading {
  double read = 0.0;
  double usual = 0.0;
};

// A walk through the field with the reader's cursor, PRCLIN positions up to `last`.
class Walk {
 public:
  explicit Walk(std::int32_t last) : last_(last) {}

  // [sign] operand { operator operand }, to the end of the field, or inside a function's
  // argument to its ")".
  bool expression(bool in_function, Reading& out) {
    const bool negative = take('-');
    if (!negative) take('+');
    Reading first;
    if (!operand(in_function, first)) return false;
    double read = first.read;
    UsualReading usual(negative);
    usual.operand(first.usual);
    int previous = 0;  // how tightly the operator before binds
    bool additive = false;
    for (;;) {
      if (in_function ? take(')') : RDSTATE.ICUR > last_) break;
      Op o{};
      if (!take_operator(o)) return false;
      Reading next;
      if (!operand(in_function, next)) return false;
      if (o == Op::kDivide && next.read == 0.0) result.zero_division = true;
      read = apply_operator(o, read, next.read);
      const int b = binding(o);
      if (previous != 0 && (b > previous || (b == 3 && previous == 3))) {
        result.order_matters = true;
      }
      previous = b;
      additive = additive || b == 1;
      usual.op(o);
      if (!usual.operand(next.usual)) return false;
    }
    if (negative && additive) result.sign_applies_last = true;
    out.read = negative ? -read : read;
    out.usual = usual.finish();
    return true;
  }

  TwoReadings result;

 private:
  bool take(char c) {
    ReaderState& s = RDSTATE;
    if (s.ICUR > last_ || prc_at(s.ICUR) != c) return false;
    ++s.ICUR;
    return true;
  }
  // A number or PI through UNSNUM; outside a function's argument also a function.
  bool operand(bool in_function, Reading& out) {
    if (in_function && prc_at(RDSTATE.ICUR) == 'P') pi_in_argument_ = true;
    if (UNSNUM()) {
      out.read = RDSTATE.RVALUE;
      out.usual = out.read;
      return true;
    }
    if (in_function) return false;
    ReaderState& s = RDSTATE;
    const std::int32_t match_length = s.NCMTCH;
    s.NCMTCH = kFunctionMatchLength;  // as FUNCAL matches the names: written in full
    const std::int32_t function_at = s.ICUR;
    const Function function = take_function();
    s.NCMTCH = match_length;
    if (function == nullptr) return false;
    Reading argument;
    pi_in_argument_ = false;
    if (!expression(true, argument)) return false;
    out.read = function(argument.read);
    out.usual = function(argument.usual);
    if (result.degrees_at == 0 && !pi_in_argument_ &&
        std::fabs(argument.read) > 2 * std::numbers::pi) {
      result.degrees_at = function_at;
      result.argument = argument.read;
      result.in_radians = out.read;
      result.in_degrees = function(argument.read * (std::numbers::pi / 180.0));
    }
    return true;
  }

  std::int32_t last_;
  bool pi_in_argument_ = false;
};

}  // namespace

TwoReadings read_both_ways(std::int32_t first, std::int32_t last) {
  ReaderState& s = RDSTATE;
  if (first < 1 || last < first || last > s.ILAST || last >= kMaxLine + 1) return {};
  // UNSNUM gives its work cells back itself; the cursor and RVALUE are given back here.
  const std::int32_t cursor = s.ICUR;
  const double value = s.RVALUE;
  s.ICUR = first;
  Walk walk(last);
  Reading reading;
  const bool ok = walk.expression(false, reading) && s.ICUR == last + 1;
  s.ICUR = cursor;
  s.RVALUE = value;
  if (!ok) return {};
  TwoReadings two = walk.result;
  two.ok = true;
  two.read = reading.read;
  two.usual = reading.usual;
  return two;
}

}  // namespace kit
