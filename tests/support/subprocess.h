// Test support: run a built program with given standard input, collect what it writes;
// scratch folders for files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

struct RunResult {
  std::string out;  // standard output
  std::string err;  // standard error
  int status = -1;  // exit status, or 128 + signal number
};

// Runs exe with args in folder cwd (empty: the current one), feeding stdin_bytes.
// close_stdout_after > 0 closes the reading end of standard output after that many bytes.
RunResult run_program(const std::string& exe, const std::vector<std::string>& args,
                      std::string_view stdin_bytes, const std::string& cwd = {},
                      std::size_t close_stdout_after = 0);

// A fresh empty folder, removed with its contents when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }
  void write(std::string_view name, std::string_view bytes) const;
  std::string read(std::string_view name) const;
  bool exists(std::string_view name) const;

 private:
  std::string path_;
};

// A file that the tool cannot open while the object lives: without permission bits on POSIX,
// held open without sharing on Windows (as a program that locks its file does).
// kLockedReason is how the programs name the cause.
extern const char* const kLockedReason;
class LockedFile {
 public:
  explicit LockedFile(std::string path);
  ~LockedFile();
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

 private:
  std::string path_;
  std::intptr_t handle_ = -1;  // Windows: the handle that holds it
};

// Tests of what only POSIX systems have (signals, FIFOs, /dev paths, permission bits, shell
// scripts) say so and are skipped in a Windows build.
#ifdef _WIN32
#define SKIP_ON_WINDOWS(why) GTEST_SKIP() << "POSIX only: " << (why)
#else
#define SKIP_ON_WINDOWS(why) static_cast<void>(0)
#endif

// How the programs end a line on standard error (LF on POSIX, CR LF on Windows).
extern const char* const kErrEnd;
// Lines for standard error written as the console's (each ending CR LF), with the line end
// of standard error instead: the expectations of many tests hold both kinds of line.
inline std::string err_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0;;) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string_view::npos) return out.append(text.substr(at));
    out.append(text.substr(at, end - at)).append(kErrEnd);
    at = end + 2;
  }
}

// Joins lines with CR LF after each.
std::string crlf(const std::vector<std::string>& lines);

}  // namespace testing_support
