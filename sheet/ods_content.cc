// OpenDocument spreadsheets: content.xml streamed, the chosen table's rows handed on. Rows and
// cells repeated by count are handed on as often as they hold something (empty ones only move
// the row or column on), within the sheet's bounds.
#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "lineio/text_encoding.h"
#include "sheet/workbook_parts.h"
#include "sheet/xml.h"

namespace sheet::detail {
namespace {

constexpr std::int64_t kMaxOdsRows = std::int64_t{1} << 24;  // beyond any spreadsheet program
// Cells handed on in all, repeats included: a few repeated rows of repeated cells must not
// make a file of kilobytes into billions of cells.
constexpr std::int64_t kMaxOwnedCells = std::int64_t{1} << 27;
// The bytes of text and formulas that repeats make: in one row (held at once), and handed on
// in all.
constexpr std::int64_t kMaxRowBytes = std::int64_t{32} << 20;
constexpr std::int64_t kMaxHandedBytes = std::int64_t{1} << 30;

// A repeat count, at most `most` (a larger one, however large, is `most`); 1 when it is
// missing or no count.
std::int64_t repeat_of(const char** attributes, std::string_view name, std::int64_t most) {
  const std::string_view text = attribute(attributes, name);
  std::int64_t n = 1;
  if (text.empty()) return n;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec == std::errc::result_out_of_range && !text.starts_with('-')) return most;
  if (ec != std::errc() || n < 1) return 1;
  return std::min(n, most);
}

class ContentHandler final : public XmlHandler {
 public:
  explicit ContentHandler(SheetSearch& search) : search_(search) {}

  void start(std::string_view name, const char** attributes) override {
    if (name == "style") {
      style_ = attribute(attributes, "name");
      return;
    }
    if (name == "table-properties" && attribute(attributes, "display") == "false") {
      hidden_styles_.push_back(style_);
      return;
    }
    if (name == "table") {
      ++table_depth_;
      if (table_depth_ != 1) return;
      const std::string_view style = attribute(attributes, "style-name");
      const bool hidden = !style.empty() && std::find(hidden_styles_.begin(), hidden_styles_.end(),
                                                      style) != hidden_styles_.end();
      rows_ = search_.begin(std::string(attribute(attributes, "name")), hidden);
      in_chosen_ = rows_ != nullptr;
      row_ = 0;
      return;
    }
    if (!in_chosen_ || table_depth_ != 1) return;
    if (name == "table-row") {
      row_repeat_ = repeat_of(attributes, "number-rows-repeated", kMaxOdsRows + 1);
      const std::string_view visibility = attribute(attributes, "visibility");
      row_hidden_ = visibility == "collapse" || visibility == "filter";
      column_ = 0;
      row_bytes_ = 0;
      cells_.clear();
    } else if (name == "table-cell" || name == "covered-table-cell") {
      in_cell_ = true;
      cell_repeat_ = repeat_of(attributes, "number-columns-repeated", kMaxColumns + 1);
      cell_ = OwnedCell{};
      const std::string_view type = attribute(attributes, "value-type");
      // "of:=SUM([.C5:.C8])": the formula without its namespace and its equals sign.
      std::string_view formula = attribute(attributes, "formula");
      if (const std::size_t colon = formula.find(":=");
          colon != std::string_view::npos && colon < formula.find('(')) {
        formula.remove_prefix(colon + 1);
      }
      if (formula.starts_with("=")) formula.remove_prefix(1);
      cell_.formula = formula.substr(0, std::min(formula.size(), kMaxCellBytes));
      has_value_ = !type.empty();
      if (type == "float" || type == "percentage" || type == "currency") {
        const std::string_view value = attribute(attributes, "value");
        const auto [end, ec] =
            std::from_chars(value.data(), value.data() + value.size(), cell_.number);
        cell_.kind = ec == std::errc() && end == value.data() + value.size() ? CellKind::number
                                                                             : CellKind::text;
        cell_.text = value.substr(0, kMaxCellBytes);
        take_text_ = false;
      } else if (type == "boolean") {
        cell_.kind = CellKind::boolean;
        cell_.text = attribute(attributes, "boolean-value") == "true" ? "TRUE" : "FALSE";
        take_text_ = false;
      } else {
        cell_.kind = CellKind::text;  // a string, a date, a time: read by their text
        take_text_ = true;
      }
      paragraphs_ = 0;
      annotations_ = 0;
    } else if (in_cell_ && name == "annotation") {
      ++annotations_;  // a comment on the cell: shown beside it, never its value
    } else if (annotations_ > 0) {
      return;
    } else if (in_cell_ && name == "p") {
      if (take_text_ && paragraphs_++ > 0) add_text("\n");
    } else if (in_cell_ && name == "s" && take_text_) {
      const std::int64_t spaces = repeat_of(attributes, "c", 1024);
      add_text(std::string(static_cast<std::size_t>(spaces), ' '));
    } else if (in_cell_ && name == "tab" && take_text_) {
      add_text("\t");
    }
  }

  void end(std::string_view name) override {
    if (name == "table") {
      if (table_depth_ == 1 && in_chosen_) {
        in_chosen_ = false;
        search_.end();
        rows_ = nullptr;
        if (!search_.wants_more()) stop = true;
      }
      --table_depth_;
      return;
    }
    if (!in_chosen_ || table_depth_ != 1) return;
    if (in_cell_ && name == "annotation") {
      --annotations_;
    } else if ((name == "table-cell" || name == "covered-table-cell") && in_cell_) {
      in_cell_ = false;
      end_cell();
    } else if (name == "table-row") {
      end_row();
    }
  }

  void text(std::string_view text) override {
    if (in_cell_ && take_text_ && annotations_ == 0) add_text(text);
  }

 private:
  void add_text(std::string_view text) {
    const std::size_t room = kMaxCellBytes - std::min(cell_.text.size(), kMaxCellBytes);
    if (text.size() > room) cell_.cut = true;
    cell_.text.append(text.substr(0, room));
  }

  void end_cell() {
    const bool empty = !has_value_ && cell_.formula.empty() && cell_.text.empty();
    if (!empty && !has_value_) {
      // A formula without a saved result, or a text without its type.
      cell_.kind = cell_.formula.empty() ? CellKind::text : CellKind::no_value;
    }
    if (empty) {
      // Empty repeated cells only move on: no loop over a million of them.
      column_ = std::min<std::int64_t>(column_ + cell_repeat_, kMaxColumns);
      return;
    }
    if (column_ + cell_repeat_ > kMaxColumns) {
      fail("is damaged: its table repeats a cell beyond column XFD (in row " +
           std::to_string(row_ + 1) + ")");
      return;
    }
    const auto bytes = static_cast<std::int64_t>(cell_.text.size() + cell_.formula.size());
    row_bytes_ += bytes * cell_repeat_;  // at most 16384 cells of twice 32767 bytes
    if (row_bytes_ > kMaxRowBytes) {
      fail("holds a row (row " + std::to_string(row_ + 1) + ") of more than " +
           std::to_string(kMaxRowBytes >> 20) +
           " MiB of text with repeats; no weight list is so "
           "large");
      return;
    }
    for (std::int64_t k = 0; k < cell_repeat_; ++k) {
      cell_.column = static_cast<std::uint32_t>(column_);
      cells_.push_back(cell_);
      ++column_;
    }
  }

  void fail(std::string why) {
    failure = std::move(why);
    stop = true;
  }

  void end_row() {
    if (stop) return;
    if (cells_.empty()) {
      // Empty rows, however many, only move on (to the last row at most: a row that holds
      // something after that is refused below).
      row_ = std::min(row_ + row_repeat_, kMaxOdsRows);
      return;
    }
    if (row_ + row_repeat_ > kMaxOdsRows) {
      failure =
          "is damaged: its table repeats a row beyond " + std::to_string(kMaxOdsRows) + " rows";
      stop = true;
      return;
    }
    const auto cells = static_cast<std::int64_t>(cells_.size());
    if (row_repeat_ > (kMaxOwnedCells - handed_) / cells) {
      failure = "holds more than " + std::to_string(kMaxOwnedCells) +
                " cells with repeats; no weight list is so large";
      stop = true;
      return;
    }
    if (row_bytes_ > 0 && row_repeat_ > (kMaxHandedBytes - handed_bytes_) / row_bytes_) {
      fail("holds more than " + std::to_string(kMaxHandedBytes >> 20) +
           " MiB of text with repeats; no weight list is so large");
      return;
    }
    handed_ += row_repeat_ * cells;
    handed_bytes_ += row_repeat_ * row_bytes_;
    for (std::int64_t k = 0; k < row_repeat_; ++k) {
      ++row_;
      rows_->begin_row(row_, row_hidden_);
      for (const OwnedCell& c : cells_) {
        rows_->cell(c.view());
      }
      if (!rows_->end_row()) {
        // This table needs no more rows: the others are still looked at.
        in_chosen_ = false;
        search_.end();
        rows_ = nullptr;
        return;
      }
    }
  }

  SheetSearch& search_;
  TableRows* rows_ = nullptr;
  std::string style_;
  std::vector<std::string> hidden_styles_;
  int table_depth_ = 0;
  bool in_chosen_ = false;
  std::int64_t row_ = 0;
  std::int64_t handed_ = 0;        // cells handed on so far
  std::int64_t handed_bytes_ = 0;  // and their bytes of text and formulas
  std::int64_t row_bytes_ = 0;     // the current row's, repeats included
  std::int64_t row_repeat_ = 1;
  bool row_hidden_ = false;
  std::int64_t column_ = 0;
  std::vector<OwnedCell> cells_;
  bool in_cell_ = false;
  std::int64_t cell_repeat_ = 1;
  OwnedCell cell_;
  bool has_value_ = false;
  bool take_text_ = false;
  int paragraphs_ = 0;
  int annotations_ = 0;  // depth in the cell's comments
};

}  // namespace

std::string read_ods(Zip& zip, std::string_view sheet_name, const ColumnChoice& choice,
                     const RowRanges& skip, RowSink& sink, bool& unreadable) {
  unreadable = true;
  SheetSearch search(sheet_name, false, choice, &skip, sink);
  {
    ContentHandler handler(search);
    if (std::string why = parse_entry(zip, "content.xml", handler); !why.empty()) return why;
  }
  if (const std::string hidden = search.reread(); !hidden.empty()) {
    // Only a hidden table names the columns: read it by its name.
    SheetSearch again(hidden, false, choice, &skip, sink);
    ContentHandler handler(again);
    if (std::string why = parse_entry(zip, "content.xml", handler); !why.empty()) return why;
    unreadable = false;
    return again.finish();
  }
  unreadable = false;
  return search.finish();
}

}  // namespace sheet::detail
