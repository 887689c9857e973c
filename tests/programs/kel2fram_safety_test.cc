// What the output file is, and what becomes of it when the run is interrupted, limited or
// run by a user who may not write its folder: the result is whole or the file is as it was.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mount.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
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
// The weight list "slow" is a FIFO fed slowly, so that something can happen in the middle of
// the run, after the output question.
const std::string kSlowList =
    "mkfifo slow; (printf '1 2 3 4\\n'; sleep 0.6; printf '1 2 3 4\\n') > slow 2>&- & ";
// Too little memory for the mass table, enough to start.
const std::string kLittleMemory = "ulimit -v 20000; ";
const std::string kNoMemory = "kel2fram: not enough memory; the output file is left as it was\r\n";
#ifdef __SANITIZE_ADDRESS__
constexpr bool kMemoryCanBeLimited = false;  // the sanitizer's shadow memory needs far more
#else
constexpr bool kMemoryCanBeLimited = true;
#endif

std::string answers(const std::string& input, const std::string& output) {
  return input + "\n" + output + "\n\n\n\n\n\n";
}

std::string refused(const std::string& output) {
  return " Cannot write file :" + output + std::string(256 - output.size(), ' ') + "\r\n";
}

// Runs the tool as another user; the tests that do need root (to give files to others).
const std::string kAs = "exec /usr/bin/setpriv ";
const std::string kAsNobody = kAs + "--reuid=65534 --regid=65534 --clear-groups ";
#ifndef _WIN32
bool may_act_for_others() {
  return ::geteuid() == 0 && ::access("/usr/bin/setpriv", X_OK) == 0;
}
constexpr const char* kNeedsRoot = "needs root and setpriv to act as other users";
#endif

class SafeOutput : public ::testing::Test {
 protected:
  SafeOutput() { dir.write("w.txt", "1 2 3 4\n"); }
  // Runs the tool from a shell script ("$0" is the tool) in the scratch folder.
  RunResult shell(const std::string& script, const std::string& stdin_bytes) {
    return run_program("/bin/sh", {"-c", script, KEL2FRAM_EXE}, stdin_bytes, dir.path());
  }
  std::vector<std::string> entries(const std::string& folder = ".") const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.file(folder))) {
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
  EXPECT_EQ(r.err,
            testing_support::err_text("kel2fram: 1 record written to /dev/null; 0 warnings\r\n"));
}

TEST_F(SafeOutput, SignalsAndLimitsLeaveTheFormerFile) {
  SKIP_ON_WINDOWS("signals, FIFOs and file-size limits");
  const std::string& slow_list = kSlowList;
  struct Case {
    const char* what;
    std::string script;
    int status;
    bool replaced;
    std::string err;
  };
  const Case cases[] = {
      {"an ignored hang-up stays ignored",
       "trap '' HUP; " + slow_list + "(sleep 0.3; kill -HUP $$) & exec \"$0\"", 0, true,
       "kel2fram: 2 records written to out.txt; 0 warnings\r\n"},
      {"a hang-up ends the run", slow_list + "(sleep 0.3; kill -HUP $$) & exec \"$0\"", 128 + 1,
       false, ""},
      {"a kill leaves no file behind", slow_list + "(sleep 0.3; kill -KILL $$) & exec \"$0\"",
       128 + 9, false, ""},
      {"too little memory is a failed run", slow_list + kLittleMemory + "exec \"$0\"", 2, false,
       kNoMemory},
      // The second sync is the folder's, after the rename: the words say what is true.
      {"a failed sync after the rename says the new contents are in place",
       // (A sanitized build's leak check cannot run under strace: it is left out there.)
       slow_list + "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" exec strace -qqq -o /dev/null "
                   "-e trace=fsync -e inject=fsync:error=EIO:when=2 \"$0\"",
       2, true,
       "kel2fram: out.txt: the new contents are in place, but making them durable failed: "
       "Input/output error\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.err == kNoMemory && !kMemoryCanBeLimited) continue;
    if (c.script.find("strace") != std::string::npos && ::access("/usr/bin/strace", X_OK) != 0) {
      continue;  // strace is not installed (Debian: strace)
    }
    dir.write("out.txt", kFormer);
    const RunResult r = shell(c.script, answers("slow", "out.txt"));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, testing_support::err_text(c.err));
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

// A list that another program is still writing (grown or cut while the dialogue asks its
// questions) ends the run with status 2 and says so; the output file keeps its former contents.
TEST_F(SafeOutput, AListThatChangesDuringTheRunIsAFailedRun) {
  SKIP_ON_WINDOWS("a shell changes the list while the run waits for its answers");
  for (const char* change : {"printf '5 6 7 8\\n' >> w.txt", ": > w.txt"}) {
    SCOPED_TRACE(change);
    dir.write("w.txt", "1 2 3 4\n1 2 3 4\n");
    dir.write("out.txt", kFormer);
    const RunResult r =
        shell(std::string(
                  "(printf 'w.txt\\nout.txt\\n'; sleep 1; printf '\\n\\n\\n\\n\\n') | \"$0\" & ") +
                  "sleep 0.5; " + change + "; wait $!",
              "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("kel2fram: w.txt: changed while it was read (another program may still "
                         "be writing it)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(dir.read("out.txt"), kFormer);
  }
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
    const RunResult r = shell(script, "w.txt\n" + output + "\n");
    if (r.status == 0) {
      ::chmod(dir.path().c_str(), 0755);
      GTEST_SKIP() << "this user may write the folder after all";
    }
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find(refused(output) +
                         " File to write the processed data  :   *** ERROR: END OF INPUT"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(dir.read("w.txt"), "1 2 3 4\n");
    EXPECT_EQ(dir.read("out.txt"), kFormer);
    EXPECT_EQ(entries(), (std::vector<std::string>{"out.txt", "w.txt"}));
  }
  ::chmod(dir.path().c_str(), 0755);
#endif
}

TEST_F(SafeOutput, OddTargetsAreWrittenThroughOrRefused) {
  SKIP_ON_WINDOWS("links, /dev paths and shell redirections");
  const std::string expected = plain_result();
  struct Case {
    const char* what;
    std::string setup;   // shell commands that make the target
    std::string script;  // runs the tool
    std::string answers;
    const char* result;  // the file that then holds the result; nullptr: refused
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {"a link whose target is missing makes the target",
       "ln -s target2.txt dl.txt",
       "exec \"$0\"",
       answers("w.txt", "dl.txt"),
       "target2.txt",
       {"dl.txt", "target2.txt", "w.txt"}},
      {"also through a chain of links",
       "mkdir sub; ln -s sub/t3.txt c1; ln -s c1 c0",
       "exec \"$0\"",
       answers("w.txt", "c0"),
       "sub/t3.txt",
       {"c0", "c1", "sub", "w.txt"}},
      {"the pipe that standard input reads",
       "",
       "exec \"$0\"",
       answers("w.txt", "/dev/stdin"),
       nullptr,
       {"w.txt"}},
      {"the answers file that standard input reads",
       "printf 'w.txt\\n/dev/fd/0\\n\\n\\n\\n\\n\\n' > a.txt",
       "exec \"$0\" < a.txt",
       "",
       nullptr,
       {"a.txt", "w.txt"}},
      {"the weight list as output, also through a link",
       "ln -s w.txt wl.txt",
       "exec \"$0\" 2>&-",
       answers("w.txt", "wl.txt"),
       nullptr,
       {"w.txt", "wl.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(shell(c.setup, "").status, 0);
    const RunResult r = shell(c.script, c.answers);
    EXPECT_EQ(r.status, c.result != nullptr ? 0 : 2);
    if (c.result != nullptr) {
      EXPECT_EQ(dir.read(c.result), expected);
    } else {
      const std::string output = c.answers.empty()      ? "/dev/fd/0"
                                 : c.entries.size() > 1 ? "wl.txt"
                                                        : "/dev/stdin";
      EXPECT_NE(r.out.find(refused(output)), std::string::npos);
      EXPECT_EQ(dir.read("w.txt"), "1 2 3 4\n");
      if (c.answers.empty()) {
        EXPECT_EQ(dir.read("a.txt"), "w.txt\n/dev/fd/0\n\n\n\n\n\n");
      }
    }
    EXPECT_EQ(entries(), c.entries);
    EXPECT_TRUE(c.entries[0] != "dl.txt" || std::filesystem::is_symlink(dir.file("dl.txt")));
    for (const std::string& name : c.entries) std::filesystem::remove_all(dir.file(name));
    dir.write("w.txt", "1 2 3 4\n");
  }
}

// A folder its owner may search and write but not read (a drop box): the new name is made
// durable all the same, and the status says so; for the tool and for massplot.
TEST_F(SafeOutput, ADropBoxFolderIsWrittenDurablyWithStatusZero) {
  SKIP_ON_WINDOWS("folder permission bits and a change of user");
#ifndef _WIN32
  if (!may_act_for_others()) GTEST_SKIP() << kNeedsRoot;
  const std::string expected = plain_result();
  dir.write("m.txt", expected);
  ::chmod(dir.path().c_str(), 0755);
  std::filesystem::create_directory(dir.file("drop"));
  ASSERT_EQ(::chown(dir.file("drop").c_str(), 65534, 65534), 0);
  ::chmod(dir.file("drop").c_str(), 0300);
  for (int n = 0; n < 2; ++n) {  // made, then replaced
    const RunResult tool = shell(kAsNobody + "\"$0\"", answers("w.txt", "drop/out.txt"));
    const RunResult plot = shell(kAsNobody + MASSPLOT_EXE " m.txt drop/m.svg", "");
    EXPECT_EQ(tool.status + plot.status, 0);
    EXPECT_EQ(
        tool.err + plot.err,
        testing_support::err_text("kel2fram: 1 record written to drop/out.txt; 0 warnings\r\n"));
  }
  EXPECT_EQ(dir.read("drop/out.txt"), expected);
  EXPECT_TRUE(dir.read("drop/m.svg").ends_with("</svg>\r\n"));
  EXPECT_EQ(entries("drop"), (std::vector<std::string>{"m.svg", "out.txt"}));
#endif
}

TEST_F(SafeOutput, AReplacedFileKeepsWhatItHad) {
  SKIP_ON_WINDOWS("POSIX owners, ACLs and extended attributes");
#ifndef _WIN32
  if (!may_act_for_others()) GTEST_SKIP() << kNeedsRoot;
  if (::access("/usr/bin/setfacl", X_OK) != 0 || ::access("/usr/bin/setfattr", X_OK) != 0) {
    GTEST_SKIP() << "needs setfacl and setfattr (Debian: acl, attr)";
  }
  const std::string expected = plain_result();
  ::chmod(dir.path().c_str(), 0777);  // other users make their files here too
  struct Case {
    const char* what;
    const char* setup;  // gives out.txt what it has
    const char* user;   // setpriv's options for the run; "" runs as root
    const char* kept;   // a shell command whose output the run does not change
  };
  const Case cases[] = {
      {"an ACL and an extended attribute",
       "setfacl -m u:nobody:rw,g::r,m::rw out.txt && setfattr -n user.note -v kept out.txt", "",
       "stat -c '%u:%g %a' out.txt; getfacl -cp out.txt; getfattr -d out.txt"},
      {"another user's owner, group and mode", "chown 12345:50 out.txt && chmod 0604 out.txt", "",
       "stat -c '%u:%g %a' out.txt"},
      {"the group, for a user who belongs to it", "chown 12345:50 out.txt && chmod 0660 out.txt",
       "--reuid=12345 --regid=12345 --groups=50 ", "stat -c '%u:%g %a' out.txt"},
      {"no ACL, in a folder whose default ACL a new file would take",
       "setfacl -d -m u:nobody:rwx . && chmod 0600 out.txt", "", "getfacl -cp out.txt"},
      {"a hard link keeps the former contents", "ln out.txt link.txt", "", "cat link.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A build that copies the mode alone refuses to replace a file with an ACL instead.
    if (KEL2FRAM_ATTRIBUTE_COPY == 0 && c.what == cases[0].what) continue;
    dir.write("out.txt", kFormer);
    ASSERT_EQ(shell(c.setup, "").status, 0);
    const std::string before = shell(c.kept, "").out;
    const RunResult r = shell(kAs + c.user + "\"$0\"", answers("w.txt", "out.txt"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("out.txt"), expected);
    EXPECT_EQ(shell(c.kept, "").out, before);
    shell("rm -f out.txt link.txt; setfacl -k .", "");
  }
#endif
}

// A replacement that would change who may read and write the file (its owner or group cannot
// be kept by this user) is refused at the question with the reason; the file stays as it was.
TEST_F(SafeOutput, AReplacementThatWouldChangeAccessIsRefusedAtTheQuestion) {
  SKIP_ON_WINDOWS("POSIX owners, ACLs and sticky folders");
#ifndef _WIN32
  if (!may_act_for_others()) GTEST_SKIP() << kNeedsRoot;
  if (::access("/usr/bin/setfacl", X_OK) != 0) GTEST_SKIP() << "needs setfacl (Debian: acl)";
  const std::string carol = "--reuid=12345 --regid=12345 --clear-groups ";
  const std::string owner = "its owner or group cannot be kept";
  const std::string sticky = "another user's file in a folder that lets only its owner replace it";
  struct Case {
    const char* what;
    const char* setup;
    const std::string& reason;
  };
  const Case cases[] = {
      {"another user's file and group, writable through an ACL",
       "chown 65534:50 out.txt && chmod 0660 out.txt && setfacl -m u:12345:rw out.txt", owner},
      {"another user's file that everyone may write",
       "chown 65534:50 out.txt && chmod 0662 out.txt", owner},
      {"set-id bits of another owner", "chown 65534:50 out.txt && chmod 06777 out.txt", owner},
      {"the user's file of a group the user is not in",
       "chown 12345:50 out.txt && chmod 0664 out.txt", owner},
      {"another user's file in a sticky folder", "chown 65534:65534 out.txt && chmod 0666 out.txt",
       sticky},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::chmod(dir.path().c_str(), c.reason == sticky ? 01777 : 0777);
    dir.write("out.txt", kFormer);
    ASSERT_EQ(shell(c.setup, "").status, 0);
    const std::string before = shell("stat -c '%u:%g %a' out.txt; getfacl -cp out.txt", "").out;
    const RunResult r = shell(kAs + carol + "\"$0\"", "w.txt\nout.txt\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find(refused("out.txt")), std::string::npos);
    EXPECT_NE(r.err.find("kel2fram: out.txt: " + c.reason), std::string::npos) << r.err;
    EXPECT_EQ(dir.read("out.txt"), kFormer);
    EXPECT_EQ(shell("stat -c '%u:%g %a' out.txt; getfacl -cp out.txt", "").out, before);
    EXPECT_EQ(entries(), (std::vector<std::string>{"out.txt", "w.txt"}));
  }
  ::chmod(dir.path().c_str(), 0755);
#endif
}

// Things that happen to the output's folder in the middle of a run, as root. The weight
// list is a FIFO fed slowly, so that they happen after the output question.
TEST_F(SafeOutput, EveryStepWorksInTheFolderOpenedAtTheQuestion) {
  SKIP_ON_WINDOWS("folders moved while the run goes on, signals, a FUSE mount");
#ifndef _WIN32
  if (!may_act_for_others()) GTEST_SKIP() << kNeedsRoot;
  // Swapped by its owner for a link to a root-only folder: the result goes where the
  // question pointed, with the former file's owner and mode.
  std::filesystem::create_directory(dir.file("d"));
  std::filesystem::create_directory(dir.file("secret"));
  ::chmod(dir.file("secret").c_str(), 0700);
  dir.write("d/out.txt", kFormer);
  for (const char* name : {"d", "d/out.txt"}) ::chown(dir.file(name).c_str(), 12345, 12345);
  ::chmod(dir.file("d/out.txt").c_str(), 0666);
  RunResult r = shell(kSlowList + "(sleep 0.3; mv d d.old; ln -s secret d) & exec \"$0\"",
                      answers("slow", "d/out.txt"));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(dir.read("d.old/out.txt").find(kRecord + kRecord), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("secret")));
  EXPECT_EQ(shell("stat -c '%u %a' d.old/out.txt", "").out, "12345 666\n");
  std::filesystem::remove(dir.file("slow"));

  // On a file system without unnamed files (a FUSE mount) the temporary file has a name:
  // every signal that ends the run removes it, also after the folder has moved, and so does
  // a run without memory enough. (hard_remove: a file removed while open goes at once, not
  // behind a hidden name of FUSE's.)
  if (::access("/usr/bin/bindfs", X_OK) != 0) GTEST_SKIP() << "bindfs is not installed";
  std::filesystem::create_directories(dir.file("src/out"));
  std::filesystem::create_directory(dir.file("mnt"));
  if (shell("bindfs -o hard_remove src mnt", "").status != 0) {
    GTEST_SKIP() << "no FUSE file system can be mounted here";
  }
  const struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{dir.file("mnt")};
  std::vector<std::pair<std::string, int>> cases;
  for (const auto& [name, number] : {std::pair{"USR1", SIGUSR1},
                                     {"USR2", SIGUSR2},
                                     {"ALRM", SIGALRM},
                                     {"XCPU", SIGXCPU},
                                     {"VTALRM", SIGVTALRM},
                                     {"PROF", SIGPROF},
                                     {"TERM", SIGTERM},
                                     {"RTMIN", SIGRTMIN}}) {
    cases.emplace_back(kSlowList + "(sleep 0.2; mv mnt/out mnt/moved; sleep 0.1; kill -" + name +
                           " $$) & exec \"$0\"",
                       128 + number);
  }
  if (kMemoryCanBeLimited) {
    cases.emplace_back(kSlowList + "mv mnt/out mnt/moved; " + kLittleMemory + "exec \"$0\"", 2);
  }
  for (const auto& [script, status] : cases) {
    SCOPED_TRACE(script);
    dir.write("src/out/out.txt", kFormer);
    EXPECT_EQ(shell(script, answers("slow", "mnt/out/out.txt")).status, status);
    EXPECT_EQ(entries("src/moved"), std::vector<std::string>{"out.txt"});
    EXPECT_EQ(dir.read("src/moved/out.txt"), kFormer);
    std::filesystem::rename(dir.file("src/moved"), dir.file("src/out"));
    std::filesystem::remove(dir.file("slow"));
  }
  r = shell("exec \"$0\"", answers("w.txt", "mnt/out/out.txt"));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(dir.read("src/out/out.txt").find(kRecord), std::string::npos);
  EXPECT_EQ(entries("src/out"), std::vector<std::string>{"out.txt"});
#endif
}

}  // namespace
