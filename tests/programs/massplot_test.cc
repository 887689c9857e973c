// massplot run as a program: arguments, the name of the picture, exit statuses, the lines on
// standard error, and the picture file left as it was whenever it cannot be written whole.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mount.h>
#endif

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/sheet.h"
#include "support/subprocess.h"

namespace {

using testing_support::run_program;
using testing_support::RunResult;
using testing_support::ScratchDir;

const std::string kRecords =
    "# report\r\n Map_Mass     1      10.000      20.000      30.000   1.5000E+03\r\n"
    " Map_Mass     1      -5.000       0.000       4.500   2.0000E+03\r\n";
const std::string kFormer = "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n";  // a former picture

class PlotRun : public ::testing::Test {
 protected:
  RunResult run(const std::vector<std::string>& args) {
    return run_program(MASSPLOT_EXE, args, "", dir.path());
  }
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) {
      names.push_back(std::filesystem::relative(e.path(), dir.path()).string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  ScratchDir dir;
};

struct FailureCase {
  const char* what;
  std::vector<std::string> args;
  int status;
  const char* err;  // expected standard error
};

// Each case starts from a folder holding m.txt (records), w.txt (a weight list, no records),
// none.txt (a weight list without a mass), bad.txt (records that are not numbers) and the
// folder sub/.
TEST_F(PlotRun, FailuresEndWithTheirStatusAndOneLineAndWriteNothing) {
  const FailureCase cases[] = {
      {"no arguments", {}, 1, nullptr},
      {"three arguments", {"m.txt", "a.svg", "b.svg"}, 1, nullptr},
      {"an empty name", {""}, 1, nullptr},
      {"missing input",
       {"nope.txt"},
       2,
       "massplot: nope.txt: cannot read: No such file or directory\r\n"},
      {"a folder as input", {"sub"}, 2, "massplot: sub: cannot read: Is a directory\r\n"},
      {"a weight list without masses",
       {"none.txt"},
       2,
       "massplot: none.txt: 1 line left out, as kel2fram leaves them out (a word, or fewer than "
       "four numbers): line 3\r\n"
       "massplot: none.txt: no mass kept: every line of the weight list was rejected\r\n"},
      {"an unknown option", {"--frame", "m.txt"}, 1, nullptr},
      {"a damaged workbook, or any workbook in a build that reads none",
       {"book.xlsx"},
       2,
       sheet::reads_workbooks()
           ? "massplot: book.xlsx: starts as a zip container but is cut short or damaged (no "
             "directory of its entries)\r\n"
           : "massplot: book.xlsx: is a workbook, and these programs were built without the zip "
             "and XML libraries (Debian packages libminizip-dev and libexpat1-dev); save the "
             "sheet as CSV to read it\r\n"},
      {"a table whose every row is rejected",
       {"r.csv"},
       2,
       "massplot: r.csv: reading the table, headings in row 1\r\n"
       "massplot: r.csv: the mass unit is kg, from the heading \"Mass [kg]\"\r\n"
       "massplot: r.csv: B2: the X cell holds \"x\", not a number; the row is left out\r\n"
       "massplot: r.csv: 1 row left out, as kel2fram leaves them out: row 2\r\n"
       "massplot: r.csv: no mass kept: every row of the table was rejected\r\n"},
      {"a unit against the table's heading",
       {"-u", "t", "k.csv"},
       2,
       "massplot: k.csv: reading the table, headings in row 1\r\n"
       "massplot: k.csv: the mass unit answer is tonnes but the mass heading \"Mass [kg]\" says "
       "kg\r\n"},
      {"no record that can be drawn",
       {"bad.txt"},
       2,
       "massplot: bad.txt:1: Map_Mass record whose fields are not numbers, skipped\r\n"
       "massplot: bad.txt:2: Map_Mass record with a number that is not finite or beyond 1e300, "
       "not drawn\r\n"
       "massplot: bad.txt: no Map_Mass record that can be drawn\r\n"},
      {"picture in a missing folder",
       {"m.txt", "none/m.svg"},
       2,
       "massplot: none/m.svg: cannot write: No such file or directory\r\n"},
      {"picture onto a folder",
       {"m.txt", "sub"},
       2,
       "massplot: sub: cannot write: Is a directory\r\n"},
      {"picture onto its own input",
       {"m.txt", "./m.txt"},
       2,
       "massplot: ./m.txt: is the file being drawn; it is not overwritten\r\n"},
      // As "massplot out*.txt" names two files of records.
      {"picture onto a file that is not one",
       {"m.txt", "w.txt"},
       1,
       "massplot: w.txt: is not an SVG picture; it is not overwritten\r\n"},
      {"picture onto a web page holding an svg element",
       {"m.txt", "page.html"},
       1,
       "massplot: page.html: is not an SVG picture; it is not overwritten\r\n"},
      {"picture onto XML that names svg in a comment",
       {"m.txt", "data.xml"},
       1,
       "massplot: data.xml: is not an SVG picture; it is not overwritten\r\n"},
      {"picture onto a full device",
       {"m.txt", "/dev/full"},
       2,
       "massplot: /dev/full: not written: *** ERROR: WRITE FAILED ON UNIT 20 (/dev/full): No "
       "space left on device\r\n"},
  };
  dir.write("m.txt", kRecords);
  dir.write("w.txt", "1.5 10 20 30\n");
  dir.write("none.txt", "' no masses yet\n\n1 2 3\n");
  dir.write("book.xlsx", std::string("PK\x03\x04", 4) + std::string(60, '\0'));
  dir.write("r.csv", "Mass [kg],X,Y,Z\n1,x,3,4\n");
  dir.write("k.csv", "Mass [kg],X,Y,Z\n1,2,3,4\n");
  dir.write("bad.txt", " Map_Mass 1 ** 2 3 4\n Map_Mass 1 nan 2 3 4\n");
  dir.write("page.html", "<!DOCTYPE html>\n<html><body><svg width=\"1\"></svg></body></html>\n");
  dir.write("data.xml", "<?xml version=\"1.0\"?>\n<!-- not <svg -->\n<data/>\n");
  std::filesystem::create_directory(dir.file("sub"));
  const std::vector<std::string> before = files();
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    const RunResult r = run(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    if (c.err != nullptr) {
      EXPECT_EQ(r.err, testing_support::err_text(c.err));
    } else {
      EXPECT_NE(r.err.find("Usage: massplot [OPTIONS] FILE [SVGFILE]\n"), std::string::npos)
          << r.err;
    }
    EXPECT_EQ(files(), before);
    EXPECT_EQ(dir.read("m.txt"), kRecords);
    EXPECT_EQ(dir.read("w.txt"), "1.5 10 20 30\n");
  }
}

// A spreadsheet or a delimited table is drawn as kel2fram reads it, each mass named by its row
// (of its sheet) in the hover titles and the tables; its rejected rows are told by their cells.
struct TableCase {
  const char* file;   // in the folder, or in the test data when `bytes` is null
  const char* bytes;  // the file's bytes
  std::vector<std::string> options;
  const char* source;  // a part of the title block: what was read, or what was drawn
  const char* title;   // one mass's hover title
  const char* err;     // a part of standard error
};

TEST_F(PlotRun, ASpreadsheetIsDrawnWithItsRowsNamed) {
  const TableCase cases[] = {
      {"deck.xlsx",
       nullptr,
       {},
       "(xlsx spreadsheet, sheet Deck, masses in tonnes from the heading)",
       "row 11 of sheet Deck (mass cell Deck!C11): 12,500.0 kg at X 45.000, Y -6.200, Z 33.100",
       "massplot: deck.xlsx: Deck!C9: a subtotal (=SUM(C5:C8)); left out\r\n"},
      {"deck.ods",
       nullptr,
       {"-x", "-10,100"},
       "(ods spreadsheet, sheet Deck, masses in tonnes from the heading, X from -10 to 100)",
       "row 6 of sheet Deck (mass cell Deck!C6): 2,000.0 kg at X -5.000, Y 0.000, Z 4.500",
       "massplot: deck.ods: 1 hidden or filtered row was read like the others\r\n"},
      {"deck_semicolon.csv",
       nullptr,
       {"--unit", "t"},
       "(delimited table, masses in tonnes from --unit)",
       "row 11 (mass cell C11): 12,500.0 kg at X 45.000, Y -6.200, Z 33.100",
       "1 subtotal row was left out"},
      {"r.csv",
       "Mass;X;Y;Z\n1;2;3;4\n\n2;x;3;4\n3;2;5;4\n",
       {},
       "(delimited table, masses in tonnes by default)",
       "row 5 (mass cell A5): 3,000.0 kg at X 2.000, Y 5.000, Z 4.000",
       "massplot: r.csv: B4: the X cell holds \"x\", not a number; the row is left out\r\n"
       "massplot: r.csv: 1 row left out, as kel2fram leaves them out: row 4\r\n"},
      {"huge.csv",
       "Mass,X,Y,Z\n1,2,3,4\n1e305,1,3,4\n",
       {},
       ">1 mass drawn; 1 row not drawn (listed on standard error)<",
       "row 2 (mass cell A2): 1,000.0 kg at X 2.000, Y 3.000, Z 4.000",
       "massplot: huge.csv: row 3: a mass or coordinate that is not finite or beyond 1e300, not "
       "drawn\r\n"},
      {"t.txt",
       "a,b,c,d\n1,2,3,4\n",
       {"--columns", "mass=D,x=A,y=B,z=C", "-u", "kg"},
       "(delimited table, masses in kg from --unit)",
       "row 2 (mass cell D2): 4.0 kg at X 1.000, Y 2.000, Z 3.000",
       "massplot: t.txt: reading the table, headings in row 1\r\n"},
  };
  for (const TableCase& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string_view name = c.file;
    if ((name.ends_with(".xlsx") || name.ends_with(".ods")) && !sheet::reads_workbooks()) continue;
    if (c.bytes != nullptr) {
      dir.write(c.file, c.bytes);
    } else {
      std::filesystem::copy_file(std::string(TEST_DATA_DIR) + "/sheet/" + c.file, dir.file(c.file));
    }
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {c.file, "-"});
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(c.source), std::string::npos) << r.out.substr(0, 2000);
    EXPECT_NE(r.out.find(std::string("<title>") + c.title + "</title>"), std::string::npos);
    EXPECT_NE(r.out.find("text-anchor=\"end\">row</tspan>"), std::string::npos);
    EXPECT_NE(r.err.find(testing_support::err_text(c.err)), std::string::npos) << r.err;
  }
}

TEST_F(PlotRun, APictureReplacesOnlyAPictureAndADashIsStandardOutput) {
  dir.write("m.txt", kRecords);
  dir.write("empty.svg", "");
  for (int n = 0; n < 2; ++n) {  // made, then replaced
    const RunResult r = run({"m.txt", "pic.svg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(run({"m.txt", "empty.svg"}).status, 0);
  EXPECT_EQ(dir.read("empty.svg"), dir.read("pic.svg"));
  const RunResult dash = run({"m.txt", "-"});
  EXPECT_EQ(dash.status, 0);
  EXPECT_EQ(dash.out, dir.read("pic.svg"));
  EXPECT_FALSE(dir.exists("-"));
}

TEST_F(PlotRun, TooLittleMemoryFailsWithOneLineAndWritesNothing) {
  SKIP_ON_WINDOWS("ulimit");
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer's shadow memory needs more than any limit would leave";
#endif
  std::string text;
  for (int n = 0; n < 300000; ++n) text += " Map_Mass 1 " + std::to_string(n % 300) + " 2 3 4\n";
  dir.write("m.txt", text);
  const RunResult r = run_program(
      "/bin/sh", {"-c", "ulimit -v 20000; exec \"$0\" m.txt", MASSPLOT_EXE}, "", dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, testing_support::err_text("massplot: m.txt: not enough memory\r\n"));
  EXPECT_EQ(files(), std::vector<std::string>{"m.txt"});
}

TEST_F(PlotRun, HelpPrintsTheUsage) {
  const RunResult r = run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.starts_with("Usage: massplot [OPTIONS] FILE [SVGFILE]\n")) << r.out;
  EXPECT_EQ(r.err, "");
}

// Standard output that cannot be written (a full device, closed by the caller) is a failed
// write, for massplot's picture and help and for kitdump's help.
TEST_F(PlotRun, AFailedWriteToStandardOutputIsStatusTwo) {
  SKIP_ON_WINDOWS("/dev/full and a closed descriptor");
  dir.write("m.txt", kRecords);
  for (const std::string script :
       {MASSPLOT_EXE " m.txt - >&-", MASSPLOT_EXE " m.txt - >/dev/full",
        MASSPLOT_EXE " --help >/dev/full", KITDUMP_EXE " --help >/dev/full"}) {
    SCOPED_TRACE(script);
    EXPECT_EQ(run_program("/bin/sh", {"-c", script}, "", dir.path()).status, 2);
  }
}

TEST_F(PlotRun, ThePictureIsNamedAfterTheInput) {
  const std::vector<std::pair<std::string, std::string>> names{
      {"out.txt", "out.svg"},     {"out", "out.svg"},         {"a.b.c", "a.b.svg"},
      {".hidden", ".hidden.svg"}, {"d.d/out", "d.d/out.svg"}, {"m.svg.txt", "m.svg.svg"},
  };
  std::filesystem::create_directory(dir.file("d.d"));
  for (const auto& [input, picture] : names) {
    SCOPED_TRACE(input);
    dir.write(input, kRecords);
    const RunResult r = run({input});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_TRUE(dir.exists(picture));
    EXPECT_TRUE(dir.read(picture).ends_with("</svg>\r\n"));
  }
}

TEST_F(PlotRun, RecordsThatAreNotNumbersAreNamedByLineAndSkipped) {
  std::string text = kRecords + " Map_Mass     1************      20.000      30.000   1.5E+03\r\n";
  const RunResult one = [&] {
    dir.write("m.txt", text);
    return run({"m.txt"});
  }();
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(one.err,
            testing_support::err_text(
                "massplot: m.txt:4: Map_Mass record whose fields are not numbers, skipped\r\n"));
  EXPECT_NE(dir.read("m.svg").find(">2 masses drawn; 1 record not drawn"), std::string::npos);

  // A flood of them is cut short after 100 lines.
  for (int n = 0; n < 150; ++n) text += " Map_Mass 1 x 2 3 4\n";
  dir.write("m.txt", text);
  const RunResult flood = run({"m.txt"});
  EXPECT_EQ(flood.status, 0);
  EXPECT_EQ(std::count(flood.err.begin(), flood.err.end(), '\n'), 101);
  EXPECT_TRUE(flood.err.ends_with(
      testing_support::err_text("massplot: m.txt: 51 more records skipped\r\n")))
      << flood.err;
}

TEST_F(PlotRun, APictureThatDoesNotFitLeavesTheFolderAsItWas) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a small file system mounted by the test (Linux tmpfs)";
#else
  // 20,000 masses give a picture of about 7 MB; the folder is a file system of 64 KB.
  std::string text;
  for (int n = 0; n < 20000; ++n) {
    text += " Map_Mass 1 " + std::to_string(n % 300) + " " + std::to_string(n / 300) + " 0 1\n";
  }
  dir.write("m.txt", text);
  const std::string small = dir.file("small");
  std::filesystem::create_directory(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "no tmpfs can be mounted here";
  }
  dir.write("small/kept.svg", kFormer);
  const RunResult kept = run({"m.txt", "small/kept.svg"});
  const RunResult fresh = run({"m.txt", "small/fresh.svg"});
  const std::string former = dir.read("small/kept.svg");
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(small)) {
    left.push_back(e.path().filename().string());
  }
  ::umount2(small.c_str(), MNT_DETACH);
  EXPECT_EQ(kept.status, 2);
  EXPECT_EQ(fresh.status, 2);
  EXPECT_TRUE(fresh.err.starts_with("massplot: small/fresh.svg: not written: ")) << fresh.err;
  EXPECT_EQ(former, kFormer);
  EXPECT_EQ(left, std::vector<std::string>{"kept.svg"});
#endif
}

}  // namespace
