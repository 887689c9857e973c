// The record reader: significant records, the processed line, echo, end of file and read
// errors, from the in-memory text and from files.
#include <algorithm>
#include <cstdint>
#include <string>

#include "reader_fixture.h"
#include "support/subprocess.h"

namespace kit_test {
namespace {

using testing_support::ScratchDir;
using namespace std::string_literals;

struct RecordCase {
  const char* name;
  std::string text;    // the input, as lines
  std::int32_t nline;  // records taken to reach the first significant one
  std::int32_t icur;
  std::string line;  // PRCLIN from position 1 through the end mark
};

const RecordCase kRecordCases[] = {
    {"comment_mark_in_column_1", "'comment\n 'x\n", 2, 2, " 'XS"},
    {"exclamation_first", "   ! note\n!\n7\n", 3, 1, "7S"},
    {"blank_and_tab_records", "\n    \n \t \t\n5\n", 4, 1, "5S"},
    {"line_end_comment", "  1.5,2 ! mass\n", 1, 3, "  1.5,2S"},
    {"tab_between_numbers", "1\t2\t\n", 1, 1, "1 2S"},
    {"leading_tab", "\t\tx\n", 1, 3, "  XS"},
    {"lower_case", "abc Def\n", 1, 1, "ABC DEFS"},
    {"nul_ends_memory_line", "ab\0cd\nef\n"s, 1, 1, "ABS"},
    {"cr_before_line_feed", "12\r\n", 1, 1, "12S"},
    {"last_line_without_feed", "\n\n9", 3, 1, "9S"},
    // Characters that change the line, past the first eight and among the last few.
    {"tab_in_second_word", "12345678 9\t1\n", 1, 1, "12345678 9 1S"},
    {"small_letter_at_the_end", "1234567812345678 12x\n", 1, 1, "1234567812345678 12XS"},
    {"remark_in_second_word", "123456789!x\n", 1, 1, "123456789S"},
    {"high_bytes_stay", "1 \xe1\xfa\x81 2345678 y\n", 1, 1, "1 \xe1\xfa\x81 2345678 YS"},
};

class RecordTest : public ReaderTest, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(RecordTest, BuildsTheProcessedLine) {
  const RecordCase& c = GetParam();
  use_text(c.text);
  kit::RDLINE();
  const auto& s = kit::RDSTATE;
  EXPECT_EQ(s.ISTAT, 0);
  EXPECT_EQ(s.NLINE, c.nline);
  EXPECT_EQ(s.ICUR, c.icur);
  EXPECT_EQ(processed(), c.line);
}

INSTANTIATE_TEST_SUITE_P(Records, RecordTest, ::testing::ValuesIn(kRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReaderTest, LineEndCommentSetsCursorAndLast) {
  use_text("  1.5,2 ! mass");
  kit::RDLINE();
  EXPECT_EQ(kit::GETPAR(1), 3);
  EXPECT_EQ(kit::GETPAR(10), 7);
}

TEST_F(ReaderTest, LettersStayWhenUpcasingIsOff) {
  use_text("abc 1a\n");
  kit::SETPAR(0, 11);
  kit::RDLINE();
  EXPECT_EQ(processed(), "abc 1aS");
}

TEST_F(ReaderTest, LongRecordIsCutAtTheLineLength) {
  std::string record;
  for (int k = 0; k < 100; ++k) record += "1 ";  // 200 characters, 100 fields
  use_text(record + "\n");
  const MixedLine line = read_mixed();
  EXPECT_EQ(line.npar, 66);
  EXPECT_EQ(kit::RDSTATE.ILAST, 131);
  EXPECT_EQ(std::string(kit::RDSTATE.RAWLIN.data() + 1, 132), record.substr(0, 132));
}

// RAWLIN after each record of a file is the record blank padded to the line length, whatever
// the records before it held: a long one before a short one, a CR before the line feed, a
// record read with another line length.
TEST_F(ReaderTest, EveryRecordFromAFileFillsTheWholeLine) {
  struct Step {
    std::int32_t nchlin;
    std::string record;
  };
  const Step steps[] = {
      {132, "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20"},
      {132, "7"},
      {132, "12345678\r"},
      {132, "x\ty"},
      {20, "a record longer than its twenty columns"},
      {132, "9"},
      {132, std::string(140, '3')},
      {132, "  5"},
  };
  std::string text;
  for (const Step& step : steps) text += step.record + "\n";
  ScratchDir dir;
  dir.write("w.txt", text);
  open_file(dir.file("w.txt"));
  std::int32_t ierr = 0;
  kit::INIFII(kFileUnit, kConsole, ierr);
  for (const Step& step : steps) {
    kit::SETPAR(step.nchlin, 21);
    kit::RDLINE();
    const auto width = static_cast<std::size_t>(step.nchlin);
    const std::string line = step.record.substr(0, step.record.find('\r'));
    EXPECT_EQ(std::string(kit::RDSTATE.RAWLIN.data() + 1, width),
              padded(line.substr(0, std::min(line.size(), width)), width))
        << step.record;
  }
}

TEST_F(ReaderTest, EchoShowsEveryRecordOnTheConsole) {
  use_text("'c\n\n1\n", 0);
  EXPECT_EQ(kit::GETPAR(7), 0);
  kit::RDLINE();
  EXPECT_EQ(console(), " " + padded("'c", 132) + "\r\n " + padded("", 132) + "\r\n " +
                           padded("1", 132) + "\r\n");
}

TEST_F(ReaderTest, EndOfFileWithinToleranceIsQuietThenStops) {
  ScratchDir dir;
  std::string text;
  for (int k = 1; k <= 10; ++k) text += std::to_string(k) + "\n";
  dir.write("w.txt", text);
  open_file(dir.file("w.txt"));
  std::int32_t ierr = 0;
  kit::INIFII(kFileUnit, kConsole, ierr);
  for (int k = 1; k <= 10; ++k) kit::RDLINE();
  kit::RDLINE();
  EXPECT_EQ(kit::GETSTS(), 0);
  EXPECT_EQ(kit::RDSTATE.NEOF, 1);
  EXPECT_TRUE(kit::ATEOF());
  EXPECT_EQ(console(), "");
  EXPECT_THROW(kit::RDLINE(), lineio::StopRun);
  EXPECT_EQ(kit::GETSTS(), kit::kEofStatus);
  EXPECT_EQ(console(),
            "\r\n"
            " *** ERROR DURING READING OF LINE    12  ON UNIT  88\r\n"
            "     ATTEMPT TO READ THROUGH AN END OF FILE\r\n"
            "     (    1 TIMES )\r\n");
}

TEST_F(ReaderTest, EndOfFileWithoutToleranceReportsEachHitAndGoesOn) {
  kit::load_memory_text("");
  std::int32_t ierr = 0;
  kit::FIIOPN(80, 8, kit::kMemoryUnit, 0, -1, ierr);
  ASSERT_EQ(ierr, 0);
  for (int k = 0; k < 2; ++k) {
    kit::RDLINE();
    EXPECT_EQ(kit::GETSTS(), kit::kEofStatus);
  }
  const auto report = [](const char* line) {
    return "\r\n *** ERROR DURING READING OF LINE     "s + line +
           "  ON UNIT****\r\n     ATTEMPT TO READ THROUGH AN END OF FILE\r\n";
  };
  EXPECT_EQ(console(), report("1") + report("2"));
}

TEST_F(ReaderTest, SilentReaderStillStops) {
  use_text("1\n", -1);
  kit::RDLINE();
  kit::RDLINE();
  EXPECT_THROW(kit::RDLINE(), lineio::StopRun);
  EXPECT_EQ(console(), "");
}

TEST_F(ReaderTest, ReadErrorIsReportedAndLeavesTheLine) {
  ScratchDir dir;
  dir.write("w.txt", "1\n2\n3\n4 5\n6\n");
  open_file(dir.file("w.txt"));
  std::int32_t ierr = 0;
  kit::INIFII(kFileUnit, kConsole, ierr);
  for (int k = 0; k < 4; ++k) kit::RDLINE();
  lineio::close_unit(kFileUnit);  // the next read fails
  std::int32_t npar = 7;
  std::int32_t itype[4];
  double value[4];
  char text[32];
  kit::RDMIX(npar, itype, value, kit::TextArray(text, 8), kFileUnit, kConsole, ierr);
  EXPECT_EQ(npar, 7);
  EXPECT_EQ(ierr, -1);
  EXPECT_LT(kit::GETSTS(), 0);
  EXPECT_EQ(processed(), "4 5S");
  const std::string code = std::to_string(-kit::GETSTS());
  EXPECT_EQ(console(),
            "\r\n"
            " *** ERROR DURING READING OF LINE     5  ON UNIT  88\r\n"
            "     IOSTAT =" +
                std::string(4 - code.size(), ' ') + code +
                "\r\n"
                "\r\n"
                "  *** ERROR IN RDMIX\r\n"
                "\r\n");
}

TEST_F(ReaderTest, FileRecordsAreBytes) {
  ScratchDir dir;
  dir.write("w.txt", "1 \x80\xff 2\r\n3 a\0b\n4"s);
  open_file(dir.file("w.txt"));
  std::int32_t ierr = 0;
  kit::INIFII(kFileUnit, -kConsole, ierr);
  MixedLine line = read_mixed();
  ASSERT_EQ(line.npar, 3);
  EXPECT_EQ(line.fields[1].text, "\x80\xff");
  line = read_mixed();
  ASSERT_EQ(line.npar, 2);
  EXPECT_EQ(line.fields[1].text, std::string("A\0B", 3));
  EXPECT_EQ(read_mixed().npar, 1);
  EXPECT_EQ(read_mixed().npar, -1);
}

TEST_F(ReaderTest, MemoryTextRestartsOnRewind) {
  use_text("1\n\n2");
  EXPECT_EQ(read_mixed().npar, 1);
  kit::RWDINP();
  EXPECT_EQ(read_mixed().fields.at(0).value, 1.0);
  EXPECT_EQ(read_mixed().fields.at(0).value, 2.0);
  EXPECT_EQ(read_mixed().npar, -1);
}

TEST_F(ReaderTest, TxtlinDeliversLinesAndEnd) {
  kit::load_memory_text("ab\r\n\ncd\0x\nlast"s);
  std::array<char, 6> line;
  std::int32_t status = -1;
  const char* expected[] = {"ab    ", "      ", "cd    ", "last  "};
  for (const char* e : expected) {
    kit::TXTLIN(line, 6, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(line.data(), 6), e);
  }
  kit::TXTLIN(line, 6, status);
  EXPECT_EQ(status, kit::kMemoryEndStatus);
}

TEST_F(ReaderTest, StandardInputIsReadOnTheConsoleUnit) {
  lineio::MemorySource keyboard("5 6\n");
  lineio::bind_console(keyboard, out_, false);
  std::int32_t ierr = 0;
  kit::FIIOPN(132, 8, 0, -1, -1, ierr);
  const MixedLine line = read_mixed();
  ASSERT_EQ(line.npar, 2);
  EXPECT_EQ(line.fields[1].value, 6.0);
  kit::RDLINE();
  EXPECT_EQ(kit::GETSTS(), kit::kEofStatus);
}

TEST_F(ReaderTest, CountersNeverWrap) {
  use_text("", -1);
  kit::SETPAR(0, 12);
  kit::RDSTATE.NLINE = INT32_MAX;
  kit::SETPAR(INT32_MAX, 13);
  std::int32_t ierr = INT32_MIN;
  const MixedLine line = read_mixed(ierr);
  EXPECT_EQ(kit::RDSTATE.NLINE, INT32_MAX);
  EXPECT_EQ(kit::RDSTATE.NEOF, INT32_MAX);
  EXPECT_EQ(ierr, INT32_MIN);
  EXPECT_EQ(line.npar, -99);  // untouched by the failed call
}

}  // namespace
}  // namespace kit_test
