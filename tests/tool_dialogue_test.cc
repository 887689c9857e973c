// The console dialogue: banner, questions, answers and their defaults, file retries.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <string>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "support/console_text.h"
#include "support/subprocess.h"
#include "tool/dialogue.h"
#include "tool/run.h"

namespace {

using namespace console_text;  // NOLINT(google-build-using-namespace)

using testing_support::crlf;
using testing_support::run_program;
using testing_support::ScratchDir;

const std::string kBannerHead = crlf({"", "", "------------------------------------------------",
                                      "------------------------------------------------",
                                      "------------------------------------------------",
                                      "-----         K E L  2  F R A M           ------",
                                      "-----   Kelda Weight Data to Framix       ------",
                                      "-----   Version 1.0 / Jan  2004           ------"});
const std::string kBannerTail = crlf({"-----                                     ------",
                                      "------------------------------------------------",
                                      "------------------------------------------------"});

std::string padded(const std::string& name) {
  return name + std::string(256 - name.size(), ' ');
}

// Checks the banner, contact line aside, and answers what follows it.
std::string after_banner(const std::string& out) {
  EXPECT_EQ(out.substr(0, kBannerHead.size()), kBannerHead);
  const std::size_t contact_end = out.find("\r\n", kBannerHead.size());
  EXPECT_NE(contact_end, std::string::npos);
  const std::string contact = out.substr(kBannerHead.size(), contact_end - kBannerHead.size());
  EXPECT_EQ(contact.size(), 48u);
  EXPECT_EQ(contact.substr(0, 5), "-----");
  EXPECT_EQ(contact.substr(42), "------");
  const std::string rest = out.substr(contact_end + 2);
  EXPECT_EQ(rest.substr(0, kBannerTail.size()), kBannerTail);
  return rest.substr(kBannerTail.size());
}

class DialogueRun : public ::testing::Test {
 protected:
  DialogueRun() { dir.write("w.txt", "1.5 10 20 30\n"); }
  testing_support::RunResult run(const std::string& answers) {
    return run_program(KEL2FRAM_EXE, {}, answers, dir.path());
  }
  ScratchDir dir;
};

TEST_F(DialogueRun, CompleteDialogueIsByteExact) {
  const auto r = run("w.txt\nout.txt\n\n\ny\n-100 100\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string expected =
      kAskInput + kAskOutput + kAskUnit + kAskSpread + kAskX + kRangeX + kAskY + kAskZ + kNotice;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
  EXPECT_EQ(r.err,
            testing_support::err_text("kel2fram: 1 record written to out.txt; 0 warnings\r\n"));
}

TEST_F(DialogueRun, MissingInputFileIsAskedForAgain) {
  const auto r = run("nope.txt\n  w.txt\nw.txt\nout.txt\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string expected = kAskInput + " Nonexisting file :" + padded("nope.txt") + "\r\n" +
                               kAskInput + " Nonexisting file :" + padded("  w.txt") + "\r\n" +
                               kAskInput + kAskOutput;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
}

TEST_F(DialogueRun, UnwritableOutputFileIsAskedForAgain) {
  const auto r = run("w.txt\nno/such/folder/out.txt\nout.txt\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string expected = kAskInput + kAskOutput +
                               " Cannot write file :" + padded("no/such/folder/out.txt") + "\r\n" +
                               kAskOutput + kAskUnit;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
  EXPECT_EQ(r.err,
            testing_support::err_text(
                "kel2fram: no/such/folder/out.txt: No such file or directory\r\n"
                "kel2fram: output file \"no/such/folder/out.txt\" (answer line 2) could not be "
                "opened, so answer line 3, \"out.txt\", was taken as the output file: each later "
                "answer moves up one question\r\n"
                "kel2fram: 1 record written to out.txt; 1 warning\r\n"));
  EXPECT_TRUE(dir.exists("out.txt"));
}

TEST_F(DialogueRun, FileNamesLongerThanAnAnswerAreRefused) {
  // Opened under its first 256 characters, such a name would be another file.
  const std::string folder(150, 'f');
  std::filesystem::create_directory(dir.file(folder));
  const std::string name = folder + "/" + std::string(149, 'n');
  const std::string shown = name.substr(0, 256) + "\r\n";
  const std::string why =
      "kel2fram: a file name of 300 characters is longer than the 256 an answer holds\r\n";
  const auto r = run(name + "\nw.txt\n" + name + "\nout.txt\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string expected = kAskInput + " Nonexisting file :" + shown + kAskInput + kAskOutput +
                               " Cannot write file :" + shown + kAskOutput + kAskUnit;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
  EXPECT_EQ(r.err, testing_support::err_text(
                       why + why + "kel2fram: 1 record written to out.txt; 0 warnings\r\n"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.file(folder)));
}

TEST_F(DialogueRun, FileNamesAreCountedInCharacters) {
  // 256 characters holding three of two bytes each are a name an answer holds; 257 are not.
  const std::string folder(150, 'f');
  std::filesystem::create_directory(dir.file(folder));
  const std::string fits = folder + "/" + std::string(102, 'n') + "\xc3\xa6\xc3\xa6\xc3\xa6";
  const std::string longer = fits + "\xc3\xa6";
  const auto r = run(longer + "\nw.txt\n" + fits + "\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string expected =
      kAskInput + " Nonexisting file :" + fits + "\r\n" + kAskInput + kAskOutput + kAskUnit;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
  EXPECT_EQ(r.err,
            testing_support::err_text(
                "kel2fram: a file name of 257 characters is longer than the 256 an answer holds\r\n"
                "kel2fram: 1 record written to " +
                fits + "; 0 warnings\r\n"));
  EXPECT_NE(dir.read(fits).find(" Map_Mass     1      10.000"), std::string::npos);
}

TEST_F(DialogueRun, NonIntegerSpreadEndsTheRunWithStatusTwo) {
  dir.write("out.txt", "former\n");
  const auto r = run("w.txt\nout.txt\n\ntwo\n\n\n\n");
  EXPECT_EQ(r.status, 2);
  const std::string expected = kAskInput + kAskOutput + kAskUnit + kAskSpread +
                               " *** ERROR: BAD INTEGER \"two\" ON UNIT 5 (standard input)\r\n";
  EXPECT_EQ(after_banner(r.out), expected);
  EXPECT_EQ(dir.read("out.txt"), "former\n");
}

TEST_F(DialogueRun, QuotedNamesAreTriedWithoutTheirQuotes) {
  dir.write("'q.txt'", "2 1 1 1\n");  // a name that really holds the quotes
  dir.write("'old.txt'", "former\n");
  struct Case {
    std::string input, output;
    std::string opened;   // the input file named in the report; empty: refused
    std::string written;  // the output file made
  };
  const Case cases[] = {
      {"\"w.txt\"", "\"o.txt\"", "w.txt", "o.txt"},
      {"'w.txt'", "'o.txt'", "w.txt", "o.txt"},
      {"'q.txt'", "'old.txt'", "'q.txt'", "'old.txt'"},
      {"\"w.txt'", "o.txt", "", ""},
      {"\"\"", "o.txt", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input + " " + c.output);
    const auto r = run(c.input + "\n" + c.output + "\n\n\n\n\n\n");
    if (c.opened.empty()) {
      EXPECT_NE(r.out.find(" Nonexisting file :" + padded(c.input)), std::string::npos);
      continue;
    }
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("#  Input File: " + c.opened + ", with"), std::string::npos) << r.out;
    EXPECT_NE(dir.read(c.written).find("#  Input File: " + c.opened), std::string::npos);
    std::filesystem::remove(dir.file(c.written));
  }
}

TEST_F(DialogueRun, EndOfInputAtEveryQuestionEndsTheRunWithStatusTwo) {
  const std::string answers[] = {"",
                                 "w.txt\n",
                                 "w.txt\nout.txt\n",
                                 "w.txt\nout.txt\n\n",
                                 "w.txt\nout.txt\n\n\n",
                                 "w.txt\nout.txt\n\n\ny\n",
                                 "w.txt\nout.txt\n\n\ny\n1\n",
                                 "w.txt\nout.txt\n\n\n\n",
                                 "w.txt\nout.txt\n\n\n\n\n"};
  for (const auto& a : answers) {
    SCOPED_TRACE(a);
    const auto r = run(a);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find(" *** ERROR: END OF INPUT ON UNIT 5 (standard input)\r\n"),
              std::string::npos);
  }
}

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
