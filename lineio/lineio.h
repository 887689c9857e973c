// Text line input and output addressed by unit numbers.
//
// Units: 5 is console input, 6 console output, 1..99 files connected with open_unit.
// Every line written ends with CR LF. Output to a unit is buffered; console output is
// flushed before every console read. A failed transfer throws TransferFailure, which the
// program's top level turns into one console line and exit status 2.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace lineio {

inline constexpr std::int32_t kConsoleIn = 5;
inline constexpr std::int32_t kConsoleOut = 6;
inline constexpr std::int32_t kLowestUnit = 1;
inline constexpr std::int32_t kHighestUnit = 99;
inline constexpr std::size_t kLineCapacity = 8192;  // longest line one Line can compose

// ---------------------------------------------------------------------------------------
// Ends of a run.

// A read or write of the program's own that could not be done. what() is the console line.
class TransferFailure : public std::exception {
 public:
  TransferFailure(std::string message, std::int32_t unit)
      : message_(std::move(message)), unit_(unit) {}
  const char* what() const noexcept override { return message_.c_str(); }
  std::int32_t unit() const noexcept { return unit_; }
  // The line for standard error besides the console's (empty: the console's line alone).
  const std::string& notice() const noexcept { return notice_; }
  void set_notice(std::string line) { notice_ = std::move(line); }

 private:
  std::string message_;
  std::int32_t unit_;
  std::string notice_;
};

// A plain stop requested from deep inside a routine (the record reader's end-of-file stop).
struct StopRun {
  int status = 0;
};

inline constexpr int kFailedTransferStatus = 2;

// The reason an error code of this library (an errno value) stands for, as messages show it.
std::string describe_error(int code);

// ---------------------------------------------------------------------------------------
// Byte streams behind the console units (files use descriptors of their own).

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills up to into.size() bytes; answers the count, 0 at the end, or -errno.
  virtual long read(std::span<char> into) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all bytes; answers 0 or an errno value.
  virtual int write(std::span<const char> bytes) = 0;
};

class FdSource final : public ByteSource {
 public:
  explicit FdSource(std::intptr_t handle) : handle_(handle) {}
  long read(std::span<char> into) override;

 private:
  std::intptr_t handle_;  // a platform handle
};

class FdSink final : public ByteSink {
 public:
  explicit FdSink(std::intptr_t handle) : handle_(handle) {}
  int write(std::span<const char> bytes) override;

 private:
  std::intptr_t handle_;  // a platform handle
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  long read(std::span<char> into) override;

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

class MemorySink final : public ByteSink {
 public:
  int write(std::span<const char> bytes) override;
  std::string& bytes() { return bytes_; }
  // Makes every later write fail with this errno (0: never), after `allowed` more bytes.
  void fail_after(std::size_t allowed, int error) {
    allowed_ = allowed;
    error_ = error;
  }

 private:
  std::string bytes_;
  std::size_t allowed_ = 0;
  int error_ = 0;
};

// Binds units 5 and 6 to the given streams (they must outlive the run) and resets every
// file unit to unconnected. `interactive` flushes the console after every line; `typed` says
// that the answers are typed at a terminal, where a slip can be asked again.
void bind_console(ByteSource& in, ByteSink& out, bool interactive, bool typed = false);
// Binds units 5 and 6 to standard input and output as plain streams (the programs bind a
// terminal's line editor through the terminal room instead).
void bind_standard_console();
// Whether the console's answers are typed at a terminal (not piped or read from a file).
bool answers_typed();

// ---------------------------------------------------------------------------------------
// Field rendering, exactly w columns each, right-aligned; a value that does not fit gives
// w asterisks. Rounding is to nearest on the exact binary value, ties to even. The numeric
// renderings answer true when the field shows the value's digits, false when it shows
// asterisks, Infinity or NaN (or when it is empty).

bool render_int(std::span<char> field, std::int64_t value);
bool render_fixed(std::span<char> field, double value, int decimals);
bool render_sci(std::span<char> field, double value, int decimals);
void render_text(std::span<char> field, std::string_view value);

// One output layout: fields composed left to right from column 1. Nothing is allocated.
class Line {
 public:
  // User-provided on purpose: Line() must not zero its 8 KB buffer on every record.
  Line() noexcept {}                          // NOLINT(modernize-use-equals-default)
  Line& lit(std::string_view text);           // literal / text value with its whole length
  Line& text(std::string_view value, int w);  // text value in w columns
  Line& i(std::int64_t value, int w);         // integer, w columns
  Line& f(double value, int w, int d);        // fixed point w.d
  Line& e(double value, int w, int d);        // scientific w.d
  Line& x(int n);                             // n blank columns
  Line& br();                                 // line break
  std::string_view view() const { return {buf_.data(), len_}; }
  std::span<char> field(int w);  // reserves w columns for a caller's rendering

 private:
  void catch_up();
  std::array<char, kLineCapacity> buf_;
  std::size_t len_ = 0;  // characters written
  std::size_t pos_ = 0;  // current column (0-based); may stand beyond len_ after x()
};

// Writes a layout on a unit and ends its last line.
void put(std::int32_t unit, const Line& line);
// Writes a layout on a unit and leaves the line open (prompts).
void put_open(std::int32_t unit, const Line& line);
// Writes one line holding exactly these characters.
void put_line(std::int32_t unit, std::string_view text);
// Writes n empty lines.
void put_empty(std::int32_t unit, int n = 1);
// Writes one line on standard error, after the pending console output: the program's own
// notices, which the console's fixed texts do not hold.
void notice(std::string_view line);
// Room for the next n characters of a file unit's output (at most kLargestOutputSpace), in the
// unit's own buffer, for the caller to fill at once: records are composed in place, with no
// copy. Line ends are the caller's. The room is valid until the next output on the unit.
inline constexpr std::size_t kLargestOutputSpace = std::size_t{1} << 16;
std::span<char> output_space(std::int32_t unit, std::size_t n);

// ---------------------------------------------------------------------------------------
// Reading.

inline constexpr int kEndOfFile = -1;

// Reads the next line of a unit into text: its first text.size() characters, blank padded;
// one CR before the line feed (or ending the input) is dropped, a last line without a line
// feed still counts, and the UTF-8 byte-order mark before the first line is skipped. Text
// that starts with the UTF-16 byte-order mark (LE or BE) is read as the same text in UTF-8;
// UTF-16 without the mark, or with a broken surrogate pair, fails with EILSEQ.
// full_length, when given, receives the line's whole length, also beyond text.size().
// Answers 0, kEndOfFile, or a positive error code. Never ends the run (the reader's reads).
// tail, when given, receives what the line holds beyond text.size() (see RecordTail).
struct RecordTail;
int read_record(std::int32_t unit, std::span<char> text, std::size_t* full_length = nullptr,
                RecordTail* tail = nullptr);

// The next line of a file unit when the whole of it, up to its line feed, is already in the
// unit's input buffer: its bytes before the line feed (a CR there included), valid until the
// next transfer on the unit. No line (nullopt) when bytes must be read first, the encoding of
// the text is still to be settled, or the unit is no file read in sequence. Nothing is
// consumed; pass_buffered_line does that.
std::optional<std::string_view> buffered_line(std::int32_t unit);
// Passes over the line buffered_line gave: the next read starts after its line feed.
void pass_buffered_line(std::int32_t unit, std::string_view line);

// The part of a line beyond the characters a read takes, for telling the reader that they were
// not read: `first` the 0-based position in the line of the first of them that is neither a
// blank nor a tab (npos when there is none), and the characters from there on, as many as
// `chars` holds, in its first `length` places (`length` is meaningless when `first` is npos).
struct RecordTail {
  std::span<char> chars;
  std::size_t first = std::string_view::npos;
  std::size_t length = 0;
};
// Adds characters of a line beyond what a read takes to its tail: `beyond` starts at
// `position` of the line; blanks and tabs before the first other character are passed over.
void keep_tail(RecordTail& tail, std::string_view beyond, std::size_t position);

// Why a unit's text could not be read in its encoding, as "<file>: line <n>: <reason>";
// empty when it could (or the unit is not connected).
std::string text_problem(std::int32_t unit);

// The program's own reads: like read_record, but an end of file or an error ends the run.
void read_text(std::int32_t unit, std::span<char> text, std::size_t* full_length = nullptr);
// The program's own reads of a line of any length (range answers); as read_text.
void read_whole_line(std::int32_t unit, std::string& line);

// Free form: the first item of text as an integer (sign and digits). An empty first item
// (a leading comma) leaves `current`. A malformed item ends the run, naming `unit`.
std::int32_t read_integer(std::string_view text, std::int32_t current, std::int32_t unit);

// Free form: values.size() reals from the unit, reading further lines while values are
// missing. An empty item between commas leaves that value as it was. typed, when given,
// receives the lines read, each followed by a line feed.
void read_reals(std::int32_t unit, std::span<double> values, std::string* typed = nullptr);
// Free form: reals from one line of text into values, in order; answers how many were given
// (an empty item counts; fewer than values.size() leaves the rest as they were). A malformed
// item ends the run, naming `unit`.
std::size_t read_reals_in(std::string_view line, std::span<double> values, std::int32_t unit);

// ---------------------------------------------------------------------------------------
// Connections (the open service under OPNFIL).

struct OpenRequest {
  std::string_view file;           // name without trailing blanks; ignored for a scratch file
  std::string_view status;         // "OLD    ", "NEW    ", "SCRATCH", "UNKNOWN"
  std::string_view access;         // "SEQUENTIAL", "DIRECT    "
  std::string_view form;           // "FORMATTED  ", "UNFORMATTED"
  std::string_view blank;          // "NULL", "ZERO" (formatted files only; empty otherwise)
  std::string_view share;          // "DENYNONE"
  std::int32_t record_length = 0;  // direct access: characters (formatted) or 4-byte words
};

// Connects a unit. Answers 0, or a positive failure code (an errno value).
int open_unit(std::int32_t unit, const OpenRequest& request);
// Flushes and disconnects a unit; a replaced file takes its new contents now, durably (a
// file opened and closed without a line written keeps its former contents). A failure
// leaves the file as it was and ends the run. No-op when the unit is not connected.
void close_unit(std::int32_t unit);
// Disconnects a unit without giving it what was written: a file being replaced keeps its
// former contents; pending output is dropped.
void discard_unit(std::int32_t unit);
// Restarts a unit at its first line. Answers 0 or a positive code.
int rewind_unit(std::int32_t unit);
bool is_connected(std::int32_t unit);
// Direct access: record numbers from 1; a record is record-length bytes, blank padded
// (formatted) or zero padded (unformatted) when written shorter. Answers 0, kEndOfFile for
// a record beyond the end, or a positive code.
int write_direct(std::int32_t unit, std::int32_t record, std::string_view bytes);
int read_direct(std::int32_t unit, std::int32_t record, std::span<char> bytes);
// Bytes per record of a direct-access unit (0 for other connections).
std::int64_t record_bytes(std::int32_t unit);

// Normal end: flushes the console, then closes every unit, replaced files taking their new
// contents.
void finish_all();
// Failed end: drops every pending replacement (files keep their former contents), flushes
// what can be flushed, disconnects everything.
void abandon_all();
// A run that cannot go on (out of memory): the pending console output is written where it
// can be, then every pending replacement is dropped as by abandon_all. Allocates nothing;
// the program then writes its one line on standard error and ends with
// kFailedTransferStatus.
void abandon_run() noexcept;
// Writes the pending console output.
void flush_console();
// Writes the failure's console line (on standard error when the console itself failed).
void report_failure(const TransferFailure& failure);

// Runs body as a whole program run: a normal return or a StopRun flushes and closes every
// unit; a TransferFailure drops pending replacements and writes its line. Answers the exit
// status: the body's (when it answers one), the stop's, or kFailedTransferStatus.
template <class Body>
int guarded_run(Body&& body) {
  try {
    int status = 0;
    try {
      if constexpr (std::is_same_v<decltype(body()), void>) {
        body();
      } else {
        status = body();
      }
    } catch (const StopRun& stop) {
      status = stop.status;
    }
    finish_all();
    return status;
  } catch (const TransferFailure& failure) {
    abandon_all();
    report_failure(failure);
    return kFailedTransferStatus;
  }
}

}  // namespace lineio
