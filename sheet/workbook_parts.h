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
// kMaxCellBytes, all together at most kMaxStringBytes.
inline constexpr std::uint64_t kMaxStringBytes = std::uint64_t{512} << 20;
class SharedStrings {
 public:
  // Reads xl/sharedStrings.xml (a workbook without text has none); answers why not, or empty.
  std::string load(Zip& zip, std::string_view entry);
  std::size_t size() const { return ends_.size(); }
  std::string_view at(std::size_t n) const;
  bool cut(std::size_t n) const { return cut_[n]; }

  // Used while reading.
  void add(std::string_view text);
  void finish_string(bool cut);

 private:
  std::string bytes_;
  std::vector<std::size_t> ends_;
  std::vector<bool> cut_;
};

// Reads the named sheet (empty: the first) of a workbook; `unreadable` as for read_workbook.
std::string read_xlsx(Zip& zip, std::string_view sheet_name, const ColumnChoice& choice,
                      RowSink& sink, bool& unreadable);
std::string read_ods(Zip& zip, std::string_view sheet_name, const ColumnChoice& choice,
                     RowSink& sink, bool& unreadable);

}  // namespace sheet::detail
