// What the output file is, and what becomes of it when the run is interrupted, limited or
// run by a user who may not write its folder: the result is whole or the file is as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/subprocess.h"

namespace {

using testing_support::run_program;
using testing_support::RunResult;
using testing_support::ScratchDir;

const std::string kFormer = "former contents, longer than any result of one mass would be\n";
const std::string kRecord = " Map_Mass     1       2.000       3.000       4.000   1.0000E+03\r\n";

std::string answers(const std::string& input, const std::string& output) {
  return input + "\n" + output + "\n\n\n\n\n\n";
}

class SafeOutput : public ::testing::Test {
 protected:
  SafeOutput() { dir.write("w.txt", "1 2 3 4\n"); }
  // Runs the tool from a shell script ("$0" is the tool) in the scratch folder.
  RunResult shell(const std::string& script, const std::string& stdin_bytes) {
    return run_program("/bin/sh", {"-c", script, KEL2FRAM_EXE}, stdin_bytes, dir.path());
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The output file that a plain run writes for w.txt.
  std::string plain_result() {
    const RunResult r = run_program(KEL2FRAM_EXE, {}, answers("w.txt", "plain.txt"), dir.path());
    EXPECT_EQ(r.status, 0);
    std::string file = dir.read("plain.txt");
    std::filesystem::remove(dir.file("plain.txt"));
    return file;
  }
  ScratchDir dir;
};

TEST_F(SafeOutput, TargetsAreWrittenAsWhatTheyAre) {
  SKIP_ON_WINDOWS("/dev paths, FIFOs and shell redirections");
  const std::string expected = plain_result();
  ASSERT_NE(expected.find(kRecord), std::string::npos);

  // A regular file outside the usual folders is replaced whole: no tail of its former text.
  const std::string shm = "/dev/shm/kel2fram-test-" + std::to_string(::getpid());
  {
    std::FILE* f = std::fopen(shm.c_str(), "w");
    ASSERT_NE(f, nullptr);
    for (int n = 0; n < 100; ++n) std::fputs(kFormer.c_str(), f);
    std::fclose(f);
    const RunResult r = shell("exec \"$0\"", answers("w.txt", shm));
    EXPECT_EQ(r.status, 0);
    std::FILE* g = std::fopen(shm.c_str(), "rb");
    ASSERT_NE(g, nullptr);
    std::string got(expected.size() + 1000, '\0');
    got.resize(std::fread(got.data(), 1, got.size(), g));
    std::fclose(g);
    std::remove(shm.c_str());
    EXPECT_EQ(got, expected);
  }

  // Standard output redirected to a file: the result follows the console log there.
  {
    const RunResult r = shell("exec \"$0\" > log.txt", answers("w.txt", "/dev/stdout"));
    EXPECT_EQ(r.status, 0);
    const std::string log = dir.read("log.txt");
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(log.substr(log.size() - expected.size()), expected);
    EXPECT_NE(log.find("Processing Weight Data"), std::string::npos);
    std::filesystem::remove(dir.file("log.txt"));
  }

  // A FIFO gets the whole result, whether its reader is there at once or comes later.
  for (const char* delay : {"0", "0.3"}) {
    SCOPED_TRACE(delay);
    const RunResult r = shell(
        std::string("rm -f p got; mkfifo p; (sleep ") + delay + "; cat p > got) & exec \"$0\"",
        answers("w.txt", "p"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("got"), expected);
  }

  // A device is written directly.
  const RunResult r = shell("exec \"$0\"", answers("w.txt", "/dev/null"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "kel2fram: 1 record written to /dev/null; 0 warnings\r\n");
}

TEST_F(SafeOutput, SignalsAndLimitsLeaveTheFormerFile) {
  SKIP_ON_WINDOWS("signals, FIFOs and file-size limits");
  // The weight list is a FIFO fed slowly, so that the signal comes in the middle of the run.
  const std::string slow_list =
      "mkfifo slow; (printf '1 2 3 4\\n'; sleep 0.6; printf '1 2 3 4\\n') > slow & ";
  struct Case {
    const char* what;
    std::string script;
    int status;
    bool replaced;
  };
  const Case cases[] = {
      {"an ignored hang-up stays ignored",
       "trap '' HUP; " + slow_list + "(sleep 0.3; kill -HUP $$) & exec \"$0\"", 0, true},
      {"a hang-up ends the run", slow_list + "(sleep 0.3; kill -HUP $$) & exec \"$0\"", 128 + 1,
       false},
      {"a kill leaves no file behind", slow_list + "(sleep 0.3; kill -KILL $$) & exec \"$0\"",
       128 + 9, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.write("out.txt", kFormer);
    const RunResult r = shell(c.script, answers("slow", "out.txt"));
    EXPECT_EQ(r.status, c.status);
    const std::string out = dir.read("out.txt");
    if (c.replaced) {
      EXPECT_NE(out.find(kRecord + kRecord), std::string::npos);
    } else {
      EXPECT_EQ(out, kFormer);
    }
    EXPECT_EQ(entries(), (std::vector<std::string>{"out.txt", "slow", "w.txt"}));
    std::filesystem::remove(dir.file("slow"));
  }

  // A file-size limit makes the write fail; it does not kill the run half-way.
  std::string weights;
  for (int n = 0; n < 2000; ++n) weights += "1 2 3 4\n";
  dir.write("w.txt", weights);
  dir.write("out.txt", kFormer);
  const RunResult r = shell("ulimit -f 8; exec \"$0\"", answers("w.txt", "out.txt"));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find(" *** ERROR: WRITE FAILED ON UNIT 17 (out.txt): File too large\r\n"),
            std::string::npos);
  EXPECT_EQ(dir.read("out.txt"), kFormer);
  EXPECT_EQ(entries(), (std::vector<std::string>{"out.txt", "w.txt"}));
}

TEST_F(SafeOutput, AFolderTheUserMayNotWriteIsRefusedAtTheQuestion) {
  SKIP_ON_WINDOWS("folder permission bits and a change of user");
#ifndef _WIN32
  // Run as an unprivileged user: dropped to "nobody" when the test runs as root.
  std::string script = "exec \"$0\"";
  if (::geteuid() == 0) {
    if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
    if (::access(KEL2FRAM_EXE, X_OK) != 0) GTEST_SKIP() << "the tool cannot be run";
    script = "exec /usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\"";
  }
  dir.write("out.txt", kFormer);
  for (const char* name : {"w.txt", "out.txt"}) ::chmod(dir.file(name).c_str(), 0666);
  ::chmod(dir.path().c_str(), 0555);
  // The output file itself may be written; its folder may not. Asked again, then the answers
  // end. Also when the output file is the weight list.
  for (const std::string output : {"out.txt", "w.txt"}) {
    SCOPED_TRACE(output);
    const std::string refused =
        " Cannot write file :" + output + std::string(256 - output.size(), ' ') + "\r\n";
    const RunResult r = shell(script, "w.txt\n" + output + "\n");
    if (r.status == 0) {
      ::chmod(dir.path().c_str(), 0755);
      GTEST_SKIP() << "this user may write the folder after all";
    }
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(
        r.out.find(refused + " File to write the processed data  :   *** ERROR: END OF INPUT"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(dir.read("w.txt"), "1 2 3 4\n");
    EXPECT_EQ(dir.read("out.txt"), kFormer);
    EXPECT_EQ(entries(), (std::vector<std::string>{"out.txt", "w.txt"}));
  }
  ::chmod(dir.path().c_str(), 0755);
#endif
}

}  // namespace
