// A sheet's name and a cell's text from a workbook never reach a terminal as control
// characters, whichever program shows them.
#include <gtest/gtest.h>

#include <string>

#include "support/subprocess.h"
#include "support/workbook_maker.h"

namespace {

using testing_support::Entries;
using testing_support::kWorkbook;
using testing_support::make_zip;
using testing_support::sheet_xml;
using testing_support::workbook;

// A sheet's name and a cell's text from the file never reach a terminal as control characters:
// kitdump shows them escaped, on standard output and standard error alike, and massplot on
// standard error (a mass it cannot draw is named by its row of the sheet).
TEST(HostileNames, ControlCharactersAreShownEscaped) {
  std::string book = kWorkbook;
  book.replace(book.find("name=\"S\""), 8, "name=\"S&#10;kel2fram: 999 records written\"");
  Entries entries = workbook(sheet_xml(
      R"(<row r="2"><c r="A2" t="inlineStr"><is><t>)"
      "\xc2\x9b"
      R"(2J</t></is></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c><c r="D2"><v>4</v></c></row>)"
      R"(<row r="3"><c r="A3"><v>1e305</v></c><c r="B3"><v>2</v></c><c r="C3"><v>3</v></c>)"
      R"(<c r="D3"><v>4</v></c></row>)"
      R"(<row r="4"><c r="A4"><v>1</v></c><c r="B4"><v>2</v></c><c r="C4"><v>3</v></c>)"
      R"(<c r="D4"><v>4</v></c></row>)"));
  entries[0].second = book;
  testing_support::ScratchDir dir;
  dir.write("deck.xlsx", make_zip(entries));
  const auto r = testing_support::run_program(KITDUMP_EXE, {"deck.xlsx"}, "", dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("table sheet \"S\\nkel2fram: 999 records written\", headings in row 1"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("2 illegal 'S\\nkel2fram: 999 records written'!A2: the mass cell holds "
                       "\"\\u009b2J\""),
            std::string::npos)
      << r.out;
  const auto plot = testing_support::run_program(MASSPLOT_EXE, {"deck.xlsx"}, "", dir.path());
  EXPECT_EQ(plot.status, 0) << plot.err;
  EXPECT_NE(plot.err.find("massplot: deck.xlsx: row 3 of sheet S\\nkel2fram: 999 records written: "
                          "a mass or coordinate that is not finite or beyond 1e300, not drawn"),
            std::string::npos)
      << plot.err;
  for (const std::string& text : {r.out, r.err, plot.err}) {
    EXPECT_EQ(text.find("\nkel2fram: 999"), std::string::npos);
    EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos);
  }
}

}  // namespace
