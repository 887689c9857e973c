// What only Windows has, end to end: device names, files that another program locks, wide
// file names, and answers as Windows consoles and editors write them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/console_text.h"
#include "support/subprocess.h"

namespace {

using testing_support::run_program;
using testing_support::RunResult;
using testing_support::ScratchDir;

const std::string kFormer = "former contents\r\n";
const std::string kRecord = " Map_Mass     1       2.000       3.000       4.000   1.0000E+03\r\n";

std::filesystem::path utf8_path(const std::string& name) {
  return {std::u8string(name.begin(), name.end())};
}

std::string read(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string answers(const std::string& input, const std::string& output) {
  return input + "\n" + output + "\n\n\n\n\n\n";
}

class WindowsRun : public ::testing::Test {
 protected:
  WindowsRun() { dir.write("w.txt", "1 2 3 4\n"); }
  RunResult run(const std::string& stdin_bytes) {
    return run_program(KEL2FRAM_EXE, {}, stdin_bytes, dir.path());
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(
             std::filesystem::path(reinterpret_cast<const char8_t*>(dir.path().c_str())))) {
      const std::u8string name = e.path().filename().u8string();
      names.emplace_back(reinterpret_cast<const char*>(name.data()), name.size());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  ScratchDir dir;
};

TEST_F(WindowsRun, DeviceNamesAreWrittenDirectly) {
  for (const char* device : {"NUL", "nul", "NUL.txt"}) {
    SCOPED_TRACE(device);
    const RunResult r = run(answers("w.txt", device));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("#  Total Mass (kept):    1.000E+03 [kg]"), std::string::npos);
    EXPECT_EQ(entries(), std::vector<std::string>{"w.txt"});  // nothing made in the folder
  }
}

TEST_F(WindowsRun, OutputsThatCannotBeReplacedAreRefusedAtTheQuestion) {
  // Each is refused with the dialogue's message and its reason on standard error; the next
  // answer is taken, and the file keeps its contents.
  struct Case {
    const char* what;
    std::string reason;
  };
  const Case cases[] = {{"locked", testing_support::kLockedReason}, {"read-only", "read-only"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.write("out.txt", kFormer);
    const std::wstring out = std::filesystem::path(dir.file("out.txt")).wstring();
    RunResult r;
    {
      std::unique_ptr<testing_support::LockedFile> locked;
      if (c.reason == "read-only") {
        SetFileAttributesW(out.c_str(), FILE_ATTRIBUTE_READONLY);
      } else {
        locked = std::make_unique<testing_support::LockedFile>(dir.file("out.txt"));
      }
      r = run(answers("w.txt", "out.txt\nfree.txt"));
      SetFileAttributesW(out.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" Cannot write file :out.txt" + std::string(249, ' ') + "\r\n"),
              std::string::npos);
    // Piped answers: the answer taken in the refused one's place is told, and counted.
    EXPECT_EQ(r.err, "kel2fram: out.txt: " + c.reason +
                         "\r\nkel2fram: output file \"out.txt\" (answer line 2) could not be "
                         "opened, so answer line 3, \"free.txt\", was taken as the output file: "
                         "each later answer moves up one question\r\n"
                         "kel2fram: 1 record written to free.txt; 1 warning\r\n");
    EXPECT_EQ(dir.read("out.txt"), kFormer);
    EXPECT_EQ(entries(), (std::vector<std::string>{"free.txt", "out.txt", "w.txt"}));
    std::filesystem::remove(std::filesystem::path(dir.file("free.txt")));
  }
}

TEST_F(WindowsRun, NamesInAnyLanguageGoThroughEveryProgram) {
  // A weight list under each name: kitdump reads it, kel2fram refuses to write over it and
  // writes its records under the name instead from another list (the names typed, then on its
  // command line), massplot draws them beside it and will not draw over the list itself.
  const std::string folder = "C:\\Bj\xc3\xb8rn";
  const bool made_folder = !std::filesystem::exists(utf8_path(folder));
  std::filesystem::create_directory(utf8_path(folder));
  struct Case {
    std::string name, picture;
  };
  const Case cases[] = {
      {"d\xc3\xa6k \xc3\xb8.txt", "d\xc3\xa6k \xc3\xb8.svg"},
      {folder + "\\resultat_\xc3\xa6.txt", folder + "\\resultat_\xc3\xa6.svg"},
      {"\xc5\x81\xc3\xb3"
       "d\xc5\xba.txt",
       "\xc5\x81\xc3\xb3"
       "d\xc5\xba.svg"},
      {"\xce\x94_out.txt", "\xce\x94_out.svg"},
  };
  const auto path = [&](const std::string& name) {
    return utf8_path(name.find(':') != std::string::npos ? name : dir.path() + "/" + name);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(path(c.name), std::ios::binary) << "2 2 3 4\n";
    const RunResult dump = run_program(KITDUMP_EXE, {c.name}, "", dir.path());
    EXPECT_EQ(dump.status, 0) << dump.err;
    EXPECT_EQ(dump.out, "4 1:2: 1:2: 1:3: 1:4:\r\n-1\r\n");
    const RunResult same = run(answers(c.name, c.name));
    EXPECT_EQ(same.status, 2);
    EXPECT_NE(same.err.find(": is the weight list"), std::string::npos) << same.err;
    EXPECT_EQ(read(path(c.name)), "2 2 3 4\n");
    dir.write("list.txt", "2 2 3 4\n");
    const RunResult r = run(answers("list.txt", c.name));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string records = read(path(c.name));
    EXPECT_NE(records.find(" Map_Mass     1       2.000       3.000       4.000   2.0000E+03"),
              std::string::npos);
    // The same names on kel2fram's command line give the same file.
    std::ofstream(path(c.name), std::ios::binary) << "2 2 3 4\n";
    const RunResult named = run_program(KEL2FRAM_EXE, {"list.txt", c.name}, "", dir.path());
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(read(path(c.name)), records);
    const RunResult plot = run_program(MASSPLOT_EXE, {c.name}, "", dir.path());
    EXPECT_EQ(plot.status, 0) << plot.err;
    EXPECT_TRUE(std::filesystem::exists(path(c.picture)));
    const RunResult over = run_program(MASSPLOT_EXE, {c.name, c.name}, "", dir.path());
    EXPECT_NE(over.status, 0);
    EXPECT_EQ(read(path(c.name)), records);
    if (c.name.starts_with(folder)) {
      std::filesystem::remove(path(c.name));
      std::filesystem::remove(path(c.picture));
    }
  }
  if (made_folder) std::filesystem::remove(utf8_path(folder));
}

TEST_F(WindowsRun, NamesWithLettersBeyondAsciiAreFoundAndMade) {
  // UTF-8 answers, and the same names in the system's ANSI code page as an older editor
  // saves them (Windows-1252 here: Wine's default).
  struct Case {
    std::string input, output, input_utf8, output_utf8;
  };
  const Case cases[] = {
      {"Gewichte-M\xc3\xbcller.txt", "Ergebnis-\xce\x94.txt", "Gewichte-M\xc3\xbcller.txt",
       "Ergebnis-\xce\x94.txt"},
      {"M\xfc"
       "ller.txt",
       "r\xe9sultat.txt", "M\xc3\xbcller.txt", "r\xc3\xa9sultat.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output_utf8);
    dir.write(c.input_utf8, "1 2 3 4\n");
    const RunResult r = run(answers(c.input, c.output));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("#  Input File: " + c.input + ", with"), std::string::npos);
    const std::string result = dir.read(c.output_utf8);
    EXPECT_TRUE(result.ends_with(kRecord + "#\r\n'  --------------- E O F ----------------\r\n"))
        << result;
  }
}

TEST_F(WindowsRun, AnswersFromWindowsEditorsReadAsPlainOnes) {
  // CR LF line ends, and the UTF-8 signature that some editors put first: the same console
  // and the same file as with plain answers.
  const std::string plain = "w.txt\nplain.txt\nkg\n2\ny\n-10 10\n\n\n";
  const RunResult expected = run(plain);
  ASSERT_EQ(expected.status, 0);
  std::string crlf_answers;
  for (char c : plain) crlf_answers += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& prefix : {std::string(), std::string("\xef\xbb\xbf")}) {
    SCOPED_TRACE(prefix.size());
    std::string typed = prefix + crlf_answers;
    typed.replace(typed.find("plain.txt"), 9, "typed.txt");
    const RunResult r = run(typed);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected.out);  // the console does not show the output file's name
    EXPECT_EQ(dir.read("typed.txt"), dir.read("plain.txt"));
  }
}

TEST_F(WindowsRun, SlashQuestionIsHelpAndADroppedListAnswersTheFirstQuestion) {
  // "/?" is each program's --help, not a file name.
  for (const char* exe : {KEL2FRAM_EXE, KITDUMP_EXE, MASSPLOT_EXE}) {
    SCOPED_TRACE(exe);
    const RunResult help = run_program(exe, {"/?"}, "", dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, run_program(exe, {"--help"}, "", dir.path()).out);
    EXPECT_TRUE(help.out.starts_with("Usage: ")) << help.out;
  }
  // A file dropped on the program is its one argument, a full path. A run from a pipe (as
  // here) shares no console window of its own, so it ends without waiting for Enter.
  const RunResult dropped =
      run_program(KEL2FRAM_EXE, {dir.file("w.txt")}, "out.txt\n\n\n\n\n\n", dir.path());
  EXPECT_EQ(dropped.status, 0);
  EXPECT_NE(dropped.out.find(console_text::kAskInput + dir.file("w.txt") + "\r\n" +
                             console_text::kAskOutput + console_text::kAskUnit),
            std::string::npos);
  EXPECT_EQ(dropped.out.find("Press Enter"), std::string::npos);
  EXPECT_TRUE(dir.read("out.txt").ends_with(kRecord +
                                            "#\r\n'  --------------- E O F ----------------\r\n"));
}

TEST_F(WindowsRun, AListDroppedOnTheProgramHasTheOutputBesideIt) {
  // The desktop starts the program in a folder of the system's (C:\Windows\System32 for a
  // dropped file; another scratch folder here): the output name typed lands beside the list,
  // and the last line names it in full. A list named relative to the folder the program
  // started in (typed in the Run box) is still found there.
  const ScratchDir system_folder;
  const std::string folder = dir.path() + "\\lists";
  std::filesystem::create_directory(utf8_path(folder));
  const std::pair<std::string, std::string> cases[] = {{folder + "\\w.txt", system_folder.path()},
                                                       {"lists\\w.txt", dir.path()}};
  for (const auto& [list, started_in] : cases) {
    SCOPED_TRACE(list);
    dir.write("lists/w.txt", "1 2 3 4\n");
    const RunResult r =
        run_program(OWN_WINDOW_KEL2FRAM_EXE, {list}, "out.txt\n\n\n\n\n\n\n", started_in);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(dir.read("lists/out.txt")
                    .ends_with(kRecord + "#\r\n'  --------------- E O F ----------------\r\n"));
    EXPECT_FALSE(std::filesystem::exists(utf8_path(started_in + "/out.txt")));
    EXPECT_EQ(r.err, "kel2fram: 1 record written to " + folder + "\\out.txt; 0 warnings\r\n");
    EXPECT_TRUE(r.out.ends_with(" Press Enter to close this window.")) << r.out;
    std::filesystem::remove(utf8_path(folder + "\\out.txt"));
  }
}

}  // namespace
