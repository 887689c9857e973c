// RDMIX: fields of a line with their type codes, values and texts; the caller's capacity.

#include <filesystem>
#include <string>
#include <vector>

#include "reader_fixture.h"
#include "support/case_name.h"
#include "support/subprocess.h"

namespace kit_test {
namespace {

struct MixedCase {
  const char* line;
  std::int32_t npar;
  std::vector<Field> fields;
};

const MixedCase kMixedCases[] = {
    {"  12.5  3  abc", 3, {{2, 12.5, ""}, {1, 3, ""}, {3, 0, "ABC"}}},
    {"1.5 10 20 30", 4, {{2, 1.5, ""}, {1, 10, ""}, {1, 20, ""}, {1, 30, ""}}},
    {"1,2,3", 3, {{1, 1, ""}, {1, 2, ""}, {1, 3, ""}}},
    {"1 , 2", 2, {{1, 1, ""}, {1, 2, ""}}},
    {"3,,4", 2, {{1, 3, ""}, {3, 0, ",4"}}},
    {"2*3", 1, {{2, 6, ""}}},
    {"2 * 3", 1, {{1, 2, ""}}},
    {"2 +3", 2, {{1, 2, ""}, {1, 3, ""}}},
    {"- 5", 2, {{3, 0, "-"}, {1, 5, ""}}},
    {"PI", 1, {{3, 0, "PI"}}},
    {"+PI", 1, {{2, 3.141592653589793, ""}}},
    {"Mass12", 1, {{3, 0, "MASS12"}}},
    {"VERYLONGNAME", 1, {{3, 0, "VERYLONG"}}},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456 7", 2, {{3, 0, "ABCDEFGH"}, {1, 7, ""}}},
    {"1A", 1, {{3, 0, "1A"}}},
    {"A_B", 1, {{3, 0, "A_B"}}},
    {",5", 1, {{3, 0, ",5"}}},
    {"x=1,y 2", 2, {{3, 0, "X=1,Y"}, {1, 2, ""}}},
    {"5.0 # note", 1, {{2, 5, ""}}},
    {"% note", 0, {}},
    {" 'note", 0, {}},
    {"7 ! note", 1, {{1, 7, ""}}},
    {"1 *x", 1, {{1, 1, ""}}},
};

class MixedTest : public ReaderTest, public ::testing::WithParamInterface<MixedCase> {};

TEST_P(MixedTest, CutsTheLineIntoFields) {
  const MixedCase& c = GetParam();
  use_text(c.line);
  const MixedLine got = read_mixed();
  ASSERT_EQ(got.npar, c.npar) << c.line;
  for (std::size_t k = 0; k < c.fields.size(); ++k) {
    EXPECT_EQ(got.fields[k].type, c.fields[k].type) << c.line << " field " << k + 1;
    EXPECT_EQ(bits(got.fields[k].value), bits(c.fields[k].value)) << c.line << " field " << k + 1;
    EXPECT_EQ(got.fields[k].text, c.fields[k].text) << c.line << " field " << k + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, MixedTest, ::testing::ValuesIn(kMixedCases), [](const auto& info) {
  return testing_support::case_name(info.index, info.param.line);
});

TEST_F(ReaderTest, WordsKeepTheirCaseWhenUpcasingIsOff) {
  use_text("abc 1a");
  kit::SETPAR(0, 11);
  const MixedLine line = read_mixed();
  ASSERT_EQ(line.npar, 2);
  EXPECT_EQ(line.fields[0].text, "abc");
  EXPECT_EQ(line.fields[1].text, "1a");
}

TEST_F(ReaderTest, FillsNoMoreFieldsThanTheArraysHold) {
  use_text("1 2 3 4\nVERYLONGNAME\n");
  std::int32_t ierr = 0;
  MixedLine line = read_mixed(ierr, 2);
  EXPECT_EQ(line.npar, 2);
  line = read_mixed(ierr, 1, 4);
  ASSERT_EQ(line.npar, 1);
  EXPECT_EQ(line.fields[0].text, "VERY");
  use_text("1 2");
  EXPECT_EQ(read_mixed(ierr, 0).npar, 0);
}

TEST_F(ReaderTest, EntriesAfterTheCountAreLeftAlone) {
  use_text("1 x");
  std::int32_t npar = 0, ierr = 0;
  std::int32_t itype[3] = {9, 9, 9};
  double value[3] = {9, 9, 9};
  char text[3 * 4];
  std::fill(std::begin(text), std::end(text), '?');
  kit::RDMIX(npar, itype, value, kit::TextArray(text, 4), kFileUnit, kConsole, ierr);
  ASSERT_EQ(npar, 2);
  EXPECT_EQ(itype[2], 9);
  EXPECT_EQ(value[2], 9.0);
  EXPECT_EQ(std::string(text, 12), std::string("    X   ????"));
}

TEST_F(ReaderTest, NonPositiveReadUnitDoesNothing) {
  use_text("1\n");
  std::int32_t npar = 5, ierr = 3;
  std::int32_t itype[2];
  double value[2];
  char text[16];
  kit::RDMIX(npar, itype, value, kit::TextArray(text, 8), 0, kConsole, ierr);
  EXPECT_EQ(npar, 5);
  EXPECT_EQ(ierr, 3);
  EXPECT_EQ(kit::RDSTATE.NLINE, 0);
}

TEST_F(ReaderTest, EndOfDataIsMinusOneWithoutReport) {
  use_text("1\n", kConsole);
  EXPECT_EQ(read_mixed().npar, 1);
  EXPECT_EQ(read_mixed().npar, -1);
  EXPECT_EQ(console(), "");
}

TEST_F(ReaderTest, FailedRdmixReportsOnTheErrorUnit) {
  kit::load_memory_text("");
  std::int32_t ierr = 0;
  kit::FIIOPN(132, 8, kit::kMemoryUnit, -1, -1, ierr);
  std::int32_t npar = 4;
  std::int32_t itype[2];
  double value[2];
  char text[16];
  ierr = 10;
  kit::RDMIX(npar, itype, value, kit::TextArray(text, 8), kFileUnit, kConsole, ierr);
  EXPECT_EQ(npar, 4);
  EXPECT_EQ(ierr, 9);
  EXPECT_EQ(console(), "\r\n  *** ERROR IN RDMIX\r\n\r\n");
}

}  // namespace
}  // namespace kit_test
