// Totals in a table's rows: typed totals found by exact decimal sums over a window of rows
// (an index of the running sums answers, for each row, whether some run of the rows just
// above it sums to its mass, and whether the rows below an earlier row have just reached its
// mass), and the list's own totals compared with the rows they sum.
#include "sheet/totals.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace sheet::detail {
namespace {

constexpr int kSignificant = 15;  // digits a spreadsheet program shows of a number
constexpr int kScale = 18;        // a Decimal counts units of 10^-18
constexpr int kLargestPower = 20;

bool digits_only(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The decimal's digits: "7850", "0.515", "-12.5".
std::string decimal_text(Decimal d) {
  const bool negative = d < 0;
  if (negative) d = -d;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(d % 10)));
    d /= 10;
  } while (d > 0);
  if (digits.size() <= static_cast<std::size_t>(kScale)) {
    digits.insert(0, static_cast<std::size_t>(kScale) + 1 - digits.size(), '0');
  }
  const std::string whole = digits.substr(0, digits.size() - kScale);
  std::string fraction = digits.substr(digits.size() - kScale);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  return (negative ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
}

// Half a unit of the last decimal a coordinate was written with, and a little for the
// rounding of binary numbers.
double tolerance(double value, int decimals) {
  return 0.5 * std::pow(10.0, -decimals) + 1e-9 * std::max(1.0, std::fabs(value));
}

// mantissa times 10^exponent, rounded to kSignificant digits, as a Decimal.
bool scaled(Decimal mantissa, int significant, int exponent, bool negative, Decimal& decimal) {
  if (mantissa == 0) {
    decimal = 0;
    return true;
  }
  for (; significant > kSignificant; --significant) {
    const bool up = mantissa % 10 >= 5;
    mantissa = mantissa / 10 + (up ? 1 : 0);
    ++exponent;
  }
  int power = exponent + kScale;
  while (power < 0 && mantissa % 10 == 0) {
    mantissa /= 10;
    ++power;
  }
  if (power < 0 || power > kLargestPower) return false;  // finer than 10^-18, or beyond 10^20
  static const std::array<Decimal, kLargestPower + 1> kTens = [] {
    std::array<Decimal, kLargestPower + 1> tens{};
    tens[0] = 1;
    for (std::size_t k = 1; k < tens.size(); ++k) tens[k] = tens[k - 1] * 10;
    return tens;
  }();
  mantissa *= kTens[static_cast<std::size_t>(power)];
  decimal = negative ? -mantissa : mantissa;
  return true;
}

}  // namespace

bool decimal_of(double value, Decimal& decimal) {
  if (!std::isfinite(value)) return false;
  std::array<char, 48> text{};
  const auto r = std::to_chars(text.data(), text.data() + text.size(), value,
                               std::chars_format::scientific, kSignificant - 1);
  const std::string_view written(text.data(), static_cast<std::size_t>(r.ptr - text.data()));
  const std::size_t e = written.find('e');
  int exponent = 0;
  std::from_chars(written.data() + e + 1 + (written[e + 1] == '+' ? 1 : 0),
                  written.data() + written.size(), exponent);
  Decimal mantissa = 0;
  for (const char c : written.substr(0, e)) {
    if (c >= '0' && c <= '9') mantissa = mantissa * 10 + (c - '0');
  }
  return scaled(mantissa, kSignificant, exponent - (kSignificant - 1), value < 0, decimal);
}

bool decimal_of(const ParsedNumber& digits, Decimal& decimal) {
  if (!digits.exact) return decimal_of(digits.value, decimal);
  return scaled(static_cast<Decimal>(digits.mantissa), digits.significant, digits.exponent,
                digits.negative, decimal);
}

bool code_below(std::string_view parent, std::string_view child) {
  parent = trim(parent);
  child = trim(child);
  if (parent.empty() || child.size() <= parent.size()) {
    // Numbered codes of one length: "410" below "400", each level a digit.
    if (parent.empty() || child.size() != parent.size() || !digits_only(parent) ||
        !digits_only(child) || child == parent) {
      return false;
    }
    const std::size_t zeros = parent.size() - 1 - parent.find_last_not_of('0');
    // At least two levels below the first digit ("400"): "10" over "11" is a count.
    if (zeros < 2 || zeros == parent.size()) return false;
    const std::size_t kept = parent.size() - zeros;
    return child.substr(0, kept) == parent.substr(0, kept) &&
           child.find_last_not_of('0') < parent.size() - (zeros - 1);
  }
  // Dotted codes: "2.1" and "2.1.3" below "2".
  const char after = child[parent.size()];
  return child.starts_with(parent) && (after == '.' || after == '-');
}

// ---- The index ------------------------------------------------------------------------------

TotalRules::Index::Index() : slots_(kSize) {}

void TotalRules::Index::clear() {
  if (++current_ == 0) {  // the stamps wrapped: start them afresh
    for (Slot& slot : slots_) slot.stamp = 0;
    current_ = 1;
  }
  entries_ = 0;
  filter_.fill(0);
}

std::uint64_t TotalRules::Index::mixed(Decimal key) {
  const auto low = static_cast<std::uint64_t>(key);
  const auto high = static_cast<std::uint64_t>(key >> 64);
  return (low ^ (high * 0xC2B2AE3D27D4EB4Fu)) * 0x9E3779B97F4A7C15u;
}

// The table's slot from bits 32 and up of the mixed key, the filter's bit from its top bits:
// the high bits of the product depend on every bit of the key.
std::int64_t TotalRules::Index::find(Decimal key) const {
  const std::uint64_t m = mixed(key);
  const std::uint64_t bit = m >> (64 - kFilterLog);
  if ((filter_[bit / 64] >> (bit % 64) & 1u) == 0) return -2;
  for (std::size_t i = static_cast<std::size_t>(m >> 32) & (kSize - 1);;
       i = (i + 1) & (kSize - 1)) {
    const Slot& slot = slots_[i];
    if (slot.stamp != current_) return -2;
    if (slot.key == key) return slot.value;
  }
}

void TotalRules::Index::set(Decimal key, std::int64_t value) {
  const std::uint64_t m = mixed(key);
  const std::uint64_t bit = m >> (64 - kFilterLog);
  filter_[bit / 64] |= std::uint64_t{1} << (bit % 64);
  std::size_t i = static_cast<std::size_t>(m >> 32) & (kSize - 1);
  while (slots_[i].stamp == current_ && slots_[i].key != key) i = (i + 1) & (kSize - 1);
  Slot& slot = slots_[i];
  if (slot.stamp != current_) {
    slot.stamp = current_;
    slot.key = key;
    ++entries_;
  }
  slot.value = value;
}

// ---- The rules ------------------------------------------------------------------------------

TotalRules::TotalRules(RowSink& sink, std::string unit, std::string mass_cells)
    : sink_(sink), unit_(std::move(unit)), mass_cells_(std::move(mass_cells)) {
  ring_.resize(kWindow);
  restart();
}

void TotalRules::restart() {
  count_ = 0;
  first_ = 0;
  sum_ = 0;
  by_sum_.clear();
  by_target_.clear();
  by_sum_.set(0, -1);  // before the first item
}

bool TotalRules::same_centre(std::int64_t first, std::int64_t last, double mass,
                             const Item& item) const {
  if (mass == 0.0) return false;
  std::array<double, 3> moment{};
  for (std::int64_t k = first; k <= last; ++k) {
    for (std::size_t a = 0; a < 3; ++a) moment[a] += at(k).mass * at(k).point[a];
  }
  for (std::size_t a = 0; a < 3; ++a) {
    const double centre = moment[a] / mass;
    if (!(std::fabs(centre - item.point[a]) <= tolerance(item.point[a], item.decimals[a]))) {
      return false;
    }
  }
  return true;
}

bool TotalRules::codes_below(std::int64_t first, std::int64_t last, std::string_view parent) const {
  if (trim(parent).empty()) return false;
  for (std::int64_t k = first; k <= last; ++k) {
    if (!code_below(parent, at(k).code_text())) return false;
  }
  return true;
}

void TotalRules::warn(std::int64_t total_row, std::int64_t first_row, std::int64_t last_row,
                      bool by_centre, std::string_view code) {
  std::string text = "row " + std::to_string(total_row) + "'s mass is the sum of rows " +
                     std::to_string(first_row) + "-" + std::to_string(last_row);
  text += by_centre ? ", and its centre is theirs"
                    : ", and its item code " + std::string(trim(code)) + " is theirs' above";
  text += ": a total counted twice? leave it out with --skip-rows " + std::to_string(total_row);
  sink_.warning(mass_cells_ + std::to_string(total_row), text);
}

std::string TotalRules::amount(double value) const {
  Decimal d = 0;
  std::string text;
  if (decimal_of(value, d)) {
    text = decimal_text(d);
  } else {
    std::array<char, 32> digits{};
    text.assign(digits.data(), std::to_chars(digits.data(), digits.data() + 32, value).ptr);
  }
  const std::string unit = in_kg_ ? std::string("kg") : unit_;
  return unit.empty() ? text : text + " " + unit;
}

void TotalRules::item(const Item& item) {
  if (count_ > 0 && item.in_kg != in_kg_) {
    mixed_ = true;
    restart();
  }
  in_kg_ = item.in_kg;
  Decimal d = 0;
  if (!(item.digits != nullptr ? decimal_of(*item.digits, d) : decimal_of(item.mass, d))) {
    restart();  // no exact sum runs across a mass that has no decimal form
    since_total_ += item.mass;
    all_ += item.mass;
    since_any_ = true;
    return;
  }
  // A running sum that has grown beyond any list's starts again: no sum ever overflows.
  constexpr Decimal kLargestSum =
      Decimal{1'000'000'000'000'000'000} * 1'000'000'000'000'000'000 * 10;
  if (sum_ > kLargestSum || sum_ < -kLargestSum) restart();
  const std::int64_t index = count_;
  // A total below the items it sums: some rows directly above sum to this one.
  if (d != 0) {
    const std::int64_t start = by_sum_.find(sum_ - d);
    if (start >= first_ - 1 && index - 1 - start >= 2) {
      const bool centre = same_centre(start + 1, index - 1, item.mass, item);
      if (centre || codes_below(start + 1, index - 1, item.code)) {
        warn(item.row, at(start + 1).row, at(index - 1).row, centre, item.code);
        return;  // left out of the sums: rows above are not summed twice
      }
    }
  }
  since_total_ += item.mass;
  all_ += item.mass;
  since_any_ = true;
  const Decimal sum = sum_ + d;
  // A total above the items it sums: the rows below some row have just reached its mass.
  if (const std::int64_t g = by_target_.find(sum); g >= first_ && index - g >= 2) {
    Kept& group = ring_[static_cast<std::size_t>(g) % kWindow];
    if (group.candidate) {
      std::array<double, 3> moment{};
      for (std::int64_t k = g + 1; k < index; ++k) {
        for (std::size_t a = 0; a < 3; ++a) moment[a] += at(k).mass * at(k).point[a];
      }
      bool centre = group.mass != 0.0;
      for (std::size_t a = 0; a < 3 && centre; ++a) {
        const double c = (moment[a] + item.mass * item.point[a]) / group.mass;
        centre = std::fabs(c - group.point[a]) <= tolerance(group.point[a], group.decimals[a]);
      }
      bool codes = !trim(group.code_text()).empty() && code_below(group.code_text(), item.code);
      for (std::int64_t k = g + 1; codes && k < index; ++k)
        codes = code_below(group.code_text(), at(k).code_text());
      if (centre || codes) {
        group.candidate = false;
        warn(group.row, at(g + 1).row, item.row, centre, group.code_text());
      }
    }
  }
  // The row joins the window; the oldest leaves it when it is full.
  if (count_ >= static_cast<std::int64_t>(kWindow)) {
    first_ = index - static_cast<std::int64_t>(kWindow) + 1;
  }
  Kept& kept = ring_[static_cast<std::size_t>(index) % kWindow];
  kept.row = item.row;
  kept.sum = sum;
  kept.decimal = d;
  kept.mass = item.mass;
  kept.point = item.point;
  kept.decimals = item.decimals;
  kept.code_length = static_cast<std::uint8_t>(std::min(item.code.size(), kept.code.size()));
  std::copy_n(item.code.begin(), kept.code_length, kept.code.begin());
  kept.target = sum + d;
  kept.candidate = d != 0;
  by_sum_.set(sum, index);
  if (d != 0) by_target_.set(sum + d, index);
  sum_ = sum;
  ++count_;
  if (by_sum_.crowded() || by_target_.crowded()) rebuild();
}

// The indexes anew from the rows still in the window: those that left it leave them.
void TotalRules::rebuild() {
  by_sum_.clear();
  by_target_.clear();
  if (first_ == 0) by_sum_.set(0, -1);
  for (std::int64_t k = first_; k < count_; ++k) {
    const Kept& kept = at(k);
    if (k == first_) by_sum_.set(kept.sum - kept.decimal, k - 1);
    by_sum_.set(kept.sum, k);
    if (kept.candidate) by_target_.set(kept.target, k);
  }
}

void TotalRules::list_total(std::int64_t row, std::string_view mass_cell, double mass, bool in_kg) {
  if (mixed_ || (since_any_ && in_kg != in_kg_) || !std::isfinite(mass)) return;
  in_kg_ = in_kg;
  Decimal d = 0;
  int decimals = 0;
  if (decimal_of(mass, d) && d != 0) {
    int zeros = 0;
    for (Decimal rest = d; zeros < kScale && rest % 10 == 0; rest /= 10) ++zeros;
    decimals = kScale - zeros;
  }
  const double tol = tolerance(mass, decimals);
  const bool since = std::fabs(mass - since_total_) <= tol;
  const bool all = std::fabs(mass - all_) <= tol;
  const std::string where =
      "the list's own total in row " + std::to_string(row) + " (" + amount(mass) + ")";
  if (since || all) {
    sink_.note(where + " agrees with the sum of the rows " +
               (since ? std::string("above it") : std::string("of the whole list")));
  } else {
    const double difference = since_total_ - mass;
    sink_.warning(mass_cell, where + " differs from the sum of the rows above it, " +
                                 amount(since_total_) + " (" + amount(std::fabs(difference)) +
                                 (difference > 0 ? " more" : " less") +
                                 "): a row left out, or one counted twice?");
  }
  since_total_ = 0.0;
  since_any_ = false;
}

}  // namespace sheet::detail
