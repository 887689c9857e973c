// Text encodings at the edge of the line input: everything above it sees UTF-8 (or the
// plain bytes of a file that is not UTF-16). A text that starts with the UTF-16 byte-order
// mark, as Notepad's "Unicode" and Windows PowerShell 5.1 write it, is converted to UTF-8 as
// it is read; UTF-16 without the mark, or with a broken surrogate pair, is refused with a
// reason that names the encoding. Nothing here allocates per line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lineio {

// ---- Characters of UTF-8 text ------------------------------------------------------------

// The number of characters (code points) in text: a well-formed UTF-8 sequence counts once,
// every byte that is not part of one (a name in a legacy code page) counts once by itself.
std::size_t character_count(std::string_view text);
// The number of bytes that the first n characters of text take (all of text when it has
// fewer).
std::size_t bytes_of_characters(std::string_view text, std::size_t n);

// A name or a text for the console, a report line or a message: every control character
// (C0, DEL and C1) shown as an escape, \n \r \t \e or \xHH (\u0085 for a C1 character), so
// that no line break or terminal command ever reaches the screen or a file from a name.
// Other text, backslashes and invalid bytes included, stays as it is.
std::string escape_controls(std::string_view text);
// Where the first character that escape_controls would show escaped begins; npos for none.
std::size_t first_control(std::string_view text);

// ---- The encoding of a text, and its conversion -------------------------------------------

class TextDecoder {
 public:
  enum class Encoding { utf8, utf16le, utf16be };

  // Whether the first bytes of a text are enough to tell its encoding: false while they are
  // fewer than four and hold no line end (read more first, unless the text ends there).
  static bool decidable(std::string_view head);
  // Starts a text from its first bytes; answers how many of them are a byte-order mark to
  // skip. UTF-16 without the mark sets the problem.
  std::size_t start(std::string_view head);
  // Back to the state before start (a rewound unit).
  void reset() { *this = TextDecoder{}; }

  bool converting() const { return encoding_ != Encoding::utf8; }
  bool failed() const { return !problem_.empty(); }
  // Why the text cannot be read: "line N: ..." (empty while it can).
  const std::string& problem() const { return problem_; }

  // Converts UTF-16 bytes into UTF-8 in `out`, stopping before a character that would not fit
  // (out needs room for 4 bytes at least) or before a broken pair (which sets the problem).
  // `raw` is advanced past what was converted; a byte or a high surrogate that waits for its
  // partner is held. `end` says that no more bytes follow: a character left open is broken.
  // Answers the number of bytes written to out.
  std::size_t convert(std::string_view& raw, std::span<char> out, bool end);

 private:
  void fail(std::string_view what);

  Encoding encoding_ = Encoding::utf8;
  std::string problem_;
  std::int64_t line_ = 1;        // line of the next character, as an editor counts them
  int held_byte_ = -1;           // the first byte of a code unit whose second is still to come
  std::uint32_t held_high_ = 0;  // a high surrogate whose low partner is still to come
};

}  // namespace lineio
