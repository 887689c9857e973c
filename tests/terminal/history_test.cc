// The history of answers is the running user's alone, and no answer of runs at the same time
// is lost: what a history in the wrong hands, or in the wrong form, does to a run as root.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "support/subprocess.h"
#include "terminal/answer_history.h"

namespace {

namespace history = terminal::answer_history;
using testing_support::ScratchDir;

constexpr uid_t kOther = 12345;
const std::string kSecret = "root's own file\n";

std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AnswerHistory, IsWrittenOnlyAsARegularFileOfTheUsersOwn) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to other users";
  struct Case {
    const char* what;
    void (*plant)(const ScratchDir& dir);  // puts something at home/s/kel2fram/history
    const char* kept;                      // what then stands there: "link", "fifo", "device"
  };
  const Case cases[] = {
      {"another user's link to root's file",
       [](const ScratchDir& dir) {
         ::symlink(dir.file("secret").c_str(), dir.file("home/s/kel2fram/history").c_str());
         ::lchown(dir.file("home/s/kel2fram/history").c_str(), kOther, kOther);
       },
       "link"},
      {"the user's own link (switching the history off)",
       [](const ScratchDir& dir) {
         ::symlink(dir.file("secret").c_str(), dir.file("home/s/kel2fram/history").c_str());
       },
       "link"},
      {"a device",
       [](const ScratchDir& dir) {
         ::mknod(dir.file("home/s/kel2fram/history").c_str(), S_IFCHR | 0666, makedev(1, 3));
       },
       "device"},
      {"a FIFO",
       [](const ScratchDir& dir) { ::mkfifo(dir.file("home/s/kel2fram/history").c_str(), 0600); },
       "fifo"},
      {"another user's regular file",
       [](const ScratchDir& dir) {
         dir.write("home/s/kel2fram/history", kSecret);
         ::chown(dir.file("home/s/kel2fram/history").c_str(), kOther, kOther);
       },
       "file"},
      {"another user's folder",
       [](const ScratchDir& dir) {
         dir.write("home/s/kel2fram/history", kSecret);
         ::chown(dir.file("home/s/kel2fram").c_str(), kOther, kOther);
       },
       "file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ScratchDir dir;
    dir.write("secret", kSecret);
    std::filesystem::create_directories(dir.file("home/s/kel2fram"));
    c.plant(dir);
    const history::Location place{dir.file("home"), "s/kel2fram"};
    EXPECT_TRUE(history::load(place).empty());
    history::record(place, {"output", "out.txt"});
    struct stat st {};
    ASSERT_EQ(::lstat(place.file().c_str(), &st), 0);
    const std::string kind = S_ISLNK(st.st_mode)    ? "link"
                             : S_ISFIFO(st.st_mode) ? "fifo"
                             : S_ISCHR(st.st_mode)  ? "device"
                                                    : "file";
    EXPECT_EQ(kind, c.kept);
    EXPECT_EQ(dir.read("secret"), kSecret);
    if (kind == "file") {
      EXPECT_EQ(dir.read("home/s/kel2fram/history"), kSecret);
    }
    EXPECT_EQ(entries(dir.file("home/s/kel2fram")), std::vector<std::string>{"history"});
  }

  // Root with another user's HOME makes nothing in it.
  const ScratchDir dir;
  std::filesystem::create_directory(dir.file("home"));
  ::chown(dir.file("home").c_str(), kOther, kOther);
  history::record({dir.file("home"), ".local/state/kel2fram"}, {"output", "out.txt"});
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("home")));
}

// Runs that add answers at the same time each keep theirs; a signal in the middle of an
// addition leaves no temporary file.
TEST(AnswerHistory, RunsAtTheSameTimeAndSignalsLoseNothing) {
  const ScratchDir dir;
  const history::Location place{dir.path(), "state/kel2fram"};
  constexpr int kRuns = 4;
  constexpr int kAnswers = 6;
  std::vector<pid_t> children;
  for (int run = 0; run < kRuns; ++run) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int n = 0; n < kAnswers; ++n) {
        history::record(place, {"output", std::to_string(run) + "-" + std::to_string(n)});
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) ::waitpid(pid, nullptr, 0);
  EXPECT_EQ(history::load(place).size(), std::size_t{kRuns * kAnswers});
  EXPECT_EQ(::access((dir.path() + "/state").c_str(), F_OK), 0);

  for (int attempt = 0; attempt < 20; ++attempt) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int n = 0;; ++n) history::record(place, {"spread", std::to_string(n)});
    }
    const timespec pause{0, 2'000'000 + attempt * 500'000};
    ::nanosleep(&pause, nullptr);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
  }
  EXPECT_EQ(entries(dir.file("state/kel2fram")), std::vector<std::string>{"history"});
}

}  // namespace
#endif
