// Line input of the unit table: a unit's next line read piece by piece from its buffer, the
// encoding of a text settled from its first bytes, UTF-16 converted as it is read, and the
// quick look at a line already whole in the buffer.
#include <algorithm>
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

using detail::Connection;
using detail::console_source;
using detail::find;
using detail::kBufferSize;

namespace {

// The end of a file opened to read: unless it is still what it was when opened, and every
// byte of it was read, it changed while it was read (truncated, grown or rewritten by another
// program); then the end is a failure, told once.
long end_of_watched(Connection& c) {
  os::FileStamp now;
  if (os::file_stamp(c.file.handle, now) == 0 && now == c.stamp && c.bytes_read == c.stamp.size) {
    return 0;
  }
  if (c.watched) {
    c.watched = false;
    notice(std::string(os::program_name()) + ": " + escape_controls(c.name) + ": " +
           describe_error(os::kChangedWhileRead) + "; what was read is not used");
  }
  return -os::kChangedWhileRead;
}

// The next bytes of a unit's console stream or file, as read; answers a count as os::read.
long read_bytes(Connection& c, std::span<char> into) {
  if (c.kind == Connection::Kind::console_in) return console_source->read(into);
  if (c.file.handle == os::kNoHandle) return 0;  // a file that did not exist yet
  const long n = os::read(c.file.handle, into);
  if (c.stamp.size < 0) return n;  // not a file read in sequence
  if (n > 0) c.bytes_read += n;
  return n == 0 ? end_of_watched(c) : n;
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

}  // namespace lineio
