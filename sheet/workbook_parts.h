// Internal to sheet/: the parts of the two workbook forms, each read from its container.
#pragma once

#include <cstdint>
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

// Reads the named sheet (empty: the first) of a workbook; `unreadable` as for read_workbook.
std::string read_xlsx(Zip& zip, std::string_view sheet_name, const ColumnChoice& choice,
                      RowSink& sink, bool& unreadable);
std::string read_ods(Zip& zip, std::string_view sheet_name, const ColumnChoice& choice,
                     RowSink& sink, bool& unreadable);

}  // namespace sheet::detail
