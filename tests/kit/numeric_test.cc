// Numeric fields as RDMIX classifies them: integers, reals, expressions, functions, and the
// forms that are not numeric. Values are compared bit for bit.
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "reader_fixture.h"
#include "support/case_name.h"

namespace kit_test {
namespace {

enum Kind { kInt = 1, kReal = 2, kText = 3 };

struct NumericCase {
  const char* field;
  Kind kind;
  double value;  // integer and real fields
};

constexpr double kInf = std::numeric_limits<double>::infinity();

const NumericCase kNumericCases[] = {
    // Integers.
    {"12", kInt, 12},
    {"-12", kInt, -12},
    {"+7,", kInt, 7},
    {"007", kInt, 7},
    {"+5", kInt, 5},
    {" -5", kInt, -5},
    {"5", kInt, 5},
    {"2147483647", kInt, 2147483647.0},
    {"-2147483647", kInt, -2147483647.0},
    // Reals, converted with the integer power of ten.
    {"12.", kReal, 12},
    {"5.", kReal, 5},
    {"5.0", kReal, 5},
    {"5.E2", kReal, 500},
    {"1E3", kReal, 1000},
    {"1E0001", kReal, 10},
    {"1.5E+2", kReal, 150},
    {"1.5E2", kReal, 150},
    {"1.5e-3", kReal, 0.0015000000000000005},
    {"1.5E-2", kReal, 0.015000000000000003},
    {".5", kReal, 0.5},
    {"0.1", kReal, 0.1},
    {"0.3", kReal, 0.30000000000000004},
    {"1E400", kReal, kInf},
    {"1E-400", kReal, 0.0},
    // Expressions: left to right, no precedence, the leading sign last.
    {"2+3*4", kReal, 20},
    {"2*3**2", kReal, 36},
    {"2**3", kReal, 8},
    {"2*3", kReal, 6},
    {"-2+3", kReal, -5},
    {"1/0", kReal, 0},
    {"1/0+2", kReal, 2},
    {"PI/2", kReal, 1.5707963267948966},
    {"-PI", kReal, -std::numbers::pi},
    {"+PI", kReal, std::numbers::pi},
    {"pi", kText, 0},
    {"SIN(PI/2)", kReal, 1.0},
    {"COS(-PI)", kReal, -1.0},
    {"2*COS(0)", kReal, 2.0},
    {"2/SIN(0)", kReal, 0.0},
    {"-SIN(PI/2)*2", kReal, -2.0},
    {"SIN(-PI/2)", kReal, -1.0},
    {"sin(pi/2)", kReal, 1.0},
    // Digit runs beyond the 32-bit accumulator: exact reals, never wrapped integers.
    {"3000000000", kReal, 3.0e9},
    {"2147483648", kReal, 2147483648.0},
    {"-2147483648", kReal, -2147483648.0},
    {"12345678901.5", kReal, 12345678901.5},
    {"99999999999999999999", kReal, 1e20},
    {"3000000000E-3", kReal, 3.0e9 * (0.1 * (0.1 * 0.1))},
    {"4294967296+1", kReal, 4294967297.0},
    // Not numeric: RDWORD takes them as text.
    {"PI", kText, 0},
    {"E5", kText, 0},
    {"2*-3", kText, 0},
    {"(1+2)", kText, 0},
    {"SIN(SIN(1))", kText, 0},
    {"1E12345", kText, 0},
    {"1E00001", kText, 0},
    {"1D3", kText, 0},
    {".", kText, 0},
    {".E2", kText, 0},
    {"1E", kText, 0},
    {"1E+", kText, 0},
    {"2***3", kText, 0},
    {"2**-1", kText, 0},
    {"SIN(1", kText, 0},
    {"SIN()", kText, 0},
    {"SIN(1)COS(1)", kText, 0},
    {"SI(1)", kText, 0},
    {"P/2", kText, 0},
};

class NumericFieldTest : public ReaderTest, public ::testing::WithParamInterface<NumericCase> {};

TEST_P(NumericFieldTest, ClassifiesAndEvaluates) {
  const NumericCase& c = GetParam();
  use_text(c.field);
  const MixedLine line = read_mixed();
  ASSERT_GE(line.npar, 1) << c.field;
  EXPECT_EQ(line.fields[0].type, c.kind) << c.field;
  if (c.kind != kText) {
    EXPECT_EQ(bits(line.fields[0].value), bits(c.value))
        << c.field << " gave " << line.fields[0].value;
  }
}

INSTANTIATE_TEST_SUITE_P(Fields, NumericFieldTest, ::testing::ValuesIn(kNumericCases),
                         [](const auto& info) {
                           return testing_support::case_name(info.index, info.param.field);
                         });

TEST_F(ReaderTest, LongDigitRunBeyondDoubleRangeIsInfinity) {
  use_text("1" + std::string(400, '0'));
  kit::SETPAR(2048, 21);
  const MixedLine line = read_mixed();
  ASSERT_EQ(line.npar, 1);
  EXPECT_EQ(line.fields[0].type, kReal);
  EXPECT_EQ(line.fields[0].value, kInf);
}

// The scanners at work on a prepared line, cell by cell.
TEST_F(ReaderTest, FailedTestsLeaveCursorAndCellsAsFound) {
  use_text("  2*-3 4");
  kit::RDLINE();
  auto& s = kit::RDSTATE;
  s.ICUR = 1;
  s.RVALUE = 42.0;
  s.IACCUM = 17;
  EXPECT_FALSE(kit::RDINT());
  EXPECT_FALSE(kit::RDREAL());
  EXPECT_EQ(s.ICUR, 1);
  EXPECT_EQ(s.RVALUE, 42.0);
  EXPECT_EQ(s.IACCUM, 17);
  EXPECT_EQ(s.NCMTCH, 8);
}

TEST_F(ReaderTest, IntegerFieldConsumesOneCommaAndBlanks) {
  use_text("+7,  x");
  kit::RDLINE();
  ASSERT_TRUE(kit::RDINT());
  EXPECT_EQ(kit::RDSTATE.IVALUE, 7);
  EXPECT_EQ(kit::RDSTATE.ICUR, 6);
}

TEST_F(ReaderTest, EmptyRemainderFailsAtOnce) {
  use_text("1");
  kit::RDLINE();
  kit::RDSTATE.ICUR = 2;
  EXPECT_FALSE(kit::RDINT());
  EXPECT_FALSE(kit::RDREAL());
  EXPECT_FALSE(kit::FUNCAL());
  EXPECT_EQ(kit::RDSTATE.ICUR, 2);
}

// Abbreviations never apply inside numbers, whatever NCMTCH is set to.
TEST_F(ReaderTest, NoAbbreviationInsideNumbers) {
  use_text("+P COS(0) +SI(1)");
  kit::SETPAR(1, 22);
  kit::RDLINE();
  EXPECT_FALSE(kit::RDREAL());
  kit::MOVCUR(3);
  ASSERT_TRUE(kit::RDREAL());
  EXPECT_EQ(kit::RDSTATE.RVALUE, 1.0);
  EXPECT_FALSE(kit::RDREAL());
  EXPECT_EQ(kit::GETPAR(3), 1);
}

TEST_F(ReaderTest, MatchTakesAbbreviationsWithTheRestOfTheWord) {
  use_text("SEQ,X NEXT");
  kit::RDLINE();
  kit::SETPAR(3, 22);
  EXPECT_FALSE(kit::MATCH("SEPARATE"));
  EXPECT_TRUE(kit::MATCH("SEQUENTIAL"));
  EXPECT_EQ(kit::RDSTATE.ICUR, 6);
  EXPECT_TRUE(kit::MATCHB("NEXT"));
  EXPECT_EQ(kit::RDSTATE.ICUR, 11);
}

TEST_F(ReaderTest, MovcurClampsToTheLine) {
  use_text("AB CD");
  kit::RDLINE();
  const struct {
    std::int32_t from, count, to;
  } cases[] = {{3, -10, 1},         {1, 100, 6}, {1, 0, 3},
               {4, 0, 6},           {6, 0, 6},   {2147483000, 2147483000, 6},
               {-5, -2147483647, 1}};
  for (const auto& c : cases) {
    kit::RDSTATE.ICUR = c.from;
    kit::MOVCUR(c.count);
    EXPECT_EQ(kit::RDSTATE.ICUR, c.to) << c.from << " " << c.count;
  }
}

}  // namespace
}  // namespace kit_test
