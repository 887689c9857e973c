// Field rendering and line composition.
//
// Numbers are rendered with std::to_chars, which rounds the exact binary value to the nearest
// digit string, ties to even (0.0625 with 3 decimals is 0.062). A rendering wider than its
// field gives a field of asterisks.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "lineio/fast_digits.h"
#include "lineio/lineio.h"

namespace lineio {
namespace {

// Digits beyond these precisions are always zeros in the exact expansion of a double, so
// wider requests are rendered at this precision and padded with zeros.
constexpr int kMaxFixedDigits = 1100;
constexpr int kMaxSciDigits = 800;
constexpr std::size_t kScratch = 1600;

void fill(std::span<char> field, char c) {
  std::fill(field.begin(), field.end(), c);
}

// Places parts right-aligned: blanks, head, then `zeros` zero digits, then tail. Answers
// false when they do not fit and the field is asterisks.
bool place(std::span<char> field, std::string_view head, std::size_t zeros, std::string_view tail) {
  const std::size_t total = head.size() + zeros + tail.size();
  if (total > field.size()) {
    fill(field, '*');
    return false;
  }
  std::size_t at = field.size() - total;
  fill(field.first(at), ' ');
  std::copy_n(head.data(), head.size(), field.data() + at);
  at += head.size();
  std::fill_n(field.data() + at, zeros, '0');
  at += zeros;
  std::copy_n(tail.data(), tail.size(), field.data() + at);
  return true;
}

// NaN, Infinity / Inf, or asterisks when neither form fits.
void render_special(std::span<char> field, double value) {
  if (std::isnan(value)) {
    place(field, "NaN", 0, {});
    return;
  }
  const bool negative = std::signbit(value);
  std::string_view full = negative ? "-Infinity" : "Infinity";
  std::string_view brief = negative ? "-Inf" : "Inf";
  place(field, full.size() <= field.size() ? full : brief, 0, {});
}

// The general renderings, kept apart from the fast ones so that these stay small.
[[gnu::noinline]] bool general_fixed(std::span<char> field, double value, int decimals);
[[gnu::noinline]] bool general_sci(std::span<char> field, double value, int decimals);

bool general_fixed(std::span<char> field, double value, int decimals) {
  if (!std::isfinite(value)) {
    render_special(field, value);
    return false;
  }
  const int d = std::max(decimals, 0);
  // At least the point and the decimals must fit.
  if (static_cast<std::size_t>(d) + 1 > field.size()) {
    fill(field, '*');
    return false;
  }
  const int precision = std::min(d, kMaxFixedDigits);
  char text[kScratch];
  std::size_t len = 0;
  if (!detail::fixed_digits(value, precision, text, len)) {
    auto result =
        std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed, precision);
    len = static_cast<std::size_t>(result.ptr - text);
  }
  if (d == 0) text[len++] = '.';  // the point is always written
  std::string_view head(text, len);
  const auto zeros = static_cast<std::size_t>(d - precision);
  // A lone 0 before the point is dropped when that makes the field fit: -0.5 in 5 columns
  // is -.500.
  if (head.size() + zeros == field.size() + 1) {
    const bool negative = head.front() == '-';
    std::string_view body = head.substr(negative ? 1 : 0);
    if (body.size() >= 2 && body[0] == '0' && body[1] == '.') {
      char shortened[kScratch];
      std::size_t n = 0;
      if (negative) shortened[n++] = '-';
      std::copy_n(body.data() + 1, body.size() - 1, shortened + n);
      n += body.size() - 1;
      return place(field, std::string_view(shortened, n), zeros, {});
    }
  }
  return place(field, head, zeros, {});
}

bool general_sci(std::span<char> field, double value, int decimals) {
  if (!std::isfinite(value)) {
    render_special(field, value);
    return false;
  }
  const int d = std::max(decimals, 0);
  // One digit, the point, the decimals and a four-character exponent at the least.
  if (static_cast<std::size_t>(d) + 6 > field.size()) {
    fill(field, '*');
    return false;
  }
  const int precision = std::min(d, kMaxSciDigits);
  char text[kScratch];
  std::size_t len = 0;
  if (!detail::sci_digits(value, precision, text, len)) {
    auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, precision);
    len = static_cast<std::size_t>(result.ptr - text);
  }
  std::string_view all(text, len);
  const std::size_t e_at = all.find('e');
  std::string_view mantissa = all.substr(0, e_at);
  const char exp_sign = all[e_at + 1];
  std::string_view exp_digits = all.substr(e_at + 2);

  char head[kScratch];
  std::size_t n = mantissa.size();
  std::copy_n(mantissa.data(), n, head);
  if (d == 0) head[n++] = '.';
  const auto zeros = static_cast<std::size_t>(d - precision);

  char tail[8];
  std::size_t t = 0;
  if (exp_digits.size() <= 2) {
    tail[t++] = 'E';
    tail[t++] = exp_sign;
    if (exp_digits.size() == 1) tail[t++] = '0';
  } else {
    tail[t++] = exp_sign;  // three exponent digits take the letter's column
  }
  std::copy_n(exp_digits.data(), exp_digits.size(), tail + t);
  t += exp_digits.size();
  return place(field, std::string_view(head, n), zeros, std::string_view(tail, t));
}

}  // namespace

bool render_int(std::span<char> field, std::int64_t value) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof digits, value);
  return place(field, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)), 0,
               {});
}

bool render_fixed(std::span<char> field, double value, int decimals) {
  if (field.empty()) return false;
  switch (detail::fixed_field(field, value, decimals)) {
    case detail::FastField::kWritten:
      return true;
    case detail::FastField::kTooWide:
      return false;
    case detail::FastField::kDeclined:
      break;
  }
  return general_fixed(field, value, decimals);
}

bool render_sci(std::span<char> field, double value, int decimals) {
  if (field.empty()) return false;
  switch (detail::sci_field(field, value, decimals)) {
    case detail::FastField::kWritten:
      return true;
    case detail::FastField::kTooWide:
      return false;
    case detail::FastField::kDeclined:
      break;
  }
  return general_sci(field, value, decimals);
}

void render_text(std::span<char> field, std::string_view value) {
  if (value.size() >= field.size()) {
    std::copy_n(value.data(), field.size(), field.data());
    return;
  }
  const std::size_t pad = field.size() - value.size();
  fill(field.first(pad), ' ');
  std::copy_n(value.data(), value.size(), field.data() + pad);
}

// ---- Line ----------------------------------------------------------------------------------

void Line::catch_up() {
  // Columns passed over by x() become blanks once something is written after them.
  const std::size_t target = std::min(pos_, buf_.size());
  if (target > len_) {
    std::fill(buf_.begin() + static_cast<std::ptrdiff_t>(len_),
              buf_.begin() + static_cast<std::ptrdiff_t>(target), ' ');
    len_ = target;
  }
  pos_ = len_;
}

std::span<char> Line::field(int w) {
  catch_up();
  const std::size_t want = w > 0 ? static_cast<std::size_t>(w) : 0;
  const std::size_t n = std::min(want, buf_.size() - len_);
  std::span<char> out(buf_.data() + len_, n);
  len_ += n;
  pos_ = len_;
  return out;
}

Line& Line::lit(std::string_view text) {
  std::span<char> out = field(static_cast<int>(std::min(text.size(), buf_.size())));
  std::copy_n(text.data(), out.size(), out.data());
  return *this;
}

Line& Line::text(std::string_view value, int w) {
  std::span<char> out = field(w);
  if (out.size() == static_cast<std::size_t>(std::max(w, 0)))
    render_text(out, value);
  else
    fill(out, '*');
  return *this;
}

Line& Line::i(std::int64_t value, int w) {
  std::span<char> out = field(w);
  if (out.size() == static_cast<std::size_t>(std::max(w, 0)))
    render_int(out, value);
  else
    fill(out, '*');
  return *this;
}

Line& Line::f(double value, int w, int d) {
  std::span<char> out = field(w);
  if (out.size() == static_cast<std::size_t>(std::max(w, 0)))
    render_fixed(out, value, d);
  else
    fill(out, '*');
  return *this;
}

Line& Line::e(double value, int w, int d) {
  std::span<char> out = field(w);
  if (out.size() == static_cast<std::size_t>(std::max(w, 0)))
    render_sci(out, value, d);
  else
    fill(out, '*');
  return *this;
}

Line& Line::x(int n) {
  if (n > 0) pos_ = std::min(pos_ + static_cast<std::size_t>(n), buf_.size());
  return *this;
}

Line& Line::br() {
  // Blank columns at the end of a line are never written.
  pos_ = len_;
  if (buf_.size() - len_ >= 2) {
    buf_[len_++] = '\r';
    buf_[len_++] = '\n';
  }
  pos_ = len_;
  return *this;
}

}  // namespace lineio
