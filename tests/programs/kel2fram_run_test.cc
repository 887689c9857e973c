// Complete runs of the built tool: piped dialogue, console and output file compared byte for
// byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "support/console_text.h"
#include "support/subprocess.h"
#include "support/utf16.h"
#include "tool/report.h"
#include "tool/run.h"

namespace {

using namespace console_text;  // NOLINT(google-build-using-namespace)

using testing_support::crlf;
using testing_support::run_program;
using testing_support::RunResult;
using testing_support::ScratchDir;

const std::string kDialogue = kAskInput + kAskOutput + kAskUnit + kAskSpread + kAskX;
const std::string kHeader = "'          nSpread     X           Y           Z       Mass [kg]";
const std::string kEnd = "'  --------------- E O F ----------------";

// What the console shows after the banner (the banner is checked by the dialogue tests).
std::string after_banner(const std::string& out) {
  const std::string banner_end =
      "------------------------------------------------\r\n"
      "------------------------------------------------\r\n";
  const std::size_t at = out.rfind(banner_end);
  return at == std::string::npos ? out : out.substr(at + banner_end.size());
}

class FullRun : public ::testing::Test {
 protected:
  RunResult run(const std::string& weights, const std::string& answers) {
    dir.write("w.txt", weights);
    return run_program(KEL2FRAM_EXE, {}, answers, dir.path());
  }
  std::string output() { return dir.read("out.txt"); }
  ScratchDir dir;
};

// A report block as both the console and the file hold it.
std::vector<std::string> report_block(const std::string& count, const std::string& input_line,
                                      const std::vector<std::string>& bounds,
                                      const std::string& total, const std::string& centre,
                                      const std::string& spread, const std::string& skipped) {
  std::vector<std::string> lines = {"", "# =======================================================",
                                    "#" + count + " lines with mass data found.", input_line};
  lines.insert(lines.end(), bounds.begin(), bounds.end());
  lines.push_back("#  Total Mass (kept):" + total + " [kg]");
  lines.push_back("#  Center of Gravity:" + centre);
  lines.push_back("#  Masses are spread to" + spread + " nearest node(s).");
  lines.push_back(skipped);
  for (const char* l : {"# -------------------------------------------------------", "#",
                        "#   Input To Framix:", "#"}) {
    lines.push_back(l);
  }
  lines.push_back(kHeader);
  return lines;
}

const std::vector<std::string> kNoBounds = {"#  X_min and X_max boundary:  -1.000E+35   1.000E+35",
                                            "#  Y_min and Y_max boundary:  -1.000E+35   1.000E+35",
                                            "#  Z_min and Z_max boundary:  -1.000E+35   1.000E+35"};

TEST_F(FullRun, WorkedExampleIsByteExact) {
  const auto r = run("1.5 10 20 30\n2.0 -5 0 4.5\n3 1 1\n0.25 1000 2 3\n",
                     "w.txt\nout.txt\n\n\ny\n-100 100\n\n\n");
  ASSERT_EQ(r.status, 0);
  const auto block = report_block("     2", "#  Input File: w.txt, with input mass unit [tonnes].",
                                  {"#  X_min and X_max boundary:  -1.000E+02   1.000E+02",
                                   "#  Y_min and Y_max boundary:  -1.000E+35   1.000E+35",
                                   "#  Z_min and Z_max boundary:  -1.000E+35   1.000E+35"},
                                  "    3.500E+03", "       1.429       8.571      15.429", " 1",
                                  "#      1 masses skipped. Weight=    2.500E+02");
  const std::string console = kDialogue + kRangeX + kAskY + kAskZ + kNotice +
                              crlf({" Too few parameters, ( 3 ), on line      3"}) + crlf(block);
  EXPECT_EQ(after_banner(r.out), console);
  std::vector<std::string> file = block;
  file.push_back(" Map_Mass     1      10.000      20.000      30.000   1.5000E+03");
  file.push_back(" Map_Mass     1      -5.000       0.000       4.500   2.0000E+03");
  file.push_back("#");
  file.push_back(kEnd);
  EXPECT_EQ(output(), crlf(file));
  EXPECT_EQ(
      r.err,
      testing_support::err_text(
          "kel2fram: 2 records written to out.txt; 1 line rejected (line 3); 3 usable lines: 2 "
          "kept, 1 skipped outside the ranges (250 kg); 0 warnings\r\n"));
}

TEST_F(FullRun, KilogramsAreTakenAsGiven) {
  const auto r = run("1.5 10 20 30\n", "w.txt\nout.txt\nkg\n4\n\n\n\n");
  ASSERT_EQ(r.status, 0);
  const auto block = report_block(
      "     1", "#  Input File: w.txt, with input mass unit [kg].", kNoBounds, "    1.500E+00",
      "      10.000      20.000      30.000", " 4", "#  No masses outside boundary.");
  std::vector<std::string> file = block;
  file.push_back(" Map_Mass     4      10.000      20.000      30.000   1.5000E+00");
  file.push_back("#");
  file.push_back(kEnd);
  EXPECT_EQ(output(), crlf(file));
  EXPECT_NE(r.out.find(crlf(block)), std::string::npos);
}

struct RecordCase {
  std::string name;
  std::string weights;
  std::string answers;                // after the file names
  std::vector<std::string> messages;  // console lines between the notice and the report
  std::vector<std::string> records;
  std::string kept_line;
  std::string skipped_line;
};

TEST_F(FullRun, LinesAreCheckedConvertedAndFiltered) {
  const RecordCase cases[] = {
      {"bounds are inclusive, one beyond is skipped",
       "1 10 0 0\n1 10.000001 0 0\n1 0 -10 0\n1 0 0 -10.5\n",
       "kg\n\ny\n0 10\ny\n-10,10\ny\n-10\n10\n",
       {},
       {" Map_Mass     1      10.000       0.000       0.000   1.0000E+00",
        " Map_Mass     1       0.000     -10.000       0.000   1.0000E+00"},
       "#     2 lines with mass data found.",
       "#      2 masses skipped. Weight=    2.000E+00"},
      {"text fields and short lines are rejected; lines without fields do not count",
       "\n% note\n2 1 1\n2 1 1 abc\n2 1 1 1 abc\n' comment\n2 1 1 1 7 8\nabc 1\n",
       "\n\n\n\n\n",
       {" Too few parameters, ( 3 ), on line      1", " Illegal character in line      2",
        " Illegal character in line      3", " Illegal character in line      5"},
       {" Map_Mass     1       1.000       1.000       1.000   2.0000E+03"},
       "#     1 lines with mass data found.",
       "#  No masses outside boundary."},
      {"comments, remarks, tabs, commas and expressions",
       "' apostrophe comment\n! remark line\n1.5\t10,20 , 30 ! mass\n2*3 PI/2 SIN(0) -2+3\n"
       "  .5 1E3 2**3 1/0\n",
       "kg\n\n\n\n\n",
       {},
       {" Map_Mass     1      10.000      20.000      30.000   1.5000E+00",
        " Map_Mass     1       1.571       0.000      -5.000   6.0000E+00",
        " Map_Mass     1    1000.000       8.000       0.000   5.0000E-01"},
       "#     3 lines with mass data found.",
       "#  No masses outside boundary."},
      {"CR LF weight files read like plain ones",
       "1.5 10 20 30\r\n' c\r\n2 1 1\r\n\r\n",
       "\n\n\n\n\n",
       {" Too few parameters, ( 3 ), on line      2"},
       {" Map_Mass     1      10.000      20.000      30.000   1.5000E+03"},
       "#     1 lines with mass data found.",
       "#  No masses outside boundary."},
      {"a byte-order mark and a last line ending in CR alone",
       "\xEF\xBB\xBF"
       "1.5 10 20 30\r\n2 1 1 1\r",
       "\n\n\n\n\n",
       {},
       {" Map_Mass     1      10.000      20.000      30.000   1.5000E+03",
        " Map_Mass     1       1.000       1.000       1.000   2.0000E+03"},
       "#     2 lines with mass data found.",
       "#  No masses outside boundary."},
      {"coordinates that just fit their columns",
       "1 -9999999.999 99999999.999 0\n",
       "\n-7\n\n\n\n",
       {},
       {" Map_Mass    -7-9999999.99999999999.999       0.000   1.0000E+03"},
       "#     1 lines with mass data found.",
       "#  No masses outside boundary."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = run(c.weights, "w.txt\nout.txt\n" + c.answers);
    ASSERT_EQ(r.status, 0);
    const std::string console = after_banner(r.out);
    const std::size_t notice = console.find(kNotice);
    ASSERT_NE(notice, std::string::npos);
    const std::string after_notice = console.substr(notice + kNotice.size());
    EXPECT_EQ(after_notice.substr(0, crlf(c.messages).size()), crlf(c.messages));
    const std::string file = output();
    EXPECT_NE(file.find(crlf({c.kept_line})), std::string::npos);
    EXPECT_NE(file.find(crlf({c.skipped_line})), std::string::npos);
    std::vector<std::string> tail = c.records;
    tail.push_back("#");
    tail.push_back(kEnd);
    const std::string expected_tail = crlf({kHeader}) + crlf(tail);
    ASSERT_GE(file.size(), expected_tail.size());
    EXPECT_EQ(file.substr(file.size() - expected_tail.size()), expected_tail);
  }
}

TEST_F(FullRun, SpreadAnswersReachReportAndRecords) {
  const std::pair<std::string, std::string> cases[] = {
      {"3 nodes", " 3"}, {"3,4", " 3"}, {"-2", "-2"}, {"", " 1"}, {"100", "**"}};
  for (const auto& [answer, shown] : cases) {
    SCOPED_TRACE(answer);
    const auto r = run("1 1 2 3\n", "w.txt\nout.txt\n\n" + answer + "\n\n\n\n");
    ASSERT_EQ(r.status, 0);
    const std::string line = "#  Masses are spread to" + shown + " nearest node(s).\r\n";
    EXPECT_NE(r.out.find(line), std::string::npos);
    const std::string file = output();
    EXPECT_NE(file.find(line), std::string::npos);
    const std::string spread = answer == "100" ? " 100" : "  " + shown;
    EXPECT_NE(file.find("\r\n Map_Mass  " + spread + "       1.000       2.000       3.000"),
              std::string::npos);
  }
}

TEST_F(FullRun, ZeroTotalMassGivesCentreAtOrigin) {
  const auto r = run("0 1 2 3\n0 -4 5 6\n", "w.txt\nout.txt\n\n\n\n\n\n");
  ASSERT_EQ(r.status, 0);
  const std::string file = output();
  EXPECT_NE(file.find("\r\n#  Total Mass (kept):    0.000E+00 [kg]\r\n"), std::string::npos);
  EXPECT_NE(file.find("\r\n#  Center of Gravity:       0.000       0.000       0.000\r\n"),
            std::string::npos);
}

// ---- Text as Windows editors write it: UTF-16 ------------------------------------------------

TEST_F(FullRun, Utf16TextWithItsMarkReadsAsItsUtf8Twin) {
  // A list converted in several pieces: comments of three-byte characters that fill more than
  // one conversion, and a character beyond the BMP whose two halves straddle the first read.
  std::string list = "' B\xc3\xb8rn \xce\x94\r\n";
  std::string euros;
  for (int k = 0; k < 100; ++k) euros += "\xe2\x82\xac";
  for (int n = 0; n < 300; ++n) list += "' " + euros + "\r\n";
  std::size_t units = testing_support::utf16(list, true).size() / 2;
  for (int n = 0; units + 14 < 32766 - 2; ++n, units += 14) list += "1.5 10 20 30\r\n";
  list += "' " + std::string(32766 - units - 2, 'x') + "\xf0\x9f\x98\x80\r\n";
  for (int n = 0; n < 2000; ++n) list += std::to_string(n) + " 1 2 3\r\n";
  const std::string name = "B\xc3\xb8rn \xce\x94.txt";
  const std::string answers = name + "\r\nout.txt\r\nkg\r\n\r\ny\r\n-100 100\r\n\r\n\r\n";
  const auto run_with = [&](const std::string& weights, const std::string& typed) {
    dir.write(name, weights);
    return run_program(KEL2FRAM_EXE, {}, typed, dir.path());
  };
  const RunResult plain = run_with(list, answers);
  ASSERT_EQ(plain.status, 0);
  const std::string plain_file = output();
  const RunResult plain_dump = run_program(KITDUMP_EXE, {name}, "", dir.path());
  for (const bool little : {true, false}) {
    SCOPED_TRACE(little ? "LE" : "BE");
    for (const bool list_in_utf16 : {true, false}) {
      const RunResult r =
          run_with(list_in_utf16 ? testing_support::utf16(list, little, true) : list,
                   list_in_utf16 ? answers : testing_support::utf16(answers, little, true));
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.out, plain.out);
      EXPECT_EQ(output(), plain_file);
      EXPECT_EQ(r.err, plain.err);
    }
    dir.write(name, testing_support::utf16(list, little, true));
    const RunResult dump = run_program(KITDUMP_EXE, {name}, "", dir.path());
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(dump.out, plain_dump.out);
  }
}

TEST_F(FullRun, Utf16TextThatCannotBeReadIsRefusedNamingItsEncoding) {
  using testing_support::utf16;
  const std::string list = "' weights\r\n1.5 10 20 30\r\n2 1 1 1\r\n";
  const std::string typed = "w.txt\nout.txt\n\n\n\n\n\n";
  const std::string save = ": save it as UTF-8, or as UTF-16 with the mark";
  const std::string kept = "; the output file is left as it was";
  struct Case {
    std::string weights, answers;
    bool in_answers;
    std::string problem;
  };
  const Case cases[] = {
      {utf16(list, true), typed, false, "line 1: UTF-16 LE text without a byte-order mark" + save},
      {utf16(list, false), typed, false, "line 1: UTF-16 BE text without a byte-order mark" + save},
      {utf16(list, true, true) + std::string("\x00\xdc\r\0", 4), typed, false,
       "line 4: not valid UTF-16 LE text: an unpaired surrogate 0xDC00"},
      {utf16(list, true, true) + "3", typed, false,
       "line 4: not valid UTF-16 LE text: it ends inside a character (an odd byte)"},
      {list, utf16(typed, true), true, "line 1: UTF-16 LE text without a byte-order mark" + save},
      {list, utf16("w.txt\nout", false, true) + "\xd8\x3d" + utf16(".txt\n\n\n\n\n\n", false), true,
       "line 2: not valid UTF-16 BE text: an unpaired surrogate 0xD83D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    dir.write("out.txt", "former\n");
    const RunResult r = run(c.weights, c.answers);
    EXPECT_EQ(r.status, 2);
    if (c.in_answers) {
      EXPECT_EQ(r.err,
                testing_support::err_text("kel2fram: standard input: " + c.problem + "\r\n"));
      EXPECT_TRUE(r.out.ends_with(
          " *** ERROR: READ FAILED ON UNIT 5 (standard input): " + c.problem + "\r\n"))
          << r.out;
    } else {
      EXPECT_EQ(r.err, testing_support::err_text("kel2fram: w.txt: " + c.problem + kept +
                                                 "; 0 warnings\r\n"));
      const RunResult dump = run_program(KITDUMP_EXE, {"w.txt"}, "", dir.path());
      EXPECT_EQ(dump.status, 2);
      EXPECT_EQ(dump.err, testing_support::err_text("kitdump: w.txt: " + c.problem + "\r\n"));
    }
    EXPECT_EQ(output(), "former\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
  }
}

TEST_F(FullRun, ReaderFailureEndsEarlyAndLeavesTheOutputFileUntouched) {
  SKIP_ON_WINDOWS("a file that fails to read (/proc/self/mem)");
  // Reading this file fails with an I/O error on its first record.
  dir.write("out.txt", "former contents\n");
  const auto r = run_program(KEL2FRAM_EXE, {}, "/proc/self/mem\nout.txt\n\n\n\n\n\n", dir.path());
  EXPECT_EQ(r.status, 2);
  const std::size_t notice = r.out.find(kNotice);
  ASSERT_NE(notice, std::string::npos);
  EXPECT_EQ(
      r.out.substr(notice + kNotice.size()),
      crlf({"", " *** ERROR DURING READING OF LINE     1  ON UNIT  88", "     IOSTAT =   5"}));
  EXPECT_EQ(
      r.err,
      testing_support::err_text(
          "kel2fram: the weight list could not be read to its end; the output file is left as "
          "it was; 0 warnings\r\n"));
  EXPECT_EQ(output(), "former contents\n");
}

// The weight list named as the output too (a slip that Tab completion makes easy) is refused
// at the question, also through a link or a hard link, and asked again.
TEST_F(FullRun, OutputFileIsNeverTheInputFile) {
  const std::string list = "1 1 2 3\n2 3 2 1\n";
  for (const char* output : {"w.txt", "./w.txt", "link.txt", "hard.txt"}) {
    SCOPED_TRACE(output);
    dir.write("w.txt", list);
    std::filesystem::remove(dir.file("link.txt"));
    std::filesystem::remove(dir.file("hard.txt"));
    std::filesystem::remove(dir.file("out.txt"));
    std::error_code made;  // a system or file system without links skips those cases
    if (std::string(output) == "link.txt") {
      std::filesystem::create_symlink("w.txt", dir.file("link.txt"), made);
    } else if (std::string(output) == "hard.txt") {
      std::filesystem::create_hard_link(dir.file("w.txt"), dir.file("hard.txt"), made);
    }
    if (made) continue;
    const RunResult r = run_program(
        KEL2FRAM_EXE, {}, std::string("w.txt\n") + output + "\nout.txt\n\n\n\n\n\n", dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" Cannot write file :" + std::string(output)), std::string::npos);
    EXPECT_NE(r.err.find(std::string("kel2fram: ") + output + ": is the weight list"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(dir.read("w.txt"), list);
    EXPECT_NE(dir.read("out.txt").find(" Map_Mass"), std::string::npos);
  }
}

}  // namespace
