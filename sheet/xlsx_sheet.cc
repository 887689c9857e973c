// Office Open XML workbooks: the sheets the workbook lists and where each is kept, the shared
// strings, and the chosen sheet streamed row by row into the table's rows. A cell's value is
// taken as stored: a number as its binary double, a formula as its saved result.
#include <charconv>
#include <string>
#include <vector>

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

class SheetHandler final : public XmlHandler {
 public:
  SheetHandler(TableRows& rows, const SharedStrings& strings) : rows_(rows), strings_(strings) {}

  void start(std::string_view name, const char** attributes) override {
    if (name == "row") {
      std::int64_t number = row_ + 1;
      const std::string_view r = attribute(attributes, "r");
      if (!r.empty()) {
        const auto [end, ec] = std::from_chars(r.data(), r.data() + r.size(), number);
        if (ec != std::errc() || number < 1 || number > kMaxRows) {
          fail("a row numbered \"" + std::string(r.substr(0, 20)) + "\"");
          return;
        }
      }
      row_ = number;
      column_ = -1;
      const std::string_view hidden = attribute(attributes, "hidden");
      rows_.begin_row(row_, hidden == "1" || hidden == "true");
      in_row_ = true;
    } else if (name == "c" && in_row_) {
      in_cell_ = true;
      type_ = attribute(attributes, "t");
      value_.clear();
      formula_.clear();
      inline_.clear();
      cut_ = false;
      has_formula_ = false;
      has_value_ = false;
      const std::string_view r = attribute(attributes, "r");
      std::size_t letters = 0;
      while (letters < r.size() && ((r[letters] >= 'A' && r[letters] <= 'Z') ||
                                    (r[letters] >= 'a' && r[letters] <= 'z'))) {
        ++letters;
      }
      std::uint32_t column = 0;
      if (letters > 0) {
        column_ = column_of_letters(r.substr(0, letters), column) ? column : kMaxColumns;
      } else {
        column_ = column_ + 1;
      }
    } else if (in_cell_ && name == "v") {
      in_value_ = true;
      has_value_ = true;
    } else if (in_cell_ && name == "f") {
      in_formula_ = true;
      has_formula_ = true;
    } else if (in_cell_ && name == "rPh") {
      ++phonetic_;
    } else if (in_cell_ && name == "t" && phonetic_ == 0) {
      in_inline_ = true;
      has_value_ = true;
    }
  }

  void end(std::string_view name) override {
    if (name == "v") {
      in_value_ = false;
    } else if (name == "f") {
      in_formula_ = false;
    } else if (name == "t") {
      in_inline_ = false;
    } else if (name == "rPh") {
      --phonetic_;
    } else if (name == "c" && in_cell_) {
      in_cell_ = false;
      deliver();
    } else if (name == "row" && in_row_) {
      in_row_ = false;
      if (!rows_.end_row()) stop = true;
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
    failure = "is damaged: its sheet holds " + what;
    stop = true;
  }

  void deliver() {
    if (column_ < 0 || column_ >= static_cast<std::int64_t>(kMaxColumns)) return;
    Cell cell;
    cell.column = static_cast<std::uint32_t>(column_);
    cell.formula = formula_;
    if (!has_value_ || (value_.empty() && type_ != "inlineStr" && type_ != "str")) {
      if (!has_formula_) return;  // an empty cell with a style only
      cell.kind = CellKind::no_value;
      rows_.cell(cell);
      return;
    }
    if (type_ == "s") {
      std::uint64_t index = 0;
      const auto [end, ec] = std::from_chars(value_.data(), value_.data() + value_.size(), index);
      if (ec != std::errc() || end != value_.data() + value_.size() || index >= strings_.size()) {
        fail("a reference to shared string " + value_.substr(0, 20) + " of " +
             std::to_string(strings_.size()));
        return;
      }
      cell.kind = CellKind::text;
      cell.text = strings_.at(index);
      cell.cut = strings_.cut(index);
    } else if (type_ == "inlineStr") {
      cell.kind = CellKind::text;
      cell.text = inline_;
      cell.cut = cut_;
    } else if (type_ == "str") {
      cell.kind = CellKind::text;
      cell.text = value_;
      cell.cut = cut_;
    } else if (type_ == "e") {
      cell.kind = CellKind::error;
      cell.text = value_;
    } else if (type_ == "b") {
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
  std::int64_t row_ = 0;
  std::int64_t column_ = -1;
  bool in_row_ = false;
  bool in_cell_ = false;
  bool in_value_ = false;
  bool in_formula_ = false;
  bool in_inline_ = false;
  int phonetic_ = 0;
  bool has_formula_ = false;
  bool has_value_ = false;
  bool cut_ = false;
  std::string type_;
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
  if (sheet.target.empty()) return "is damaged: the sheet \"" + sheet.name + "\" is missing";
  SheetHandler handler(rows, strings);
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
