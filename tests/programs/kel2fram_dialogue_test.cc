// The console dialogue of the built tool: banner, questions, answers, file retries.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <string>

#include "lineio/lineio.h"
#include "support/console_text.h"
#include "support/subprocess.h"
#include "tool/run.h"

namespace {

using namespace console_text;  // NOLINT(google-build-using-namespace)

using testing_support::crlf;
using testing_support::run_program;
using testing_support::ScratchDir;

const std::string kBannerHead = crlf({"", "", "------------------------------------------------",
                                      "------------------------------------------------",
                                      "------------------------------------------------",
                                      "-----         K E L  2  F R A M           ------",
                                      "-----   Kelda Weight Data to Framix       ------",
                                      "-----   Version 1.0 / Jan  2004           ------"});
const std::string kBannerTail = crlf({"-----                                     ------",
                                      "------------------------------------------------",
                                      "------------------------------------------------"});

std::string padded(const std::string& name) {
  return name + std::string(256 - name.size(), ' ');
}

// Checks the banner, contact line aside, and answers what follows it.
std::string after_banner(const std::string& out) {
  EXPECT_EQ(out.substr(0, kBannerHead.size()), kBannerHead);
  const std::size_t contact_end = out.find("\r\n", kBannerHead.size());
  EXPECT_NE(contact_end, std::string::npos);
  const std::string contact = out.substr(kBannerHead.size(), contact_end - kBannerHead.size());
  EXPECT_EQ(contact.size(), 48u);
  EXPECT_EQ(contact.substr(0, 5), "-----");
  EXPECT_EQ(contact.substr(42), "------");
  const std::string rest = out.substr(contact_end + 2);
  EXPECT_EQ(rest.substr(0, kBannerTail.size()), kBannerTail);
  return rest.substr(kBannerTail.size());
}

class DialogueRun : public ::testing::Test {
 protected:
  DialogueRun() { dir.write("w.txt", "1.5 10 20 30\n"); }
  testing_support::RunResult run(const std::string& answers) {
    return run_program(KEL2FRAM_EXE, {}, answers, dir.path());
  }
  ScratchDir dir;
};

TEST_F(DialogueRun, CompleteDialogueIsByteExact) {
  const auto r = run("w.txt\nout.txt\n\n\ny\n-100 100\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string expected =
      kAskInput + kAskOutput + kAskUnit + kAskSpread + kAskX + kRangeX + kAskY + kAskZ + kNotice;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
  EXPECT_EQ(r.err,
            testing_support::err_text("kel2fram: 1 record written to out.txt; 0 warnings\r\n"));
}

TEST_F(DialogueRun, MissingInputFileIsAskedForAgain) {
  const auto r = run("nope.txt\n  w.txt\nw.txt\nout.txt\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string expected = kAskInput + " Nonexisting file :" + padded("nope.txt") + "\r\n" +
                               kAskInput + " Nonexisting file :" + padded("  w.txt") + "\r\n" +
                               kAskInput + kAskOutput;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
}

TEST_F(DialogueRun, UnwritableOutputFileIsAskedForAgain) {
  const auto r = run("w.txt\nno/such/folder/out.txt\nout.txt\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string expected = kAskInput + kAskOutput +
                               " Cannot write file :" + padded("no/such/folder/out.txt") + "\r\n" +
                               kAskOutput + kAskUnit;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
  EXPECT_EQ(r.err,
            testing_support::err_text(
                "kel2fram: no/such/folder/out.txt: No such file or directory\r\n"
                "kel2fram: output file \"no/such/folder/out.txt\" (answer line 2) could not be "
                "opened, so answer line 3, \"out.txt\", was taken as the output file: each later "
                "answer moves up one question\r\n"
                "kel2fram: 1 record written to out.txt; 1 warning\r\n"));
  EXPECT_TRUE(dir.exists("out.txt"));
}

TEST_F(DialogueRun, FileNamesLongerThanAnAnswerAreRefused) {
  // Opened under its first 256 characters, such a name would be another file.
  const std::string folder(150, 'f');
  std::filesystem::create_directory(dir.file(folder));
  const std::string name = folder + "/" + std::string(149, 'n');
  const std::string shown = name.substr(0, 256) + "\r\n";
  const std::string why =
      "kel2fram: a file name of 300 characters is longer than the 256 an answer holds\r\n";
  const auto r = run(name + "\nw.txt\n" + name + "\nout.txt\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string expected = kAskInput + " Nonexisting file :" + shown + kAskInput + kAskOutput +
                               " Cannot write file :" + shown + kAskOutput + kAskUnit;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
  EXPECT_EQ(r.err, testing_support::err_text(
                       why + why + "kel2fram: 1 record written to out.txt; 0 warnings\r\n"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.file(folder)));
}

TEST_F(DialogueRun, FileNamesAreCountedInCharacters) {
  // 256 characters holding three of two bytes each are a name an answer holds; 257 are not.
  const std::string folder(150, 'f');
  std::filesystem::create_directory(dir.file(folder));
  const std::string fits = folder + "/" + std::string(102, 'n') + "\xc3\xa6\xc3\xa6\xc3\xa6";
  const std::string longer = fits + "\xc3\xa6";
  const auto r = run(longer + "\nw.txt\n" + fits + "\n\n\n\n\n\n");
  EXPECT_EQ(r.status, 0);
  const std::string expected =
      kAskInput + " Nonexisting file :" + fits + "\r\n" + kAskInput + kAskOutput + kAskUnit;
  EXPECT_EQ(after_banner(r.out).substr(0, expected.size()), expected);
  EXPECT_EQ(r.err,
            testing_support::err_text(
                "kel2fram: a file name of 257 characters is longer than the 256 an answer holds\r\n"
                "kel2fram: 1 record written to " +
                fits + "; 0 warnings\r\n"));
  EXPECT_NE(dir.read(fits).find(" Map_Mass     1      10.000"), std::string::npos);
}

TEST_F(DialogueRun, NonIntegerSpreadEndsTheRunWithStatusTwo) {
  dir.write("out.txt", "former\n");
  const auto r = run("w.txt\nout.txt\n\ntwo\n\n\n\n");
  EXPECT_EQ(r.status, 2);
  const std::string expected = kAskInput + kAskOutput + kAskUnit + kAskSpread +
                               " *** ERROR: BAD INTEGER \"two\" ON UNIT 5 (standard input)\r\n";
  EXPECT_EQ(after_banner(r.out), expected);
  EXPECT_EQ(dir.read("out.txt"), "former\n");
}

TEST_F(DialogueRun, QuotedNamesAreTriedWithoutTheirQuotes) {
  dir.write("'q.txt'", "2 1 1 1\n");  // a name that really holds the quotes
  dir.write("'old.txt'", "former\n");
  struct Case {
    std::string input, output;
    std::string opened;   // the input file named in the report; empty: refused
    std::string written;  // the output file made
  };
  const Case cases[] = {
      {"\"w.txt\"", "\"o.txt\"", "w.txt", "o.txt"},
      {"'w.txt'", "'o.txt'", "w.txt", "o.txt"},
      {"'q.txt'", "'old.txt'", "'q.txt'", "'old.txt'"},
      {"\"w.txt'", "o.txt", "", ""},
      {"\"\"", "o.txt", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input + " " + c.output);
    const auto r = run(c.input + "\n" + c.output + "\n\n\n\n\n\n");
    if (c.opened.empty()) {
      EXPECT_NE(r.out.find(" Nonexisting file :" + padded(c.input)), std::string::npos);
      continue;
    }
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("#  Input File: " + c.opened + ", with"), std::string::npos) << r.out;
    EXPECT_NE(dir.read(c.written).find("#  Input File: " + c.opened), std::string::npos);
    std::filesystem::remove(dir.file(c.written));
  }
}

}  // namespace
