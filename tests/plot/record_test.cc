// Map_Mass records as massplot reads them: which lines are records, which numbers they hold,
// and how a file's bytes are split into lines whatever the block boundaries.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "plot/picture.h"

namespace {

using plot::RecordKind;

struct RecordCase {
  const char* line;
  RecordKind kind;
  plot::Mass mass;  // for RecordKind::mass
};

const RecordCase kRecordCases[] = {
    // The tool's own layout, with CR LF or LF.
    {" Map_Mass     1      10.000      20.000      30.000   1.5000E+03",
     RecordKind::mass,
     {10, 20, 30, 1500}},
    {" Map_Mass     1      -5.000       0.000       4.500   2.0000E+03\r",
     RecordKind::mass,
     {-5, 0, 4.5, 2000}},
    {" Map_Mass    12    1234.568      -0.250       0.000   5.0000E-01",
     RecordKind::mass,
     {1234.568, -0.25, 0, 0.5}},
    // Fixed columns whose numbers touch: only the columns tell them apart.
    {" Map_Mass  999912345678.123-1234567.123      -0.500  -2.5000E+03",
     RecordKind::mass,
     {12345678.123, -1234567.123, -0.5, -2500}},
    // Other writers: tabs, any spacing, D exponents, signs, items after the fifth.
    {"Map_Mass\t1\t1.5\t-2\t3\t4", RecordKind::mass, {1.5, -2, 3, 4}},
    {"   Map_Mass 2 +1d2 .5 5. 1.5D-1 ! remark", RecordKind::mass, {100, 0.5, 5, 0.15}},
    {" Map_Mass  1  1E-400  0  0  1", RecordKind::mass, {0, 0, 0, 1}},
    {" Map_Mass  **** 1 2 3 4", RecordKind::mass, {1, 2, 3, 4}},  // spread too wide
    // Not records.
    {"", RecordKind::other, {}},
    {"#  Center of Gravity:       1.429       8.571      15.429", RecordKind::other, {}},
    {"'          nSpread     X           Y           Z       Mass [kg]", RecordKind::other, {}},
    {"'  --------------- E O F ----------------", RecordKind::other, {}},
    {" Map_Masses 1 2 3 4 5", RecordKind::other, {}},
    {" map_mass 1 2 3 4 5", RecordKind::other, {}},
    {"# Map_Mass 1 2 3 4 5", RecordKind::other, {}},
    // Records whose fields are not numbers.
    {" Map_Mass", RecordKind::malformed, {}},
    {" Map_Mass     1      10.000      20.000      30.000", RecordKind::malformed, {}},
    {" Map_Mass     1************      20.000      30.000   1.5000E+03", RecordKind::malformed, {}},
    {" Map_Mass  1  1,5  2  3  4", RecordKind::malformed, {}},
    {" Map_Mass  1  1.5e  2  3  4", RecordKind::malformed, {}},
    {" Map_Mass  1  --1  2  3  4", RecordKind::malformed, {}},
    {" Map_Mass  1  .  2  3  4", RecordKind::malformed, {}},
    {" Map_Mass  x  1  2  3  4", RecordKind::malformed, {}},
    {" Map_Mass  1  0x10  2  3  4", RecordKind::malformed, {}},
    {" Map_Mass  1  1  2  3  4 junk-in-columns-beyond-the-mass-field-of-the-tool-lay",
     RecordKind::mass,
     {1, 2, 3, 4}},
    // Numbers that cannot be drawn.
    {" Map_Mass  1  NaN  2  3  4", RecordKind::not_drawn, {}},
    {" Map_Mass  1  1  -Infinity  3  4", RecordKind::not_drawn, {}},
    {" Map_Mass  1  1  2  3  1E400", RecordKind::not_drawn, {}},
    {" Map_Mass  1  1  2  1.1E300  4", RecordKind::not_drawn, {}},
    {" Map_Mass  1  1  2  1E300  -1E300", RecordKind::mass, {1, 2, 1e300, -1e300}},
};

TEST(PlotRecord, LinesAreReadAsTheirKindWithTheirNumbers) {
  for (const RecordCase& c : kRecordCases) {
    SCOPED_TRACE(c.line);
    plot::Mass mass{-7, -7, -7, -7};
    ASSERT_EQ(plot::parse_record(c.line, mass), c.kind);
    if (c.kind != RecordKind::mass) continue;
    EXPECT_DOUBLE_EQ(mass.x, c.mass.x);
    EXPECT_DOUBLE_EQ(mass.y, c.mass.y);
    EXPECT_DOUBLE_EQ(mass.z, c.mass.z);
    EXPECT_DOUBLE_EQ(mass.kg, c.mass.kg);
  }
}

struct Notices final : plot::RecordNotice {
  std::vector<std::int64_t> lines;
  void skipped(std::int64_t line_number, std::string_view /*reason*/) override {
    lines.push_back(line_number);
  }
};

// A file fed in blocks of every size from 1 byte up gives the same records and line numbers,
// whichever line ends it uses.
TEST(PlotRecord, BlockBoundariesDoNotChangeWhatIsRead) {
  const std::string long_line(plot::MassReader::kKeptLength + 100, 'x');
  const std::vector<std::string> files{
      "# report\r\n Map_Mass 1 1 2 3 4\r\n\r\n" + long_line +
          "\n Map_Mass 1 bad 2 3 4\r\nMap_Mass 1 5 6 7 -8\n Map_Mass 1 9 9 9",
      // Lone CRs end lines too; a CR LF is one line end.
      "# report\r Map_Mass 1 1 2 3 4\r\r" + long_line +
          "\r Map_Mass 1 bad 2 3 4\r\nMap_Mass 1 5 6 7 -8\r Map_Mass 1 9 9 9\r",
  };
  for (const std::string& file : files) {
    for (std::size_t block = 1; block <= file.size(); block += block < 40 ? 1 : 97) {
      SCOPED_TRACE(block);
      plot::MassList list;
      Notices notices;
      plot::MassReader reader(list, notices);
      for (std::size_t at = 0; at < file.size(); at += block) {
        const std::string_view piece = std::string_view(file).substr(at, block);
        reader.feed({piece.data(), piece.size()});
      }
      reader.finish();
      ASSERT_EQ(list.masses.size(), 2U);
      EXPECT_EQ(list.masses[0].kg, 4);
      EXPECT_EQ(list.masses[1].kg, -8);
      EXPECT_EQ(list.records, 4);
      EXPECT_EQ(list.malformed, 2);  // "bad", and the last line with four numbers
      EXPECT_EQ(notices.lines, (std::vector<std::int64_t>{5, 7}));
    }
  }
}

}  // namespace
