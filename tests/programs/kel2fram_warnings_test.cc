// Readings that differ from what a weight line or an answer looks like: told on standard error
// with the line number an editor shows, while the console and the output file keep every byte
// of the reading they have always had; floods summed up; --strict.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/console_text.h"
#include "support/subprocess.h"

namespace {

using testing_support::run_program;
using testing_support::RunResult;
using testing_support::ScratchDir;

const std::string kDefaults = "\n\n\n\n\n";  // tonnes, one node, no ranges
const std::string kOneRecord = "kel2fram: 1 record written to out.txt; 0 warnings\r\n";
const std::string kFormer = "former contents\n";

struct Outcome {
  RunResult run;
  std::string file;
};

// The weight line is the third of its list, after a comment and an empty line.
Outcome convert(const std::string& line, const std::string& answers,
                const std::vector<std::string>& args = {}) {
  ScratchDir dir;
  dir.write("w.txt", "' heading\n\n" + line + "\n");
  dir.write("out.txt", kFormer);
  Outcome o{run_program(KEL2FRAM_EXE, args, "w.txt\nout.txt\n" + answers, dir.path()), ""};
  o.file = dir.read("out.txt");
  return o;
}

std::string padded_to(std::string text, std::size_t columns) {
  text.resize(columns, ' ');
  return text;
}

// 150 masses on a floor of 30 m by 20 m, the 58th of them at X = x (line 60 of the list).
std::string far_list(double x) {
  std::string list;
  for (int n = 0; n < 150; ++n) {
    const double at = n == 57 ? x : (n * 7) % 30;
    list += std::to_string(1 + n % 4) + " " + std::to_string(at) + " " +
            std::to_string((n * 3) % 20) + " " + std::to_string(n % 2 * 4) + "\n";
  }
  list.pop_back();
  return list;
}

struct Row {
  std::string line;          // the weight line
  std::string answers;       // after the two file names
  std::string same_line;     // an ordinary line that reads the same (empty: the line itself)
  std::string same_answers;  // ordinary answers that read the same
  std::string told;          // what standard error says; empty: only the last line
};

TEST(Warnings, AreToldAndChangeNoByteOfConsoleOrFile) {
  const std::string z_cut = padded_to("1 2 3", 130) + "128.5";  // 12 in columns 131 and 132
  const Row rows[] = {
      {"2,5 10 0 30", kDefaults, "2 5 10 0 30", kDefaults,
       "kel2fram: w.txt:3: \"2,5\" reads as two numbers, 2 and 5: a comma separates numbers "
       "(usually 2.5)\r\n"},
      {"12,5\t45,0\t-3,2\t28,5", kDefaults, "12 5 45 0 -3 2 28 5", kDefaults,
       "w.txt:3: \"12,5\" reads as two numbers, 12 and 5"},
      {"1,250.5  45.0 0.0 20.0", "kg" + kDefaults, "1 250.5 45.0 0.0 20.0", "kg" + kDefaults,
       "(usually 1250.5)"},
      {"12 500 45 0 20", kDefaults, "12 500 45 0", kDefaults,
       "kel2fram: w.txt: 1 line holds more than 4 numbers (line 3): only the first 4 are read"},
      {"1,12.5,45.0,-3.2,28.5", kDefaults, "1 12.5 45.0 -3.2", kDefaults,
       "more than 4 numbers (line 3)"},
      {z_cut, kDefaults, "1 2 3 12", kDefaults,
       "w.txt:3: \"128.5\" is cut after column 132 and reads as 12"},
      {"-2+3 1 1 1", kDefaults, "-5 1 1 1", kDefaults,
       "kel2fram: w.txt:3: \"-2+3\" reads as -5: the leading sign applies to the whole field "
       "(usually 1)\r\n"},
      {"1+2*3 10-2*3 2*3**2 2**3**2", kDefaults, "9 24 36 64", kDefaults,
       "\"2**3**2\" reads as 64: operators apply from left to right, without precedence "
       "(usually 512)"},
      {"1 SIN(PI/2+PI/2*0) 1 1", kDefaults, "1 0 1 1", kDefaults,
       "\"SIN(PI/2+PI/2*0)\" reads as 0: operators apply from left to right, without precedence "
       "(usually 1)"},
      {"12.5/0+1 1 2 3", kDefaults, "1 1 2 3", kDefaults,
       "\"12.5/0+1\" reads as 1: a division by zero gives 0 (usually an error)"},
      {"0 1 2 3", kDefaults, "", kDefaults,
       "kel2fram: the kept masses sum to exactly 0 kg: their centre of gravity is undefined"},
      {"38.0\t20.0\t\t31.4\t589", kDefaults, "38.0 20.0 31.4 589", kDefaults,
       "kel2fram: w.txt:3: column 11: two tabs with nothing between them are one separator, so "
       "the numbers after the empty cell move one place left (31.4 is read as Y)\r\n"},
      {"12.500-45.200 -3.200 28.500 101", kDefaults, "-32.7 -3.2 28.5 101", kDefaults,
       "kel2fram: w.txt:3: \"12.500-45.200\" reads as the difference -32.7: two numbers written "
       "without a blank between them?\r\n"},
      {"10*COS(30) 5 0 2", kDefaults, "1.5425144988758405 5 0 2", kDefaults,
       "kel2fram: w.txt:3: \"10*COS(30)\": SIN and COS take radians, and 30 looks like degrees "
       "(COS(30) reads as 0.1543; of 30 degrees it is 0.866)\r\n"},
      {"1 12.5 45.0 -3.2 28.5\n2 8.0 1 2 3\n3 8.0 1 2 3", kDefaults,
       "1 12.5 45 -3.2\n2 8 1 2\n3 8 1 2", kDefaults,
       "kel2fram: w.txt:3: the first numbers of lines 3-5 count up by one (1 to 3): an item "
       "number is read as the mass, and each coordinate as the number before it\r\n"},
      {far_list(45000.0), kDefaults, "", kDefaults,
       "kel2fram: w.txt:60: X 45000 lies far beyond the other masses (a length in mm?): the "
       "centre of gravity is "},
      // Ordinary shapes draw nothing.
      {"1.5 10 20 30", kDefaults, "", kDefaults, ""},
      {"1.5,10,20,30", kDefaults, "1.5 10 20 30", kDefaults, ""},
      {"1 , 2 , 3 , 4", kDefaults, "1 2 3 4", kDefaults, ""},
      {"2*1.5 3*2.5+1 -2*3 1/2*3", kDefaults, "3 8.5 -6 1.5", kDefaults, ""},
      {"PI/2*3 -SIN(PI/2) 1 1", kDefaults, "4.7123889803847 -1 1 1", kDefaults, ""},
      {"1.5E-3 1E3 .5 5.", kDefaults, "0.0015 1000 0.5 5", kDefaults, ""},
      {"1 2 3 4 ! 5,5 6 7", kDefaults, "1 2 3 4", kDefaults, ""},
      {"1 2 3 4 #5,5 6 7", kDefaults, "1 2 3 4", kDefaults, ""},
      {padded_to("1 2 3 4", 132) + "! remark beyond", kDefaults, "1 2 3 4", kDefaults, ""},
      {padded_to("1 2 3 4", 140) + "% remark beyond", kDefaults, "1 2 3 4", kDefaults, ""},
      {"1.5\t\t10\t\t20\t\t30", kDefaults, "1.5 10 20 30", kDefaults, ""},
      {"1.5\t10\t20\t30\t\t7", kDefaults, "1.5 10 20 30", kDefaults, "more than 4 numbers"},
      {"1 SIN(PI/6) COS(2.5) 1", kDefaults, "1 0.5 -0.8011436155469337 1", kDefaults, ""},
      {far_list(31.0), kDefaults, "", kDefaults, ""},
      // Answers read against their look.
      {"1 1 1 1", " kg" + kDefaults, "", kDefaults,
       "kel2fram: mass unit \" kg\" is read as tonnes"},
      {"1 1 1 1", "g" + kDefaults, "", kDefaults, "mass unit \"g\" is read as tonnes"},
      {"1 1 1 1", "lbs" + kDefaults, "", kDefaults, "mass unit \"lbs\""},
      {"1 1 1 1", "kN" + kDefaults, "", "kg" + kDefaults,
       "mass unit \"kN\" is read as kg: it begins with K; a force is not a mass"},
      {"1 1 1 1", "kilogram" + kDefaults, "", "kg" + kDefaults, ""},
      {"1 1 1 1", "Tonnes" + kDefaults, "", kDefaults, ""},
      {"1 1 1 1", "\n\n y\n\n\n", "", kDefaults,
       "answer \" y\" to \"Skip Masses outside Xmin/Xmax\" is read as no"},
      {"1 1 1 1", "\n\n\nja\n\n", "", kDefaults, "answer \"ja\" to \"Skip Masses outside Ymin"},
      {"1 1 1 1", "\n\nyes\n-100,100\n\n\n", "", "\n\ny\n-100 100\n\n\n", ""},
      {"1 1 1 1", "\n\ny\n0,5 100\n\n\n", "", "\n\ny\n0 5\n\n\n",
       "X range \"0,5 100\" is read as 0 to 5: a comma separates numbers"},
      {"1 1 1 1", "\n\n\n\ny\n0 100 200\n", "", "\n\n\n\ny\n0 100\n",
       "Z range \"0 100 200\" is read as 0 to 100: a range is two numbers; \"200\" is not read"},
      {"1 1 1 1", "\n\n\n\ny\n0\n100 7\n", "", "\n\n\n\ny\n0 100\n", "\"7\" is not read"},
      {"1 1 1 1", "\n0\n\n\n\n", "", "\n0\n\n\n\n", "spread count 0 is below 1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line + " | " + row.answers);
    const Outcome told = convert(row.line, row.answers);
    const Outcome same =
        convert(row.same_line.empty() ? row.line : row.same_line, row.same_answers);
    EXPECT_EQ(told.run.status, 0);
    EXPECT_EQ(told.run.out, same.run.out);
    EXPECT_EQ(told.file, same.file);
    EXPECT_EQ(same.run.err.find("w.txt:3:"), std::string::npos) << same.run.err;
    if (row.told.empty()) {  // the last line alone
      EXPECT_EQ(std::count(told.run.err.begin(), told.run.err.end(), '\n'), 1) << told.run.err;
      EXPECT_TRUE(
          told.run.err.ends_with(testing_support::err_text(" written to out.txt; 0 warnings\r\n")));
    } else {
      EXPECT_NE(told.run.err.find(testing_support::err_text(row.told)), std::string::npos)
          << told.run.err;
    }
  }
}

TEST(Warnings, FloodsAreSummedUp) {
  std::string list;
  for (int n = 0; n < 5000; ++n) list += "-2+3 1 1 1,5\n";
  ScratchDir dir;
  dir.write("w.txt", list);
  const RunResult r = run_program(KEL2FRAM_EXE, {}, "w.txt\nout.txt\n" + kDefaults, dir.path());
  EXPECT_EQ(r.status, 0);
  // Ten of each kind, the rest of each, the lines with five numbers, the last line.
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 10 + 10 + 2 + 1 + 1) << r.err;
  for (const char* line :
       {"kel2fram: w.txt:10: \"-2+3\" reads as -5",
        "kel2fram: w.txt: 4990 more expressions that read otherwise under the usual precedence, "
        "not shown\r\n",
        "kel2fram: w.txt: 4990 more commas between two digits read as separators, not shown\r\n",
        "kel2fram: w.txt: 5000 lines hold more than 4 numbers (lines 1, 2, 3, 4, 5, ...)"}) {
    EXPECT_NE(r.err.find(testing_support::err_text(line)), std::string::npos) << line;
  }
  EXPECT_EQ(r.err.find("w.txt:11:"), std::string::npos);
  EXPECT_TRUE(r.err.ends_with(
      testing_support::err_text("kel2fram: 5000 records written to out.txt; 15000 warnings\r\n")));
}

TEST(Warnings, StrictRefusesWhatWouldBeToldAndRunsACleanListAsWithout) {
  const std::string refused =
      "kel2fram: nothing written: --strict refuses a list or answers with warnings or rejected "
      "lines; the output file is left as it was";
  const Row rows[] = {
      {"1 1 1 1", kDefaults, "", "", ""},
      {"-2+3 1 1 1", kDefaults, "", "", refused + "; 1 warning\r\n"},
      {"1 1 1\n1 1 1 1", kDefaults, "", "", refused + "; 1 line rejected (line 3); 0 warnings\r\n"},
      {"1 1 1 1", "g" + kDefaults, "", "", refused + "; 1 warning\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line + " | " + row.answers);
    const Outcome strict = convert(row.line, row.answers, {"--strict"});
    const Outcome plain = convert(row.line, row.answers);
    if (row.told.empty()) {
      EXPECT_EQ(strict.run.status, 0);
      EXPECT_EQ(strict.run.out, plain.run.out);
      EXPECT_EQ(strict.file, plain.file);
      EXPECT_EQ(strict.run.err, testing_support::err_text(kOneRecord));
      continue;
    }
    // An early end: the console stops before the report, the file keeps what it had.
    EXPECT_EQ(strict.run.status, 1);
    EXPECT_EQ(strict.file, kFormer);
    EXPECT_EQ(strict.run.out, plain.run.out.substr(0, plain.run.out.find("\r\n# ===")));
    EXPECT_TRUE(strict.run.err.ends_with(testing_support::err_text(row.told))) << strict.run.err;
  }
}

TEST(Warnings, RefusedLinesAreGivenTheirReason) {
  const std::pair<std::string, std::string> rows[] = {
      {"1.5 Pump 1 2",
       "w.txt:3: column 5: \"Pump\" is a word: a weight line holds numbers; a remark starts with "
       "!"},
      {"1.5\xC2\xA0"
       "10 20 30",
       "w.txt:3: column 4 holds a no-break space (U+00A0), in \"1.5??10\": a weight line holds "
       "numbers between blanks"},
      {"\xEF\xBB\xBF"
       "1 2 3 4",
       "w.txt:3: column 1 holds a byte-order mark"},
      {"1 2\xE2\x80\x8B 3 4", "w.txt:3: column 4 holds a zero-width space (U+200B)"},
      {"\x1A", "w.txt:3: column 1 holds a DOS end-of-file mark (Ctrl-Z) (U+001A)"},
      {"\xE9t\xE9 1 2 3", "w.txt:3: column 1 holds the byte E9, which is no UTF-8"},
      {"1A 2 3 4", "w.txt:3: column 1: \"1A\" is not a number"},
      {"2 * 3 4",
       "w.txt:3: column 3: \"*\" ends the line's use: a word that begins with ! % * ' "
       "or # starts a remark, so only 1 number is read"},
      {"1 2 3 4\r2 2 2 2\r3 3 3 3",
       "w.txt:3: the list's lines end with CR alone (as old Mac files do), so it reads as one "
       "long line: save it again with Windows (CR LF) or Unix (LF) line ends\r\n"},
  };
  for (const auto& [line, told] : rows) {
    SCOPED_TRACE(line);
    const Outcome o = convert(line + "\n1 1 1 1", kDefaults);
    EXPECT_EQ(o.run.status, 0);
    EXPECT_NE(o.run.err.find(testing_support::err_text("kel2fram: " + told)), std::string::npos)
        << o.run.err;
    // A reason explains a line counted as rejected; it is no warning of its own.
    EXPECT_TRUE(
        o.run.err.ends_with(testing_support::err_text("1 line rejected (line 3); 0 warnings\r\n")))
        << o.run.err;
  }
}

TEST(Warnings, PipedAnswersThatMisleadTheDialogueAreTold) {
  struct Case {
    std::string answers;
    int status;
    std::string last;  // the last line on standard error
  };
  const Case cases[] = {
      {"wieghts.txt\nw.txt\nout.txt\nkg\n\n\n\n\n", 0,
       "kel2fram: weight list \"wieghts.txt\" (answer line 1) could not be opened, so answer "
       "line 2, \"w.txt\", was taken as the weight list: each later answer moves up one "
       "question\r\nkel2fram: 2 records written to out.txt; 1 warning\r\n"},
      {"w.txt\nout.txt\n\n\ny\n0-100\n\n\n", 2,
       "kel2fram: answer line 6, \"0-100\", is no X range: give two numbers, the minimum first, "
       "such as 0 100\r\n"},
      {"w.txt\nout.txt\n\ntwo\n\n\n\n", 2,
       "kel2fram: answer line 4, \"two\", is no spread count: give a whole number, such as 1, or "
       "an empty line for 1\r\n"},
      {"w.txt\nout.txt\n\n\ny\n0 100\n\n\n", 0,
       "kel2fram: 1 record written to out.txt; 2 usable lines: 1 kept, 1 skipped outside the "
       "ranges (250 kg); 0 warnings\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    ScratchDir dir;
    dir.write("w.txt", "1 1 1 1\n0.25 1000 2 3\n");
    const RunResult r = run_program(KEL2FRAM_EXE, {}, c.answers, dir.path());
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(r.err.ends_with(testing_support::err_text(c.last))) << r.err;
    // Piped answers of another run that asks the same questions give the same console.
    if (c.status == 0) {
      const RunResult strict = run_program(KEL2FRAM_EXE, {"--strict"}, c.answers, dir.path());
      EXPECT_EQ(strict.status, c.last.find(" 0 warnings") == std::string::npos ? 1 : 0);
    }
  }
}

}  // namespace
