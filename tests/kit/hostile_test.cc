// Hostile records through RDMIX in-process: values that overflow or are not numbers, bytes a
// text file should not hold, and lines with more fields than the caller's arrays.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "reader_fixture.h"
#include "support/subprocess.h"

namespace kit_test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string expression_of_130() {
  std::string e = "10";
  for (int k = 0; k < 64; ++k) e += "+1";
  return e;  // 74
}

TEST_F(ReaderTest, ValuesBeyondTheDoubleRange) {
  struct Case {
    std::string record;
    std::int32_t type;
    std::uint64_t value_bits;  // unused for NaN
    bool nan = false;
  };
  const Case cases[] = {
      {"1E9999", 2, bits(kInf)},     {"-1E9999", 2, bits(-kInf)},
      {"1E-9999", 2, bits(0.0)},     {"0*1E9999", 2, 0, true},
      {"SIN(1E9999)", 2, 0, true},   {"1E9999-1E9999", 2, 0, true},
      {"PI**1E9999", 2, bits(kInf)}, {"-0", 1, bits(0.0)},
      {"-1/0", 2, bits(-0.0)},  // the sign goes on the value of the whole expression
      {"1E99999", 3, bits(0.0)},     {expression_of_130(), 2, bits(74.0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    use_text(c.record + " 1");
    const MixedLine line = read_mixed();
    ASSERT_EQ(line.npar, 2);
    EXPECT_EQ(line.fields[0].type, c.type);
    if (c.nan) {
      EXPECT_TRUE(std::isnan(line.fields[0].value));
    } else {
      EXPECT_EQ(bits(line.fields[0].value), c.value_bits);
    }
  }
}

TEST_F(ReaderTest, NulAndHighBytesAreOrdinaryCharacters) {
  struct Case {
    std::string record;
    std::int32_t npar;
    std::string last_text;  // text of the last field
  };
  const Case cases[] = {
      {bytes("1\0 2"), 2, ""},             // "1\0" is a word, then the integer 2
      {bytes("\xfe\xfd 1"), 2, ""},        // a word of high bytes, then 1
      {bytes("1 M\xe4ss"), 2, "M\xe4SS"},  // letters a..z only become capitals
      {bytes("1 \0abc"), 2, bytes("\0ABC")},
      {bytes("7 ! \xff\0"), 1, ""},  // a remark may hold anything
  };
  // Records of a file are bytes; the in-memory text alone ends a line at a NUL.
  testing_support::ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    dir.write("w.txt", c.record + "\n");
    open_file(dir.file("w.txt"));
    std::int32_t ierr = 0;
    kit::INIFII(kFileUnit, -kConsole, ierr);
    ASSERT_EQ(ierr, 0);
    const MixedLine line = read_mixed();
    ASSERT_EQ(line.npar, c.npar);
    EXPECT_EQ(line.fields.back().text, c.last_text);
    lineio::close_unit(kFileUnit);
  }
  use_text(bytes("1 2\0 3 4\n5"));
  EXPECT_EQ(read_mixed().npar, 2);
  EXPECT_EQ(read_mixed().npar, 1);
}

TEST_F(ReaderTest, LineOfMoreFieldsThanTheArraysHoldFillsThemOnly) {
  std::string record;
  for (int k = 0; k < 1024; ++k) record += "1,";
  use_text(record + "\n7 8\n");
  kit::SETPAR(2048, 21);
  std::int32_t ierr = 0;
  MixedLine line = read_mixed(ierr, 100);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(line.npar, 100);
  // The rest of the long line is dropped; the next call reads the next record.
  line = read_mixed(ierr, 100);
  ASSERT_EQ(line.npar, 2);
  EXPECT_EQ(line.fields[0].value, 7.0);
  EXPECT_EQ(read_mixed(ierr, 3).npar, -1);
}

}  // namespace
}  // namespace kit_test
