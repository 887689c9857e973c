// Whole runs on tables: the same list as text and in each spreadsheet form gives the same
// console and file, the console's messages with the sheet's row numbers, each reason on
// standard error naming its cell, the sheets searched, and outputs never a workbook.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "sheet/sheet.h"
#include "support/subprocess.h"

namespace {

using testing_support::run_program;
using testing_support::ScratchDir;

// The same list as a text list and in each spreadsheet form gives the same console and the
// same output file, byte for byte, but for the name of the list.
class SameRecords : public ::testing::TestWithParam<const char*> {};

std::string without_name(std::string text, const std::string& name) {
  for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name)) {
    text.replace(at, name.size(), "LIST");
  }
  return text;
}

TEST_P(SameRecords, AsTheTextList) {
  const std::string form = GetParam();
  if ((form.ends_with(".xlsx") || form.ends_with(".ods")) && !sheet::reads_workbooks()) {
    GTEST_SKIP() << "this build reads no workbooks (libminizip-dev and libexpat1-dev missing)";
  }
  ScratchDir text_dir;
  ScratchDir sheet_dir;
  const std::string data = std::string(TEST_DATA_DIR) + "/sheet/";
  const auto text = run_program(KEL2FRAM_EXE, {data + "deck.txt", "out.txt"}, "", text_dir.path());
  const auto sheet = run_program(KEL2FRAM_EXE, {data + form, "out.txt"}, "", sheet_dir.path());
  ASSERT_EQ(text.status, 0) << text.err;
  ASSERT_EQ(sheet.status, 0) << sheet.err;
  EXPECT_EQ(without_name(sheet.out, data + form), without_name(text.out, data + "deck.txt"));
  EXPECT_EQ(without_name(sheet_dir.read("out.txt"), data + form),
            without_name(text_dir.read("out.txt"), data + "deck.txt"));
  // The subtotal is left out and the hidden row of a workbook read; both are told.
  EXPECT_NE(sheet.err.find("1 subtotal row was left out"), std::string::npos) << sheet.err;
  if (!form.ends_with(".csv")) {
    EXPECT_NE(sheet.err.find("1 hidden or filtered row was read"), std::string::npos) << sheet.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, SameRecords,
                         ::testing::Values("deck.xlsx", "deck.ods", "deck_comma.csv",
                                           "deck_semicolon.csv"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '.') c = '_';
                           }
                           return name;
                         });

// Whole runs on tables: the console's messages with the sheet's row numbers, each reason on
// standard error naming its cell, and the exit statuses.
struct RunCase {
  const char* name;
  const char* file;
  const char* bytes;
  std::vector<std::string> options;
  int status;
  const char* out;  // a part of standard output
  const char* err;  // a part of standard error
};

// 150 masses a fifth of a metre apart, then one whose X is given in millimetres.
const std::string kFarRow = [] {
  std::string rows = "Mass [t],X,Y,Z\n";
  for (int i = 0; i < 150; ++i) rows += "1.5," + std::to_string(i / 5.0) + ",0,10\n";
  return rows + "2,45000,0,10\n";
}();

const RunCase kRuns[] = {
    {"RejectedRowsByRowNumber",
     "deck.csv",
     "Mass [kg];X;Y;Z\n1;2;3;4\n\n2;x;3;4\n3;2;;4\n",
     {},
     0,
     " Illegal character in line      4\r\n Too few parameters, ( 3 ), on line      5\r\n",
     "kel2fram: deck.csv: B4: the X cell holds \"x\", not a number; the row is left out\r\n"
     "kel2fram: deck.csv: C5: the Y cell is empty; the row is left out\r\n"},
    {"StrictRefusesRejectedRows",
     "deck.csv",
     "Mass [kg],X,Y,Z\n1,2,3,4\n2,,3,4\n",
     {"--strict"},
     1,
     " Too few parameters, ( 3 ), on line      3",
     "1 line rejected (line 3)"},
    {"UnitAnswerAgainstHeading",
     "deck.csv",
     "Mass [t],X,Y,Z\n1,2,3,4\n",
     {"-u", "kg"},
     1,
     "",
     "the mass unit answer is kg but the mass heading \"Mass [t]\" says tonnes"},
    {"HeadingSetsKg",
     "deck.csv",
     "Mass [kg],X,Y,Z\n1,2,3,4\n",
     {},
     0,
     "with input mass unit [kg].",
     "the mass unit is kg, from the heading \"Mass [kg]\""},
    {"TableOptionWithoutHeadings",
     "deck.txt",
     "1 2 3 4\n",
     {"--table"},
     1,
     "",
     "no row names the mass and X, Y, Z columns"},
    {"CsvWithoutHeadingsIsATextList",
     "deck.csv",
     "1.5 10 20 30\n",
     {},
     0,
     "#     1 lines with mass data found.",
     "1 record written"},
    {"DamagedWorkbook", "deck.xlsx", "PK\x03\x04 cut short", {}, 2, "", "cut short or damaged"},
    {"MassHeadingWithoutAUnitWarned",
     "deck.csv",
     "Item,Mass,X,Y,Z\nA,4200,1,2,3\n",
     {},
     0,
     "with input mass unit [tonnes]",
     "kel2fram: deck.csv: B1: the heading \"Mass\" names no unit: the masses are read in tonnes, "
     "the default; give -u kg if they are in kilograms, or -u t to say they are in tonnes\r\n"
     "kel2fram: 1 record written to out.txt; 1 warning"},
    {"StrictRefusesAGuessedUnit",
     "deck.csv",
     "Item,Mass,X,Y,Z\nA,4200,1,2,3\n",
     {"--strict"},
     1,
     "",
     "--strict refuses"},
    {"SkipRowsOfATextListWarned",
     "deck.txt",
     "1 2 3 4\n",
     {"--skip-rows", "1"},
     0,
     "",
     "kel2fram: deck.txt: --skip-rows leaves out rows of a table; this text list is read whole"},
    {"CoordinateFarBeyondTheOthers",
     "deck.csv",
     kFarRow.c_str(),
     {},
     0,
     "",
     "kel2fram: deck.csv:152: X 45000 lies far beyond the other masses (a length in mm?)"},
};

class Runs : public ::testing::TestWithParam<RunCase> {};

TEST_P(Runs, TellAndEndAsExpected) {
  const RunCase& c = GetParam();
  if (std::string(c.file).ends_with(".xlsx") && !sheet::reads_workbooks()) {
    GTEST_SKIP() << "this build reads no workbooks";
  }
  ScratchDir dir;
  dir.write(c.file, c.bytes);
  std::vector<std::string> args = c.options;
  args.emplace_back(c.file);
  args.emplace_back("out.txt");
  const auto r = run_program(KEL2FRAM_EXE, args, "", dir.path());
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
  EXPECT_NE(r.err.find(testing_support::err_text(c.err)), std::string::npos) << r.err;
  EXPECT_EQ(dir.exists("out.txt"), c.status == 0);
}

INSTANTIATE_TEST_SUITE_P(Tables, Runs, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.name); });

// Without --sheet a workbook's first sheet that names the columns is read, in workbook order
// with hidden sheets last; the others that do are named; where none does, every sheet
// searched and the closest row are.
struct SheetCase {
  const char* name;
  const char* file;
  std::vector<std::string> options;
  int status;
  const char* err;  // a part of standard error
};

const SheetCase kSheets[] = {
    {"ListOnTheFifthSheet",
     "sheets",
     {},
     0,
     "sheets.X: reading sheet \"Lightship\", headings in row 2\r\n"},
    {"OthersNamedHiddenLast",
     "sheets",
     {},
     0,
     "sheets \"Stores\" and \"Old\" name the columns too; --sheet chooses the sheet to read"},
    {"HiddenSheetByName", "sheets", {"--sheet", "Old"}, 0, "1 record written"},
    {"NoSheetNamesTheColumns",
     "no_list",
     {},
     1,
     "no sheet names the mass and X, Y, Z columns (sheets searched: \"Cover\" and \"Plan\"; in "
     "sheet \"Plan\" row 1 comes closest, with mass in B (\"Weight\"), X in C (\"LCG\"), and no "
     "Y, Z); name the columns with --columns mass=B,x=C,y=0,z=0 (a coordinate the file lacks "
     "given as a constant, in metres) and the sheet with --sheet \"Plan\""},
};

class Sheets : public ::testing::TestWithParam<std::tuple<SheetCase, const char*>> {};

TEST_P(Sheets, SearchedInOrder) {
  const auto& [c, form] = GetParam();
  if (!sheet::reads_workbooks()) GTEST_SKIP() << "this build reads no workbooks";
  ScratchDir dir;
  const std::string file = std::string(c.file) + "." + form;
  std::vector<std::string> args = c.options;
  args.insert(args.end(), {std::string(TEST_DATA_DIR) + "/sheet/" + file, "out.txt"});
  const auto r = run_program(KEL2FRAM_EXE, args, "", dir.path());
  EXPECT_EQ(r.status, c.status) << r.err;
  std::string err = c.err;
  if (const std::size_t x = err.find(".X:"); x != std::string::npos)
    err.replace(x, 2, "." + std::string(form));
  EXPECT_NE(r.err.find(testing_support::err_text(err)), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Workbooks, Sheets,
                         ::testing::Combine(::testing::ValuesIn(kSheets),
                                            ::testing::Values("xlsx", "ods")),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::get<1>(info.param);
                         });

// An existing workbook (any zip container, by its content, whatever its name) named as the
// output is refused, as the weight list itself is: kel2fram does not replace it by records,
// nor massplot by a picture.
TEST(Outputs, AnExistingZipContainerIsNeverReplaced) {
  std::ifstream file(std::string(TEST_DATA_DIR) + "/sheet/deck.xlsx", std::ios::binary);
  const std::string workbook{std::istreambuf_iterator<char>(file), {}};
  ASSERT_TRUE(sheet::starts_as_zip(workbook));
  // Named on the command line: kel2fram ends as for a file that cannot be opened.
  for (const auto& [program, status] : {std::pair{KEL2FRAM_EXE, 2}, std::pair{MASSPLOT_EXE, 1}}) {
    for (const char* output : {"deck.xlsx", "DECK.XLSX.bak", "plan.ods"}) {
      SCOPED_TRACE(std::string(program) + " " + output);
      ScratchDir dir;
      dir.write("list.csv", "Mass,X,Y,Z\n1,2,3,4\n");
      dir.write(output, workbook);
      const auto r = run_program(program, {"list.csv", output}, "", dir.path());
      EXPECT_EQ(r.status, status) << r.err;
      EXPECT_EQ(dir.read(output), workbook);
      EXPECT_NE(r.err.find(std::string(output) + ": is a workbook or another zip container"),
                std::string::npos)
          << r.err;
    }
  }
}

}  // namespace
