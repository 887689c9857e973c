// Internal to KIT: the operators of numeric fields, as the reader takes them and works them
// out; shared by RDREAL and FUNCAL and by the checks that read a field a second way.
#pragma once

#include <cmath>
#include <cstdint>

#include "kit/reader_access.h"

namespace kit::detail {

enum class Operator : std::uint8_t { kAdd, kSubtract, kMultiply, kPower, kDivide };

// Takes the operator at the cursor, tried in the reader's order: "+", "-", "*" (with a second
// "*" right after it the power), "/". Answers false, the cursor where it was, when there is none.
inline bool take_operator(Operator& op) {
  if (take_char('+')) {
    op = Operator::kAdd;
  } else if (take_char('-')) {
    op = Operator::kSubtract;
  } else if (take_char('*')) {
    op = take_char('*') ? Operator::kPower : Operator::kMultiply;
  } else if (take_char('/')) {
    op = Operator::kDivide;
  } else {
    return false;
  }
  return true;
}

using Function = double (*)(double);

// "SIN(" or "COS(" at the cursor, taken through MATCH; the caller has set NCMTCH to 4, so that
// only the name written in full matches. Answers the function (radians), or nullptr when there
// is none.
inline Function take_function() {
  if (MATCH("SIN(")) return [](double x) { return std::sin(x); };
  if (MATCH("COS(")) return [](double x) { return std::cos(x); };
  return nullptr;
}

// a op b. Division by an operand equal to zero (either sign) gives 0.0, and evaluation goes on.
inline double apply_operator(Operator op, double a, double b) {
  switch (op) {
    case Operator::kAdd:
      return a + b;
    case Operator::kSubtract:
      return a - b;
    case Operator::kMultiply:
      return a * b;
    case Operator::kPower:
      return std::pow(a, b);
    case Operator::kDivide:
      return b == 0.0 ? 0.0 : a / b;
  }
  return a;
}

}  // namespace kit::detail
