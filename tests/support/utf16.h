// Test support: text written as Notepad's "Unicode" and PowerShell 5.1 write it.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

// `utf8` (valid UTF-8) as UTF-16 bytes, little- or big-endian, with the byte-order mark
// first when `mark`.
inline std::string utf16(const std::string& utf8, bool little, bool mark = false) {
  std::string out;
  const auto unit = [&](std::uint32_t u) {
    const char low = static_cast<char>(u & 0xFF);
    const char high = static_cast<char>(u >> 8);
    out += little ? low : high;
    out += little ? high : low;
  };
  if (mark) unit(0xFEFF);
  for (std::size_t k = 0; k < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[k]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    std::uint32_t cp = n == 1 ? c : c & (0x7Fu >> n);
    for (std::size_t j = 1; j < n && k + j < utf8.size(); ++j) {
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[k + j]) & 0x3Fu);
    }
    k += n;
    if (cp < 0x10000) {
      unit(cp);
    } else {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return out;
}

}  // namespace testing_support
