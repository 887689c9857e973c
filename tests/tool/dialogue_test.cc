// The settings that the dialogue's answers give: mass unit, spread and ranges, and slips
// typed at a terminal asked again.
#include "tool/dialogue.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <utility>

#include "lineio/lineio.h"
#include "support/console_text.h"
#include "support/subprocess.h"

namespace {

using namespace console_text;  // NOLINT(google-build-using-namespace)

using testing_support::ScratchDir;

// The settings that answers produce, from the dialogue run in-process.
class DialogueSettings : public ::testing::Test {
 protected:
  DialogueSettings() { dir.write("w.txt", "1 1 1 1\n"); }
  ~DialogueSettings() override { lineio::abandon_all(); }
  // typed: as at a terminal, where a slip is asked again.
  tool::RunSettings ask(const std::string& answers_after_files, bool typed = false) {
    input = "" + dir.file("w.txt") + "\n" + dir.file("out.txt") + "\n" + answers_after_files;
    lineio::MemorySource in(input);
    out = lineio::MemorySink{};
    lineio::bind_console(in, out, false, typed);
    tool::RunSettings s;
    tool::run_dialogue(s);
    return s;
  }
  ScratchDir dir;
  std::string input;
  lineio::MemorySink out;
};

TEST_F(DialogueSettings, MassUnitAnswers) {
  struct Case {
    std::string answer;
    tool::MassUnit unit;
  };
  const Case cases[] = {{"kg", tool::MassUnit::kg},         {"Kg", tool::MassUnit::kg},
                        {"k", tool::MassUnit::kg},          {"kilo", tool::MassUnit::kg},
                        {"tonnes", tool::MassUnit::tonnes}, {"t", tool::MassUnit::tonnes},
                        {"x", tool::MassUnit::tonnes},      {"", tool::MassUnit::tonnes},
                        {" kg", tool::MassUnit::tonnes}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    const auto s = ask(c.answer + "\n\n\n\n\n");
    EXPECT_EQ(s.unit, c.unit);
    EXPECT_EQ(s.unit_factor, c.unit == tool::MassUnit::kg ? 1.0 : 1000.0);
  }
}

TEST_F(DialogueSettings, SpreadAnswers) {
  const std::pair<std::string, std::int32_t> cases[] = {{"", 1},    {"3 nodes", 3}, {"3,4", 3},
                                                        {"-2", -2}, {"0", 0},       {"  12", 12}};
  for (const auto& [answer, spread] : cases) {
    SCOPED_TRACE(answer);
    EXPECT_EQ(ask("\n" + answer + "\n\n\n\n").spread, spread);
  }
}

TEST_F(DialogueSettings, RangeAnswers) {
  const double lo = tool::kDefaultMin;
  const double hi = tool::kDefaultMax;
  EXPECT_EQ(std::bit_cast<std::uint64_t>(hi), 0x4733426180000000u);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(lo), 0xC733426180000000u);
  struct Case {
    std::string answers;  // for the three axes
    std::array<double, 3> min, max;
  };
  const Case cases[] = {
      {"\n\n\n", {lo, lo, lo}, {hi, hi, hi}},
      {"y\n-100 100\n\n\n", {-100, lo, lo}, {100, hi, hi}},
      {"Y\n1,2\nyes\n3\n4\nn\n", {1, 3, lo}, {2, 4, hi}},
      {" y\nno\nY\n5 -5\n", {lo, lo, 5}, {hi, hi, -5}},
      {"yes\n,7\n\n\n", {lo, lo, lo}, {7, hi, hi}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers);
    const auto s = ask("\n\n" + c.answers);
    EXPECT_EQ(s.min, c.min);
    EXPECT_EQ(s.max, c.max);
  }
}

TEST_F(DialogueSettings, SlipsTypedAtATerminalAreAskedAgain) {
  const std::string bad_integer = " *** ERROR: BAD INTEGER \"2.5\" ON UNIT 5 (standard input)\r\n";
  const std::string bad_real = " *** ERROR: BAD REAL NUMBER \"to\" ON UNIT 5 (standard input)\r\n";
  const auto s = ask("\n2.5\n7\ny\n0 to 100\n0\n\n0,100\ny\n,-1 more\n\n", true);
  EXPECT_EQ(s.spread, 7);
  EXPECT_EQ(s.min[0], 0.0);
  EXPECT_EQ(s.max[0], 100.0);
  EXPECT_EQ(s.min[1], tool::kDefaultMin);  // an empty item keeps its bound
  EXPECT_EQ(s.max[1], -1.0);
  const std::string shown = kAskSpread + bad_integer + kAskSpread + kAskX + kRangeX + bad_real +
                            kRangeX + kRangeX + kRangeX + kAskY + kRangeY + kAskZ;
  EXPECT_NE(out.bytes().find(shown), std::string::npos) << out.bytes();
}

}  // namespace
