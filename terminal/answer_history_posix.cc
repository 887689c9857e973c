// The history file of earlier answers on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <string_view>

#include "terminal/answer_history.h"

namespace terminal::answer_history {
namespace {

// More than kKeptPerQuestion answers of every question ever needs; the rest of a larger file
// is not read, so that no file can slow a run.
constexpr std::size_t kMostBytes = std::size_t{4} << 20;
// Longer answers (a pasted page) are not kept.
constexpr std::size_t kLongestAnswer = 4096;
constexpr std::string_view kHeader =
    "# kel2fram: earlier answers, oldest first; per line the question, a tab, the answer\n";

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Makes every missing folder of `folder`, each with mode 0700.
void make_folders(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    static_cast<void>(::mkdir(part.c_str(), 0700));  // an existing folder is no failure
    if (slash == std::string::npos) return;
  }
}

// The file a rename must replace: a symbolic link's target, so that the link stays.
std::string real_target(const std::string& file) {
  struct stat st {};
  if (::lstat(file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return file;
  std::array<char, PATH_MAX> resolved{};
  if (::realpath(file.c_str(), resolved.data()) == nullptr) return file;
  return resolved.data();
}

}  // namespace

std::string file_name() {
  std::string base;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    base = state;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.local/state";
  } else {
    return {};
  }
  return base + "/kel2fram/history";
}

std::vector<Entry> load(const std::string& file) {
  std::vector<Entry> entries;
  // Not blocking: a FIFO put in the file's place must not hold up the run.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return entries;
  struct stat st {};
  std::string bytes;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    bytes.resize(std::min(static_cast<std::size_t>(st.st_size), kMostBytes));
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
  }
  ::close(fd);
  std::string_view rest(bytes);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) break;  // a last line cut short is left out
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    const std::size_t tab = line.find('\t');
    if (line.starts_with('#') || tab == std::string_view::npos || tab == 0) continue;
    entries.push_back({std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))});
  }
  return entries;
}

void add_entry(std::vector<Entry>& entries, const Entry& added, std::size_t kept) {
  std::erase(entries, added);
  entries.push_back(added);
  // The newest `kept` of each question stay: counted from the newest end.
  std::map<std::string, std::size_t> seen;
  std::vector<Entry> newest_first;
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (++seen[it->question] <= kept) newest_first.push_back(std::move(*it));
  }
  entries.assign(std::make_move_iterator(newest_first.rbegin()),
                 std::make_move_iterator(newest_first.rend()));
}

void record(const std::string& file, const Entry& added) {
  if (file.empty() || added.answer.size() > kLongestAnswer ||
      added.answer.find('\n') != std::string::npos) {
    return;
  }
  std::vector<Entry> entries = load(file);
  add_entry(entries, added);
  std::string text(kHeader);
  for (const Entry& e : entries) text += e.question + '\t' + e.answer + '\n';

  const std::string target = real_target(file);
  const std::string folder = target.substr(0, target.rfind('/'));
  make_folders(folder);
  std::string temp = folder + "/.history.XXXXXX";
  const int fd = ::mkstemp(temp.data());  // made with mode 0600
  if (fd < 0) return;
  const bool written = ::fchmod(fd, 0600) == 0 && write_all(fd, text);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.c_str(), target.c_str()) != 0) {
    static_cast<void>(::unlink(temp.c_str()));
  }
}

}  // namespace terminal::answer_history
