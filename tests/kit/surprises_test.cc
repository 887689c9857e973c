// The reader's checks of surprising readings: expressions read both ways, the decimal-comma
// rule, and what a record holds beyond the line length (from the in-memory text and from a
// file alike).
#include "kit/surprises.h"

#include <cmath>
#include <numbers>
#include <string>

#include "reader_fixture.h"
#include "support/subprocess.h"

namespace kit_test {
namespace {

struct BothWaysCase {
  const char* field;
  double usual;
  bool zero_division, sign_applies_last, order_matters;
};

TEST_F(ReaderTest, ExpressionsAreReadBothWaysAndTheLineIsLeftAsItWas) {
  const double pi = std::numbers::pi;
  const BothWaysCase cases[] = {
      {"-2+3", 1, false, true, false},
      {"-1-2", -3, false, true, false},
      {"1+2*3", 7, false, false, true},
      {"10-2*3", 4, false, false, true},
      {"2*3**2", 18, false, false, true},
      {"2**3**2", 512, false, false, true},
      {"2-3-4", -5, false, false, false},
      {"8/2/2", 2, false, false, false},
      {"2*1.5", 3, false, false, false},
      {"3*2.5+1", 8.5, false, false, false},
      {"-2*3", -6, false, false, false},
      {"1/2*3", 1.5, false, false, false},
      {"PI/2*3", pi / 2 * 3, false, false, false},
      {"-SIN(PI/2)", -1, false, false, false},
      {"SIN(1+2*3)", std::sin(7.0), false, false, true},
      {"2*COS(-PI+PI)", 2 * std::cos(0.0), false, true, false},
      {"1/0+2", 2, true, false, false},
      {"2/SIN(0)", 0, true, false, false},
      {"1+2/0", 1, true, false, true},
  };
  // SIN or COS of an argument that looks like degrees: the first such function's position.
  const std::pair<const char*, std::int32_t> degrees[] = {{"10*COS(30)", 4},
                                                          {"SIN(-7)", 1},
                                                          {"SIN(6)", 0},
                                                          {"COS(30*PI/180)", 0},
                                                          {"SIN(1)*COS(90)", 8}};
  for (const auto& [field, at] : degrees) {
    use_text(std::string(field) + " 9");
    ASSERT_EQ(read_mixed().fields[0].type, 2) << field;
    const kit::TwoReadings two =
        kit::read_both_ways(1, static_cast<std::int32_t>(std::string_view(field).size()));
    EXPECT_EQ(two.degrees_at, at) << field;
  }
  for (const BothWaysCase& c : cases) {
    SCOPED_TRACE(c.field);
    use_text(std::string(c.field) + " 9");
    const MixedLine line = read_mixed();
    ASSERT_EQ(line.npar, 2);
    ASSERT_EQ(line.fields[0].type, 2);
    const auto& s = kit::RDSTATE;
    const std::int32_t cursor = s.ICUR;
    const double value = s.RVALUE;
    const kit::TwoReadings two =
        kit::read_both_ways(1, static_cast<std::int32_t>(std::string_view(c.field).size()));
    ASSERT_TRUE(two.ok);
    EXPECT_EQ(bits(two.read), bits(line.fields[0].value));
    EXPECT_EQ(two.usual, c.usual);
    EXPECT_EQ(two.zero_division, c.zero_division);
    EXPECT_EQ(two.sign_applies_last, c.sign_applies_last);
    EXPECT_EQ(two.order_matters, c.order_matters);
    EXPECT_EQ(s.ICUR, cursor);
    EXPECT_EQ(bits(s.RVALUE), bits(value));
  }
  EXPECT_FALSE(kit::readings_differ(0.0, -0.0));
  EXPECT_FALSE(kit::readings_differ(std::nan(""), -std::nan("")));
  EXPECT_TRUE(kit::readings_differ(1.0, std::nan("")));
}

TEST(SurpriseRules, ACommaBetweenTwoDigitsOnABlankSeparatedLine) {
  const std::pair<const char*, bool> cases[] = {
      {"2,5 10 0 30", true}, {"12,5\t45,0", true}, {"0,5 100", true},  {"1.5,10,20,30", false},
      {"-100,100", false},   {"1, 2, 3 4", false}, {"1 , 2 3", false}, {"1,-3 4", false},
      {"1,,2 3", false},     {"a,5 6", false},     {"", false},        {"2,5", false},
  };
  for (const auto& [line, told] : cases) {
    EXPECT_EQ(kit::has_decimal_comma(line), told) << line;
  }
}

TEST_F(ReaderTest, WhatARecordHoldsBeyondTheLineLengthIsKept) {
  const std::string full(132, '1');
  const struct {
    std::string record;
    std::int64_t column;  // ITAIL
    std::string tail;
  } cases[] = {
      {"1 2 3 4", 0, ""},
      {full, 0, ""},
      {full + "5", 133, "5"},
      {full + " \t 77 8", 136, "77 8"},
      {full + "   \t ", 0, ""},
      {full + std::string(100, '9'), 133, std::string(kit::kTailLength, '9')},
  };
  testing_support::ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.record.substr(std::min<std::size_t>(c.record.size(), 130)));
    // From the in-memory text and from a file, both with CR LF line ends.
    for (const bool from_file : {false, true}) {
      const std::string text = c.record + "\r\n2 2 2 2\r\n";
      if (from_file) {
        dir.write("w.txt", text);
        open_file(dir.file("w.txt"));
        std::int32_t ierr = 0;
        kit::INIFII(kFileUnit, -kConsole, ierr);
      } else {
        use_text(text);
      }
      kit::RDLINE();
      const auto& s = kit::RDSTATE;
      EXPECT_EQ(s.ITAIL, c.column) << from_file;
      if (c.column != 0) {
        EXPECT_EQ(std::string(s.RAWTAIL.data(), static_cast<std::size_t>(s.NTAIL)), c.tail);
      }
      kit::RDLINE();
      EXPECT_EQ(s.ITAIL, 0);
    }
  }
}

}  // namespace
}  // namespace kit_test
