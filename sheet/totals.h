// Internal to sheet/: totals in a table's rows. A row whose mass is the sum of the two or
// more item rows directly above or below it, to the digits the cells hold, and whose centre
// is theirs (or whose item code is their parent's: "2" over "2.1", "2.2"; "400" over "410",
// "420") is a total typed as a number: counted with its items, it counts them twice, and is
// warned of. The list's own total rows (a sum formula, or a mass under a total label) are
// compared with the rows they sum. Sums are exact decimals over a bounded window of rows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/cells.h"
#include "sheet/sheet.h"

namespace sheet::detail {

__extension__ using Decimal = __int128;  // a mass in units of 10^-18 of its unit

class TotalRules {
 public:
  // Rows farther apart than this are not summed into one total.
  static constexpr std::size_t kWindow = 4096;

  struct Item {
    std::int64_t row = 0;
    double mass = 0.0;  // in the row's unit; `in_kg` when converted to kilograms
    bool in_kg = false;
    const ParsedNumber* digits = nullptr;  // the mass's digits as written, where it has them
    std::array<double, 3> point{};
    std::array<int, 3> decimals{};  // decimals written of each coordinate
    std::string_view code;          // the item code, empty without one
  };

  // `unit`: the masses' unit as named ("kg"; empty for none); `mass_cells`: the start of
  // the mass cells' names ("Deck!C").
  TotalRules(RowSink& sink, std::string unit, std::string mass_cells);
  // An item row, in table order.
  void item(const Item& item);
  // A total row of the list's own: its mass as read (a sum formula's saved value, or the
  // mass beside a total label).
  void list_total(std::int64_t row, std::string_view mass_cell, double mass, bool in_kg);

 private:
  struct Kept {
    std::int64_t row = 0;
    Decimal sum = 0;      // of the window's items up to and with this one
    Decimal decimal = 0;  // its own mass
    double mass = 0.0;
    std::array<double, 3> point{};
    std::array<int, 3> decimals{};
    std::array<char, 32> code{};  // the item code's first 32 bytes
    std::uint8_t code_length = 0;
    std::string_view code_text() const { return {code.data(), code_length}; }
    Decimal target = 0;      // sum + mass: the sum at which the items below it equal it
    bool candidate = false;  // may still be found a total above its items
  };
  // Running sums and targets to the index of their row: open addressing in a fixed table,
  // entries of rows that left the window dropped by rebuilding the table from the window
  // now and then, so that a lookup is a few probes and nothing is allocated per row.
  class Index {
   public:
    static constexpr std::size_t kSize = 4 * kWindow;
    Index();
    void clear();
    std::int64_t find(Decimal key) const;  // -2 when absent
    void set(Decimal key, std::int64_t value);
    // Whether the table is full enough to be built anew from the window.
    bool crowded() const { return entries_ >= kSize / 2; }

   private:
    static std::uint64_t mixed(Decimal key);
    // One bit per hash for a quick "absent": most rows find no sum to match, and the filter
    // (32 KB) answers that without reading the table.
    static constexpr int kFilterLog = 18;
    static constexpr std::size_t kFilterBits = std::size_t{1} << kFilterLog;
    std::array<std::uint64_t, kFilterBits / 64> filter_{};
    // A slot's key, value and stamp side by side: a probe reads one cache line.
    struct Slot {
      Decimal key = 0;
      std::int64_t value = 0;
      std::uint32_t stamp = 0;  // the slot is used when it bears the current stamp
    };
    std::vector<Slot> slots_;
    std::uint32_t current_ = 1;
    std::size_t entries_ = 0;
  };

  void restart();
  void rebuild();
  const Kept& at(std::int64_t index) const {
    return ring_[static_cast<std::size_t>(index) % kWindow];
  }
  bool same_centre(std::int64_t first, std::int64_t last, double mass, const Item& item) const;
  bool codes_below(std::int64_t first, std::int64_t last, std::string_view parent) const;
  void warn(std::int64_t total_row, std::int64_t first_row, std::int64_t last_row, bool by_centre,
            std::string_view code);
  std::string amount(double value) const;

  RowSink& sink_;
  std::string unit_;  // the masses' unit as named ("kg", "t"); empty when none is
  std::vector<Kept> ring_;
  std::int64_t count_ = 0;  // items in the window since its start (their indexes)
  std::int64_t first_ = 0;  // the oldest index still in the window
  bool in_kg_ = false;
  Decimal sum_ = 0;
  Index by_sum_;     // sum -> latest index
  Index by_target_;  // target -> index
  std::string mass_cells_;
  // The list's own totals: the items since the last one, and all of them.
  double since_total_ = 0.0;
  double all_ = 0.0;
  bool since_any_ = false;
  bool mixed_ = false;
};

// A mass as an exact decimal at 10^-18, from its double's shortest digits rounded to 15
// significant ones (what a spreadsheet program shows); false when it has no such form.
bool decimal_of(double value, Decimal& decimal);
// The same from the digits as written.
bool decimal_of(const ParsedNumber& digits, Decimal& decimal);
// The item code `child` is below `parent`: "2.1" below "2", "410" below "400".
bool code_below(std::string_view parent, std::string_view child);

}  // namespace sheet::detail
