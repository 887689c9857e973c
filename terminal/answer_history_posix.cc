// The history file of earlier answers on POSIX systems.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string_view>
#include <utility>

#include "lineio/lineio.h"
#include "os/arguments.h"
#include "os/descriptor_posix.h"
#include "os/signals_held_posix.h"
#include "terminal/answer_history.h"

namespace terminal::answer_history {
namespace {

using os::Descriptor;
using os::SignalsHeld;

// More than kKeptPerQuestion answers of every question ever needs; the rest of a larger file
// is not read, so that no file can slow a run.
constexpr std::size_t kMostBytes = std::size_t{4} << 20;
// Longer answers (a pasted page) are not kept.
constexpr std::size_t kLongestAnswer = 4096;
constexpr std::string_view kHeader =
    "# kel2fram: earlier answers, oldest first; per line the question, a tab, the answer\n";
constexpr const char* kFile = "history";
// How long a run waits for another that is adding its answer.
constexpr int kLockAttempts = 200;
constexpr long kLockPauseNanoseconds = 10'000'000;

// Says once per run that the history is not kept: its place is another user's, or cannot be a
// folder of the user's.
void tell_once(const std::string& path, const std::string& why) {
  static bool told = false;
  if (std::exchange(told, true)) return;
  lineio::notice(std::string(os::program_name()) + ": the history of answers is not kept: " + path +
                 " " + why);
}

bool mine(const struct stat& st) {
  return st.st_uid == ::geteuid();
}

// Makes the folders of an absolute path that are not there yet, each with mode 0700 (a state
// folder named by the environment on a fresh account or in a container); answers 0 or the
// code of the first that could not be made.
int make_folders(const std::string& path) {
  for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    const std::string part = path.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    if (at == std::string::npos) return 0;
  }
}

// The history's folder, opened folder by folder from the base: each must be the user's (a
// link to a folder of the user's is followed, as the user's own choice). With `make`, missing
// folders are made, 0700, the base's too. Answers -1 when there is no folder of the user's;
// a base or a folder that is there but cannot be one (a file in its place) is said once.
Descriptor open_folder(const Location& place, bool make) {
  Descriptor folder(::open(place.base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0 && errno == ENOENT && make) {
    if (const int code = make_folders(place.base); code != 0) {
      tell_once(place.base, std::string("cannot be made: ") + std::strerror(code));
      return Descriptor();
    }
    folder = Descriptor(::open(place.base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }
  struct stat st {};
  if (folder.get() < 0) {
    if (errno != ENOENT)
      tell_once(place.base, std::string("cannot be opened as a folder: ") + std::strerror(errno));
    return Descriptor();
  }
  if (::fstat(folder.get(), &st) != 0) return Descriptor();
  if (!mine(st)) {
    // Nothing is made in another user's home; an existing history there is theirs.
    tell_once(place.base, "is another user's folder");
    return Descriptor();
  }
  std::string_view rest = place.below;
  std::string reached = place.base;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string part(rest.substr(0, slash));
    rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash + 1);
    if (part.empty()) continue;
    reached += '/' + part;
    int fd = ::openat(folder.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // Made here, or by another run at the same moment.
    if (fd < 0 && errno == ENOENT && make &&
        (::mkdirat(folder.get(), part.c_str(), 0700) == 0 || errno == EEXIST)) {
      fd = ::openat(folder.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0 && errno != ENOENT) {
      tell_once(reached, std::string("cannot be opened as a folder: ") + std::strerror(errno));
    }
    Descriptor next(fd);
    if (next.get() < 0 || ::fstat(next.get(), &st) != 0) return Descriptor();
    if (!mine(st)) {
      tell_once(reached, "is another user's folder");
      return Descriptor();
    }
    folder = std::move(next);
  }
  return folder;
}

// The history file in its folder, opened to be read: only a regular file of the user's. A
// link, a device or a FIFO in its place is left alone; another user's is said once.
Descriptor open_file(int folder, const Location& place) {
  Descriptor fd(::openat(folder, kFile, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0) {
    if (errno == ELOOP && ::fstatat(folder, kFile, &st, AT_SYMLINK_NOFOLLOW) == 0 && !mine(st)) {
      tell_once(place.file(), "is another user's link");
    }
    return Descriptor();
  }
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Descriptor();
  if (!mine(st)) {
    tell_once(place.file(), "is another user's file");
    return Descriptor();
  }
  return fd;
}

// Whether a file of the history's name is there (in whatever form).
bool present(int folder) {
  struct stat st {};
  return ::fstatat(folder, kFile, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

std::vector<Entry> parse(int fd) {
  std::vector<Entry> entries;
  struct stat st {};
  std::string bytes;
  if (::fstat(fd, &st) != 0) return entries;
  bytes.resize(std::min(static_cast<std::size_t>(st.st_size), kMostBytes));
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
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

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Takes the folder's lock, waiting a little for another run that holds it.
bool lock(int folder) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    if (::flock(folder, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    const timespec pause{0, kLockPauseNanoseconds};
    ::nanosleep(&pause, nullptr);
  }
  return false;
}

// Writes `text` as the new history: a temporary file beside it (of this process; one left by
// a killed run of the same number goes first) renamed over it.
void replace(int folder, std::string_view text) {
  const std::string temp = ".history." + std::to_string(::getpid());
  const SignalsHeld held;
  static_cast<void>(::unlinkat(folder, temp.c_str(), 0));
  const int fd = ::openat(folder, temp.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const bool written = write_all(fd, text);
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::renameat(folder, temp.c_str(), folder, kFile) != 0) {
    static_cast<void>(::unlinkat(folder, temp.c_str(), 0));
  }
}

}  // namespace

std::optional<Location> location() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    return Location{state, "kel2fram"};
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return Location{home, ".local/state/kel2fram"};
  }
  return std::nullopt;
}

std::vector<Entry> load(const Location& place) {
  const Descriptor folder = open_folder(place, false);
  if (folder.get() < 0) return {};
  const Descriptor fd = open_file(folder.get(), place);
  return fd.get() < 0 ? std::vector<Entry>{} : parse(fd.get());
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

void record(const Location& place, const Entry& added) {
  if (added.answer.size() > kLongestAnswer || added.answer.find('\n') != std::string::npos) {
    return;
  }
  const Descriptor folder = open_folder(place, true);
  if (folder.get() < 0 || !lock(folder.get())) return;  // the lock goes with the descriptor
  std::vector<Entry> entries;
  if (present(folder.get())) {
    const Descriptor fd = open_file(folder.get(), place);
    if (fd.get() < 0) return;  // not a file of the user's: left alone
    entries = parse(fd.get());
  }
  add_entry(entries, added);
  std::string text(kHeader);
  for (const Entry& e : entries) text += e.question + '\t' + e.answer + '\n';
  replace(folder.get(), text);
}

}  // namespace terminal::answer_history
