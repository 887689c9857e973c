// The durable commit of an output file: its steps in order, and every step failing once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "lineio/lineio.h"
#include "os/platform.h"
#include "support/subprocess.h"

namespace {

using os::Step;
using testing_support::ScratchDir;

std::vector<Step> seen;
void record_step(Step step) {
  seen.push_back(step);
}

class Commit : public ::testing::Test {
 protected:
  Commit() {
    lineio::bind_console(in, out, false);
    dir.write("out.txt", "former contents\n");
    seen.clear();
    os::observe_steps(record_step);
  }
  ~Commit() override {
    os::observe_steps(nullptr);
    for (Step s :
         {Step::attributes, Step::sync, Step::name, Step::close, Step::rename, Step::sync_folder}) {
      os::fail_step_once(s, 0);
    }
    lineio::abandon_all();
  }
  // Opens the file for output on unit 17, writes a line and closes it; answers the status.
  // `meanwhile` runs between the open and the write.
  int write_and_close(void (*meanwhile)(const ScratchDir&) = nullptr) {
    lineio::OpenRequest request;
    request.file = file;
    request.status = "UNKNOWN";
    request.access = "SEQUENTIAL";
    request.form = "FORMATTED  ";
    EXPECT_EQ(lineio::open_unit(17, request), 0);
    if (meanwhile != nullptr) meanwhile(dir);
    return lineio::guarded_run([] {
      lineio::put_line(17, "new contents");
      lineio::close_unit(17);
    });
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir.path()),
                                                  std::filesystem::directory_iterator()));
  }
  ScratchDir dir;
  std::string file = dir.file("out.txt");
  lineio::MemorySource in{""};
  lineio::MemorySink out;
};

TEST_F(Commit, DataIsSyncedBeforeTheRenameAndTheFolderAfter) {
  EXPECT_EQ(write_and_close(), 0);
  EXPECT_EQ(dir.read("out.txt"), "new contents\r\n");
  // The former file's attributes go first, so that the sync covers them too; an unnamed
  // temporary file is named just before it is closed, a named one needs no step.
  std::vector<Step> expected{Step::attributes, Step::sync, Step::close, Step::rename,
                             Step::sync_folder};
  if (seen.size() == 6) expected.insert(expected.begin() + 2, Step::name);
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(entries(), 1u);
}

TEST_F(Commit, AFailedStepBeforeTheRenameLeavesTheTargetUntouched) {
  struct Case {
    Step step;
    int code;
    const char* reason;
  };
  const Case cases[] = {{Step::attributes, ENOSPC, "No space left on device"},
                        {Step::sync, EIO, "Input/output error"},
                        {Step::name, ENOSPC, "No space left on device"},
                        {Step::close, EROFS, "Read-only file system"},
                        {Step::rename, EXDEV, "Invalid cross-device link"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    seen.clear();
    out.bytes().clear();
    dir.write("out.txt", "former contents\n");  // a step that a named file skips replaced it
    os::fail_step_once(c.step, c.code);
    const int status = write_and_close();
    os::fail_step_once(c.step, 0);
    if (std::find(seen.begin(), seen.end(), c.step) == seen.end()) continue;  // named file
    EXPECT_EQ(status, 2);
    EXPECT_EQ(out.bytes(), " *** ERROR: WRITE FAILED ON UNIT 17 (" + file +
                               "): " + lineio::describe_error(c.code) + "\r\n");
    EXPECT_EQ(dir.read("out.txt"), "former contents\n");
    EXPECT_EQ(entries(), 1u);  // no temporary file left
    EXPECT_EQ(seen.back(), c.step);
  }
}

TEST_F(Commit, ATakenTemporaryNameIsTriedAgainWithAnother) {
  os::fail_step_once(Step::name, EEXIST);
  EXPECT_EQ(write_and_close(), 0);
  if (std::find(seen.begin(), seen.end(), Step::name) == seen.end()) {
    GTEST_SKIP() << "the temporary file had its name from the start";
  }
  EXPECT_EQ(dir.read("out.txt"), "new contents\r\n");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(Commit, EveryStepWorksInTheFolderHeldSinceTheOpen) {
  SKIP_ON_WINDOWS("a folder with an open file in it cannot be renamed");
  // The folder moves after the open and another takes its name: the file is replaced in the
  // folder that was opened, wherever it is now.
  std::filesystem::create_directory(dir.file("sub"));
  dir.write("sub/out.txt", "former contents\n");
  file = dir.file("sub/out.txt");
  EXPECT_EQ(write_and_close([](const ScratchDir& d) {
              std::filesystem::rename(d.file("sub"), d.file("moved"));
              std::filesystem::create_directory(d.file("sub"));
            }),
            0);
  EXPECT_EQ(dir.read("moved/out.txt"), "new contents\r\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("sub")));
}

TEST_F(Commit, AFailedFolderSyncIsReportedAfterTheReplacement) {
  os::fail_step_once(Step::sync_folder, EIO);
  EXPECT_EQ(write_and_close(), 2);
  EXPECT_EQ(dir.read("out.txt"), "new contents\r\n");
  EXPECT_EQ(out.bytes(), " *** ERROR: SYNC FAILED ON UNIT 17 (" + file +
                             "): " + lineio::describe_error(EIO) +
                             "; the new contents are in place but may not be durable\r\n");
  EXPECT_EQ(entries(), 1u);
}

}  // namespace
