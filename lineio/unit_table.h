// Internal to lineio: the unit table's connections, shared by units.cc (connections, output)
// and unit_input.cc (line input).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "lineio/lineio.h"
#include "lineio/text_encoding.h"
#include "os/platform.h"

namespace lineio::detail {

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
  // A file opened to read: what it was when opened, and the bytes read since the last rewind,
  // so that a file another program writes meanwhile is not taken for a whole one.
  bool watched = false;
  os::FileStamp stamp;
  std::int64_t bytes_read = 0;

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

// The table, indexed by unit number.
extern std::array<Connection, kHighestUnit + 1> units;
// The console's byte streams (bound by bind_console).
extern ByteSource* console_source;

// The connection of a unit, or nullptr when the unit is not connected.
inline Connection* find(std::int32_t unit) {
  if (unit < 0 || unit > kHighestUnit) return nullptr;
  Connection& c = units[static_cast<std::size_t>(unit)];
  return c.kind == Connection::Kind::none ? nullptr : &c;
}

}  // namespace lineio::detail
