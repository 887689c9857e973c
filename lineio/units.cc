// The unit table: console streams and file connections, buffered line output, and the safe
// replacement of written files (line input is unit_input.cc's).
//
// A file written sequentially is never changed in place: when its unit is opened for
// output, a temporary file is made beside it, and the written lines become the file's
// contents only when the unit is closed (synced, renamed over the file, its folder synced).
// A run that ends before that leaves the file as it was. Devices and pipes are written
// directly; what a name is, is decided by the system, not by its spelling.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "lineio/failure.h"
#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "lineio/unit_table.h"
#include "os/arguments.h"
#include "os/platform.h"

namespace lineio {

namespace detail {

std::array<Connection, kHighestUnit + 1> units;
ByteSource* console_source = nullptr;

}  // namespace detail

namespace {

using detail::Connection;
using detail::console_source;
using detail::find;
using detail::kBufferSize;
using detail::units;

ByteSink* console_sink = nullptr;
bool console_interactive = false;
bool console_typed = false;

FdSource standard_in(os::standard_input());
FdSink standard_out(os::standard_output());

void release(Connection& c) {
  if (c.output_open) os::discard(c.output);
  os::close(c.file.handle);
  c = Connection{};
}

// A file that could not be written: the console's error line, and a line on standard error
// that says the same where scripts look. After the rename the new contents are in place, but
// their folder's sync failed: the lines say so.
[[noreturn]] void fail_file_write(std::int32_t unit, const std::string& file, int code,
                                  bool in_place) {
  std::string reason = describe_error(code);
  std::string notice = std::string(os::program_name()) + ": " + file;
  if (in_place) {
    notice += ": the new contents are in place, but making them durable failed: " + reason;
    reason += "; the new contents are in place but may not be durable";
  } else {
    notice += ": not written: " + reason;
  }
  try {
    fail_transfer(in_place ? "SYNC FAILED" : "WRITE FAILED", unit, file, reason);
  } catch (TransferFailure& failure) {
    failure.set_notice(std::move(notice));
    throw;
  }
}

// Gives what was written to the file: the replacement takes the file's place, a device is
// closed. Throws a failed transfer when that cannot be done.
void commit_output(std::int32_t unit, Connection& c) {
  if (!c.output_open) return;
  c.output_open = false;
  // A file opened and closed without a line written keeps its former contents.
  if (!c.written && c.output.route == os::Route::replace && c.output.target_existed) {
    os::discard(c.output);
    return;
  }
  c.written = false;
  // The unit's own read handle on the former contents goes first: some systems refuse to
  // replace a file that is still open.
  os::close(c.file.handle);
  c.file = os::Opened{};
  const int code = os::commit(c.output);
  if (code != 0) fail_file_write(unit, c.name, code, c.output.in_place);
}

// The handle that sequential output of a file unit goes to, opened at the first write for a
// unit that was opened to read.
os::Handle output_handle(std::int32_t unit, Connection& c) {
  if (c.scratch) {
    if (c.truncate_on_write) {
      const int code = os::truncate(c.file.handle);
      if (code != 0) fail_transfer("WRITE FAILED", unit, c.name, code);
      c.truncate_on_write = false;
    }
    return c.file.handle;
  }
  if (!c.output_open) {
    const int code = os::open_output(c.name, false, c.output);
    if (code != 0) fail_transfer("WRITE FAILED", unit, c.name, code);
    c.output_open = true;
  }
  c.written = true;
  return c.output.handle;
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
  const os::Handle handle = output_handle(unit, c);
  const int error = os::write_all(handle, {c.out.get(), n});
  if (error != 0) fail_file_write(unit, c.name, error, false);
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

void bind(ByteSource& in, ByteSink& out, bool interactive, bool typed) {
  for (auto& c : units) release(c);
  console_source = &in;
  console_sink = &out;
  console_interactive = interactive;
  console_typed = typed;
  units[kConsoleIn].kind = Connection::Kind::console_in;
  units[kConsoleIn].name = "standard input";
  units[kConsoleOut].kind = Connection::Kind::console_out;
  units[kConsoleOut].name = "standard output";
}

}  // namespace

// ---- Console binding -------------------------------------------------------------------------

void bind_console(ByteSource& in, ByteSink& out, bool interactive, bool typed) {
  bind(in, out, interactive, typed);
}

void bind_standard_console() {
  os::prepare_process();
  const bool typed = os::is_terminal(os::standard_input());
  const bool shown = os::is_terminal(os::standard_output());
  bind(standard_in, standard_out, shown, typed);
}

bool answers_typed() {
  return console_typed;
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

void notice(std::string_view line) {
  // Pending console output goes first, so that the notice follows what it speaks of.
  if (Connection* c = find(kConsoleOut); c != nullptr && c->out_used > 0) {
    const int error = console_sink->write({c->out.get(), c->out_used});
    c->out_used = 0;
    static_cast<void>(error);  // a console that cannot be written is reported elsewhere
  }
  std::string text(line);
  text += os::error_line_end();
  static_cast<void>(os::write_all(os::standard_error(), {text.data(), text.size()}));
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

  int code = 0;
  if (is_scratch) {
    code = os::open_scratch(fresh.file);
    fresh.name = "scratch file";
  } else {
    fresh.name.assign(request.file);
    if (is_old) {
      code = os::open_existing(request.file, direct, fresh.file);
      // A regular file read in sequence is checked at its end for changes meanwhile.
      fresh.watched = code == 0 && !direct && fresh.file.kind == os::Kind::regular &&
                      os::file_stamp(fresh.file.handle, fresh.stamp) == 0;
    } else if (direct) {
      code = os::open_update(request.file, is_new, fresh.file);
    } else {
      // A file opened to be written: the temporary file that will replace it is made now, so
      // that a file that cannot be written is known before any work is done.
      code = os::open_output(request.file, is_new, fresh.output);
      if (code == 0) {
        fresh.output_open = true;
        // Its former contents stay readable until the unit is written and rewound.
        if (fresh.output.route == os::Route::replace && fresh.output.target_existed) {
          static_cast<void>(os::open_existing(fresh.output.target, false, fresh.file));
        }
      }
    }
  }
  if (code != 0) {
    release(fresh);
    return code;
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
  try {
    flush_connection(unit, *c);
    commit_output(unit, *c);
  } catch (const TransferFailure&) {
    release(*c);
    throw;
  }
  release(*c);
}

void discard_unit(std::int32_t unit) {
  Connection* c = find(unit);
  if (c == nullptr || c->kind != Connection::Kind::file) return;
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
  if (c->out_used > 0 || c->written) {
    // Written lines become the file's contents; reading starts again at the first of them.
    flush_connection(unit, *c);
    if (c->scratch) {
      c->truncate_on_write = true;  // writing again starts the file anew
    } else {
      const bool replaced = c->output.route == os::Route::replace;
      const std::string target = c->output.target;
      commit_output(unit, *c);
      if (replaced) {
        os::close(c->file.handle);
        c->file = os::Opened{};
        const int code = os::open_existing(target, false, c->file);
        if (code != 0) return code;
      }
    }
  }
  if (c->file.handle != os::kNoHandle) {
    const int code = os::rewind(c->file.handle);
    if (code != 0 && c->consumed) return code;
  }
  c->in_begin = c->in_end = 0;
  c->in_eof = false;
  c->bytes_read = 0;
  c->consumed = false;
  c->at_start = true;
  c->text.reset();
  c->raw_begin = c->raw_end = 0;
  c->raw_eof = false;
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
  if (!c->file.writable) return EBADF;
  if (record < 1 || static_cast<std::int64_t>(bytes.size()) > c->record_bytes) return EINVAL;
  const auto size = static_cast<std::size_t>(c->record_bytes);
  auto data = std::make_unique<char[]>(size);
  std::copy_n(bytes.data(), bytes.size(), data.get());
  std::fill(data.get() + bytes.size(), data.get() + size, c->formatted ? ' ' : '\0');
  const std::int64_t offset = std::int64_t{record - 1} * c->record_bytes;
  return os::write_at(c->file.handle, offset, {data.get(), size});
}

int read_direct(std::int32_t unit, std::int32_t record, std::span<char> bytes) {
  Connection* c = find(unit);
  if (c == nullptr || !c->direct) return EBADF;
  if (record < 1) return EINVAL;
  const std::size_t want = std::min(bytes.size(), static_cast<std::size_t>(c->record_bytes));
  const std::int64_t offset = std::int64_t{record - 1} * c->record_bytes;
  std::size_t done = 0;
  while (done < want) {
    const long n = os::read_at(c->file.handle, offset + static_cast<std::int64_t>(done),
                               bytes.subspan(done, want - done));
    if (n < 0) return static_cast<int>(-n);
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
  // The console first: a console that can no longer be written fails the run before any
  // file takes its new contents.
  flush_console();
  for (std::int32_t unit = 0; unit <= kHighestUnit; ++unit) {
    if (unit != kConsoleOut) close_unit(unit);
  }
}

void abandon_all() {
  for (auto& c : units) {
    if (c.kind != Connection::Kind::file) continue;
    // Devices and pipes get what is pending; a failure here changes nothing any more.
    if (c.out_used > 0 && c.output_open && c.output.route != os::Route::replace) {
      static_cast<void>(os::write_all(c.output.handle, {c.out.get(), c.out_used}));
      static_cast<void>(os::commit(c.output));
      c.output_open = false;
    }
    c.out_used = 0;
    release(c);
  }
}

void abandon_run() noexcept {
  try {
    flush_console();
  } catch (const TransferFailure&) {
    // A console that cannot be written any more is not reported on top.
  }
  abandon_all();
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
  if (!shown) {
    // A console that cannot show the line: it goes to standard error, as a notice does.
    line.resize(line.size() - 2);
    line += os::error_line_end();
    static_cast<void>(os::write_all(os::standard_error(), {line.data(), line.size()}));
  }
  if (!failure.notice().empty()) {
    const std::string notice = failure.notice() + std::string(os::error_line_end());
    static_cast<void>(os::write_all(os::standard_error(), {notice.data(), notice.size()}));
  }
  // Whatever was pending on the console is dropped now.
  if (Connection* c = find(kConsoleOut)) c->out_used = 0;
}

}  // namespace lineio
