// OPNFIL: codes, mode texts, reports, and what the open service does with files.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "os/platform.h"
#include "support/subprocess.h"

namespace {

using testing_support::crlf;
using testing_support::ScratchDir;

class OpnfilTest : public ::testing::Test {
 protected:
  OpnfilTest() : in(no_input) { lineio::bind_console(in, out, false); }
  ~OpnfilTest() override { lineio::abandon_all(); }
  std::string console() {
    lineio::flush_console();
    return out.bytes();
  }
  std::int32_t open(const std::string& name, std::int32_t unit, std::int32_t status,
                    std::int32_t access, std::int32_t form, std::int32_t blank, std::int32_t recl,
                    std::int32_t report, std::int32_t msg) {
    std::int32_t ierr = 12345;
    kit::OPNFIL(name, unit, status, access, form, blank, recl, report, msg, ierr);
    return ierr;
  }
  std::string no_input;
  lineio::MemorySource in;
  lineio::MemorySink out;
  ScratchDir dir;
};

TEST_F(OpnfilTest, IllegalUnitsAreRefusedWithTheirReport) {
  EXPECT_EQ(open(dir.file("a"), 0, 1, 10, 1, 0, 0, 1, 6), -901);
  EXPECT_EQ(open(dir.file("a"), 100, 1, 10, 1, 0, 0, 1, -6), -901);
  EXPECT_FALSE(dir.exists("a"));
  EXPECT_EQ(console(), crlf({"", "", "", " *** ERROR DURING OPENING OF FILE UNIT    0",
                             "     ILLEGAL FILE UNIT"}));
  EXPECT_EQ(open(dir.file("a"), 1, 1, 10, 1, 0, 0, -1, 6), 0);
  EXPECT_EQ(open(dir.file("b"), 99, 1, 10, 1, 0, 0, -1, 6), 0);
}

TEST_F(OpnfilTest, DirectAccessNeedsARecordLength) {
  EXPECT_EQ(open(dir.file("d"), 20, 1, 20, 1, 0, 0, -1, 6), -902);
  EXPECT_EQ(console(), crlf({"", "", "", " *** ERROR DURING OPENING OF FILE UNIT   20",
                             "     ILLEGAL RECORD LENGTH =    0"}));
  EXPECT_FALSE(dir.exists("d"));
  EXPECT_EQ(open(dir.file("s"), 21, 1, 10, 1, 0, 0, -1, 6), 0);  // ignored for sequential
}

struct ReportCase {
  std::int32_t status, access, form, blank, recl;
  std::vector<std::string> characteristics;  // lines after "FILE CHARACTERISTICS :"
  std::int64_t record_bytes;
};

TEST_F(OpnfilTest, ReportShowsTheModeTextsAndRecordLength) {
  const ReportCase cases[] = {
      {1,
       10,
       1,
       0,
       0,
       {"          STATUS =UNKNOWN", "          ACCESS =SEQUENTIAL",
        "          FORM   =FORMATTED  ", "          LENGTH =    0 WORDS/BYTES PER RECORD (SECTOR)",
        "          BLANK  =NULL"},
       0},
      {3,
       20,
       1,
       1,
       32,
       {"          STATUS =NEW    ", "          ACCESS =DIRECT    ",
        "          FORM   =FORMATTED  ", "          LENGTH =  128 WORDS/BYTES PER RECORD (SECTOR)",
        "          BLANK  =ZERO"},
       128},
      {5,
       20,
       2,
       1,
       32,
       {"          STATUS =UNKNOWN", "          ACCESS =DIRECT    ",
        "          FORM   =UNFORMATTED", "          LENGTH =   32 WORDS/BYTES PER RECORD (SECTOR)"},
       128},
      {0,
       20,
       0,
       0,
       32,
       {"          STATUS =UNKNOWN", "          ACCESS =DIRECT    ",
        "          FORM   =UNFORMATTED", "          LENGTH =   32 WORDS/BYTES PER RECORD (SECTOR)"},
       128},
      {1,
       30,
       1,
       0,
       7,
       {"          STATUS =UNKNOWN", "          ACCESS =DIRECT    ",
        "          FORM   =FORMATTED  ", "          LENGTH =  128 WORDS/BYTES PER RECORD (SECTOR)",
        "          BLANK  =NULL"},
       128},
      {1,
       10,
       2,
       1,
       0,
       {"          STATUS =UNKNOWN", "          ACCESS =SEQUENTIAL",
        "          FORM   =UNFORMATTED", "          LENGTH =    0 WORDS/BYTES PER RECORD (SECTOR)"},
       0},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(n);
    out.bytes().clear();
    const std::string name = dir.file("f" + std::to_string(n++));
    const std::string padded = name + "    ";
    ASSERT_EQ(open(padded, 30, c.status, c.access, c.form, c.blank, c.recl, 1, 6), 0);
    std::vector<std::string> expected = {"",
                                         "",
                                         "",
                                         "     FILE  " + padded,
                                         "     IS OPENED ON UNIT NO.  30",
                                         "     FILE CHARACTERISTICS :"};
    expected.insert(expected.end(), c.characteristics.begin(), c.characteristics.end());
    EXPECT_EQ(console(), crlf(expected));
    EXPECT_EQ(lineio::record_bytes(30), c.record_bytes);
    lineio::close_unit(30);
  }
}

TEST_F(OpnfilTest, ScratchFileReportAndRoundTrip) {
  ASSERT_EQ(open("ignored", 7, 4, 10, 1, 0, 0, 1, 6), 0);
  EXPECT_EQ(console(), crlf({"", "", "", "     A SCRATCH FILE IS OPENED ON UNIT NO.   7",
                             "     FILE CHARACTERISTICS :", "          STATUS =SCRATCH",
                             "          ACCESS =SEQUENTIAL", "          FORM   =FORMATTED  ",
                             "          LENGTH =    0 WORDS/BYTES PER RECORD (SECTOR)",
                             "          BLANK  =NULL"}));
  EXPECT_FALSE(dir.exists("ignored"));
  lineio::put_line(7, "first");
  lineio::put_line(7, "second");
  ASSERT_EQ(lineio::rewind_unit(7), 0);
  std::array<char, 6> text;
  ASSERT_EQ(lineio::read_record(7, text), 0);
  EXPECT_EQ(std::string(text.data(), 6), "first ");
  ASSERT_EQ(lineio::read_record(7, text), 0);
  EXPECT_EQ(std::string(text.data(), 6), "second");
  EXPECT_EQ(lineio::read_record(7, text), lineio::kEndOfFile);
  // Writing after a rewind starts the file anew.
  ASSERT_EQ(lineio::rewind_unit(7), 0);
  lineio::put_line(7, "third");
  ASSERT_EQ(lineio::rewind_unit(7), 0);
  ASSERT_EQ(lineio::read_record(7, text), 0);
  EXPECT_EQ(std::string(text.data(), 6), "third ");
  EXPECT_EQ(lineio::read_record(7, text), lineio::kEndOfFile);
}

TEST_F(OpnfilTest, RewindAfterWritingAFileReadsWhatWasWritten) {
  dir.write("f.txt", "old line\n");
  ASSERT_EQ(open(dir.file("f.txt"), 8, 1, 10, 1, 0, 0, -1, -6), 0);
  lineio::put_line(8, "new one");
  ASSERT_EQ(lineio::rewind_unit(8), 0);
  std::array<char, 8> text;
  ASSERT_EQ(lineio::read_record(8, text), 0);
  EXPECT_EQ(std::string(text.data(), 8), "new one ");
  lineio::put_line(8, "again");
  lineio::close_unit(8);
  EXPECT_EQ(dir.read("f.txt"), "again\r\n");
}

TEST_F(OpnfilTest, DirectAccessRoundTrip) {
  const std::string name = dir.file("direct.dat");
  ASSERT_EQ(open(name, 12, 3, 20, 1, 0, 2, -1, 6), 0);  // 2 words: 8 characters a record
  ASSERT_EQ(lineio::write_direct(12, 3, "third"), 0);
  ASSERT_EQ(lineio::write_direct(12, 1, "first123"), 0);
  EXPECT_NE(lineio::write_direct(12, 2, "too long!"), 0);
  lineio::close_unit(12);
  EXPECT_EQ(dir.read("direct.dat").size(), 24u);

  ASSERT_EQ(open(name, 12, 2, 20, 1, 0, 2, -1, 6), 0);
  std::array<char, 8> record;
  ASSERT_EQ(lineio::read_direct(12, 3, record), 0);
  EXPECT_EQ(std::string(record.data(), 8), "third   ");
  ASSERT_EQ(lineio::read_direct(12, 1, record), 0);
  EXPECT_EQ(std::string(record.data(), 8), "first123");
  EXPECT_EQ(lineio::read_direct(12, 4, record), lineio::kEndOfFile);
  EXPECT_EQ(console(), "");
}

TEST_F(OpnfilTest, OldRefusesWhatCannotBeReadAsLines) {
  dir.write("locked.txt", "1 2 3 4\n");
  const testing_support::LockedFile locked(dir.file("locked.txt"));
  const std::string missing = dir.file("missing.txt");
  const std::int32_t flags[] = {
      open(missing, 88, 2, 10, 1, 0, 0, -1, -6),
      open(dir.path(), 88, 2, 10, 1, 0, 0, -1, -6),
      open(dir.file("locked.txt"), 88, 2, 10, 1, 0, 0, -1, -6),
      open("", 88, 2, 10, 1, 0, 0, -1, -6),
  };
  for (std::int32_t flag : flags) EXPECT_LT(flag, 0);
  EXPECT_NE(flags[0], flags[1]);  // the codes tell the causes apart
  EXPECT_NE(flags[1], flags[2]);
  EXPECT_FALSE(lineio::is_connected(88));
  EXPECT_FALSE(dir.exists("missing.txt"));
  EXPECT_EQ(console(), "");  // message unit -6: silent
}

// A list that another program truncates, grows or rewrites while it is read ends in a failed
// read, never in an end of file after the part that was seen.
TEST_F(OpnfilTest, AFileThatChangesWhileItIsReadFailsAtItsEnd) {
  const struct {
    const char* what;
    void (*change)(const std::string& path);
  } cases[] = {
      {"grown", [](const std::string& path) { std::filesystem::resize_file(path, 40000); }},
      {"truncated", [](const std::string& path) { std::filesystem::resize_file(path, 10); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string lines;
    for (int n = 0; n < 2000; ++n) lines += "1 2 3 4\n";  // more than one buffer of input
    dir.write("w.txt", lines);
    ASSERT_EQ(open(dir.file("w.txt"), 88, 2, 10, 1, 0, 0, -1, -6), 0);
    std::array<char, 80> text;
    ASSERT_EQ(lineio::read_record(88, text), 0);
    c.change(dir.file("w.txt"));
    int status = 0;
    while (status == 0) status = lineio::read_record(88, text);
    EXPECT_EQ(status, os::kChangedWhileRead);
    lineio::close_unit(88);
  }
  // Unchanged, the same list ends as any does.
  ASSERT_EQ(open(dir.file("w.txt"), 88, 2, 10, 1, 0, 0, -1, -6), 0);
  std::array<char, 80> text;
  int status = 0;
  while (status == 0) status = lineio::read_record(88, text);
  EXPECT_EQ(status, lineio::kEndOfFile);
}

TEST_F(OpnfilTest, OpenFailureReport) {
  const std::int32_t flag = open(dir.file("missing"), 88, 2, 10, 1, 0, 0, -1, 6);
  ASSERT_LT(flag, 0);
  std::string code(5, ' ');
  const std::string digits = std::to_string(-flag);
  code.replace(5 - digits.size(), digits.size(), digits);
  EXPECT_EQ(console(), crlf({"", "", "", " *** ERROR DURING OPENING OF FILE UNIT   88",
                             "     ERROR CODE =" + code + "  (SYSTEM PARAMETER)"}));
}

TEST_F(OpnfilTest, NewRefusesAnExistingFile) {
  dir.write("there.txt", "keep\n");
  EXPECT_LT(open(dir.file("there.txt"), 9, 3, 10, 1, 0, 0, -1, -6), 0);
  EXPECT_EQ(dir.read("there.txt"), "keep\n");
}

TEST_F(OpnfilTest, ReportSwitchWithoutMessageUnitWritesNothing) {
  EXPECT_EQ(open(dir.file("quiet"), 9, 1, 10, 1, 0, 0, 1, 0), 0);
  EXPECT_EQ(console(), "");
  EXPECT_FALSE(dir.exists("quiet"));  // a new file appears when its unit is closed
  lineio::close_unit(9);
  EXPECT_TRUE(dir.exists("quiet"));
}

TEST_F(OpnfilTest, ExistingFileChangesOnlyWhenWrittenAndClosed) {
  dir.write("out.txt", "former contents\n");
  ASSERT_EQ(open(dir.file("out.txt"), 17, 1, 10, 1, 0, 0, -1, -6), 0);
  lineio::close_unit(17);
  EXPECT_EQ(dir.read("out.txt"), "former contents\n");  // opened, nothing written

  ASSERT_EQ(open(dir.file("out.txt"), 17, 1, 10, 1, 0, 0, -1, -6), 0);
  for (int n = 0; n < 20000; ++n) lineio::put_line(17, "a new line of the result");
  EXPECT_EQ(dir.read("out.txt"), "former contents\n");  // still, while the unit is open
  lineio::abandon_all();                                // a failed run
  EXPECT_EQ(dir.read("out.txt"), "former contents\n");

  ASSERT_EQ(open(dir.file("out.txt"), 17, 1, 10, 1, 0, 0, -1, -6), 0);
  lineio::put_line(17, "result");
  lineio::close_unit(17);
  EXPECT_EQ(dir.read("out.txt"), "result\r\n");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(OpnfilTest, WriteFailureOnADeviceEndsTheRun) {
  SKIP_ON_WINDOWS("/dev/full");
  ASSERT_EQ(open("/dev/full", 17, 1, 10, 1, 0, 0, -1, -6), 0);
  const int status = lineio::guarded_run([] {
    lineio::put_line(17, "x");
    lineio::close_unit(17);
  });
  EXPECT_EQ(status, 2);
  EXPECT_EQ(console(),
            " *** ERROR: WRITE FAILED ON UNIT 17 (/dev/full): No space left on device\r\n");
}

}  // namespace
