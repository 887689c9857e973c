// The unit table: console streams and file connections, buffered line output, line input,
// and the safe replacement of written files.
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

#include "os/arguments.h"
#include "lineio/failure.h"
#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "os/platform.h"

namespace lineio {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 16;
static_assert(kBufferSize >= kLargestOutputSpace);

struct Connection {
  enum class Kind { none, console_in, console_out, file };
  Kind kind = Kind::none;
  std::string name;  // as named by the caller, for messages

  // Files.
  os::Opened file;  // what is read (and, for direct access and scratch files, written)
  bool direct = false;
  bool formatted = true;
  bool scratch = false;
  bool truncate_on_write = false;  // a scratch file rewound after writing starts anew
  std::int64_t record_bytes = 0;
  os::Output output;         // where sequential output goes
  bool output_open = false;  // output holds a pending replacement or a direct target
  bool written = false;      // bytes went to the output since it was opened
  bool at_start = true;      // nothing read since the unit was opened or rewound

  // Buffers, allocated on first use of the connection.
  std::unique_ptr<char[]> out;
  std::size_t out_used = 0;
  std::unique_ptr<char[]> in;
  std::size_t in_begin = 0;
  std::size_t in_end = 0;
  bool in_eof = false;
  bool consumed = false;  // something has been read since the last rewind

  // UTF-16 input: the bytes read but not yet converted into `in`.
  TextDecoder text;
  std::unique_ptr<char[]> raw;
  std::size_t raw_begin = 0;
  std::size_t raw_end = 0;
  bool raw_eof = false;
};

std::array<Connection, kHighestUnit + 1> units;
ByteSource* console_source = nullptr;
ByteSink* console_sink = nullptr;
bool console_interactive = false;
bool console_typed = false;

FdSource standard_in(os::standard_input());
FdSink standard_out(os::standard_output());

Connection* find(std::int32_t unit) {
  if (unit < 0 || unit > kHighestUnit) return nullptr;
  Connection& c = units[static_cast<std::size_t>(unit)];
  return c.kind == Connection::Kind::none ? nullptr : &c;
}

void release(Connection& c) {
  if (c.output_open) os::discard(c.output);
  os::close(c.file.handle);
  c = Connection{};
}

// Gives what was written to the file: the replacement takes the file's place, a device is
// closed. Throws a failed transfer when that cannot be done.
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

// The next bytes of a unit's console stream or file, as read; answers a count as os::read.
long read_bytes(const Connection& c, std::span<char> into) {
  if (c.kind == Connection::Kind::console_in) return console_source->read(into);
  if (c.file.handle == os::kNoHandle) return 0;  // a file that did not exist yet
  return os::read(c.file.handle, into);
}

// Refills the input buffer of UTF-16 text with its next bytes converted to UTF-8; answers 0,
// kEndOfFile or a positive error code (EILSEQ for text that is not valid UTF-16).
int refill_converted(Connection& c) {
  if (!c.raw) c.raw = std::make_unique<char[]>(kBufferSize);
  for (;;) {
    if (c.raw_begin == c.raw_end && !c.raw_eof) {
      const long n = read_bytes(c, {c.raw.get(), kBufferSize});
      if (n < 0) return static_cast<int>(-n);
      c.raw_begin = 0;
      c.raw_end = static_cast<std::size_t>(n);
      c.raw_eof = n == 0;
    }
    std::string_view pending(c.raw.get() + c.raw_begin, c.raw_end - c.raw_begin);
    const std::size_t made = c.text.convert(pending, {c.in.get(), kBufferSize}, c.raw_eof);
    c.raw_begin = c.raw_end - pending.size();
    if (made > 0) {
      c.in_end = made;
      return 0;  // a broken pair after these bytes is reported at the next refill
    }
    if (c.text.failed()) return EILSEQ;
    if (c.raw_eof) {
      c.in_eof = true;
      return kEndOfFile;
    }
  }
}

// Refills the input buffer; answers 0, kEndOfFile or a positive error code.
int refill(Connection& c) {
  if (!c.in) c.in = std::make_unique<char[]>(kBufferSize);
  c.in_begin = 0;
  c.in_end = 0;
  if (c.text.failed()) return EILSEQ;
  if (c.text.converting()) return refill_converted(c);
  const long n = read_bytes(c, {c.in.get(), kBufferSize});
  if (n < 0) return static_cast<int>(-n);
  if (n == 0) {
    c.in_eof = true;
    return kEndOfFile;
  }
  c.in_end = static_cast<std::size_t>(n);
  return 0;
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
  text += "\r\n";
  static_cast<void>(os::write_all(os::standard_error(), {text.data(), text.size()}));
}

// ---- Input -----------------------------------------------------------------------------------

namespace {

// Settles the encoding of a unit's text from its first bytes (a few more are read while they
// could still be the start of a byte-order mark): the UTF-8 mark some editors write is
// skipped, UTF-16 with its mark is converted from here on, UTF-16 without it is refused.
// Answers 0 or a positive code.
int start_text(Connection& c) {
  std::string_view head(c.in.get() + c.in_begin, c.in_end - c.in_begin);
  while (!TextDecoder::decidable(head) && !c.in_eof) {
    std::memmove(c.in.get(), head.data(), head.size());
    const long n = read_bytes(c, {c.in.get() + head.size(), kBufferSize - head.size()});
    if (n < 0) return static_cast<int>(-n);
    c.in_eof = n == 0;
    c.in_begin = 0;
    c.in_end = head.size() + static_cast<std::size_t>(n);
    head = std::string_view(c.in.get(), c.in_end);
  }
  c.in_begin += c.text.start(head);
  if (c.text.failed()) {
    c.in_begin = c.in_end = 0;  // none of it is read, now or later
    c.in_eof = false;
    return EILSEQ;
  }
  if (!c.text.converting()) return 0;
  // What was read after the mark is UTF-16: it becomes the first bytes to convert.
  if (!c.raw) c.raw = std::make_unique<char[]>(kBufferSize);
  c.raw_end = c.in_end - c.in_begin;
  std::copy_n(c.in.get() + c.in_begin, c.raw_end, c.raw.get());
  c.raw_begin = 0;
  c.raw_eof = c.in_eof;
  c.in_eof = false;
  c.in_begin = c.in_end = 0;
  const int status = refill_converted(c);
  return status == kEndOfFile ? 0 : status;
}

// Reads the next line of a unit, handing its bytes to store piece by piece (the line feed
// left out). Answers 0, kEndOfFile or a positive code; ends_in_cr tells whether the line's
// last byte is a CR, which is not part of the record.
template <class Store>
int read_pieces(std::int32_t unit, Store&& store, bool& ends_in_cr) {
  Connection* c = find(unit);
  if (c == nullptr) return EBADF;
  if (c->kind == Connection::Kind::console_out || c->direct) return EBADF;
  if (c->kind == Connection::Kind::console_in) flush_console();

  bool started = false;  // a byte of this line has been seen
  ends_in_cr = false;
  for (;;) {
    if (c->in_begin == c->in_end) {
      if (c->in_eof) return started ? 0 : kEndOfFile;  // a last line without a line feed
      const int status = refill(*c);
      if (status > 0) return status;
      continue;
    }
    c->consumed = true;
    if (c->at_start) {
      c->at_start = false;
      const int status = start_text(*c);
      if (status != 0) return status;
      continue;
    }
    const char* begin = c->in.get() + c->in_begin;
    const std::size_t avail = c->in_end - c->in_begin;
    const char* nl = static_cast<const char*>(std::memchr(begin, '\n', avail));
    const std::size_t chunk = nl != nullptr ? static_cast<std::size_t>(nl - begin) : avail;
    if (chunk > 0) {
      started = true;
      store(std::string_view(begin, chunk));
      ends_in_cr = begin[chunk - 1] == '\r';
    }
    if (nl != nullptr) {
      c->in_begin += chunk + 1;
      return 0;
    }
    c->in_begin = c->in_end;
  }
}

}  // namespace

void keep_tail(RecordTail& tail, std::string_view beyond, std::size_t position) {
  std::size_t k = 0;
  if (tail.first == std::string_view::npos) {
    while (k < beyond.size() && (beyond[k] == ' ' || beyond[k] == '\t')) ++k;
    if (k == beyond.size()) return;
    tail.first = position + k;
    tail.length = 0;
  }
  const std::size_t n = std::min(beyond.size() - k, tail.chars.size() - tail.length);
  std::copy_n(beyond.data() + k, n, tail.chars.data() + tail.length);
  tail.length += n;
}

int read_record(std::int32_t unit, std::span<char> text, std::size_t* full_length,
                RecordTail* tail) {
  std::size_t copied = 0;    // characters placed in text
  std::size_t line_len = 0;  // characters of the line
  bool ends_in_cr = false;
  if (tail != nullptr) tail->first = std::string_view::npos;
  const int status = read_pieces(
      unit,
      [&](std::string_view piece) {
        const std::size_t take = std::min(piece.size(), text.size() - copied);
        std::copy_n(piece.data(), take, text.data() + copied);
        if (tail != nullptr && take < piece.size()) {
          keep_tail(*tail, piece.substr(take), line_len + take);
        }
        copied += take;
        line_len += piece.size();
      },
      ends_in_cr);
  if (status != 0) return status;
  if (ends_in_cr) {
    --line_len;
    copied = std::min(copied, line_len);
    // The CR that ends the line is no character of it.
    if (tail != nullptr && tail->first != std::string_view::npos) {
      if (tail->first >= line_len) {
        tail->first = std::string_view::npos;
      } else {
        tail->length = std::min(tail->length, line_len - tail->first);
      }
    }
  }
  std::fill(text.begin() + static_cast<std::ptrdiff_t>(copied), text.end(), ' ');
  if (full_length != nullptr) *full_length = line_len;
  return 0;
}

std::optional<std::string_view> buffered_line(std::int32_t unit) {
  const Connection* c = find(unit);
  if (c == nullptr || c->kind != Connection::Kind::file || c->direct || c->at_start) {
    return std::nullopt;
  }
  const char* begin = c->in.get() + c->in_begin;
  const std::size_t avail = c->in_end - c->in_begin;
  if (avail == 0) return std::nullopt;
  const auto* nl = static_cast<const char*>(std::memchr(begin, '\n', avail));
  if (nl == nullptr) return std::nullopt;
  return std::string_view(begin, static_cast<std::size_t>(nl - begin));
}

void pass_buffered_line(std::int32_t unit, std::string_view line) {
  Connection* c = find(unit);
  if (c == nullptr) return;
  c->consumed = true;
  c->in_begin = std::min(c->in_begin + line.size() + 1, c->in_end);
}

namespace {

// Ends the run for a failed read of the program's own.
[[noreturn]] void fail_read(std::int32_t unit, int status) {
  const Connection* c = find(unit);
  const std::string name = c != nullptr ? c->name : std::string("no file");
  if (status == kEndOfFile) fail_transfer("END OF INPUT", unit, name, 0);
  if (c != nullptr && c->text.failed()) fail_transfer("READ FAILED", unit, name, c->text.problem());
  fail_transfer("READ FAILED", unit, name, status);
}

}  // namespace

void read_whole_line(std::int32_t unit, std::string& line) {
  line.clear();
  bool ends_in_cr = false;
  const int status = read_pieces(
      unit, [&](std::string_view piece) { line += piece; }, ends_in_cr);
  if (status != 0) fail_read(unit, status);
  if (ends_in_cr) line.pop_back();
}

void read_text(std::int32_t unit, std::span<char> text, std::size_t* full_length) {
  const int status = read_record(unit, text, full_length);
  if (status != 0) fail_read(unit, status);
}

std::string text_problem(std::int32_t unit) {
  const Connection* c = find(unit);
  if (c == nullptr || !c->text.failed()) return {};
  return c->name + ": " + c->text.problem();
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
  if (!shown) static_cast<void>(os::write_all(os::standard_error(), {line.data(), line.size()}));
  if (!failure.notice().empty()) {
    const std::string notice = failure.notice() + "\r\n";
    static_cast<void>(os::write_all(os::standard_error(), {notice.data(), notice.size()}));
  }
  // Whatever was pending on the console is dropped now.
  if (Connection* c = find(kConsoleOut)) c->out_used = 0;
}

}  // namespace lineio
