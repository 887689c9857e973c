// RDMIX: fields of a line with their type codes, values and texts; the caller's capacity.

#include <filesystem>
#include <string>
#include <vector>

#include "kit_fixture.h"
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

}  // namespace
}  // namespace kit_test
