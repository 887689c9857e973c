// The command line: every option set gives what typing the same answers gives; usage errors
// are found before anything is opened; --help and --version.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "front/version.h"
#include "lineio/lineio.h"
#include "support/console_text.h"
#include "support/subprocess.h"
#include "tool/command_line.h"
#include "tool/run.h"

namespace {

using namespace console_text;  // NOLINT(google-build-using-namespace)

using testing_support::run_program;
using testing_support::RunResult;
using testing_support::ScratchDir;

const std::string kWeights = "1.5 10 20 30\n2.0 -5 0 4.5\n3 1 1\n0.25 1000 2 3\n";

// The console from the processing notice on: the messages, the report and any error.
std::string after_dialogue(const std::string& out) {
  const std::size_t at = out.find(kNotice);
  return at == std::string::npos ? "(no notice) " + out : out.substr(at);
}

// The dialogue as a typed transcript shows it: each prompt, its answer and a line end.
std::string transcript(const std::string& answers) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < answers.size();) {
    const std::size_t end = answers.find('\n', at);
    lines.push_back(answers.substr(at, end - at));
    at = end + 1;
  }
  std::string shown;
  std::size_t k = 0;
  const auto ask = [&](const std::string& prompt) {
    const std::string answer = k < lines.size() ? lines[k++] : "";
    shown += prompt + answer + "\r\n";
    return answer;
  };
  for (const std::string* prompt : {&kAskInput, &kAskOutput, &kAskUnit, &kAskSpread}) ask(*prompt);
  const std::pair<std::string, std::string> axes[] = {
      {kAskX, kRangeX}, {kAskY, kRangeY}, {kAskZ, kRangeZ}};
  for (const auto& [skip, range] : axes) {
    const std::string answer = ask(skip);
    if (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y')) ask(range);
  }
  return shown;
}

struct OptionCase {
  std::vector<std::string> args;
  std::string still_asked;  // piped for the questions that no option answers
  std::string typed;        // every answer typed, for the same run
  int status;
};

TEST(CommandLine, OptionsGiveWhatTypingTheAnswersGives) {
  const OptionCase cases[] = {
      {{"w.txt", "out.txt"}, "", "w.txt\nout.txt\n\n\n\n\n\n", 0},
      {{"-u", "kg", "-n", "3", "w.txt", "out.txt"}, "", "w.txt\nout.txt\nkg\n3\n\n\n\n", 0},
      {{"--unit=T", "--spread=-2", "--x-range", "-100 100", "--z-range=0,50", "w.txt", "out.txt"},
       "",
       "w.txt\nout.txt\nT\n-2\ny\n-100 100\n\ny\n0,50\n",
       0},
      {{"-x-1d2,1e2", "-y", "  0.5 , 30 extra", "--", "w.txt", "out.txt"},
       "",
       "w.txt\nout.txt\n\n\ny\n-1d2,1e2\ny\n  0.5 , 30 extra\n\n",
       0},
      {{"--spread", "3 nodes", "-ukilo", "w.txt", "out.txt"}, "", "", 1},  // refused: kilo
      {{"--spread", "3 nodes", "-uKG", "w.txt", "out.txt"},
       "",
       "w.txt\nout.txt\nKG\n3 nodes\n\n\n\n",
       0},
      {{"--x-range", "5 -5", "w.txt", "out.txt"}, "", "w.txt\nout.txt\n\n\ny\n5 -5\n\n\n", 1},
      {{"w.txt"}, "out.txt\nkg\n\n\n\n\n", "w.txt\nout.txt\nkg\n\n\n\n\n", 0},
      {{"-n", "4", "-z", "0 25"},
       "w.txt\nout.txt\n\n\n\n",
       "w.txt\nout.txt\n\n4\n\n\ny\n0 25\n",
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front() + " ... " + c.args.back());
    ScratchDir by_options, by_typing;
    by_options.write("w.txt", kWeights);
    by_typing.write("w.txt", kWeights);
    const RunResult options = run_program(KEL2FRAM_EXE, c.args, c.still_asked, by_options.path());
    if (c.typed.empty()) {  // a usage error: nothing shown, nothing written
      EXPECT_EQ(options.status, 1);
      EXPECT_EQ(options.out, "");
      EXPECT_FALSE(by_options.exists("out.txt"));
      continue;
    }
    const RunResult typed = run_program(KEL2FRAM_EXE, {}, c.typed, by_typing.path());
    EXPECT_EQ(options.status, c.status);
    EXPECT_EQ(typed.status, c.status);
    EXPECT_EQ(after_dialogue(options.out), after_dialogue(typed.out));
    EXPECT_EQ(options.err, typed.err);
    ASSERT_EQ(by_options.exists("out.txt"), by_typing.exists("out.txt"));
    if (by_typing.exists("out.txt")) {
      EXPECT_EQ(by_options.read("out.txt"), by_typing.read("out.txt"));
    }
    if (c.still_asked.empty()) {
      // Both files named: every question shows its answer, and nothing is asked.
      EXPECT_NE(options.out.find(transcript(c.typed) + kNotice), std::string::npos) << options.out;
    }
  }
}

TEST(CommandLine, UsageErrorsOpenAndWriteNothing) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--frobnicate", "w.txt", "out.txt"}, "unknown option --frobnicate"},
      {{"-q"}, "unknown option -q"},
      {{"--spread", "two", "w.txt", "out.txt"}, "--spread two: the spread count is a whole number"},
      {{"-n2*5"}, "-n 2*5: the spread count is a whole number"},
      {{"--unit", "grams"}, "--unit grams: the mass unit is kg or tonnes"},
      {{"-x", "5", "w.txt", "out.txt"}, "-x 5: a range is two numbers, the minimum first"},
      {{"--y-range=0 to 100"},
       "--y-range 0 to 100: a range is two plain numbers, the minimum first"},
      {{"--z-range"}, "--z-range needs a value, MIN,MAX"},
      {{"--help=me"}, "--help takes no value"},
      {{"w.txt", "out.txt", "more.txt"},
       "one weight list and one output file at most; \"more.txt\" is one too many"},
  };
  for (const auto& [args, error] : cases) {
    SCOPED_TRACE(error);
    ScratchDir dir;
    dir.write("w.txt", kWeights);
    const RunResult r = run_program(KEL2FRAM_EXE, args, "w.txt\nout.txt\n\n\n\n\n\n", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, testing_support::err_text(
                         "kel2fram: " + error +
                         "\r\nkel2fram: usage: kel2fram [OPTIONS] [WEIGHT-LIST [OUTPUT]] "
                         "(kel2fram --help lists the options)\r\n"));
    EXPECT_FALSE(dir.exists("out.txt"));
  }
}

TEST(CommandLine, ANamedFileThatCannotBeOpenedIsNotAskedForAgain) {
  ScratchDir dir;
  dir.write("w.txt", kWeights);
  dir.write("out.txt", "former\n");
  const RunResult input = run_program(KEL2FRAM_EXE, {"nope.txt", "out.txt"}, "w.txt\n", dir.path());
  EXPECT_EQ(input.status, 2);
  const std::string name = "nope.txt" + std::string(248, ' ');
  EXPECT_TRUE(input.out.ends_with(kAskInput + "nope.txt\r\n Nonexisting file :" + name + "\r\n"));
  EXPECT_TRUE(input.err.starts_with("kel2fram: nope.txt: ")) << input.err;
  EXPECT_TRUE(input.err.ends_with(
      testing_support::err_text(" (named on the command line, so not asked for again)\r\n")));

  const RunResult output =
      run_program(KEL2FRAM_EXE, {"w.txt", "no/such/folder/o.txt"}, "", dir.path());
  EXPECT_EQ(output.status, 2);
  EXPECT_NE(output.out.find("\r\n Cannot write file :no/such/folder/o.txt "), std::string::npos);
  EXPECT_EQ(dir.read("out.txt"), "former\n");

  // Names taken as given, or refused: never another file than the one named.
  struct Case {
    const char* what;
    std::vector<std::string> names;
    const char* reason;
  };
  const Case cases[] = {
      {"trailing blanks beside a file without them", {"w.txt", "out.txt  "}, "ends in blanks"},
      {"the weight list as the output", {"w.txt", "w.txt"}, "is the weight list"},
      {"the weight list through a link", {"w.txt", "link.txt"}, "is the weight list"},
#ifdef _WIN32
      // Spellings that Windows takes for the same file.
      {"the weight list in capitals", {"w.txt", "W.TXT"}, "is the weight list"},
      {"the weight list with a trailing dot", {"w.txt", "w.txt."}, "is the weight list"},
#endif
  };
  std::error_code no_links;  // a system without symbolic links skips that case
  std::filesystem::create_symlink("w.txt", dir.file("link.txt"), no_links);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (no_links && c.names[1] == "link.txt") continue;
    const RunResult r = run_program(KEL2FRAM_EXE, c.names, "", dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("\r\n Cannot write file :" + c.names[1]), std::string::npos);
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_EQ(dir.read("out.txt"), "former\n");
    EXPECT_EQ(dir.read("w.txt"), kWeights);
  }
}

// A weight list whose name holds line breaks adds no line to the report: shown escaped.
// Windows names hold no C0 control character: a C1 next line and a DEL there.
TEST(CommandLine, ANameWithLineBreaksStaysOneReportLine) {
  ScratchDir dir;
#ifdef _WIN32
  const std::string breaks[] = {"\xC2\x85", "\x7F"};
  const std::string escaped[] = {"\\u0085", "\\x7f"};
#else
  const std::string breaks[] = {"\n", "\r"};
  const std::string escaped[] = {"\\n", "\\r"};
#endif
  const std::string record = " Map_Mass     1     999.000       9.000       9.000   9.0000E+03";
  const std::string name = "w" + breaks[0] + record + breaks[1] + "#.txt";
  dir.write(name, kWeights);
  const RunResult r = run_program(KEL2FRAM_EXE, {name, "out.txt"}, "", dir.path());
  EXPECT_EQ(r.status, 0);
  const std::string file = dir.read("out.txt");
  std::size_t records = 0;
  for (std::size_t at = file.find("\n Map_Mass"); at != std::string::npos;
       at = file.find("\n Map_Mass", at + 1)) {
    ++records;
  }
  EXPECT_EQ(records, 3u);
  const std::string shown = "#  Input File: w" + escaped[0] + record + escaped[1] +
                            "#.txt, with input mass unit [tonnes].\r\n";
  EXPECT_NE(file.find(shown), std::string::npos) << file;
  EXPECT_NE(r.out.find(shown), std::string::npos);
  for (const std::string& raw : {"w" + breaks[0], breaks[1] + "#.txt"}) {
    EXPECT_EQ(file.find(raw), std::string::npos);
    EXPECT_EQ(r.out.find(raw), std::string::npos);
  }
  EXPECT_NE(r.err.find(" written to out.txt"), std::string::npos);
}

TEST(CommandLine, HelpAndVersion) {
  const std::string version(front::kPackageVersion);
  const std::array<std::string, 3> names = {"kel2fram", "kitdump", "massplot"};
  const std::array<const char*, 3> exes = {KEL2FRAM_EXE, KITDUMP_EXE, MASSPLOT_EXE};
  for (std::size_t p = 0; p < exes.size(); ++p) {
    SCOPED_TRACE(names[p]);
    for (const char* version_option : {"--version", "-V"}) {
      const RunResult r = run_program(exes[p], {version_option}, "");
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.out, names[p] + " " + version + "\n");
    }
    // The three programs' helps in one layout: the usage, the options, the exit status, and
    // where to read on: the manual page and the other two programs.
    for (const char* help : {"--help", "-h"}) {
      const RunResult r = run_program(exes[p], {help}, "");
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.err, "");
      EXPECT_TRUE(r.out.starts_with("Usage: " + names[p] + " ")) << r.out;
      for (const std::string& part :
           {std::string("\n\nOptions:\n"), std::string("\n  -h, --help             show this help"),
            std::string("\n  -V, --version          show the version"),
            std::string("\n\nExit status: 0 "),
            "\n\nThe manual page " + names[p] + "(1) (man " + names[p] + ")"}) {
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
      }
      for (const std::string& other : names) {
        bool named = false;  // as a word, wherever the lines break
        for (const char* before : {" ", "\n"}) {
          for (const char* after : {" ", "\n"}) {
            named = named || r.out.find(before + other + after) != std::string::npos;
          }
        }
        EXPECT_TRUE(named) << other;
      }
      for (std::size_t at = 0, end = 0; at < r.out.size(); at = end + 1) {
        end = r.out.find('\n', at);
        EXPECT_LE(end - at, 79u) << r.out.substr(at, end - at);
      }
    }
  }
  const RunResult r = run_program(KEL2FRAM_EXE, {"-n", "3", "--help"}, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.starts_with("Usage: kel2fram [OPTIONS] [WEIGHT-LIST [OUTPUT]]\n"));
  for (const char* option : {"-u, --unit kg|tonnes", "-n, --spread N", "-x, --x-range MIN,MAX",
                             "-y, --y-range", "-z, --z-range", "--strict", "-V, --version"}) {
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  }
}

}  // namespace
