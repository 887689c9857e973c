// Field layouts: every field kind, rounding, overflow, exponents and special values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "lineio/lineio.h"

namespace {

using lineio::Line;

struct NumberCase {
  char kind;  // 'I', 'F' or 'E'
  double value;
  int w;
  int d;
  std::string expected;
};

std::string render(const NumberCase& c) {
  Line line;
  switch (c.kind) {
    case 'I':
      line.i(static_cast<std::int64_t>(c.value), c.w);
      break;
    case 'F':
      line.f(c.value, c.w, c.d);
      break;
    default:
      line.e(c.value, c.w, c.d);
      break;
  }
  return std::string(line.view());
}

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FieldLayout, NumbersRenderExactly) {
  const NumberCase cases[] = {
      // Integers: no plus sign, minus directly before the digits, overflow to asterisks.
      {'I', 999999, 6, 0, "999999"},
      {'I', 1000000, 6, 0, "******"},
      {'I', 0, 3, 0, "  0"},
      {'I', -2, 2, 0, "-2"},
      {'I', -12, 2, 0, "**"},
      {'I', 12, 4, 0, "  12"},
      {'I', 1, 7, 0, "      1"},
      // Fixed point: rounding to nearest, ties to even on the exact binary value.
      {'F', -2.5, 12, 3, "      -2.500"},
      {'F', 0.5, 12, 3, "       0.500"},
      {'F', 1234.5678, 12, 3, "    1234.568"},
      {'F', -0.25, 12, 3, "      -0.250"},
      {'F', 0.0, 12, 3, "       0.000"},
      {'F', 0.0625, 8, 3, "   0.062"},
      {'F', 0.125, 6, 2, "  0.12"},
      {'F', 0.375, 6, 2, "  0.38"},
      {'F', 2.5, 4, 0, "  2."},
      {'F', 3.5, 4, 0, "  4."},
      {'F', 1.0e9, 12, 3, "************"},
      {'F', 99999999.999, 12, 3, "99999999.999"},
      {'F', 99999999.9996, 12, 3, "************"},
      {'F', 5000.0 / 3500.0, 12, 3, "       1.429"},
      {'F', 54000.0 / 3500.0, 12, 3, "      15.429"},
      // The lone zero before the point is dropped when that makes the value fit.
      {'F', -0.5, 6, 3, "-0.500"},
      {'F', -0.5, 5, 3, "-.500"},
      {'F', 0.5, 4, 3, ".500"},
      {'F', 0.5, 3, 3, "***"},
      {'F', -0.5, 4, 3, "****"},
      {'F', 1.5, 4, 3, "****"},
      // Scientific: one digit before the point, E and a two-digit exponent, or a sign and
      // three digits without the letter.
      {'E', 1234.56, 12, 3, "   1.235E+03"},
      {'E', -0.000123456, 12, 3, "  -1.235E-04"},
      {'E', 1.0e100, 12, 3, "   1.000+100"},
      {'E', -1.0e-100, 12, 3, "  -1.000-100"},
      {'E', -1.0000000409184788e35, 12, 3, "  -1.000E+35"},
      {'E', 1500.0, 13, 4, "   1.5000E+03"},
      {'E', 4500.0, 13, 3, "    4.500E+03"},
      {'E', 0.5, 13, 4, "   5.0000E-01"},
      {'E', 0.0, 10, 4, "0.0000E+00"},
      {'E', 9999500000.0, 12, 3, "   1.000E+10"},
      {'E', 9998500000.0, 12, 3, "   9.998E+09"},
      {'E', 1.0e5, 8, 3, "********"},
      {'E', 5e-324, 12, 3, "   4.941-324"},
      // Not-a-number and infinities, long form, short form, or asterisks.
      {'F', kNaN, 12, 3, "         NaN"},
      {'E', kNaN, 13, 4, "          NaN"},
      {'F', kNaN, 2, 0, "**"},
      {'F', kInf, 12, 3, "    Infinity"},
      {'E', -kInf, 12, 3, "   -Infinity"},
      {'F', kInf, 5, 1, "  Inf"},
      {'E', -kInf, 8, 1, "    -Inf"},
      {'F', -kInf, 3, 0, "***"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.kind) + " " + std::to_string(c.value) +
                 " w=" + std::to_string(c.w) + " d=" + std::to_string(c.d));
    EXPECT_EQ(render(c), c.expected);
  }
}

TEST(FieldLayout, TextFieldsAlignRightAndCutLeft) {
  EXPECT_EQ(Line().text("abc", 5).view(), "  abc");
  EXPECT_EQ(Line().text("abcdef", 3).view(), "abc");
  EXPECT_EQ(Line().text("", 2).view(), "  ");
  EXPECT_EQ(Line().lit("lit  ").view(), "lit  ");  // literals keep their blanks
}

TEST(FieldLayout, BlankColumnsAndLineBreaks) {
  EXPECT_EQ(Line().x(5).lit("FILE").view(), "     FILE");
  EXPECT_EQ(Line().lit("a").x(3).lit("b").view(), "a   b");
  EXPECT_EQ(Line().lit("a").x(3).view(), "a");  // columns never written are not written
  EXPECT_EQ(Line().br().br().lit("x").view(), "\r\n\r\nx");
  EXPECT_EQ(Line().lit("a").br().view(), "a\r\n");
}

TEST(FieldLayout, MapMassRecordIs64Columns) {
  const std::string record(Line()
                               .lit(" Map_Mass  ")
                               .i(12, 4)
                               .f(1234.5678, 12, 3)
                               .f(-0.25, 12, 3)
                               .f(0.0, 12, 3)
                               .e(0.5, 13, 4)
                               .view());
  EXPECT_EQ(record, " Map_Mass    12    1234.568      -0.250       0.000   5.0000E-01");
  EXPECT_EQ(record.size(), 64u);
}

TEST(FieldLayout, LineCapacityIsNeverExceeded) {
  Line line;
  const std::string big(5000, 'x');
  line.lit(big).lit(big).f(1.0, 40, 3).x(100000).lit("y");
  EXPECT_EQ(line.view().size(), lineio::kLineCapacity);
}

}  // namespace
