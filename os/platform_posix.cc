// The platform layer on POSIX systems: the process and its console, descriptors and open(2).
// The durable replacement of an output file is commit_posix.cc's.
#include "os/platform_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "os/platform.h"

namespace os {
namespace {

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

}  // namespace

// ---- The process and its console ------------------------------------------------------------

namespace {
bool output_was_closed = false;
}  // namespace

bool same_file(std::string_view a, std::string_view b) {
  int code = 0;
  if (!valid_name(a, code) || !valid_name(b, code)) return false;
  struct stat x {};
  struct stat y {};
  return ::stat(std::string(a).c_str(), &x) == 0 && ::stat(std::string(b).c_str(), &y) == 0 &&
         x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool standard_output_was_closed() {
  return output_was_closed;
}

void prepare_process() {
  // A console stream that the caller closed (as "2>&-" does) is opened on the null device:
  // the first file the run opens would otherwise take its number and be written as that
  // stream. The lowest free descriptor is the closed one itself.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (fd == 1) output_was_closed = true;
    const int null = ::open("/dev/null", O_RDWR);
    if (null > fd) ::close(null);  // not free after all: nothing to mend
  }
  // A closed console reader and a file-size limit must show up as failed writes. Setting a
  // disposition fails only for an invalid signal number.
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
  static_cast<void>(std::signal(SIGXFSZ, SIG_IGN));
  remove_pending_files_on_signals();
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
std::string_view error_line_end() {
  return "\n";
}

// ---- Transfers ------------------------------------------------------------------------------

int file_stamp(Handle handle, FileStamp& stamp) {
  struct stat st {};
  if (::fstat(fd_of(handle), &st) != 0) return errno;
  // The status change time too: a writer that sets the modification time back moves it.
  constexpr std::int64_t kNanoseconds = 1'000'000'000;
  stamp.size = static_cast<std::int64_t>(st.st_size);
  stamp.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * kNanoseconds + st.st_mtim.tv_nsec;
  stamp.status_changed =
      static_cast<std::int64_t>(st.st_ctim.tv_sec) * kNanoseconds + st.st_ctim.tv_nsec;
  return 0;
}

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

}  // namespace os
