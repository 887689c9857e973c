// Composing SVG lines: escaping of text, numbers for coordinates and for people.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "plot/drawing.h"

namespace plot {
namespace {

constexpr std::size_t kLineReserve = std::size_t{1} << 16;
constexpr double kLargestPageNumber = 1e7;
constexpr double kLargestGrouped = 1e15;  // beyond, doubles no longer hold every digit
constexpr double kSmallestTwoDigits = 1e-3;

// Length of the valid UTF-8 sequence at the start of `s` (which XML 1.0 allows), or 0.
std::size_t utf8_length(std::string_view s) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
  }
  // U+FFFE and U+FFFF are not characters XML accepts.
  if (lead == 0xEF && byte(1) == 0xBF && byte(2) >= 0xBE) return 0;
  return length;
}

}  // namespace

SvgLine::SvgLine(LineSink& sink) : sink_(sink) {
  line_.reserve(kLineReserve);
}

SvgLine& SvgLine::raw(std::string_view markup) {
  line_ += markup;
  return *this;
}

SvgLine& SvgLine::text(std::string_view bytes) {
  while (!bytes.empty()) {
    const char c = bytes.front();
    std::size_t used = 1;
    switch (c) {
      case '&':
        line_ += "&amp;";
        break;
      case '<':
        line_ += "&lt;";
        break;
      case '>':
        line_ += "&gt;";
        break;
      case '"':
        line_ += "&quot;";
        break;
      case '\'':
        line_ += "&apos;";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          line_ += '?';
        } else if (static_cast<unsigned char>(c) < 0x80) {
          line_ += c;
        } else {
          used = utf8_length(bytes);
          if (used == 0) {
            line_ += '?';
            used = 1;
          } else {
            line_ += bytes.substr(0, used);
          }
        }
    }
    bytes.remove_prefix(used);
  }
  return *this;
}

SvgLine& SvgLine::px(double value) {
  return fixed(value, 1);
}

SvgLine& SvgLine::fixed(double value, int decimals) {
  // Page numbers are bounded by the layout; anything else would be a fault, kept harmless.
  if (!std::isfinite(value) || std::fabs(value) > kLargestPageNumber) value = 0;
  std::array<char, 48> digits{};
  const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                               std::chars_format::fixed, decimals);
  line_.append(digits.data(), r.ptr);
  return *this;
}

SvgLine& SvgLine::integer(long long value) {
  std::array<char, 24> digits{};
  const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  line_.append(digits.data(), r.ptr);
  return *this;
}

void SvgLine::end() {
  sink_.line(line_);
  line_.clear();
}

std::string_view grouped(double value, int decimals, std::array<char, 64>& out) {
  if (!std::isfinite(value)) return "?";
  if (std::fabs(value) >= kLargestGrouped) {
    const int n = std::snprintf(out.data(), out.size(), "%.4e", value);
    return n < 0 ? "?" : std::string_view(out.data(), std::min<std::size_t>(n, out.size() - 1));
  }
  std::array<char, 64> plain{};
  const auto r = std::to_chars(plain.data(), plain.data() + plain.size(), value,
                               std::chars_format::fixed, std::clamp(decimals, 0, 20));
  std::string_view digits(plain.data(), static_cast<std::size_t>(r.ptr - plain.data()));
  // No minus sign before a value that rounds to zero.
  if (digits.front() == '-' && digits.find_first_not_of("-0.") == std::string_view::npos) {
    digits.remove_prefix(1);
  }
  std::size_t len = 0;
  const auto put = [&](char c) {
    if (len < out.size()) out[len++] = c;
  };
  std::size_t k = 0;
  if (digits.front() == '-') put(digits[k++]);
  const std::size_t point = std::min(digits.find('.'), digits.size());
  for (; k < point; ++k) {
    put(digits[k]);
    if (k + 1 < point && (point - k - 1) % 3 == 0) put(',');
  }
  for (; k < digits.size(); ++k) put(digits[k]);
  return {out.data(), len};
}

std::string_view two_digits(double value, std::array<char, 64>& out) {
  if (!(value > 0) || !std::isfinite(value)) return grouped(value, 0, out);
  if (value < kSmallestTwoDigits || value >= kLargestGrouped) {
    const int n = std::snprintf(out.data(), out.size(), "%.1e", value);
    return n < 0 ? "?" : std::string_view(out.data(), std::min<std::size_t>(n, out.size() - 1));
  }
  const int e = static_cast<int>(std::floor(std::log10(value)));
  const double unit = std::pow(10.0, e - 1);
  return grouped(std::round(value / unit) * unit, std::max(0, 1 - e), out);
}

void describe(const Mass& m, const PictureInput& in, SvgLine& out) {
  std::array<char, 64> a{};
  if (m.record > 0) {
    out.raw("record ").integer(m.record);
    if (m.line > 0) out.raw(" (line ").integer(m.line).raw(" of ").text(in.record_file).raw(")");
    out.raw(": ");
  } else if (m.line > 0) {
    out.raw(in.rows ? "row " : "line ").integer(m.line);
    if (in.rows && !in.sheet.empty()) out.raw(" of sheet ").text(in.sheet);
    if (in.rows && !in.mass_cells.empty()) {
      out.raw(" (mass cell ").text(in.mass_cells).integer(m.line).raw(")");
    }
    out.raw(": ");
  }
  out.raw(grouped(m.kg, 1, a)).raw(" kg at X ").raw(grouped(m.x, 3, a));
  out.raw(", Y ").raw(grouped(m.y, 3, a)).raw(", Z ").raw(grouped(m.z, 3, a));
}

}  // namespace plot
