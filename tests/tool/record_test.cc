// The record's columns: the last non-blank position of a text and a record composed in place.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "tool/report.h"

namespace {

TEST(Lentrm, IsTheLastNonBlankPosition) {
  struct Case {
    std::string text;
    std::int32_t expected;
  };
  std::string long_text(256, ' ');
  long_text[25] = 'a';  // position 26: the first candidate range end
  std::string inner(256, ' ');
  inner[100] = 'b';  // position 101, with blanks at 102 and beyond
  std::string blanks_then(256, ' ');
  blanks_then[26] = 'c';  // position 27, just past the first candidate
  std::string full(256, 'x');
  const Case cases[] = {
      {"", 0},         {"   ", 0},   {"a", 1},          {"a  ", 1},  {"  a b  ", 5},
      {long_text, 26}, {inner, 101}, {blanks_then, 27}, {full, 256}, {std::string(256, ' '), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(tool::LENTRM(c.text), c.expected);
  }
}

// A record composed in place: its 64 columns and line end, and whether every field shows the
// value's digits (asterisks, Infinity and NaN do not).
TEST(RecordComposer, ComposesTheColumnsAndTellsWhetherEveryFieldFits) {
  struct Case {
    std::int32_t spread;
    tool::MassEntry mass;  // mass, x, y, z
    std::string record;
    bool fits;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {1,
       {1500.0, 10.0, 20.0, 30.0},
       " Map_Mass     1      10.000      20.000      30.000   1.5000E+03",
       true},
      {3,
       {2000.0, -5.0, 0.0, 4.5},
       " Map_Mass     3      -5.000       0.000       4.500   2.0000E+03",
       true},
      {-7,
       {1e100, -1234567.25, 2.5, -0.0},
       " Map_Mass    -7-1234567.250       2.500      -0.000   1.0000+100",
       true},
      {1,
       {0.0009765625, -0.0004, 1e-300, 12345678.5},
       " Map_Mass     1      -0.000       0.00012345678.500   9.7656E-04",
       true},
      {1,
       {1.0, 1e9, 0.0625, -0.0625},
       " Map_Mass     1************       0.062      -0.062   1.0000E+00",
       false},
      {1,
       {inf, 1.0, 2.0, 3.0},
       " Map_Mass     1       1.000       2.000       3.000     Infinity",
       false},
      {12345,
       {nan, 0.0, 0.0, 0.0},
       " Map_Mass  ****       0.000       0.000       0.000          NaN",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.record);
    std::string record(tool::kRecordSize, '?');
    const tool::RecordComposer composer(c.spread);
    EXPECT_EQ(composer.compose(record, c.mass), c.fits);
    EXPECT_EQ(record, c.record + "\r\n");
  }
}

}  // namespace
