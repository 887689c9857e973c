// Tables read by their headings: what the reader hands on for each kind of table, row and
// cell, and no total seen where there is none.
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "sheet/sheet.h"
#include "support/case_name.h"
#include "support/subprocess.h"
#include "support/utf16.h"

namespace {

using testing_support::ScratchDir;

// What a table gives, one compact line per heading, row and note.
class Recorder final : public sheet::RowSink {
 public:
  bool heading(const sheet::Heading& h) override {
    out += "heading " + std::to_string(h.row) + ":";
    for (std::uint32_t c : h.column) out += static_cast<char>('A' + c);
    out += h.mass_unit == sheet::MassUnit::kg       ? " kg"
           : h.mass_unit == sheet::MassUnit::tonnes ? " t"
                                                    : "";
    if (h.unit_column) out += " unit-column";
    out += "\n";
    return true;
  }
  void row(const sheet::Row& r) override {
    out += std::to_string(r.number) + " ";
    switch (r.outcome) {
      case sheet::Row::Outcome::item:
        for (double v : r.value) {
          std::array<char, 32> digits{};
          out.append(digits.data(), std::to_chars(digits.data(), digits.data() + 32, v).ptr);
          out += ' ';
        }
        if (r.mass_factor > 0) out += "x" + std::to_string(static_cast<int>(r.mass_factor)) + " ";
        break;
      case sheet::Row::Outcome::illegal:
        out += "illegal ";
        break;
      case sheet::Row::Outcome::too_few:
        out += "too-few(" + std::to_string(r.filled) + ") ";
        break;
      case sheet::Row::Outcome::subtotal:
        out += "subtotal ";
        break;
      case sheet::Row::Outcome::skipped:
        out += "skipped ";
        break;
    }
    if (!r.reason.empty()) out += std::string(r.cell) + ": " + std::string(r.reason);
    out += "\n";
  }
  void note(std::string_view text) override { out += "note: " + std::string(text) + "\n"; }
  void warning(std::string_view cell, std::string_view text) override {
    out += "warning: " + std::string(cell) + ": " + std::string(text) + "\n";
  }
  std::string out;
};

struct TableCase {
  const char* name;
  const char* file_name;
  const char* bytes;
  const char* columns;
  const char* expected;  // the recorder's lines, then "refused: <reason>" or "text list"
  const char* skip_rows = "";
};

std::string read(const TableCase& c) {
  auto source = sheet::memory_source(c.bytes);
  const sheet::Form form = sheet::form_of(*source, c.file_name, false);
  sheet::Options options;
  options.columns = c.columns;
  options.skip_rows = c.skip_rows;
  Recorder recorder;
  const sheet::Outcome outcome = sheet::read_table(*source, form, options, recorder);
  if (outcome.no_table) return recorder.out + "text list\n";
  if (!outcome.read) return recorder.out + "refused: " + outcome.reason + "\n";
  return recorder.out;
}

const TableCase kTables[] = {
    {"CommaHeadingsFoundBelowTitles", "w.csv",
     "Deck 2 weights\n\nItem,Mass [kg],X,Y,Z,Note\n1,12.5,45.0,-3.2,28.5,Pump A\n", "",
     "heading 3:BCDE kg\n4 12.5 45 -3.2 28.5 \n"},
    {"SemicolonDecimalCommaQuoted", "w.csv",
     "\xEF\xBB\xBF\"Masse (t)\";\"LCG\";\"TCG\";\"VCG\"\n\"1,5\";\"10\";\"-2,25\";\"3\"\n", "",
     "heading 1:ABCD t\nnote: numbers written as text are read with a decimal comma, as in A2\n"
     "2 1.5 10 -2.25 3 \n"},
    {"TabEmptyCellIsRejectedNeverShifted", "w.tsv", "W\tX\tY\tZ\n38.0\t20.0\t\t31.4\t589\n", "",
     "heading 1:ABCD\n2 too-few(3) C2: the Y cell is empty; the row is left out\n"},
    {"QuotedDelimiterAndLineBreak", "w.csv",
     "Description,Weight,X,Y,Z\n\"Pump, \"\"A\"\"\nspare\",1,2,3,4\n", "",
     "heading 1:BCDE\n2 1 2 3 4 \n"},
    {"TextCellAndTextBeforeEmpty", "w.csv", "mass,x,y,z\n1,abc,,3\n", "",
     "heading 1:ABCD\n2 illegal B2: the X cell holds \"abc\", not a number; the row is left out\n"},
    {"UnitColumnAndMillimetres", "w.csv",
     "Mass,Unit,X [mm],Y [cm],Z [m]\n2,kg,1500,250,3\n3,t,0,0,0\n4,lb,0,0,0\n", "",
     "heading 1:ACDE unit-column\n"
     "note: coordinates headed in mm or cm are converted to metres: X (mm), Y (cm)\n"
     "2 2 1.5 2.5 3 x1 \n3 3 0 0 0 x1000 \n4 1.81436948 0 0 0 x1 \n"},
    {"TotalRowLeftOut", "w.csv", "Item,Mass,X,Y,Z\nA,1,1,1,1\nTotal,1,,,\n", "",
     "heading 1:BCDE\n2 1 1 1 1 \n"
     "3 subtotal B3: a total: a mass without coordinates beside a total label; left out\n"
     "note: the list's own total in row 3 (1) agrees with the sum of the rows above it\n"
     "note: 1 subtotal row was left out\n"},
    {"TwoMassColumnsRefused", "w.csv", "Mass [t],Weight [kg],X,Y,Z\n1,2,3,4,5\n", "",
     "refused: row 1 names 2 mass columns: A (\"Mass [t]\") and B (\"Weight [kg]\"); choose one "
     "with --columns mass=A\n"},
    {"ColumnsChooseAmongTwo", "w.csv", "Mass [t],Weight [kg],X,Y,Z\n1,2,3,4,5\n", "mass=B",
     "heading 1:BCDE kg\n2 2 3 4 5 \n"},
    {"ColumnsByHeadingTextAndNumber", "w.csv", "Vessel,m,Pos,Port,Up\n1,2,3,4,5\n",
     "mass=m,x=3,y=port,z=E", "heading 1:BCDE\n2 2 3 4 5 \n"},
    {"ColumnsByLetterWithoutHeading", "w.csv", "1,2,3,4\n5,6,7,8\n", "mass=A,x=B,y=C,z=D",
     "heading 0:ABCD\n1 1 2 3 4 \n2 5 6 7 8 \n"},
    {"NoHeadingNamesClosest", "w.csv", "Mass,X,Y,Height\n1,2,3,4\n", "", "text list\n"},
    {"UnknownUnitRefused", "w.csv", "Mass [st],X,Y,Z\n1,2,3,4\n", "",
     "refused: the mass heading \"Mass [st]\" names a unit other than kg, t, g or lb\n"},
    {"TextListByName", "w.txt", "Mass,X,Y,Z\n1,2,3,4\n", "", "text list\n"},
    // Headings as engineers write them, and units nobody wrote in the heading.
    {"HeadingsAsWritten", "w.csv", "Item,Weight / kg,CoG_x [m],Y_cg,VCG above BL [m]\nA,10,1,2,3\n",
     "", "heading 1:BCDE kg\n2 10 1 2 3 \n"},
    {"UnitRowUnderHeadings", "w.csv", "Item;Mass;X;Y;Z\n;kg;mm;m;m\nA;10;1500;2;3\n", "",
     "heading 1:BCDE kg\nnote: coordinates headed in mm or cm are converted to metres: X (mm)\n"
     "note: the units in row 2 under the headings are read as theirs\n3 10 1.5 2 3 \n"},
    {"GramsInchesFeetConverted", "w.csv", "Part,Mass [g],X [in],Y,Z [ft]\nA,1500,100,0,10\n", "",
     "heading 1:BCDE\nnote: coordinates headed in inches or feet are converted to metres (1 in = "
     "0.0254 m, 1 ft = 0.3048 m): X (in), Z (ft)\nnote: masses in g are converted to kg (1 g = "
     "0.001 kg)\n2 1.5 2.54 0 3.048 x1 \n"},
    {"TonsWarned", "w.csv", "Weight (tons),X,Y,Z\n1,1,2,3\n", "",
     "heading 1:ABCD t\nwarning: A1: \"ton\" is read as the metric tonne, 1000 kg; a long ton is "
     "1016.05 kg and a short ton 907.18 kg: give the unit as t, or the masses in kg\n"
     "2 1 1 2 3 \n"},
    {"ConstantsForRolesTheFileLacks", "w.csv", "Station,Mass [kg],LCG\nA,10,1\n", "y=0,z=1.5",
     "heading 1:BCAA kg\nnote: Y is 0 m and Z is 1.5 m in every row, as --columns gives\n"
     "2 10 1 0 1.5 \n"},
    {"CentreInOneCell", "w.csv",
     "Part,Mass (kg),Center of mass (mm),Origin (mm)\nA,1.5,\"(120.5, -30.0, 455.0)\",\"(0, 0, "
     "0)\"\nB,1,\"1 2\",\"(0, 0, 0)\"\n",
     "",
     "heading 1:BCCC kg\nnote: coordinates headed in mm or cm are converted to metres: X (mm), "
     "Y (mm), Z (mm)\nnote: X, Y, Z of each row from the centre in C (\"Center of mass (mm)\")\n"
     "2 1.5 0.1205 -0.03 0.455 \n3 illegal C3: the centre cell holds \"1 2\", not three numbers "
     "X, Y and Z; the row is left out\n"},
    {"QuantityTimesUnitMass", "w.csv", "Item,Qty,Unit mass [kg],X,Y,Z\nBolt,48,0.25,1,2,3\n", "",
     "heading 1:CDEF kg\nnote: the mass of each row is B (\"Qty\") times C (\"Unit mass "
     "[kg]\")\n2 12 1 2 3 \n"},
    {"TotalMassTakenBeforeTheProduct", "w.csv",
     "Item,Qty,Unit mass [kg],Total mass [kg],X,Y,Z\nBolt,48,0.25,12.5,1,2,3\n", "",
     "heading 1:DEFG kg\nnote: the mass of each row is D (\"Total mass [kg]\"); B (\"Qty\") "
     "times C (\"Unit mass [kg]\") is not used\n2 12.5 1 2 3 \n"},
    // Totals typed as numbers, below and above their items, and the list's own total.
    {"TypedTotalBelowItsItems", "w.csv",
     "No,Mass [kg],X,Y,Z\n1,500,20,0,5\n2.1,1200,31.0,1.5,8.0\n2.2,600,28.0,-1.5,8.0\n"
     "2,1800,30.0,0.5,8.0\n",
     "",
     "heading 1:BCDE kg\n2 500 20 0 5 \n3 1200 31 1.5 8 \n4 600 28 -1.5 8 \n5 1800 30 0.5 8 \n"
     "warning: B5: row 5's mass is the sum of rows 3-4, and its centre is theirs: a total counted "
     "twice? leave it out with --skip-rows 5\n"},
    {"GroupRowAboveItsItemsByCode", "w.csv",
     "No,Mass [kg],X,Y,Z\n400,1800,0,0,0\n410,1200,31,1.5,8\n420,600,28,-1.5,8\n", "",
     "heading 1:BCDE kg\n2 1800 0 0 0 \n3 1200 31 1.5 8 \n4 600 28 -1.5 8 \n"
     "warning: B2: row 2's mass is the sum of rows 3-4, and its item code 400 is theirs' above: a "
     "total counted twice? leave it out with --skip-rows 2\n"},
    {"SkipRowsLeavesATotalOut", "w.csv",
     "No,Mass [kg],X,Y,Z\n2.1,1200,31.0,1.5,8.0\n2.2,600,28.0,-1.5,8.0\n2,1800,30.0,0.5,8.0\n", "",
     "heading 1:BCDE kg\n2 1200 31 1.5 8 \n3 600 28 -1.5 8 \n4 skipped \n"
     "note: row 4 left out, as --skip-rows asks (1 row with cells)\n",
     "4"},
    {"ListTotalDiffers", "w.csv", "Item,Mass [kg],X,Y,Z\nA,1,1,1,1\nB,2,1,1,1\nTotal,4,,,\n", "",
     "heading 1:BCDE kg\n2 1 1 1 1 \n3 2 1 1 1 \n"
     "4 subtotal B4: a total: a mass without coordinates beside a total label; left out\n"
     "warning: B4: the list's own total in row 4 (4 kg) differs from the sum of the rows above "
     "it, 3 kg (1 kg less): a row left out, or one counted twice?\n"
     "note: 1 subtotal row was left out\n"},
    // No heading row: refused with the columns to name where no line is a weight line.
    {"NumbersWithoutHeadings", "w.csv", "1.500;0.151;0.000;0.020\n2.000;0.100;0.000;0.020\n", "",
     "refused: has no heading row, and its lines are no weight lines; its rows hold numbers in "
     "columns A-D: name them with --columns mass=A,x=B,y=C,z=D, and the mass unit with -u\n"},
    {"NearHeadingNamesWhatToGive", "w.csv", "Station,Mass [kg],LCG\nA,10,1\n", "",
     "refused: no row names the mass and X, Y, Z columns (row 1 comes closest, with mass in B "
     "(\"Mass [kg]\"), X in C (\"LCG\"), and no Y, Z); name the columns with --columns "
     "mass=B,x=C,y=0,z=0 (a coordinate the file lacks given as a constant, in metres)\n"},
    {"NotANumberRefused", "w.csv", "Mass,X,Y,Z\nNaN,1,2,3\n", "",
     "heading 1:ABCD\n2 illegal A2: the mass cell holds \"NaN\", not a number; the row is left "
     "out\n"},
    {"UnclosedQuoteToldAtItsRow", "w.csv", "Mass,X,Y,Z\n1,\"2,3,4\n5,6,7,8\n", "",
     "heading 1:ABCD\n2 illegal B2: the quote that opens this cell is never closed, so the rest "
     "of the row is not known (the reading goes on at the next line); the row is left out\n"
     "3 5 6 7 8 \n"},
    {"ControlCharactersShownEscaped", "w.csv",
     "Mass,X,Y,Z\n\"\x1b]0;x\x07\n\xc2\x9b"
     "2J\",2,3,4\n",
     "",
     "heading 1:ABCD\n2 illegal A2: the mass cell holds \"\\e]0;x\\x07\\n\\u009b2J\", not a "
     "number; "
     "the row is left out\n"},
};

class Tables : public ::testing::TestWithParam<TableCase> {};

TEST_P(Tables, ReadAsExpected) {
  EXPECT_EQ(read(GetParam()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Delimited, Tables, ::testing::ValuesIn(kTables),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Tables, TableOptionNamesTheClosestRow) {
  auto source = sheet::memory_source("Mass,X,Y,Height\n1,2,3,4\n");
  sheet::Options options;
  options.table = true;
  Recorder recorder;
  const sheet::Outcome outcome =
      sheet::read_table(*source, sheet::Form::delimited, options, recorder);
  EXPECT_FALSE(outcome.read);
  EXPECT_EQ(outcome.reason,
            "no row names the mass and X, Y, Z columns (row 1 comes closest, with mass in A "
            "(\"Mass\"), X in B (\"X\"), Y in C (\"Y\"), and no Z); name the columns with "
            "--columns mass=A,x=B,y=C,z=D");
}

// A table saved as UTF-16 text with its byte-order mark ("Unicode text") is read as the table
// it is, in either byte order.
TEST(Tables, Utf16TextWithItsMark) {
  for (const bool little : {true, false}) {
    const std::string bytes =
        testing_support::utf16("Mass [t]\tX\tY\tZ\n10\t2\t3\t1.5\n", little, true);
    auto source = sheet::memory_source(bytes);
    Recorder recorder;
    const sheet::Outcome outcome =
        sheet::read_table(*source, sheet::form_of(*source, "w.tsv", false), {}, recorder);
    EXPECT_TRUE(outcome.read) << outcome.reason;
    EXPECT_EQ(recorder.out, "heading 1:ABCD t\n2 10 2 3 1.5 \n");
  }
}

// A table that another program writes while it is read is refused as damage.
TEST(Tables, ATableThatChangesWhileItIsReadIsRefused) {
  ScratchDir dir;
  dir.write("w.csv", "Mass,X,Y,Z\n1,2,3,4\n");
  int error = 0;
  const auto source = sheet::open_file(dir.file("w.csv"), error);
  ASSERT_TRUE(source);
  dir.write("w.csv", "Mass,X,Y,Z\n1,2,3,4\n5,6,7,8\n");
  Recorder recorder;
  const sheet::Outcome outcome = sheet::read_table(*source, sheet::Form::delimited, {}, recorder);
  EXPECT_FALSE(outcome.read);
  EXPECT_TRUE(outcome.unreadable);
  EXPECT_EQ(outcome.reason,
            "changed while it was read (another program may still be writing it); nothing of it "
            "is used");
}

// No total is seen where there is none: evenly spaced equal strips, strips numbered as
// items, and the real lists read as tables.
TEST(Totals, NoFalseAlarm) {
  std::vector<std::pair<std::string, std::string>> tables;
  std::string strips = "No,Mass [t],X,Y,Z\n";
  std::string alternate = strips;
  for (int i = 1; i <= 400; ++i) {
    const std::string x = std::to_string(i / 10.0);
    strips += std::to_string(i) + ",1.25," + x + ",0,0\n";
    alternate += std::to_string(i * 10) + (i % 2 == 0 ? ",2," : ",1,") + x + ",0,2\n";
  }
  tables.emplace_back("strips", strips);
  tables.emplace_back("alternate strips", alternate);
  const std::filesystem::path real =
      std::filesystem::path(TEST_DATA_DIR) / "../../../shared/real-lists";
  bool any_real = false;
  if (std::filesystem::is_directory(real)) {
    for (const auto& entry : std::filesystem::directory_iterator(real)) {
      if (entry.path().extension() != ".txt") continue;
      std::ifstream in(entry.path());
      std::string table = "Item,Mass,X,Y,Z\n";
      std::string line;
      for (int item = 1; std::getline(in, line);) {
        if (line.starts_with("'")) continue;
        std::istringstream fields(line.substr(0, line.find('!')));
        std::string m, x, y, z;
        if (fields >> m >> x >> y >> z) {
          table += std::to_string(item++) + "," + m + "," + x + "," + y + "," + z + "\n";
        }
      }
      tables.emplace_back(entry.path().filename().string(), table);
      any_real = true;
    }
  }
  for (const auto& [name, bytes] : tables) {
    auto source = sheet::memory_source(bytes);
    Recorder recorder;
    const sheet::Outcome outcome = sheet::read_table(*source, sheet::Form::delimited, {}, recorder);
    EXPECT_TRUE(outcome.read) << name << ": " << outcome.reason;
    EXPECT_EQ(recorder.out.find("warning"), std::string::npos) << name << "\n" << recorder.out;
  }
  if (!any_real) {
    GTEST_SKIP() << "the real weight lists (shared/real-lists beside the project) are absent";
  }
}

}  // namespace
