// Why a line is refused: the field that is no number, in which column, and what it holds that
// does not belong in a number, so that a line that looks fine on screen (a no-break space, a
// byte-order mark of a joined file, a Ctrl-Z) can be mended.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kit/fields.h"
#include "kit/kit.h"
#include "kit/reader_access.h"
#include "kit/surprises.h"
#include "lineio/text_encoding.h"

namespace kit {
namespace {

using namespace detail;

constexpr std::string_view kLoneCr =
    "the list's lines end with CR alone (as old Mac files do), so it reads as one long line: "
    "save it again with Windows (CR LF) or Unix (LF) line ends";

struct Named {
  std::uint32_t code;
  std::string_view name;
};
// Characters that look like a blank or nothing at all, or like a character of a number.
constexpr std::array<Named, 12> kNamed = {{
    {0x00, "a NUL character"},
    {0x1A, "a DOS end-of-file mark (Ctrl-Z)"},
    {0x7F, "a delete character"},
    {0xA0, "a no-break space"},
    {0xAD, "a soft hyphen"},
    {0x2007, "a figure space"},
    {0x2009, "a thin space"},
    {0x200B, "a zero-width space"},
    {0x2212, "a minus sign (a number takes the hyphen -)"},
    {0x202F, "a narrow no-break space"},
    {0x2060, "a word joiner"},
    {0xFEFF, "a byte-order mark (where two files were joined?)"},
}};

// The UTF-8 character at the start of text: its code point and length; length 1 and code
// point npos for a byte that starts no well-formed character.
struct Character {
  std::uint32_t code = 0;
  std::size_t length = 1;
  bool valid = true;
};
Character character_at(std::string_view text) {
  const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = byte(0);
  if (b < 0x80) return {b, 1, true};
  std::size_t length = 0;
  std::uint32_t code = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    code = b & 0x1Fu;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    code = b & 0x0Fu;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    code = b & 0x07u;
  } else {
    return {b, 1, false};
  }
  if (text.size() < length) return {b, 1, false};
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0u) != 0x80u) return {b, 1, false};
    code = (code << 6) | (byte(k) & 0x3Fu);
  }
  // Overlong forms, surrogates and code points beyond Unicode are no characters.
  static constexpr std::array<std::uint32_t, 5> kLeast = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
    return {b, 1, false};
  }
  return {code, length, true};
}

std::string hex(std::uint32_t code, int digits) {
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int k = digits - 1; k >= 0; --k, code >>= 4) {
    text[static_cast<std::size_t>(k)] = kDigits[code & 0xFu];
  }
  return text;
}

// What a character that does not belong in a number is, in words.
std::string described(const Character& c) {
  if (!c.valid) return "the byte " + hex(c.code, 2) + ", which is no UTF-8 (another code page?)";
  const std::string code = "U+" + hex(c.code, 4);
  for (const Named& named : kNamed) {
    if (named.code == c.code) return std::string(named.name) + " (" + code + ")";
  }
  if (c.code < 0x20) return "a control character (" + code + ")";
  return "the character " + code;
}

// The first character of a word that a number or a name cannot hold: a control character or
// one beyond ASCII. Answers its position in the word, npos when there is none.
std::size_t first_odd(std::string_view word) {
  for (std::size_t k = 0; k < word.size(); ++k) {
    const auto c = static_cast<unsigned char>(word[k]);
    if (c < 0x20 || c >= 0x7F) return k;
  }
  return std::string_view::npos;
}

// Whether a record holds CRs that end lines: one followed by more of the record, and no
// control character but tabs and CRs (which a file of bytes that is no text has).
bool ends_lines_with_cr(std::string_view record) {
  const std::size_t cr = record.find(kCarriageReturn);
  if (cr == std::string_view::npos || cr >= record.find_last_not_of(' ')) return false;
  return std::none_of(record.begin(), record.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != kCarriageReturn;
  });
}

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

void SurpriseLog::explain_refused_line(std::int32_t NPAR, std::span<const std::int32_t> ITYPE) {
  const ReaderState& s = RDSTATE;
  const auto fields = static_cast<std::size_t>(std::max(NPAR, 0));
  if (fields == 0 || fields > ITYPE.size() || fields >= items_.size()) return;
  const std::size_t text_field = static_cast<std::size_t>(
      std::find(ITYPE.begin(), ITYPE.begin() + static_cast<std::ptrdiff_t>(fields), kText) -
      ITYPE.begin());
  // The raw line up to its last significant character, cut as numbers are separated. Fields
  // before a text field are numbers or names, which end where items end.
  const std::string_view line(s.RAWLIN.data() + 1,
                              static_cast<std::size_t>(std::clamp(s.ILAST, 0, kMaxLine)));
  const std::size_t found = split_items(line, std::span(items_).first(fields + 1));
  const auto column_of = [&line](std::size_t at) {
    return std::to_string(lineio::character_count(line.substr(0, at)) + 1);
  };
  if (text_field == fields) {
    // Too few numbers: told on the console. Said here only when a word stopped the reading.
    if (found <= fields) return;
    const Item& stop = items_[fields];
    const std::string_view word = line.substr(
        stop.begin, std::min(line.find_first_of(" \t", stop.begin), line.size()) - stop.begin);
    if (counted(kReason)) {
      tell_line("column " + column_of(stop.begin) + ": " + quoted_text(word) +
                " ends the line's use: a word that begins with ! % * ' or # starts a remark, so "
                "only " +
                std::to_string(NPAR) + (NPAR == 1 ? " number is" : " numbers are") + " read");
    }
    return;
  }
  if (found <= text_field) return;
  // A word runs to the next blank or tab (commas belong to it).
  const std::size_t begin = items_[text_field].begin;
  const std::string_view word =
      line.substr(begin, std::min(line.find_first_of(" \t", begin), line.size()) - begin);
  const std::size_t odd = first_odd(word);
  if (odd != std::string_view::npos && word[odd] == kCarriageReturn &&
      ends_lines_with_cr({s.RAWLIN.data() + 1, static_cast<std::size_t>(line_length())})) {
    if (lone_cr_told_) return;
    lone_cr_told_ = true;
    if (counted(kReason)) {
      tell_line(kLoneCr);
    }
    return;
  }
  if (!counted(kReason)) return;
  if (odd != std::string_view::npos) {
    const Character c = character_at(word.substr(odd));
    tell_line("column " + column_of(begin + odd) + " holds " + described(c) + ", in " +
              quoted_text(word) + ": a weight line holds numbers between blanks");
  } else if (is_letter(word.front())) {
    tell_line("column " + column_of(begin) + ": " + quoted_text(word) +
              " is a word: a weight line holds numbers; a remark starts with !");
  } else {
    tell_line("column " + column_of(begin) + ": " + quoted_text(word) + " is not a number");
  }
}

void SurpriseLog::check_list_end() {
  // At the end of the list RAWLIN still holds its last record, also a comment line's: a CR in
  // it (one before the line feed is not kept) is one that ends no line.
  const ReaderState& s = RDSTATE;
  if (lone_cr_told_) return;
  const std::string_view record(s.RAWLIN.data() + 1, static_cast<std::size_t>(line_length()));
  if (!ends_lines_with_cr(record)) return;
  lone_cr_told_ = true;
  if (counted(kReason)) tell_line(std::max(s.NLINE - 1, 1), kLoneCr);
}

}  // namespace kit
