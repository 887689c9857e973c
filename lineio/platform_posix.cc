// The platform layer on POSIX systems: descriptors, open(2) and the durable replacement of
// a file by fsync, rename and a sync of its folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <ctime>
#include <string>

#include "lineio/arguments.h"
#include "lineio/platform.h"

namespace lineio::platform {
namespace {

int fd_of(Handle handle) {
  return static_cast<int>(handle);
}

// ---- Pending temporary files, reachable from a signal handler without allocating --------

constexpr std::size_t kSlots = 128;
std::array<std::array<char, PATH_MAX>, kSlots> pending_names{};
std::array<volatile std::sig_atomic_t, kSlots> pending_valid{};

int register_pending(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (std::size_t n = 0; n < kSlots; ++n) {
    if (pending_valid[n] != 0) continue;
    std::copy_n(path.c_str(), path.size() + 1, pending_names[n].data());
    pending_valid[n] = 1;
    return static_cast<int>(n);
  }
  return -1;
}

void forget_pending(int slot) {
  if (slot >= 0 && static_cast<std::size_t>(slot) < kSlots) {
    pending_valid[static_cast<std::size_t>(slot)] = 0;
  }
}

extern "C" void remove_pending_and_die(int signal_number) {
  for (std::size_t n = 0; n < kSlots; ++n) {
    if (pending_valid[n] != 0) ::unlink(pending_names[n].data());
  }
  // Nothing is left to do if either fails: the process is on its way out.
  static_cast<void>(std::signal(signal_number, SIG_DFL));
  static_cast<void>(std::raise(signal_number));
}

// ---- Fault injection -----------------------------------------------------------------------

std::array<int, 5> step_faults{};
void (*step_observer)(Step) = nullptr;

// Announces a step and answers the fault injected for it (0: none).
int begin_step(Step step) {
  if (step_observer != nullptr) step_observer(step);
  const auto n = static_cast<std::size_t>(step);
  const int code = step_faults[n];
  step_faults[n] = 0;
  return code;
}

// ---- Names ---------------------------------------------------------------------------------

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The temporary name beside the target: at most 200 characters of the target's name, so
// that it stays within the 255 a folder entry may have.
std::string temp_stem(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string folder = folder_of(target);
  if (folder.back() != '/') folder += '/';
  constexpr std::size_t kKeptNameLength = 200;
  return folder + "." + base.substr(0, kKeptNameLength) + "." + std::string(program_name()) + "-";
}

bool valid_name(std::string_view name, int& code) {
  if (name.empty()) {
    code = ENOENT;
    return false;
  }
  if (name.find('\0') != std::string_view::npos) {
    code = EINVAL;
    return false;
  }
  return true;
}

Kind kind_of(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return Kind::regular;
  if (S_ISDIR(st.st_mode)) return Kind::directory;
  if (S_ISFIFO(st.st_mode)) return Kind::fifo;
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return Kind::device;
  return Kind::other;
}

// Checks what an opened descriptor is; closes it and answers a code when it cannot serve.
int finish_open(int fd, bool writable, bool reading_only, Opened& file) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int code = errno;
    ::close(fd);
    return code;
  }
  const Kind kind = kind_of(st);
  if (kind == Kind::directory) {
    ::close(fd);
    return EISDIR;
  }
  // A file that nobody may read cannot be read as lines, even by a privileged user.
  if (reading_only && kind == Kind::regular && (st.st_mode & 0444) == 0) {
    ::close(fd);
    return EACCES;
  }
  file = Opened{fd, kind, writable};
  return 0;
}

mode_t current_umask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// Makes the temporary file of a replacement in the target's folder: unnamed where the
// system offers it, so that not even a killed process leaves a file behind.
int make_temp(Output& out, const struct stat* former) {
  const std::string folder = folder_of(out.target);
  const mode_t mode = former != nullptr ? (former->st_mode & 07777) : (0666 & ~current_umask());
  int fd = -1;
#ifdef O_TMPFILE
  fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
#endif
  if (fd < 0) {
    std::string temp = temp_stem(out.target) + "XXXXXX";
    fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    out.temp = std::move(temp);
    out.slot = register_pending(out.temp);
  }
  // The new file keeps the permissions (and, for a privileged user, the owner) of the file
  // it replaces. Neither is worth failing the run for.
  static_cast<void>(::fchmod(fd, mode));
  if (former != nullptr && ::geteuid() == 0) {
    static_cast<void>(::fchown(fd, former->st_uid, former->st_gid));
  }
  out.handle = fd;
  out.route = Route::replace;
  return 0;
}

// Gives an unnamed temporary file a name beside its target, so that it can be renamed.
int name_unnamed(Output& out) {
  const std::string proc = "/proc/self/fd/" + std::to_string(fd_of(out.handle));
  const std::string stem = temp_stem(out.target);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned tag = static_cast<unsigned>(::getpid()) * 2654435761U ^
                         static_cast<unsigned>(std::time(nullptr)) ^ (++counter * 40503U);
    std::array<char, 16> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), tag, 16);
    std::string name = stem + std::string(digits.data(), written.ptr);
    int rc = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
#ifdef AT_EMPTY_PATH
    if (rc != 0 && errno == ENOENT) {
      rc = ::linkat(fd_of(out.handle), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    }
#endif
    if (rc == 0) {
      out.temp = std::move(name);
      out.slot = register_pending(out.temp);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int sync_folder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int code = 0;
  // Some file systems cannot sync a folder at all; that is no failure of this run.
  if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) code = errno;
  ::close(fd);
  return code;
}

}  // namespace

// ---- The process and its console ------------------------------------------------------------

void prepare_process() {
  // A closed console reader and a file-size limit must show up as failed writes. Setting a
  // disposition fails only for an invalid signal number.
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
  static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction former {};
    if (::sigaction(signal_number, nullptr, &former) != 0) continue;
    if (former.sa_handler == SIG_IGN) continue;  // as the caller wants, e.g. under nohup
    struct sigaction action {};
    action.sa_handler = remove_pending_and_die;
    sigemptyset(&action.sa_mask);
    static_cast<void>(::sigaction(signal_number, &action, nullptr));
  }
}

Handle standard_input() {
  return 0;
}
Handle standard_output() {
  return 1;
}
Handle standard_error() {
  return 2;
}
bool is_terminal(Handle handle) {
  return ::isatty(fd_of(handle)) == 1;
}

// ---- Transfers ------------------------------------------------------------------------------

long read(Handle handle, std::span<char> into) {
  for (;;) {
    const ssize_t n = ::read(fd_of(handle), into.data(), into.size());
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -static_cast<long>(errno);
  }
}

int write_all(Handle handle, std::span<const char> bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_of(handle), p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

long read_at(Handle handle, std::int64_t offset, std::span<char> into) {
  for (;;) {
    const ssize_t n = ::pread(fd_of(handle), into.data(), into.size(), static_cast<off_t>(offset));
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -static_cast<long>(errno);
  }
}

int write_at(Handle handle, std::int64_t offset, std::span<const char> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_of(handle), bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

int rewind(Handle handle) {
  return ::lseek(fd_of(handle), 0, SEEK_SET) < 0 ? errno : 0;
}

int truncate(Handle handle) {
  return ::ftruncate(fd_of(handle), 0) != 0 ? errno : 0;
}

void close(Handle handle) {
  if (handle != kNoHandle) ::close(fd_of(handle));
}

// ---- Files read, or updated in place --------------------------------------------------------

int open_existing(std::string_view name, bool update, Opened& file) {
  int code = 0;
  if (!valid_name(name, code)) return code;
  const std::string path(name);
  int fd = ::open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY);
  bool writable = update;
  if (fd < 0 && update && (errno == EACCES || errno == EROFS || errno == ETXTBSY)) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    writable = false;
  }
  if (fd < 0) return errno;
  return finish_open(fd, writable, true, file);
}

int open_update(std::string_view name, bool exclusive, Opened& file) {
  int code = 0;
  if (!valid_name(name, code)) return code;
  const std::string path(name);
  const int fd = ::open(path.c_str(),
                        O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | (exclusive ? O_EXCL : 0), 0666);
  if (fd < 0) return errno;
  return finish_open(fd, true, false, file);
}

int open_scratch(Opened& file) {
  std::string temp = "/tmp/kel2fram-scratch-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  ::unlink(temp.c_str());  // gone when the unit is closed or the program ends
  file = Opened{fd, Kind::regular, true};
  return 0;
}

// ---- Output that replaces a file only when committed ----------------------------------------

int open_output(std::string_view name, bool exclusive, Output& out) {
  out = Output{};
  int code = 0;
  if (!valid_name(name, code)) return code;
  const std::string path(name);
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return errno;
  out.target = path;
  out.target_existed = exists;
  if (!exists) return make_temp(out, nullptr);

  if (exclusive) return EEXIST;
  const Kind kind = kind_of(st);
  if (kind == Kind::directory) return EISDIR;
  // The file that standard output or standard error already writes: written through that
  // descriptor, so that nothing already there is overwritten.
  for (int fd : {1, 2}) {
    struct stat stream {};
    if (::fstat(fd, &stream) == 0 && stream.st_dev == st.st_dev && stream.st_ino == st.st_ino) {
      out.handle = fd;
      out.route = Route::standard_stream;
      return 0;
    }
  }
  if (kind != Kind::regular) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno;
    out.handle = fd;
    out.route = Route::direct;
    return 0;
  }
  // A file the user may not write is not replaced behind its back.
  if (::access(path.c_str(), W_OK) != 0) return errno;
  std::array<char, PATH_MAX> resolved{};
  if (::realpath(path.c_str(), resolved.data()) != nullptr) out.target = resolved.data();
  return make_temp(out, &st);
}

int commit(Output& out) {
  if (out.route == Route::standard_stream) {
    out = Output{};
    return 0;
  }
  if (out.route == Route::direct) {
    const int code = out.handle != kNoHandle && ::close(fd_of(out.handle)) != 0 ? errno : 0;
    out = Output{};
    return code;
  }
  int code = begin_step(Step::sync);
  if (code == 0 && ::fsync(fd_of(out.handle)) != 0) code = errno;
  if (code == 0 && out.temp.empty()) {
    code = begin_step(Step::name);
    if (code == 0) code = name_unnamed(out);
  }
  if (code == 0) {
    code = begin_step(Step::close);
    const int fd = fd_of(out.handle);
    out.handle = kNoHandle;
    if (::close(fd) != 0 && code == 0) code = errno;
  }
  if (code == 0) {
    code = begin_step(Step::rename);
    if (code == 0 && ::rename(out.temp.c_str(), out.target.c_str()) != 0) code = errno;
  }
  if (code != 0) {
    discard(out);
    return code;
  }
  forget_pending(out.slot);
  code = begin_step(Step::sync_folder);
  if (code == 0) code = sync_folder(folder_of(out.target));
  out = Output{};
  return code;
}

void discard(Output& out) {
  if (out.route != Route::standard_stream && out.handle != kNoHandle) ::close(fd_of(out.handle));
  if (!out.temp.empty()) ::unlink(out.temp.c_str());
  forget_pending(out.slot);
  out = Output{};
}

// ---- Fault injection ------------------------------------------------------------------------

void fail_step_once(Step step, int code) {
  step_faults[static_cast<std::size_t>(step)] = code;
}

void observe_steps(void (*observer)(Step)) {
  step_observer = observer;
}

}  // namespace lineio::platform
