// Internal to sheet/: the parts of the two workbook forms, each read from its container.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/cells.h"
#include "sheet/zip.h"

namespace sheet::detail {

// The shared strings of an Office Open XML workbook, kept in one buffer: each cut at
// kMaxCellBytes; their texts and their index (kIndexBytes a string) together at most
// kMaxStringBytes, and at most kMaxSharedStrings strings (more than the text cells of any
// weight list), so that even empty strings cannot make a small file cost much.
inline constexpr std::uint64_t kMaxStringBytes = std::uint64_t{512} << 20;
inline constexpr std::uint64_t kMaxSharedStrings = std::uint64_t{1} << 24;
class SharedStrings {
 public:
  static constexpr std::uint64_t kIndexBytes = sizeof(std::uint32_t);
  // Reads xl/sharedStrings.xml (a workbook without text has none); answers why not, or empty.
  std::string load(Zip& zip, std::string_view entry);
  std::size_t size() const { return ends_.size(); }
  std::string_view at(std::size_t n) const;
  bool cut(std::size_t n) const { return (ends_[n] & kCut) != 0; }

  // Used while reading.
  void add(std::string_view text);
  void finish_string(bool cut);

 private:
  static constexpr std::uint32_t kCut = std::uint32_t{1} << 31;  // beside an end in ends_
  static_assert(kMaxStringBytes < kCut);
  std::string bytes_;
  std::vector<std::uint32_t> ends_;  // each string's end in bytes_, and kCut when it was cut
};

// The choice of the sheet to read: the one named, or else the first, in workbook order with
// hidden sheets last, whose rows name the columns. The reader hands in each sheet as the
// workbook keeps them: begin() answers the rows to feed its cells to (nullptr: pass it over),
// end() follows its last cell.
class SheetSearch {
 public:
  // `hidden_come_last`: the reader hands in the hidden sheets after all the visible ones.
  SheetSearch(std::string_view wanted, bool hidden_come_last, const ColumnChoice& choice,
              const RowRanges* skip, RowSink& sink);
  TableRows* begin(const std::string& name, bool hidden);
  void end();
  // A hidden sheet that names the columns where no visible one does, handed in before the
  // reader knew: it is to be read again by its name. Empty when none is.
  std::string reread() const;
  // Answers why no sheet could be read, empty when one was; names the other sheets that name
  // the columns.
  std::string finish();
  // Whether later sheets matter: not once the sheet asked for by name was read.
  bool wants_more() const { return wanted_.empty() || !chosen_; }

 private:
  std::string_view wanted_;
  bool hidden_come_last_;
  const ColumnChoice& choice_;
  const RowRanges* skip_;
  RowSink& sink_;
  std::vector<std::string> names_;
  std::unique_ptr<TableRows> current_;
  std::string current_name_;
  bool current_hidden_ = false;
  bool current_real_ = false;
  std::unique_ptr<TableRows> chosen_;
  std::string chosen_name_;
  std::size_t visible_others_ = 0;
  std::unique_ptr<TableRows> single_;
  std::vector<std::string> others_;
  std::string probed_hidden_;
  std::string closest_;
  std::string closest_sheet_;
  std::string suggestion_;
  std::size_t closest_roles_ = 0;
};

// Reads the named sheet (empty: the first) of a workbook; `unreadable` as for read_workbook.
std::string read_xlsx(Zip& zip, std::string_view sheet_name, const ColumnChoice& choice,
                      const RowRanges& skip, RowSink& sink, bool& unreadable);
std::string read_ods(Zip& zip, std::string_view sheet_name, const ColumnChoice& choice,
                     const RowRanges& skip, RowSink& sink, bool& unreadable);

}  // namespace sheet::detail
