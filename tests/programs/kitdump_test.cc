// kitdump, the reader's dump: every call of a file, the warnings beside it on standard
// error, a table's headings and rows with what each rule decided, and its command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sheet/sheet.h"
#include "support/subprocess.h"

namespace {

TEST(KitdumpTest, DumpsEveryCallOfAFile) {
  testing_support::ScratchDir dir;
  dir.write("w.txt",
            "  12.5  3  abc\r\n'comment\n\n1/0 SIN(PI/2) 0.3\n% x\n2 * 3\nA\x1b]0;PWN\x07\x1b[2J");
  const auto run = testing_support::run_program(KITDUMP_EXE, {dir.file("w.txt")}, "");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "3 2:12.5: 1:3: 3:0:ABC\r\n"
            "3 2:0: 2:1: 2:0.30000000000000004:\r\n"
            "0\r\n"
            "1 1:2:\r\n"
            "1 3:0:A\\e]0;PWN\r\n"  // a terminal command in a word, escaped
            "-1\r\n");
}

// The command line: help, wrong usage, and files that cannot be read. Error lines name the
// file and the reason; "{dir}" stands for the scratch folder.
struct KitdumpUsageCase {
  std::vector<std::string> args;
  int status;
  bool usage_on_stdout;  // else standard output stays empty
  std::string err;       // exact, "usage" for the usage text
};

TEST(KitdumpTest, AnswersHelpAndRefusesWhatItCannotRead) {
  testing_support::ScratchDir dir;
  dir.write("locked.txt", "1 2 3 4\n");
  const testing_support::LockedFile locked(dir.file("locked.txt"));
  const KitdumpUsageCase cases[] = {
      {{"--help"}, 0, true, ""},
      {{"-h"}, 0, true, ""},
      {{}, 1, false, "usage"},
      {{"a.txt", "b.txt"}, 1, false, "usage"},
      {{"{dir}/none.txt"}, 1, false, "kitdump: {dir}/none.txt: No such file or directory\r\n"},
      {{"{dir}"}, 1, false, "kitdump: {dir}: Is a directory\r\n"},
      {{"{dir}/locked.txt"},
       1,
       false,
       "kitdump: {dir}/locked.txt: " + std::string(testing_support::kLockedReason) + "\r\n"},
      // kel2fram's option forms: a faulty option is named before the usage, --help is taken
      // anywhere, and after -- every word is a file.
      {{"-x", "a.txt"}, 1, false, "kitdump: unknown option -x\r\nusage"},
      {{"{dir}/none.txt", "--skip-rows", "7-"},
       1,
       false,
       "kitdump: --skip-rows 7-: \"7-\" is not a row number or a range of them (7, "
       "11-13)\r\nusage"},
      {{"--sheet"}, 1, false, "kitdump: --sheet needs a value, NAME\r\nusage"},
      {{"a.txt", "--help"}, 0, true, ""},
      {{"--", "-h"}, 1, false, "kitdump: -h: No such file or directory\r\n"},
  };
  const auto expand = [&](std::string text) {
    for (std::size_t at; (at = text.find("{dir}")) != std::string::npos;) {
      text.replace(at, 5, dir.path());
    }
    return text;
  };
  for (const KitdumpUsageCase& c : cases) {
    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(expand(a));
    const std::string label = args.empty() ? "(no argument)" : args[0];
    const auto run = testing_support::run_program(KITDUMP_EXE, args, "");
    EXPECT_EQ(run.status, c.status) << label;
    if (c.usage_on_stdout) {
      EXPECT_TRUE(run.out.starts_with("Usage: kitdump [OPTIONS] FILE\n"))
          << label << ": " << run.out;
    } else {
      EXPECT_EQ(run.out, "") << label;
    }
    if (c.err.ends_with("usage")) {
      const std::string before =
          testing_support::err_text(expand(c.err.substr(0, c.err.size() - 5)));
      EXPECT_TRUE(run.err.starts_with(before + "Usage: kitdump [OPTIONS] FILE\n"))
          << label << ": " << run.err;
    } else {
      EXPECT_EQ(run.err, testing_support::err_text(expand(c.err))) << label;
    }
  }
}

// The options of a table in every form kel2fram takes, before or after the file, give one
// dump; --columns says that a file is a table whatever its name, as it does for kel2fram.
TEST(KitdumpTest, TakesKel2framsOptionForms) {
  testing_support::ScratchDir dir;
  for (const char* name : {"d.csv", "d.txt"}) {
    std::filesystem::copy_file(std::string(TEST_DATA_DIR) + "/sheet/deck_comma.csv",
                               dir.file(name));
  }
  const std::string columns = "mass=C,x=D,y=E,z=F";
  const std::vector<std::string> forms[] = {
      {"--columns=" + columns, "--skip-rows=7", "d.csv"},
      {"--columns", columns, "--skip-rows", "7", "d.csv"},
      {"d.csv", "--skip-rows", "7", "--columns=" + columns},
      {"--skip-rows=7", "--columns=" + columns, "--", "d.csv"},
      {"--columns", columns, "--skip-rows", "7", "d.txt"},
  };
  const auto first = testing_support::run_program(KITDUMP_EXE, forms[0], "", dir.path());
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_TRUE(first.out.starts_with("table, headings in row 4: mass C ")) << first.out;
  EXPECT_NE(first.out.find("\r\n7 skipped: --skip-rows\r\n"), std::string::npos) << first.out;
  for (const std::vector<std::string>& args : forms) {
    SCOPED_TRACE(args.back());
    const auto r = testing_support::run_program(KITDUMP_EXE, args, "", dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, first.out);
  }
}

TEST(KitdumpSurprises, AreToldOnStandardErrorBesideTheDump) {
  testing_support::ScratchDir dir;
  dir.write("w.txt", "' list\n-2+3 1 1 1\n1 2 3 4 5\n1.5\t10\t\t20\t30\n1.5 Pump 1 2\n");
  const auto run = testing_support::run_program(KITDUMP_EXE, {"w.txt"}, "", dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "4 2:-5: 1:1: 1:1: 1:1:\r\n5 1:1: 1:2: 1:3: 1:4: 1:5:\r\n4 2:1.5: 1:10: 1:20: 1:30:\r\n"
            "4 2:1.5: 3:0:PUMP 1:1: 1:2:\r\n-1\r\n");
  EXPECT_EQ(
      run.err,
      testing_support::err_text(
          "kitdump: w.txt:2: \"-2+3\" reads as -5: the leading sign applies to the whole field "
          "(usually 1)\r\n"
          "kitdump: w.txt:4: column 8: two tabs with nothing between them are one separator, so "
          "the numbers after the empty cell move one place left (20 is read as Y)\r\n"
          "kitdump: w.txt:5: column 5: \"Pump\" is a word: a weight line holds numbers; a remark "
          "starts with !\r\n"
          "kitdump: w.txt: 1 line holds more than 4 numbers (line 3): only the first 4 are read, "
          "as the mass and its X, Y and Z\r\n"));
}

// kitdump shows a table's heading and rows as kel2fram reads them.
TEST(KitdumpTable, ShowsRolesCellsAndReasons) {
  if (!sheet::reads_workbooks()) GTEST_SKIP() << "this build reads no workbooks";
  const auto r = testing_support::run_program(KITDUMP_EXE,
                                              {std::string(TEST_DATA_DIR) + "/sheet/deck.ods"}, "");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* line :
       {"table sheet \"Deck\", headings in row 4: mass C \"Mass [t]\", X D \"LCG [m]\", Y E "
        "\"TCG [m]\", Z F \"VCG [m]\"; mass in tonnes\r\n",
        "\r\n5 mass C5=1.5 X D5=10 Y E5=20 Z F5=30\r\n",
        "\r\n9 subtotal Deck!C9: a subtotal (=SUM([.C5:.C8])); left out\r\n",
        "\r\n10 hidden mass C10=0.5 X D10=7 Y E10=7 Z F10=7\r\n", "\r\n-1\r\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
}

}  // namespace
