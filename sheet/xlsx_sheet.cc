// Office Open XML workbooks: the sheets the workbook lists and where each is kept, the shared
// strings, and the chosen sheet streamed row by row into the table's rows. A cell's value is
// taken as stored: a number as its binary double, a formula as its saved result.
#include <charconv>
#include <string>
#include <vector>

#include "lineio/text_encoding.h"
#include "sheet/workbook_parts.h"
#include "sheet/xml.h"

namespace sheet::detail {
namespace {

struct SheetEntry {
  std::string name;
  std::string relation;
  std::string target;
  bool hidden = false;
};

class WorkbookHandler final : public XmlHandler {
 public:
  void start(std::string_view name, const char** attributes) override {
    if (name == "sheet") {
      const std::string_view state = attribute(attributes, "state");
      sheets.push_back({std::string(attribute(attributes, "name")),
                        std::string(attribute(attributes, "id")),
                        {},
                        state == "hidden" || state == "veryHidden"});
    }
  }
  void end(std::string_view /*name*/) override {}
  void text(std::string_view /*text*/) override {}
  std::vector<SheetEntry> sheets;
};

class RelationsHandler final : public XmlHandler {
 public:
  explicit RelationsHandler(std::vector<SheetEntry>& sheets) : sheets_(sheets) {}
  void start(std::string_view name, const char** attributes) override {
    if (name != "Relationship") return;
    const std::string_view id = attribute(attributes, "Id");
    for (SheetEntry& s : sheets_) {
      if (s.relation == id) s.target = attribute(attributes, "Target");
    }
  }
  void end(std::string_view /*name*/) override {}
  void text(std::string_view /*text*/) override {}

 private:
  std::vector<SheetEntry>& sheets_;
};

// Appends text to a cell's buffer up to kMaxCellBytes; answers whether any was cut.
bool append_bounded(std::string& buffer, std::string_view text) {
  const std::size_t room = kMaxCellBytes - std::min(buffer.size(), kMaxCellBytes);
  buffer.append(text.substr(0, room));
  return text.size() > room;
}

// Where a cell stands by its reference ("B14"): its column from 0 and its row; false for a
// reference a spreadsheet program never writes (no letters, a column beyond XFD, a row
// beyond kMaxSheetRows, anything after the digits).
bool cell_of_reference(std::string_view r, std::uint32_t& column, std::int64_t& row) {
  std::size_t letters = 0;
  while (letters < r.size() &&
         ((r[letters] >= 'A' && r[letters] <= 'Z') || (r[letters] >= 'a' && r[letters] <= 'z'))) {
    ++letters;
  }
  if (letters == 0 || !column_of_letters(r.substr(0, letters), column)) return false;
  // At most seven digits: the last row is 1048576.
  const std::string_view digits = r.substr(letters);
  if (digits.empty() || digits.size() > 7) return false;
  row = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    row = row * 10 + (c - '0');
  }
  return row >= 1 && row <= kMaxSheetRows;
}

// The types a cell of a workbook's sheet may have ("t"); a cell of another is damage.
enum class CellType { number, shared, text, inline_text, boolean, error, date, unknown };
CellType type_of(std::string_view t) {
  if (t.empty() || t == "n") return CellType::number;
  if (t == "s") return CellType::shared;
  if (t == "str") return CellType::text;
  if (t == "inlineStr") return CellType::inline_text;
  if (t == "b") return CellType::boolean;
  if (t == "e") return CellType::error;
  if (t == "d") return CellType::date;
  return CellType::unknown;
}

// The sheet's cells as a spreadsheet program shows them: rows only in the sheet's data, in
// rising order, cells only in their row, in rising columns, one value each. Anything else
// (a cell a program would show elsewhere, or not at all) is damage: no mass is ever taken
// from a cell that is not where its reference puts it.
class SheetHandler final : public XmlHandler {
 public:
  SheetHandler(TableRows& rows, const SharedStrings& strings, std::string_view sheet)
      : rows_(rows), strings_(strings), sheet_(sheet) {}

  void start(std::string_view name, const char** attributes) override {
    ++depth_;
    if (name == "sheetData" && depth_ == 2 && data_depth_ == 0) {
      data_depth_ = depth_;
    } else if (name == "row") {
      start_row(attributes);
    } else if (name == "c") {
      start_cell(attributes);
    } else if (in_cell_ && depth_ == cell_depth_ + 1 && (name == "v" || name == "is")) {
      if (has_value_) {
        fail("the cell " + cell_name() + " with two values");
        return;
      }
      has_value_ = true;
      in_value_ = name == "v";
      inline_depth_ = name == "is" ? depth_ : 0;
    } else if (in_cell_ && depth_ == cell_depth_ + 1 && name == "f") {
      if (has_formula_) {
        fail("the cell " + cell_name() + " with two formulas");
        return;
      }
      in_formula_ = true;
      has_formula_ = true;
    } else if (inline_depth_ != 0 && name == "t" &&
               (depth_ == inline_depth_ + 1 || (depth_ == inline_depth_ + 2 && in_run_))) {
      in_inline_ = true;
    } else if (inline_depth_ != 0 && name == "r" && depth_ == inline_depth_ + 1) {
      in_run_ = true;  // a run of formatted text; its <t> is part of the cell's text
    }
  }

  void end(std::string_view name) override {
    const int depth = depth_--;
    if (name == "v") {
      in_value_ = false;
    } else if (name == "f") {
      in_formula_ = false;
    } else if (name == "t") {
      in_inline_ = false;
    } else if (name == "r") {
      in_run_ = false;
    } else if (name == "is" && depth == inline_depth_) {
      inline_depth_ = 0;
    } else if (name == "c" && in_cell_ && depth == cell_depth_) {
      in_cell_ = false;
      deliver();
    } else if (name == "row" && in_row_ && depth == row_depth_) {
      in_row_ = false;
      if (!rows_.end_row()) stop = true;
    } else if (name == "sheetData" && depth == data_depth_) {
      data_depth_ = -1;  // one sheet data; rows after it are in no place
    }
  }

  void text(std::string_view text) override {
    if (in_value_) {
      cut_ = append_bounded(value_, text) || cut_;
    } else if (in_formula_) {
      append_bounded(formula_, text);
    } else if (in_inline_) {
      cut_ = append_bounded(inline_, text) || cut_;
    }
  }

 private:
  void fail(const std::string& what) {
    failure = "is damaged: its sheet \"" + lineio::escape_controls(sheet_) + "\" holds " + what +
              "; no spreadsheet program shows it so";
    stop = true;
  }

  std::string cell_name() const {
    return column_reference(sheet_, static_cast<std::uint32_t>(column_)) + std::to_string(row_);
  }

  void start_row(const char** attributes) {
    const std::string_view r = attribute(attributes, "r");
    if (data_depth_ <= 0 || depth_ != data_depth_ + 1) {
      fail("a row" + (r.empty() ? "" : " " + quoted(r)) + " outside its sheet data");
      return;
    }
    std::int64_t number = row_ + 1;
    if (!r.empty()) {
      const auto [end, ec] = std::from_chars(r.data(), r.data() + r.size(), number);
      if (ec != std::errc() || end != r.data() + r.size() || number < 1 || number > kMaxSheetRows) {
        fail("a row numbered " + quoted(r) + " (rows end at " + std::to_string(kMaxSheetRows) +
             ")");
        return;
      }
    }
    if (number <= row_) {
      fail("row " + std::to_string(number) + " after row " + std::to_string(row_) +
           " (rows out of order, or one row twice)");
      return;
    }
    row_ = number;
    row_depth_ = depth_;
    column_ = -1;
    const std::string_view hidden = attribute(attributes, "hidden");
    rows_.begin_row(row_, hidden == "1" || hidden == "true");
    in_row_ = true;
  }

  void start_cell(const char** attributes) {
    const std::string_view r = attribute(attributes, "r");
    if (!in_row_ || depth_ != row_depth_ + 1) {
      fail("a cell" + (r.empty() ? "" : " " + quoted(r)) + " outside a row of its data");
      return;
    }
    std::int64_t column = column_ + 1;
    if (!r.empty()) {
      std::uint32_t letters_column = 0;
      std::int64_t row = 0;
      if (!cell_of_reference(r, letters_column, row)) {
        fail("a cell " + quoted(r) + " in row " + std::to_string(row_) +
             " (columns end at XFD, rows at " + std::to_string(kMaxSheetRows) + ")");
        return;
      }
      if (row != row_) {
        fail("the cell " + quoted(r) + " inside row " + std::to_string(row_));
        return;
      }
      column = letters_column;
    }
    if (column <= column_ || column >= static_cast<std::int64_t>(kMaxColumns)) {
      fail("the cell " +
           (r.empty() ? quoted(column_letters(static_cast<std::uint32_t>(
                                   std::min<std::int64_t>(column, kMaxColumns - 1))) +
                               std::to_string(row_))
                      : quoted(r)) +
           " out of column order in row " + std::to_string(row_));
      return;
    }
    column_ = column;
    const std::string_view type = attribute(attributes, "t");
    type_ = type_of(type);
    if (type_ == CellType::unknown) {
      fail("the cell " + cell_name() + " of an unknown type " + quoted(type));
      return;
    }
    in_cell_ = true;
    cell_depth_ = depth_;
    value_.clear();
    formula_.clear();
    inline_.clear();
    cut_ = false;
    has_formula_ = false;
    has_value_ = false;
  }

  static std::string quoted(std::string_view text) {
    return "\"" + lineio::escape_controls(text.substr(0, std::min<std::size_t>(text.size(), 24))) +
           (text.size() > 24 ? "...\"" : "\"");
  }

  void deliver() {
    Cell cell;
    cell.column = static_cast<std::uint32_t>(column_);
    cell.formula = formula_;
    if (!has_value_ ||
        (value_.empty() && type_ != CellType::inline_text && type_ != CellType::text)) {
      if (!has_formula_) return;  // an empty cell with a style only
      cell.kind = CellKind::no_value;
      rows_.cell(cell);
      return;
    }
    if (type_ == CellType::shared) {
      std::uint64_t index = 0;
      const auto [end, ec] = std::from_chars(value_.data(), value_.data() + value_.size(), index);
      if (ec != std::errc() || end != value_.data() + value_.size() || index >= strings_.size()) {
        failure = "is damaged: its sheet holds a reference to shared string " +
                  lineio::escape_controls(value_.substr(0, 20)) + " of " +
                  std::to_string(strings_.size());
        stop = true;
        return;
      }
      cell.kind = CellKind::text;
      cell.text = strings_.at(index);
      cell.cut = strings_.cut(index);
    } else if (type_ == CellType::inline_text) {
      cell.kind = CellKind::text;
      cell.text = inline_;
      cell.cut = cut_;
    } else if (type_ == CellType::text) {
      cell.kind = CellKind::text;
      cell.text = value_;
      cell.cut = cut_;
    } else if (type_ == CellType::error) {
      cell.kind = CellKind::error;
      cell.text = value_;
    } else if (type_ == CellType::boolean) {
      cell.kind = CellKind::boolean;
      cell.text = value_ == "1" ? "TRUE" : "FALSE";
    } else {
      cell.text = value_;
      const auto [end, ec] =
          std::from_chars(value_.data(), value_.data() + value_.size(), cell.number);
      cell.kind = ec == std::errc() && end == value_.data() + value_.size() ? CellKind::number
                                                                            : CellKind::text;
    }
    rows_.cell(cell);
  }

  TableRows& rows_;
  const SharedStrings& strings_;
  std::string sheet_;
  int depth_ = 0;
  int data_depth_ = 0;  // the depth of <sheetData>; 0 before it, -1 after it
  int row_depth_ = 0;
  int cell_depth_ = 0;
  int inline_depth_ = 0;  // the depth of the cell's <is>, 0 outside it
  std::int64_t row_ = 0;
  std::int64_t column_ = -1;
  bool in_row_ = false;
  bool in_cell_ = false;
  bool in_value_ = false;
  bool in_formula_ = false;
  bool in_inline_ = false;
  bool in_run_ = false;
  bool has_formula_ = false;
  bool has_value_ = false;
  bool cut_ = false;
  CellType type_ = CellType::number;
  std::string value_;
  std::string formula_;
  std::string inline_;
};

// Where a relation's target lies in the container: beside the workbook unless it starts
// from the root.
std::string entry_of(std::string_view target) {
  if (target.starts_with("/")) return std::string(target.substr(1));
  return "xl/" + std::string(target);
}

}  // namespace

// Reads one sheet into a table's rows; answers why its entry cannot be read, or empty.
std::string read_sheet(Zip& zip, const SheetEntry& sheet, const SharedStrings& strings,
                       TableRows& rows) {
  if (sheet.target.empty()) {
    return "is damaged: the sheet \"" + lineio::escape_controls(sheet.name) + "\" is missing";
  }
  SheetHandler handler(rows, strings, sheet.name);
  return parse_entry(zip, entry_of(sheet.target), handler);
}

std::string read_xlsx(Zip& zip, std::string_view sheet_name, const ColumnChoice& choice,
                      const RowRanges& skip, RowSink& sink, bool& unreadable) {
  unreadable = true;
  WorkbookHandler workbook;
  if (std::string why = parse_entry(zip, "xl/workbook.xml", workbook); !why.empty()) return why;
  RelationsHandler relations(workbook.sheets);
  if (std::string why = parse_entry(zip, "xl/_rels/workbook.xml.rels", relations); !why.empty()) {
    return why;
  }
  if (workbook.sheets.empty()) {
    unreadable = false;
    return "is a workbook without sheets";
  }
  SharedStrings strings;
  if (std::string why = strings.load(zip, "xl/sharedStrings.xml"); !why.empty()) return why;
  // Visible sheets in order, then the hidden ones (a sheet asked for by name: all in order).
  std::vector<const SheetEntry*> order;
  for (const SheetEntry& s : workbook.sheets) {
    if (!s.hidden || !sheet_name.empty()) order.push_back(&s);
  }
  for (const SheetEntry& s : workbook.sheets) {
    if (s.hidden && sheet_name.empty()) order.push_back(&s);
  }
  SheetSearch search(sheet_name, true, choice, &skip, sink);
  for (const SheetEntry* sheet : order) {
    TableRows* rows = search.begin(sheet->name, sheet->hidden);
    if (rows == nullptr) continue;
    if (std::string why = read_sheet(zip, *sheet, strings, *rows); !why.empty()) return why;
    search.end();
  }
  unreadable = false;
  return search.finish();
}

}  // namespace sheet::detail
