// Fuzz target: the precedence check. The bytes choose a field of numbers, PI, SIN( and COS(
// and the operators + - * ** /, written as a weight line and read by RDMIX. The target
// evaluates the field itself, both ways, from its own parse: strictly left to right with a
// leading sign last (the reader's reading) and under the usual precedence (powers first and
// right to left, then * and /, then + and -, a leading sign on the first term only), a zero
// divisor giving 0 in both. Operand values come from the reader. It aborts unless
//   - RDMIX's value is the left-to-right value, bit for bit;
//   - read_both_ways gives the same two values;
//   - the precedence warning is told exactly when the two values differ, and the division
//     warning exactly when a divisor was zero.
//
// Each byte chooses the next piece: a sign, how many operands, an operator, an operand (one
// of the numbers below, or at the top level also a function, whose argument follows).
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kit/kit.h"
#include "kit/surprises.h"
#include "lineio/lineio.h"

namespace {

constexpr std::array<std::string_view, 16> kNumbers = {
    "0",  "1",   "2",   "3",   "10", "0.5",        "7",     ".25",
    "5.", "0.1", "0.3", "1E3", "PI", "2147483648", "1E300", "1.5E-3"};
constexpr std::array<std::string_view, 5> kOperators = {"+", "-", "*", "**", "/"};
enum Op { kAdd, kSubtract, kMultiply, kPower, kDivide };
constexpr std::size_t kLongestField = 120;
constexpr std::size_t kFields = 100;

void fail(const char* what, const std::string& field) {
  std::fprintf(stderr, "precedence check differs: %s for \"%s\"\n", what, field.c_str());
  std::abort();
}

bool same(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
         (std::isnan(a) && std::isnan(b));
}

class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  unsigned next() { return at_ < bytes_.size() ? bytes_[at_++] : 0u; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

// One operand with its two readings, and the operator before it (none for the first).
struct Operand {
  Op op = kAdd;
  double read = 0.0;
  double usual = 0.0;
};

double apply(Op op, double a, double b) {
  switch (op) {
    case kAdd:
      return a + b;
    case kSubtract:
      return a - b;
    case kMultiply:
      return a * b;
    case kPower:
      return std::pow(a, b);
    case kDivide:
      return b == 0.0 ? 0.0 : a / b;
  }
  return a;
}

// The usual reading by recursive descent over the operands' usual values.
class Usual {
 public:
  explicit Usual(const std::vector<Operand>& operands) : operands_(operands) {}
  double sum(bool negative) {
    double value = term();
    if (negative) value = -value;
    while (at_ < operands_.size()) {
      const Op op = operands_[at_].op;
      value = apply(op, value, term());
    }
    return value;
  }

 private:
  double term() {
    double value = factor();
    while (at_ < operands_.size() &&
           (operands_[at_].op == kMultiply || operands_[at_].op == kDivide)) {
      const Op op = operands_[at_].op;
      value = apply(op, value, factor());
    }
    return value;
  }
  double factor() {
    const double base = operands_[at_++].usual;
    if (at_ < operands_.size() && operands_[at_].op == kPower) return std::pow(base, factor());
    return base;
  }

  const std::vector<Operand>& operands_;
  std::size_t at_ = 0;
};

struct Generated {
  std::string text;
  double read = 0.0;
  double usual = 0.0;
  bool zero_division = false;
};

class Generator {
 public:
  Generator(Bytes& bytes, const std::array<double, kNumbers.size()>& values)
      : bytes_(bytes), values_(values) {}

  // [sign] operand { operator operand }; functions only at the top level.
  Generated expression(bool top) {
    Generated g;
    const unsigned sign = bytes_.next() % 3;
    if (sign == 1) g.text += '+';
    if (sign == 2) g.text += '-';
    const unsigned count = 1 + bytes_.next() % (top ? 8 : 5);
    std::vector<Operand> operands;
    for (unsigned k = 0; k < count; ++k) {
      Operand o;
      if (k > 0) {
        o.op = static_cast<Op>(bytes_.next() % kOperators.size());
        g.text += kOperators[o.op];
      }
      const unsigned choice = bytes_.next();
      if (top && choice % 6 == 5) {
        const bool sine = (choice / 6) % 2 == 0;
        g.text += sine ? "SIN(" : "COS(";
        const Generated argument = expression(false);
        g.text += argument.text + ")";
        g.zero_division = g.zero_division || argument.zero_division;
        o.read = sine ? std::sin(argument.read) : std::cos(argument.read);
        o.usual = sine ? std::sin(argument.usual) : std::cos(argument.usual);
      } else {
        const std::size_t n = choice % kNumbers.size();
        g.text += kNumbers[n];
        o.read = o.usual = values_[n];
      }
      operands.push_back(o);
    }
    // The reader's reading: each operator on everything to its left, the sign last.
    double read = operands[0].read;
    for (std::size_t k = 1; k < operands.size(); ++k) {
      if (operands[k].op == kDivide && operands[k].read == 0.0) g.zero_division = true;
      read = apply(operands[k].op, read, operands[k].read);
    }
    g.read = sign == 2 ? -read : read;
    g.usual = Usual(operands).sum(sign == 2);
    return g;
  }

 private:
  Bytes& bytes_;
  const std::array<double, kNumbers.size()>& values_;
};

struct Line {
  std::int32_t npar = 0;
  std::array<std::int32_t, kFields> type{};
  std::array<double, kFields> value{};
  std::array<char, kFields * 8> text{};
};

// Reads one line through the reader as the tool sets it up.
bool read_line(const std::string& line, Line& fields) {
  kit::reset_reader();
  kit::load_memory_text(line);
  std::int32_t ierr = 0;
  kit::INIFII(kit::kMemoryUnit, -1, ierr);
  if (ierr != 0) return false;
  kit::RDMIX(fields.npar, fields.type, fields.value, kit::TextArray(fields.text, 8), 88, -1, ierr);
  return ierr == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static lineio::MemorySource keyboard("");
  static lineio::MemorySink screen;
  // The numbers' values as the reader reads them.
  static const std::array<double, kNumbers.size()> values = [] {
    lineio::bind_console(keyboard, screen, false);
    std::array<double, kNumbers.size()> v{};
    for (std::size_t n = 0; n < kNumbers.size(); ++n) {
      Line fields;
      if (!read_line("+" + std::string(kNumbers[n]) + "\n", fields) || fields.npar != 1) {
        fail("a number not read", std::string(kNumbers[n]));
      }
      v[n] = fields.value[0];
    }
    return v;
  }();
  static kit::SurpriseLog log;
  static const bool started = [] {
    log.start("precedence_fuzz: ", "field");
    return true;
  }();
  static_cast<void>(started);

  Bytes bytes({data, size});
  const Generated g = Generator(bytes, values).expression(true);
  if (g.text.size() > kLongestField) return 0;
  Line fields;
  if (!read_line(g.text + " 1 2 3\n", fields)) fail("no line read", g.text);
  // A lone number, or PI, which is a name: no expression.
  if (fields.npar != 4 || fields.type[0] != 2) return 0;
  if (!same(fields.value[0], g.read)) fail("the reader's value", g.text);

  const kit::TwoReadings two = kit::read_both_ways(1, static_cast<std::int32_t>(g.text.size()));
  if (!two.ok || !same(two.read, g.read)) fail("read_both_ways' reader value", g.text);
  if (!same(two.usual, g.usual)) fail("read_both_ways' usual value", g.text);

  const std::int64_t order_before = log.count(kit::SurpriseLog::kOrder);
  const std::int64_t zero_before = log.count(kit::SurpriseLog::kZeroDivision);
  log.check_line(fields.npar, fields.type, fields.value);
  const bool differ = !(g.read == g.usual) && !(std::isnan(g.read) && std::isnan(g.usual));
  if ((log.count(kit::SurpriseLog::kOrder) > order_before) != differ) {
    fail("the precedence warning", g.text);
  }
  if ((log.count(kit::SurpriseLog::kZeroDivision) > zero_before) != g.zero_division) {
    fail("the division warning", g.text);
  }
  return 0;
}
