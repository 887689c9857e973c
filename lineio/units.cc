// The unit table: console streams and file connections, buffered line output, line input,
// and the safe replacement of written files.
//
// A regular file written sequentially is never changed in place: its new contents go to a
// temporary file beside it, which takes the file's name when the unit is closed. A run that
// fails before that leaves the file as it was. Devices, pipes and scratch files are written
// directly.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "lineio/failure.h"
#include "lineio/lineio.h"

namespace lineio {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 16;

struct Connection {
  enum class Kind { none, console_in, console_out, file };
  Kind kind = Kind::none;
  std::string name;  // as named by the caller, for messages

  // Files.
  int fd = -1;
  bool fd_writable = false;
  bool direct = false;
  bool formatted = true;
  bool scratch = false;
  bool replace_by_rename = false;  // regular file: writes go to a temporary file first
  bool truncate_on_write = false;  // rewound after writing: the next write starts anew
  std::int64_t record_bytes = 0;
  std::string target;     // resolved path that the temporary file replaces
  int write_fd = -1;      // where sequential output goes, once something is written
  std::string temp_path;  // pending replacement, empty when none

  // Buffers, allocated on first use of the connection.
  std::unique_ptr<char[]> out;
  std::size_t out_used = 0;
  std::unique_ptr<char[]> in;
  std::size_t in_begin = 0;
  std::size_t in_end = 0;
  bool in_eof = false;
  bool consumed = false;  // something has been read since the last rewind
};

std::array<Connection, kHighestUnit + 1> units;
ByteSource* console_source = nullptr;
ByteSink* console_sink = nullptr;
bool console_interactive = false;

FdSource standard_in(0);
FdSink standard_out(1);

// Names of the temporary files still pending, kept where a signal handler can reach them
// without allocating: an interrupted run removes them and leaves the targets as they were.
std::array<std::array<char, PATH_MAX>, kHighestUnit + 1> pending_names{};
std::array<volatile std::sig_atomic_t, kHighestUnit + 1> pending_valid{};

std::size_t index_of(const Connection& c);

void note_pending(const Connection& c) {
  const std::size_t n = index_of(c);
  if (c.temp_path.size() >= PATH_MAX) return;
  std::copy_n(c.temp_path.c_str(), c.temp_path.size() + 1, pending_names[n].data());
  pending_valid[n] = 1;
}

void forget_pending(const Connection& c) {
  pending_valid[index_of(c)] = 0;
}

extern "C" void remove_pending_and_die(int signal_number) {
  for (std::size_t n = 0; n < pending_valid.size(); ++n) {
    if (pending_valid[n] != 0) ::unlink(pending_names[n].data());
  }
  // Nothing is left to do if either fails: the process is on its way out.
  static_cast<void>(std::signal(signal_number, SIG_DFL));
  static_cast<void>(std::raise(signal_number));
}

std::size_t index_of(const Connection& c) {
  return static_cast<std::size_t>(&c - units.data());
}

Connection* find(std::int32_t unit) {
  if (unit < 0 || unit > kHighestUnit) return nullptr;
  Connection& c = units[static_cast<std::size_t>(unit)];
  return c.kind == Connection::Kind::none ? nullptr : &c;
}

// Writes all bytes to a descriptor; answers 0 or errno.
int write_all(int fd, const char* p, std::size_t n) {
  return FdSink(fd).write({p, n});
}

void release(Connection& c) {
  if (c.write_fd >= 0 && c.write_fd != c.fd) ::close(c.write_fd);
  if (c.fd >= 0) ::close(c.fd);
  c = Connection{};
}

void drop_replacement(Connection& c) {
  if (!c.temp_path.empty()) {
    if (c.write_fd >= 0) ::close(c.write_fd);
    c.write_fd = -1;
    ::unlink(c.temp_path.c_str());
    forget_pending(c);
    c.temp_path.clear();
  }
}

// Chooses where sequential output of a file unit goes, at its first write.
void prepare_file_output(std::int32_t unit, Connection& c) {
  if (c.write_fd >= 0) return;
  if (c.replace_by_rename) {
    std::string dir = c.target;
    std::string base = c.target;
    const std::size_t slash = dir.rfind('/');
    if (slash == std::string::npos) {
      dir = ".";
    } else {
      base = dir.substr(slash + 1);
      dir = slash == 0 ? "/" : dir.substr(0, slash);
    }
    // The temporary name holds at most 200 characters of the target's name, so that it stays
    // within the 255 a folder entry may have.
    constexpr std::size_t kKeptNameLength = 200;
    std::string temp = dir + (dir.back() == '/' ? "" : "/") + "." +
                       base.substr(0, kKeptNameLength) + ".kel2fram-XXXXXX";
    const int t = ::mkostemp(temp.data(), O_CLOEXEC);
    if (t >= 0) {
      struct stat st {};
      if (::fstat(c.fd, &st) == 0) {
        (void)::fchmod(t, st.st_mode & 07777);
        if (::geteuid() == 0) (void)::fchown(t, st.st_uid, st.st_gid);
      }
      c.write_fd = t;
      c.temp_path = std::move(temp);
      note_pending(c);
      return;
    }
    // No temporary file beside the target. Only a folder that refuses new files (no write
    // permission) lets the file itself be rewritten from its start; any other failure (a
    // full file system, no free inodes) ends the write with the file as it was, since a
    // rewrite in place could then stop half-way and lose the former contents.
    const int error = errno;
    if (error != EACCES && error != EPERM) fail_transfer("WRITE FAILED", unit, c.name, error);
    if (!c.fd_writable) fail_transfer("WRITE FAILED", unit, c.name, error);
    if (::ftruncate(c.fd, 0) != 0 || ::lseek(c.fd, 0, SEEK_SET) < 0) {
      fail_transfer("WRITE FAILED", unit, c.name, errno);
    }
    c.write_fd = c.fd;
    return;
  }
  if (c.fd_writable) {
    if (c.truncate_on_write && ::ftruncate(c.fd, 0) != 0) {
      fail_transfer("WRITE FAILED", unit, c.name, errno);
    }
    c.truncate_on_write = false;
    c.write_fd = c.fd;
    return;
  }
  const int w = ::open(c.name.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (w < 0) fail_transfer("WRITE FAILED", unit, c.name, errno);
  c.write_fd = w;
}

void flush_connection(std::int32_t unit, Connection& c) {
  if (c.out_used == 0) return;
  const std::size_t n = c.out_used;
  c.out_used = 0;
  if (c.kind == Connection::Kind::console_out) {
    const int error = console_sink->write({c.out.get(), n});
    if (error != 0) fail_transfer("WRITE FAILED", unit, "standard output", error);
    return;
  }
  prepare_file_output(unit, c);
  const int error = write_all(c.write_fd, c.out.get(), n);
  if (error != 0) fail_transfer("WRITE FAILED", unit, c.name, error);
}

Connection& writable(std::int32_t unit) {
  Connection* c = find(unit);
  if (c == nullptr) fail_transfer("WRITE TO A UNIT NOT CONNECTED", unit, "no file", 0);
  if (c->kind == Connection::Kind::console_in) {
    fail_transfer("WRITE FAILED", unit, "standard input", EBADF);
  }
  if (c->direct) fail_transfer("SEQUENTIAL WRITE ON A DIRECT-ACCESS UNIT", unit, c->name, 0);
  if (!c->out) c->out = std::make_unique<char[]>(kBufferSize);
  return *c;
}

void append(std::int32_t unit, Connection& c, std::string_view bytes) {
  while (!bytes.empty()) {
    if (c.out_used == kBufferSize) flush_connection(unit, c);
    const std::size_t n = std::min(bytes.size(), kBufferSize - c.out_used);
    std::copy_n(bytes.data(), n, c.out.get() + c.out_used);
    c.out_used += n;
    bytes.remove_prefix(n);
  }
}

void write_to(std::int32_t unit, std::string_view bytes, bool end_line) {
  Connection& c = writable(unit);
  append(unit, c, bytes);
  if (end_line) append(unit, c, "\r\n");
  if (c.kind == Connection::Kind::console_out && console_interactive) flush_connection(unit, c);
}

// Refills the input buffer; answers 0, kEndOfFile or a positive error code.
int refill(Connection& c) {
  if (!c.in) c.in = std::make_unique<char[]>(kBufferSize);
  c.in_begin = 0;
  c.in_end = 0;
  long n = 0;
  if (c.kind == Connection::Kind::console_in) {
    n = console_source->read({c.in.get(), kBufferSize});
  } else {
    for (;;) {
      ssize_t r = ::read(c.fd, c.in.get(), kBufferSize);
      if (r < 0 && errno == EINTR) continue;
      n = r < 0 ? -static_cast<long>(errno) : static_cast<long>(r);
      break;
    }
  }
  if (n < 0) return static_cast<int>(-n);
  if (n == 0) {
    c.in_eof = true;
    return kEndOfFile;
  }
  c.in_end = static_cast<std::size_t>(n);
  return 0;
}

void bind(ByteSource& in, ByteSink& out, bool interactive) {
  for (auto& c : units) release(c);
  console_source = &in;
  console_sink = &out;
  console_interactive = interactive;
  units[kConsoleIn].kind = Connection::Kind::console_in;
  units[kConsoleIn].name = "standard input";
  units[kConsoleOut].kind = Connection::Kind::console_out;
  units[kConsoleOut].name = "standard output";
}

bool is_device_path(std::string_view name) {
  return name.starts_with("/dev/") || name.starts_with("/proc/");
}

}  // namespace

// ---- Console binding -------------------------------------------------------------------------

void bind_console(ByteSource& in, ByteSink& out, bool interactive) {
  bind(in, out, interactive);
}

void bind_standard_console() {
  // A closed console output must show up as a failed write, not end the process silently.
  // Setting a disposition fails only for an invalid signal number.
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    static_cast<void>(std::signal(signal_number, remove_pending_and_die));
  }
  bind(standard_in, standard_out, ::isatty(1) == 1);
}

// ---- Output ----------------------------------------------------------------------------------

void put(std::int32_t unit, const Line& line) {
  write_to(unit, line.view(), true);
}
void put_open(std::int32_t unit, const Line& line) {
  write_to(unit, line.view(), false);
}
void put_line(std::int32_t unit, std::string_view text) {
  write_to(unit, text, true);
}
void put_empty(std::int32_t unit, int n) {
  for (int k = 0; k < n; ++k) write_to(unit, {}, true);
}

std::span<char> output_space(std::int32_t unit, std::size_t n) {
  Connection& c = writable(unit);
  const std::size_t length = std::min(n, kBufferSize);
  if (kBufferSize - c.out_used < length) flush_connection(unit, c);
  const std::span<char> space(c.out.get() + c.out_used, length);
  c.out_used += length;
  return space;
}

void flush_console() {
  if (Connection* c = find(kConsoleOut); c != nullptr && c->kind == Connection::Kind::console_out) {
    flush_connection(kConsoleOut, *c);
  }
}

// ---- Input -----------------------------------------------------------------------------------

int read_record(std::int32_t unit, std::span<char> text) {
  Connection* c = find(unit);
  if (c == nullptr) return EBADF;
  if (c->kind == Connection::Kind::console_out || c->direct) return EBADF;
  if (c->kind == Connection::Kind::console_in) flush_console();

  std::size_t copied = 0;    // characters placed in text
  std::size_t line_len = 0;  // characters of the line so far
  bool started = false;      // a byte of this line has been seen
  bool last_was_cr = false;
  for (;;) {
    if (c->in_begin == c->in_end) {
      if (c->in_eof) {
        if (!started) return kEndOfFile;
        break;  // a last line without a line feed
      }
      const int status = refill(*c);
      if (status > 0) return status;
      continue;
    }
    c->consumed = true;
    const char* begin = c->in.get() + c->in_begin;
    const std::size_t avail = c->in_end - c->in_begin;
    const char* nl = static_cast<const char*>(std::memchr(begin, '\n', avail));
    const std::size_t chunk = nl != nullptr ? static_cast<std::size_t>(nl - begin) : avail;
    if (chunk > 0) {
      started = true;
      const std::size_t take = std::min(chunk, text.size() - copied);
      std::copy_n(begin, take, text.data() + copied);
      copied += take;
      line_len += chunk;
      last_was_cr = begin[chunk - 1] == '\r';
    }
    if (nl != nullptr) {
      c->in_begin += chunk + 1;
      if (last_was_cr) {
        // The CR of a CR LF line end is not part of the record.
        --line_len;
        if (line_len < copied) copied = line_len;
      }
      break;
    }
    c->in_begin = c->in_end;
  }
  std::fill(text.begin() + static_cast<std::ptrdiff_t>(copied), text.end(), ' ');
  return 0;
}

void read_text(std::int32_t unit, std::span<char> text) {
  const int status = read_record(unit, text);
  if (status == 0) return;
  const Connection* c = find(unit);
  const std::string name = c != nullptr ? c->name : std::string("no file");
  if (status == kEndOfFile) fail_transfer("END OF INPUT", unit, name, 0);
  fail_transfer("READ FAILED", unit, name, status);
}

// ---- Connections -----------------------------------------------------------------------------

int open_unit(std::int32_t unit, const OpenRequest& request) {
  if (unit < 0 || unit > kHighestUnit) return EBADF;
  // Opening a connected unit first closes its former connection.
  if (find(unit) != nullptr) close_unit(unit);

  const bool is_scratch = request.status == "SCRATCH";
  const bool is_old = request.status.starts_with("OLD");
  const bool is_new = request.status.starts_with("NEW");
  const bool direct = request.access.starts_with("DIRECT");
  const bool formatted = !request.form.starts_with("UNFORMATTED");
  if (direct && request.record_length < 1) return EINVAL;

  Connection fresh;
  fresh.kind = Connection::Kind::file;
  fresh.direct = direct;
  fresh.formatted = formatted;
  fresh.scratch = is_scratch;
  fresh.record_bytes = direct ? std::int64_t{request.record_length} * (formatted ? 1 : 4) : 0;

  if (is_scratch) {
    std::string temp = "/tmp/kel2fram-scratch-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    ::unlink(temp.c_str());  // gone when the unit is closed or the program ends
    fresh.fd = fd;
    fresh.fd_writable = true;
    fresh.name = "scratch file";
  } else {
    const std::string_view name = request.file;
    if (name.empty()) return ENOENT;
    if (name.find('\0') != std::string_view::npos) return EINVAL;
    fresh.name.assign(name);
    int fd = -1;
    if (is_old) {
      int flags = (direct ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY;
      fd = ::open(fresh.name.c_str(), flags);
      if (fd < 0 && direct && (errno == EACCES || errno == EROFS || errno == ETXTBSY)) {
        fd = ::open(fresh.name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
      } else if (fd >= 0) {
        fresh.fd_writable = direct;
      }
    } else {
      int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | (is_new ? O_EXCL : 0);
      fd = ::open(fresh.name.c_str(), flags, 0666);
      fresh.fd_writable = fd >= 0;
    }
    if (fd < 0) return errno;
    fresh.fd = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      const int error = errno;
      ::close(fd);
      return error;
    }
    if (S_ISDIR(st.st_mode)) {
      ::close(fd);
      return EISDIR;
    }
    // A file that nobody may read cannot be read as lines, even by a privileged user.
    if (is_old && S_ISREG(st.st_mode) && (st.st_mode & 0444) == 0) {
      ::close(fd);
      return EACCES;
    }
    if (S_ISREG(st.st_mode) && !direct && !is_device_path(name)) {
      fresh.replace_by_rename = true;
      char resolved[PATH_MAX];
      fresh.target = ::realpath(fresh.name.c_str(), resolved) != nullptr ? resolved : fresh.name;
    }
  }
  units[static_cast<std::size_t>(unit)] = std::move(fresh);
  return 0;
}

void close_unit(std::int32_t unit) {
  Connection* c = find(unit);
  if (c == nullptr) return;
  if (c->kind != Connection::Kind::file) {
    if (c->kind == Connection::Kind::console_out) flush_connection(unit, *c);
    return;
  }
  flush_connection(unit, *c);
  if (!c->temp_path.empty()) {
    const int temp_fd = c->write_fd;
    c->write_fd = -1;
    if (::close(temp_fd) != 0) {
      const int error = errno;
      drop_replacement(*c);
      fail_transfer("WRITE FAILED", unit, c->name, error);
    }
    if (::rename(c->temp_path.c_str(), c->target.c_str()) != 0) {
      const int error = errno;
      drop_replacement(*c);
      fail_transfer("WRITE FAILED", unit, c->name, error);
    }
    forget_pending(*c);
    c->temp_path.clear();
  }
  release(*c);
}

void discard_unit(std::int32_t unit) {
  Connection* c = find(unit);
  if (c == nullptr || c->kind != Connection::Kind::file) return;
  drop_replacement(*c);
  c->out_used = 0;
  release(*c);
}

int rewind_unit(std::int32_t unit) {
  Connection* c = find(unit);
  if (c == nullptr) return EBADF;
  if (c->kind == Connection::Kind::console_out) return 0;
  if (c->kind == Connection::Kind::console_in) {
    // Standard input cannot go back; before anything was read it is at its start anyway.
    return c->consumed ? ESPIPE : 0;
  }
  if (c->direct) return 0;
  if (c->write_fd >= 0 || c->out_used > 0) {
    // Written lines become the file's contents; reading starts again at the first of them.
    flush_connection(unit, *c);
    if (!c->temp_path.empty()) {
      if (::rename(c->temp_path.c_str(), c->target.c_str()) != 0) return errno;
      forget_pending(*c);
      c->temp_path.clear();
      ::close(c->fd);
      c->fd = c->write_fd;
      c->fd_writable = true;
    } else if (c->write_fd != c->fd) {
      ::close(c->write_fd);  // a device reopened for writing
    } else {
      c->truncate_on_write = true;  // writing again starts the file anew
    }
    c->write_fd = -1;
  }
  if (::lseek(c->fd, 0, SEEK_SET) < 0) {
    if (c->consumed) return errno;
  }
  c->in_begin = c->in_end = 0;
  c->in_eof = false;
  c->consumed = false;
  return 0;
}

bool is_connected(std::int32_t unit) {
  return find(unit) != nullptr;
}

std::int64_t record_bytes(std::int32_t unit) {
  const Connection* c = find(unit);
  return c != nullptr ? c->record_bytes : 0;
}

int write_direct(std::int32_t unit, std::int32_t record, std::string_view bytes) {
  Connection* c = find(unit);
  if (c == nullptr || !c->direct) return EBADF;
  if (!c->fd_writable) return EBADF;
  if (record < 1 || static_cast<std::int64_t>(bytes.size()) > c->record_bytes) return EINVAL;
  const auto size = static_cast<std::size_t>(c->record_bytes);
  auto data = std::make_unique<char[]>(size);
  std::copy_n(bytes.data(), bytes.size(), data.get());
  std::fill(data.get() + bytes.size(), data.get() + size, c->formatted ? ' ' : '\0');
  const off_t offset = static_cast<off_t>(record - 1) * static_cast<off_t>(c->record_bytes);
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(c->fd, data.get() + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

int read_direct(std::int32_t unit, std::int32_t record, std::span<char> bytes) {
  Connection* c = find(unit);
  if (c == nullptr || !c->direct) return EBADF;
  if (record < 1) return EINVAL;
  const std::size_t want = std::min(bytes.size(), static_cast<std::size_t>(c->record_bytes));
  const off_t offset = static_cast<off_t>(record - 1) * static_cast<off_t>(c->record_bytes);
  std::size_t done = 0;
  while (done < want) {
    ssize_t n = ::pread(c->fd, bytes.data() + done, want - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done == 0 && want > 0) return kEndOfFile;
  std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(done), bytes.end(),
            c->formatted ? ' ' : '\0');
  return 0;
}

// ---- Ends of a run ---------------------------------------------------------------------------

void finish_all() {
  for (std::int32_t unit = 0; unit <= kHighestUnit; ++unit) {
    if (unit != kConsoleOut) close_unit(unit);
  }
  flush_console();
}

void abandon_all() {
  for (auto& c : units) {
    if (c.kind != Connection::Kind::file) continue;
    drop_replacement(c);
    // Devices and pipes get what is pending; a failure here changes nothing any more.
    if (c.out_used > 0 && c.write_fd >= 0) (void)write_all(c.write_fd, c.out.get(), c.out_used);
    release(c);
  }
}

void report_failure(const TransferFailure& failure) {
  std::string line = failure.what();
  line += "\r\n";
  bool shown = false;
  if (failure.unit() != kConsoleOut) {
    try {
      Connection* c = find(kConsoleOut);
      if (c != nullptr && c->kind == Connection::Kind::console_out) {
        flush_connection(kConsoleOut, *c);
        shown = console_sink->write({line.data(), line.size()}) == 0;
      }
    } catch (const TransferFailure&) {
      shown = false;
    }
  }
  if (!shown) (void)write_all(2, line.data(), line.size());
  // Whatever was pending on the console is dropped now.
  if (Connection* c = find(kConsoleOut)) c->out_used = 0;
}

}  // namespace lineio
