#include "lineio/text_encoding.h"

#include <array>
#include <charconv>

namespace lineio {

namespace {

// The length of the control character at text[at] (1, or 2 for a C1 character), 0 for none.
std::size_t control_at(std::string_view text, std::size_t at) {
  const auto c = static_cast<unsigned char>(text[at]);
  if (c < 0x20 || c == 0x7F) return 1;
  if (c == 0xC2 && at + 1 < text.size()) {
    const auto next = static_cast<unsigned char>(text[at + 1]);
    if (next >= 0x80 && next <= 0x9F) return 2;
  }
  return 0;
}

}  // namespace

std::size_t first_control(std::string_view text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (control_at(text, at) != 0) return at;
  }
  return std::string_view::npos;
}

std::string escape_controls(std::string_view text) {
  constexpr std::string_view kHex = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    const std::size_t n = control_at(text, at);
    const auto c = static_cast<unsigned char>(text[at]);
    if (n == 0) {
      shown += text[at];
    } else if (n == 2) {
      const auto code = static_cast<unsigned char>(text[++at]);
      shown += "\\u00";
      shown += kHex[code >> 4];
      shown += kHex[code & 0xF];
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == 0x1B) {
      shown += "\\e";
    } else {
      shown += "\\x";
      shown += kHex[c >> 4];
      shown += kHex[c & 0xF];
    }
  }
  return shown;
}
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

bool continuation(unsigned char c, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return c >= low && c <= high;
}

// The length of the well-formed UTF-8 sequence at the start of text, or 1 for a byte that
// does not start one (overlong forms, surrogates and values beyond U+10FFFF included).
std::size_t sequence_length(std::string_view text) {
  const auto at = [&](std::size_t k) {
    return k < text.size() ? static_cast<unsigned char>(text[k]) : 0;
  };
  const unsigned char c = at(0);
  if (c < 0xC2 || c > 0xF4) return 1;
  if (c <= 0xDF) return continuation(at(1)) ? 2 : 1;
  if (c <= 0xEF) {
    const unsigned char low = c == 0xE0 ? 0xA0 : 0x80;
    const unsigned char high = c == 0xED ? 0x9F : 0xBF;
    return continuation(at(1), low, high) && continuation(at(2)) ? 3 : 1;
  }
  const unsigned char low = c == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = c == 0xF4 ? 0x8F : 0xBF;
  return continuation(at(1), low, high) && continuation(at(2)) && continuation(at(3)) ? 4 : 1;
}

bool ascii(unsigned char c) {
  return c > 0 && c < 0x80;
}

std::size_t put_utf8(std::uint32_t cp, std::span<char> out) {
  const auto byte = [](std::uint32_t v) {
    return static_cast<char>(static_cast<unsigned char>(v));
  };
  if (cp < 0x80) {
    out[0] = byte(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = byte(0xC0 | (cp >> 6));
    out[1] = byte(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = byte(0xE0 | (cp >> 12));
    out[1] = byte(0x80 | ((cp >> 6) & 0x3F));
    out[2] = byte(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = byte(0xF0 | (cp >> 18));
  out[1] = byte(0x80 | ((cp >> 12) & 0x3F));
  out[2] = byte(0x80 | ((cp >> 6) & 0x3F));
  out[3] = byte(0x80 | (cp & 0x3F));
  return 4;
}

std::string hex(std::uint32_t unit) {
  std::array<char, 8> digits{};
  const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), unit, 16);
  std::string text = "0x";
  for (const char* p = digits.data(); p != r.ptr; ++p) {
    text += static_cast<char>(*p >= 'a' ? *p - 'a' + 'A' : *p);
  }
  return text;
}

}  // namespace

std::size_t character_count(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t k = 0; k < text.size(); k += sequence_length(text.substr(k))) ++count;
  return count;
}

std::size_t bytes_of_characters(std::string_view text, std::size_t n) {
  std::size_t k = 0;
  for (std::size_t count = 0; count < n && k < text.size(); ++count) {
    k += sequence_length(text.substr(k));
  }
  return k;
}

bool TextDecoder::decidable(std::string_view head) {
  // Four bytes tell every case; a line end before them says that no more are coming yet.
  return head.size() >= 4 || head.find('\n') != std::string_view::npos;
}

std::size_t TextDecoder::start(std::string_view head) {
  reset();
  if (head.starts_with(kUtf8Mark)) return kUtf8Mark.size();
  if (head.starts_with(kUtf16LeMark)) {
    encoding_ = Encoding::utf16le;
    return kUtf16LeMark.size();
  }
  if (head.starts_with(kUtf16BeMark)) {
    encoding_ = Encoding::utf16be;
    return kUtf16BeMark.size();
  }
  // Text does not hold NUL bytes; two ASCII characters each beside one are UTF-16 that lost
  // its mark (or never had one), which would otherwise be read as garbage line by line.
  if (head.size() >= 4) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(head[k]); };
    const char* which = ascii(at(0)) && at(1) == 0 && ascii(at(2)) && at(3) == 0   ? "UTF-16 LE"
                        : at(0) == 0 && ascii(at(1)) && at(2) == 0 && ascii(at(3)) ? "UTF-16 BE"
                                                                                   : nullptr;
    if (which != nullptr) {
      fail(std::string(which) +
           " text without a byte-order mark: save it as UTF-8, or as UTF-16 with the mark");
    }
  }
  return 0;
}

void TextDecoder::fail(std::string_view what) {
  std::array<char, 24> digits{};
  const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), line_);
  problem_ = "line ";
  problem_.append(digits.data(), r.ptr);
  problem_ += ": ";
  problem_ += what;
}

std::size_t TextDecoder::convert(std::string_view& raw, std::span<char> out, bool end) {
  const bool little = encoding_ == Encoding::utf16le;
  const std::string_view name =
      little ? "not valid UTF-16 LE text: " : "not valid UTF-16 BE text: ";
  const auto unit_of = [little](unsigned char a, unsigned char b) {
    return little ? std::uint32_t{a} | (std::uint32_t{b} << 8) : (std::uint32_t{a} << 8) | b;
  };
  std::size_t produced = 0;
  while (!failed() && out.size() - produced >= 4) {
    std::uint32_t unit = 0;
    if (held_byte_ >= 0) {
      if (raw.empty()) break;
      unit = unit_of(static_cast<unsigned char>(held_byte_), static_cast<unsigned char>(raw[0]));
      held_byte_ = -1;
      raw.remove_prefix(1);
    } else if (raw.size() >= 2) {
      unit = unit_of(static_cast<unsigned char>(raw[0]), static_cast<unsigned char>(raw[1]));
      raw.remove_prefix(2);
    } else {
      if (raw.size() == 1) held_byte_ = static_cast<unsigned char>(raw[0]);
      raw.remove_prefix(raw.size());
      break;
    }
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (held_high_ != 0) {
      if (!low) {
        fail(std::string(name) + "an unpaired surrogate " + hex(held_high_));
        break;
      }
      const std::uint32_t cp = 0x10000 + ((held_high_ - 0xD800) << 10) + (unit - 0xDC00);
      held_high_ = 0;
      produced += put_utf8(cp, out.subspan(produced));
    } else if (high) {
      held_high_ = unit;
    } else if (low) {
      fail(std::string(name) + "an unpaired surrogate " + hex(unit));
      break;
    } else {
      produced += put_utf8(unit, out.subspan(produced));
      if (unit == '\n') ++line_;
    }
  }
  if (end && raw.empty() && !failed()) {
    if (held_byte_ >= 0) fail(std::string(name) + "it ends inside a character (an odd byte)");
    if (held_high_ != 0) fail(std::string(name) + "an unpaired surrogate " + hex(held_high_));
  }
  return produced;
}

}  // namespace lineio
