// Hostile weight files and faults, end to end: the tool is run as a program with piped
// answers, and its console, exit status and output file are compared exactly.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mount.h>
#endif

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/console_text.h"
#include "support/subprocess.h"

namespace {

using namespace console_text;  // NOLINT(google-build-using-namespace)

using testing_support::crlf;
using testing_support::run_program;
using testing_support::RunResult;
using testing_support::ScratchDir;

const std::string kDialogue =
    kAskInput + kAskOutput + kAskUnit + kAskSpread + kAskX + kAskY + kAskZ + kNotice;
const std::string kDefaultAnswers = "w.txt\nout.txt\n\n\n\n\n\n";
const std::string kEndOfInput = " *** ERROR: END OF INPUT ON UNIT 5 (standard input)\r\n";
const std::string kClosing = crlf({"#", "'  --------------- E O F ----------------"});
const std::string kFormer = "former contents\n";

// The console after the banner (12 lines, the contact line whatever it says).
std::string after_banner(const std::string& out) {
  std::size_t at = 0;
  for (int line = 0; line < 12 && at != std::string::npos; ++line) {
    at = out.find("\r\n", at);
    if (at != std::string::npos) at += 2;
  }
  EXPECT_NE(at, std::string::npos) << "no banner";
  return at == std::string::npos ? std::string() : out.substr(at);
}

// The report block with the default answers (tonnes, one node, no ranges, nothing skipped).
std::string report(const std::string& kept6, const std::string& total13,
                   const std::string& centre36) {
  return crlf({"", "# =======================================================",
               "#" + kept6 + " lines with mass data found.",
               "#  Input File: w.txt, with input mass unit [tonnes].",
               "#  X_min and X_max boundary:  -1.000E+35   1.000E+35",
               "#  Y_min and Y_max boundary:  -1.000E+35   1.000E+35",
               "#  Z_min and Z_max boundary:  -1.000E+35   1.000E+35",
               "#  Total Mass (kept):" + total13 + " [kg]", "#  Center of Gravity:" + centre36,
               "#  Masses are spread to 1 nearest node(s).", "#  No masses outside boundary.",
               "# -------------------------------------------------------", "#",
               "#   Input To Framix:", "#",
               "'          nSpread     X           Y           Z       Mass [kg]"});
}

// A literal with NUL bytes in it, all of them kept.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string illegal(int line) {
  std::string n = std::to_string(line);
  return " Illegal character in line" + std::string(7 - n.size(), ' ') + n + "\r\n";
}

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++n;
  }
  return n;
}

class HostileRun : public ::testing::Test {
 protected:
  RunResult run(const std::string& answers = kDefaultAnswers, std::size_t close_after = 0) {
    return run_program(KEL2FRAM_EXE, {}, answers, dir.path(), close_after);
  }
  // Nothing in the folder but the given names: no temporary file is left behind.
  void expect_only(std::vector<std::string> names) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      found.push_back(e.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(found, names);
  }
  ScratchDir dir;
};

// ---- Weight files that are not weight lists -----------------------------------------------

// An early end (no usable line, every line refused, every mass outside the ranges) leaves an
// existing output file as it was and makes no new one, with the reason as the last line.
TEST_F(HostileRun, FilesWithoutUsableLinesEndEarlyAndWriteNothing) {
  struct Case {
    const char* what;
    std::string weights;
    std::string messages;   // console between the processing notice and the end
    std::string why;        // why no mass was kept
    std::string counts;     // the lines on standard error
    std::string told = "";  // standard error before its last line: why lines were refused
    std::string answers = "\n\n\n\n\n";  // after the two file names
    std::string dialogue = kAskUnit + kAskSpread + kAskX + kAskY + kAskZ;
  };
  const auto why = [](int line, const std::string& reason) {
    return "kel2fram: w.txt:" + std::to_string(line) + ": column 1 holds " + reason +
           ": a weight line holds numbers between blanks\r\n";
  };
  const std::string none = "the weight list has no line with mass data";
  const std::string rejected = "every line of the weight list was rejected";
  std::string all_bytes;
  for (int c = 11; c < 256; ++c) all_bytes += static_cast<char>(c);
  const Case cases[] = {
      // A picture header and raw bytes: each line is one word no number test takes.
      {"binary", bytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\0\n") + all_bytes,
       illegal(1) + illegal(2) + illegal(3) + illegal(4), rejected,
       "; 4 lines rejected (lines 1, 2, 3, 4)",
       why(1, "the byte 89, which is no UTF-8 (another code page?), in \"?PNG\"") +
           why(2, "a DOS end-of-file mark (Ctrl-Z) (U+001A), in \"?\"") +
           why(3, "a NUL character (U+0000), in \"????IHDR????\"") +
           why(4, "a control character (U+000B), in \"" + std::string(21, '?') + "\"")},
      {"only comments", "' heading\n! remark\n   ! indented remark\n'1 2 3 4\n\t\n", "", none, ""},
      {"only CR characters", "\r\r\r\r", illegal(1), rejected, "; 1 line rejected (line 1)",
       "kel2fram: w.txt:1: the list's lines end with CR alone (as old Mac files do), so it reads "
       "as one long line: save it again with Windows (CR LF) or Unix (LF) line ends\r\n"},
      {"only CR LF line ends", "\r\n\r\n\r\n", "", none, ""},
      {"empty", "", "", none, ""},
      // The console counts the lines that are not comments; standard error, the file's lines.
      {"too few numbers and a word", "' only a comment\n2 1 1\nabc\n",
       " Too few parameters, ( 3 ), on line      1\r\n" + illegal(2), rejected,
       "; 2 lines rejected (lines 2, 3)",
       "kel2fram: w.txt:3: column 1: \"abc\" is a word: a weight line holds numbers; a remark "
       "starts with !\r\n"},
      {"an empty X range", "1 0 0 0\n2 1 1 1\n", "",
       "every mass lies outside the ranges (the X range is empty: its minimum 5 is above its "
       "maximum -5)",
       "; 2 usable lines: 0 kept, 2 skipped outside the ranges (3000 kg)", "", "\n\ny\n5 -5\n\n\n",
       kAskUnit + kAskSpread + kAskX + kRangeX + kAskY + kAskZ},
      {"every mass outside the Z range", "1 0 0 0\n", "", "every mass lies outside the ranges",
       "; 1 usable line: 0 kept, 1 skipped outside the ranges (1000 kg)", "", "\n\n\n\ny\n1 2\n",
       kAskUnit + kAskSpread + kAskX + kAskY + kAskZ + kRangeZ},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.write("w.txt", c.weights);
    for (const bool former : {true, false}) {
      if (former) dir.write("out.txt", kFormer);
      const RunResult r = run("w.txt\nout.txt\n" + c.answers);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(after_banner(r.out), kAskInput + kAskOutput + c.dialogue + kNotice + c.messages);
      EXPECT_EQ(r.err, testing_support::err_text(c.told + "kel2fram: no mass kept: " + c.why +
                                                 "; the output file is left as it was" + c.counts +
                                                 "; 0 warnings\r\n"));
      // An existing file keeps its contents; a new one is not made, nor anything beside it.
      if (former) {
        EXPECT_EQ(dir.read("out.txt"), kFormer);
        expect_only({"w.txt", "out.txt"});
        std::filesystem::remove(dir.file("out.txt"));
      } else {
        expect_only({"w.txt"});
      }
    }
  }
}

TEST_F(HostileRun, NulAndHighBytesInFieldsRejectTheirLine) {
  // Line numbers count lines that yield a field; the remark after "!" may hold anything.
  dir.write("w.txt", bytes("1\0 2 3 4\n"
                           "1 2 3 4 \xff\xfe\n"
                           "\xc3\xa9 1 2 3\n"
                           "M\xe4ss 1 2 3 4\n"
                           "\0\0\n"
                           "2 1 1 1 ! \xff\0 remark\n"));
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  const std::string block =
      report("     1", "    2.000E+03", "       1.000       1.000       1.000");
  EXPECT_EQ(after_banner(r.out),
            kDialogue + illegal(1) + illegal(2) + illegal(3) + illegal(4) + illegal(5) + block);
  EXPECT_EQ(dir.read("out.txt"),
            block + crlf({" Map_Mass     1       1.000       1.000       1.000   2.0000E+03"}) +
                kClosing);
}

TEST_F(HostileRun, LongRecordsAreCutAtTheLineLength) {
  // 133 characters: the fourth number stands in column 133 and is not read. 2048: the word at
  // the end is cut off. 100,000: the digits from column 9 on are one long fifth field.
  dir.write("w.txt", "1 2 3" + std::string(127, ' ') + "4\n" + "2 1 1 1" +
                         std::string(2048 - 10, ' ') + "abc\n" + "3 1 1 1 " +
                         std::string(100000 - 8, '9') + "\n");
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  const std::string block =
      report("     2", "    5.000E+03", "       1.000       1.000       1.000");
  EXPECT_EQ(after_banner(r.out),
            kDialogue + " Too few parameters, ( 3 ), on line      1\r\n" + block);
  EXPECT_EQ(dir.read("out.txt"),
            block +
                crlf({" Map_Mass     1       1.000       1.000       1.000   2.0000E+03",
                      " Map_Mass     1       1.000       1.000       1.000   3.0000E+03"}) +
                kClosing);
  // What was not read is told.
  const std::string beyond = " (a line is read up to column 132 only)\r\n";
  EXPECT_EQ(r.err, testing_support::err_text(
                       "kel2fram: w.txt:2: \"abc\" stands beyond column 132 and is not read" +
                       beyond + "kel2fram: w.txt:3: \"" + std::string(40, '9') +
                       "...\" is cut after column 132 and reads as 1e+124" + beyond +
                       "kel2fram: w.txt: 1 line holds more than 4 numbers (line 3): only the "
                       "first 4 are read, as the mass and its X, Y and Z\r\n"
                       "kel2fram: 2 records written to out.txt; 1 line rejected (line 1); 3 "
                       "warnings\r\n"));
}

TEST_F(HostileRun, TenMegabytesWithoutLineFeedAreOneRecord) {
  std::string weights;
  weights.reserve(10'000'000);
  while (weights.size() < 10'000'000) weights += "1 2 3 4 ";
  dir.write("w.txt", weights);
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  const std::string block =
      report("     1", "    1.000E+03", "       2.000       3.000       4.000");
  EXPECT_EQ(after_banner(r.out), kDialogue + block);
  EXPECT_EQ(dir.read("out.txt"),
            block + crlf({" Map_Mass     1       2.000       3.000       4.000   1.0000E+03"}) +
                kClosing);
}

TEST_F(HostileRun, OverflowsAndZerosInNumbers) {
  struct Case {
    const char* weights;
    std::string answers, total13, centre36;
    std::vector<std::string> records;  // none: the result cannot be written faithfully
    std::string err;
  };
  // A 130-character expression: 10 and 64 times "+1".
  std::string expression = "10";
  for (int k = 0; k < 64; ++k) expression += "+1";
  const std::string left = "; the output file is left as it was; 0 warnings\r\n";
  const Case cases[] = {
      // 1E9999 is infinite; the centre of gravity is then infinity over infinity.
      {"1E9999 1 2 3\n",
       kDefaultAnswers,
       "     Infinity",
       "         NaN         NaN         NaN",
       {},
       "kel2fram: Map_Mass record 1 cannot be written: mass [kg] = inf is not a finite number" +
           left},
      // Zero times infinity is not a number, and so is every sum with it.
      {"2 1 1 1\n0*1E9999 1 2 3\n",
       kDefaultAnswers,
       "          NaN",
       "         NaN         NaN         NaN",
       {},
       "kel2fram: Map_Mass record 2 cannot be written: mass [kg] = -nan is not a finite number" +
           left},
      // Coordinates too wide for their columns would be asterisks.
      {"1 1 2 3\n1 1.0E9 -99999999.9 99999999.999\n",
       kDefaultAnswers,
       "    2.000E+03",
       "************************50000001.499",
       {},
       "kel2fram: Map_Mass record 2 cannot be written: X = 1e+09 does not fit its 12 columns" +
           left},
      {"1 1 2 3\n1 1 -99999999.9 3\n",
       kDefaultAnswers,
       "    2.000E+03",
       "       1.000************       3.000",
       {},
       "kel2fram: Map_Mass record 2 cannot be written: Y = -99999999.9 does not fit its 12 "
       "columns" +
           left},
      // The records fit, their centre of gravity does not (a negative mass pulls it out).
      {"2 99999999 0 0\n-1 0 0 0\n",
       "w.txt\nout.txt\nkg\n\n\n\n\n",
       "    1.000E+00",
       "************       0.000       0.000",
       {},
       "kel2fram: the centre of gravity's X = 199999998 does not fit its 12 columns" + left},
      {"1 1 1 1\n",
       "w.txt\nout.txt\n\n12345\n\n\n\n",
       "    1.000E+03",
       "       1.000       1.000       1.000",
       {},
       "kel2fram: the spread count 12345 does not fit its 4 columns of the records" + left},
      // -0 is the integer 0; a division by zero gives 0; a zero total puts the centre at 0.
      {"-0 1 2 3\n1/0 4 5 6\n",
       kDefaultAnswers,
       "    0.000E+00",
       "       0.000       0.000       0.000",
       {" Map_Mass     1       1.000       2.000       3.000   0.0000E+00",
        " Map_Mass     1       4.000       5.000       6.000   0.0000E+00"},
       "kel2fram: w.txt:2: \"1/0\" reads as 0: a division by zero gives 0 (usually an error)\r\n"
       "kel2fram: the kept masses sum to exactly 0 kg: their centre of gravity is undefined and "
       "is shown as 0, 0, 0\r\n"
       "kel2fram: 2 records written to out.txt; 2 warnings\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.weights);
    dir.write("w.txt", c.weights);
    std::filesystem::remove(dir.file("out.txt"));
    const RunResult r = run(c.answers);
    const std::string_view weights(c.weights);
    const std::string kept =
        "     " + std::to_string(std::count(weights.begin(), weights.end(), '\n'));
    const std::string block = report(kept, c.total13, c.centre36);
    EXPECT_EQ(r.err, testing_support::err_text(c.err));
    EXPECT_NE(r.out.find("#  Center of Gravity:" + c.centre36 + "\r\n"), std::string::npos);
    if (c.answers == kDefaultAnswers) {
      EXPECT_EQ(after_banner(r.out), kDialogue + block);
    }
    if (!c.records.empty()) {
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(dir.read("out.txt"), block + crlf(c.records) + kClosing);
    } else {
      // The report is on the console; no file is written.
      EXPECT_EQ(r.status, 1);
      EXPECT_FALSE(dir.exists("out.txt"));
    }
  }

  // The expression fills the line but for one more field: too few fields, nothing kept.
  ASSERT_EQ(expression.size(), 130u);
  dir.write("w.txt", expression + " 1\n");
  const RunResult r = run();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(after_banner(r.out), kDialogue + " Too few parameters, ( 2 ), on line      1\r\n");
}

TEST_F(HostileRun, MoreMassesThanTheFirstTableBlockAreAllWritten) {
  constexpr int kLines = 1'500'000;
  std::string weights;
  weights.reserve(kLines * 12);
  for (int n = 0; n < kLines; ++n) weights += "1 " + std::to_string(n % 1000) + " 2 3\n";
  dir.write("w.txt", weights);
  const RunResult r = run();
  EXPECT_EQ(r.status, 0);
  // 1,500,000 does not fit the six columns of the count.
  const std::string block =
      report("******", "    1.500E+09", "     499.500       2.000       3.000");
  EXPECT_EQ(after_banner(r.out), kDialogue + block);
  const std::string out = dir.read("out.txt");
  ASSERT_TRUE(out.starts_with(block));
  ASSERT_TRUE(out.ends_with(kClosing));
  EXPECT_EQ(count_of(out, "\r\n Map_Mass     1"), static_cast<std::size_t>(kLines));
  EXPECT_EQ(out.size(), block.size() + kLines * std::size_t{66} + kClosing.size());
  // Records stay in reading order across the table's blocks.
  auto record = [&](std::size_t n) { return out.substr(block.size() + n * 66, 66); };
  EXPECT_EQ(record(999'999),
            " Map_Mass     1     999.000       2.000       3.000   1.0000E+03\r\n");
  EXPECT_EQ(record(1'000'000),
            " Map_Mass     1       0.000       2.000       3.000   1.0000E+03\r\n");
  EXPECT_EQ(record(kLines - 1),
            " Map_Mass     1     999.000       2.000       3.000   1.0000E+03\r\n");
}

// ---- Files that cannot be read or written -------------------------------------------------

TEST_F(HostileRun, InputThatCannotBeReadAsLinesIsAskedForAgain) {
  dir.write("w.txt", "1 2 3 4\n");
  std::filesystem::create_directory(dir.file("folder.txt"));
  dir.write("locked.txt", "1 2 3 4\n");
  const testing_support::LockedFile locked(dir.file("locked.txt"));
  const RunResult r = run("folder.txt\nlocked.txt\nw.txt\nout.txt\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 0);
  auto refused = [](const std::string& name) {
    return kAskInput + " Nonexisting file :" + name + std::string(256 - name.size(), ' ') + "\r\n";
  };
  const std::string expected = refused("folder.txt") + refused("locked.txt") + kDialogue;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
  EXPECT_EQ(r.err, testing_support::err_text(
                       "kel2fram: folder.txt: Is a directory\r\nkel2fram: locked.txt: " +
                       std::string(testing_support::kLockedReason) +
                       "\r\nkel2fram: weight list \"folder.txt\" (answer line 1) could not be "
                       "opened, so answer line 3, \"w.txt\", was taken as the weight list: each "
                       "later answer moves up one question\r\n"
                       "kel2fram: 1 record written to out.txt; 1 warning\r\n"));
  EXPECT_EQ(dir.read("out.txt").substr(0, 2), "\r\n");
}

TEST_F(HostileRun, OutputOnAFullDeviceFailsWithStatusTwo) {
  SKIP_ON_WINDOWS("/dev/full");
  dir.write("w.txt", "1 2 3 4\n");
  const RunResult r = run("w.txt\n/dev/full\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(after_banner(r.out),
            kDialogue + report("     1", "    1.000E+03", "       2.000       3.000       4.000") +
                " *** ERROR: WRITE FAILED ON UNIT 17 (/dev/full): No space left on device\r\n");
  // The last line on standard error names the failure too.
  EXPECT_EQ(r.err, testing_support::err_text(
                       "kel2fram: /dev/full: not written: No space left on device\r\n"));
}

TEST_F(HostileRun, OutputOnAFullFileSystemKeepsTheFormerFile) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a small file system mounted by the test (Linux tmpfs)";
#else
  // The output folder is a small file system: 64 KB for a result of about 130 KB (the write
  // fails half-way), or room enough but no free inode for a temporary file beside the output
  // (refused at the question, which is asked again until the answers run out).
  struct Case {
    const char* option;
    std::string answers;
    std::string console;
  };
  const std::string refused =
      std::string(" Cannot write file :small/out.txt") + std::string(256 - 13, ' ') + "\r\n";
  const Case cases[] = {
      {"size=64k", "w.txt\nsmall/out.txt\n\n\n\n\n\n",
       kDialogue + report("  2000", "    2.000E+06", "       2.000       3.000       4.000") +
           " *** ERROR: WRITE FAILED ON UNIT 17 (small/out.txt): No space left on "
           "device\r\n"},
      {"size=1m,nr_inodes=2", "w.txt\nsmall/out.txt\n",
       " Give file containing Weight Data  :   File to write the processed data  :  " + refused +
           " File to write the processed data  :   *** ERROR: END OF INPUT ON UNIT 5 (standard "
           "input)\r\n"},
  };
  std::string weights;
  for (int n = 0; n < 2000; ++n) weights += "1 2 3 4\n";
  dir.write("w.txt", weights);
  const std::string small = dir.file("small");
  std::filesystem::create_directory(small);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, c.option) != 0) {
      GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    dir.write("small/out.txt", kFormer);
    const RunResult r = run(c.answers);
    const std::string former = dir.read("small/out.txt");
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(small)) {
      left.push_back(e.path().filename().string());
    }
    ::umount2(small.c_str(), MNT_DETACH);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(after_banner(r.out), c.console);
    EXPECT_EQ(former, kFormer);
    EXPECT_EQ(left, std::vector<std::string>{"out.txt"});
  }
#endif
}

TEST_F(HostileRun, AFileOrFolderThatAllowsNoReplacementIsRefusedAtTheQuestion) {
#ifdef _WIN32
  GTEST_SKIP() << "needs append-only and immutable files (Linux chattr)";
#else
  // chattr where the scratch folder's file system has it, else on a small ext4 image.
  auto sh = [&](const std::string& script) {
    return run_program("/bin/sh", {"-c", script}, "", dir.path()).status;
  };
  std::filesystem::create_directory(dir.file("fixed"));
  bool mounted = false;
  if (sh("chattr +a fixed && chattr -a fixed") != 0) {
    mounted = sh("truncate -s 8M ext4.img && mkfs.ext4 -q ext4.img && "
                 "mount -o loop ext4.img fixed && rmdir fixed/lost+found") == 0;
    if (!mounted) GTEST_SKIP() << "no file system with append-only files here";
  }
  const std::string name = "fixed/out.txt";
  const std::string refused =
      " Cannot write file :" + name + std::string(256 - name.size(), ' ') + "\r\n";
  dir.write("w.txt", "1 2 3 4\n");
  for (const char* flag :
       {"chattr +a fixed", "chattr +a fixed/out.txt", "chattr +i fixed/out.txt"}) {
    SCOPED_TRACE(flag);
    dir.write("fixed/out.txt", kFormer);
    ASSERT_EQ(sh(flag), 0);
    const RunResult r = run("w.txt\n" + name + "\n");
    sh("chattr -a -i fixed fixed/out.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(after_banner(r.out), kAskInput + kAskOutput + refused + kAskOutput + kEndOfInput);
    EXPECT_EQ(dir.read(name), kFormer);
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.file("fixed"))) {
      left.push_back(e.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"out.txt"});
  }
  if (mounted) ::umount2(dir.file("fixed").c_str(), MNT_DETACH);
#endif
}

TEST_F(HostileRun, OutputWithTheLongestFileNameIsReplacedWhole) {
  // A name of 250 characters: its temporary file beside it must still have a valid name.
  const std::string name(250, 'o');
  dir.write("w.txt", "1 2 3 4\n");
  dir.write(name, kFormer);
  const RunResult r = run("w.txt\n" + name + "\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string block =
      report("     1", "    1.000E+03", "       2.000       3.000       4.000");
  EXPECT_EQ(dir.read(name),
            block + crlf({" Map_Mass     1       2.000       3.000       4.000   1.0000E+03"}) +
                kClosing);
  expect_only({"w.txt", name});
}

// ---- The console going away ---------------------------------------------------------------

TEST_F(HostileRun, EndOfInputAtAnyQuestionLeavesTheOutputFileUntouched) {
  struct Case {
    std::string answers;
    std::string console;  // after the banner
  };
  const Case cases[] = {
      {"", kAskInput},
      {"w.txt\n", kAskInput + kAskOutput},
      {"w.txt\nout.txt\n", kAskInput + kAskOutput + kAskUnit},
      {"w.txt\nout.txt\nkg\n", kAskInput + kAskOutput + kAskUnit + kAskSpread},
      {"w.txt\nout.txt\nkg\n2\n", kAskInput + kAskOutput + kAskUnit + kAskSpread + kAskX},
      {"w.txt\nout.txt\nkg\n2\ny\n",
       kAskInput + kAskOutput + kAskUnit + kAskSpread + kAskX + kRangeX},
      // One bound of two given: the range is read on to the end of input.
      {"w.txt\nout.txt\n\n\ny\n1\n",
       kAskInput + kAskOutput + kAskUnit + kAskSpread + kAskX + kRangeX},
      {"w.txt\nout.txt\nkg\n2\nn\n",
       kAskInput + kAskOutput + kAskUnit + kAskSpread + kAskX + kAskY},
      {"w.txt\nout.txt\nkg\n2\nn\nn\n",
       kAskInput + kAskOutput + kAskUnit + kAskSpread + kAskX + kAskY + kAskZ},
      {"w.txt\nout.txt\nkg\n2\nn\nn\ny\n-1",
       kAskInput + kAskOutput + kAskUnit + kAskSpread + kAskX + kAskY + kAskZ + kRangeZ},
  };
  dir.write("w.txt", "1 2 3 4\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    dir.write("out.txt", kFormer);
    const RunResult r = run(c.answers);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(after_banner(r.out), c.console + kEndOfInput);
    EXPECT_EQ(dir.read("out.txt"), kFormer);
    expect_only({"w.txt", "out.txt"});
  }
}

TEST_F(HostileRun, LastAnswerWithoutLineFeedStillCounts) {
  dir.write("w.txt", "1 2 3 4\n");
  const RunResult r = run("w.txt\nout.txt\n\n\n\n\nn");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(after_banner(r.out),
            kDialogue + report("     1", "    1.000E+03", "       2.000       3.000       4.000"));
}

TEST_F(HostileRun, ConsoleClosedEarlyEndsTheRunAndKeepsTheFormerFile) {
  // The reader goes away after the first bytes (as with "| head -1"), while far more console
  // output than a pipe holds is still to come; or after the dialogue, while a long list is
  // read: the report can then not be shown, and the file is not replaced either.
  std::string rejected;
  for (int n = 0; n < 5000; ++n) rejected += "x\n";
  std::string long_list;
  for (int n = 0; n < 200000; ++n) long_list += "1 2 3 4\n";
  const std::size_t banner = 2 * 2 + 10 * 50;  // two empty lines, ten of 48 characters
  const std::size_t dialogue = banner + kDialogue.size() - kNotice.size();
  const std::pair<std::string, std::size_t> cases[] = {{rejected + "1 2 3 4\n", 1},
                                                       {long_list, dialogue}};
  for (const auto& [weights, close_after] : cases) {
    SCOPED_TRACE(close_after);
    dir.write("w.txt", weights);
    dir.write("out.txt", kFormer);
    const RunResult r = run(kDefaultAnswers, close_after);
    EXPECT_EQ(r.status, 2);
    // Before it, the reasons of the lines refused until the console failed.
    const std::string failed =
        " *** ERROR: WRITE FAILED ON UNIT 6 (standard output): Broken pipe\r\n";
    EXPECT_TRUE(r.err.ends_with(testing_support::err_text(failed))) << r.err;
    for (std::size_t at = 0; at + failed.size() < r.err.size(); at = r.err.find('\n', at) + 1) {
      EXPECT_EQ(r.err.compare(at, 16, "kel2fram: w.txt:"), 0) << r.err;
    }
    EXPECT_EQ(dir.read("out.txt"), kFormer);
    expect_only({"w.txt", "out.txt"});
  }
}

}  // namespace
