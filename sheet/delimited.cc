// Delimited text tables as spreadsheet programs write them: cells separated by a comma, a
// semicolon or a tab; a cell in double quotes may hold the delimiter, line breaks and doubled
// quotes; records end with LF, CR LF or CR. Read in blocks, a cell's bytes taken in runs into
// one buffer reused; UTF-16 text with its byte-order mark is converted to UTF-8 as it is read.
// A quote that is never closed is told at the row that opens it, and the reading goes on at
// the next line, as the rest of the file would otherwise be one cell.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "lineio/text_encoding.h"
#include "os/platform.h"
#include "sheet/cells.h"

namespace sheet::detail {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 16;

bool blank_only(std::string_view text) {
  return text.find_first_not_of(" \t") == std::string_view::npos;
}

// Where a quote was opened that the file never closes.
struct OpenQuote {
  bool open = false;
  std::int64_t at = 0;   // its byte in the file
  std::int64_t row = 0;  // the row it stands in
};

class Parser {
 public:
  Parser(char delimiter, CellSink& sink, std::int64_t record)
      : delimiter_(delimiter), sink_(sink), record_(record) {
    special_[static_cast<unsigned char>(delimiter)] = true;
    special_['\n'] = true;
    special_['\r'] = true;
  }

  // The next bytes of the file, from byte `base`. Answers false when the sink stops the
  // reading.
  bool feed(std::string_view bytes, std::int64_t base) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end) {
      switch (state_) {
        case State::after_cr:
          state_ = State::start;
          if (*p == '\n') {
            ++p;
            continue;
          }
          [[fallthrough]];
        case State::start:
          if (*p == '"') {
            open_row();
            quoted_cell_ = true;
            quote_ = {true, base + (p - bytes.data()), record_};
            state_ = State::quoted;
            ++p;
            continue;
          }
          state_ = State::plain;
          [[fallthrough]];
        case State::plain: {
          const char* run = p;
          while (p < end && !special_[static_cast<unsigned char>(*p)]) ++p;
          if (p == end) {
            // The cell goes on in the next block: its bytes so far are kept.
            if (p > run) {
              open_row();
              add(run, p);
            }
            continue;
          }
          // A cell that lies wholly in this block is handed on where it lies.
          std::string_view text(run, static_cast<std::size_t>(p - run));
          if (!cell_.empty() || quoted_cell_) {
            add(run, p);
            text = cell_;
          } else if (text.size() > kMaxCellBytes) {
            text = text.substr(0, kMaxCellBytes);
            cut_ = true;
          }
          const char c = *p++;
          if (c == delimiter_) {
            end_cell(text);
            state_ = State::start;
          } else {
            end_cell(text);
            const bool go_on = end_row();
            if (c == '\r') state_ = State::after_cr;
            if (!go_on) return false;
          }
          continue;
        }
        case State::quoted: {
          const char* run = p;
          while (p < end && *p != '"') ++p;
          add(run, p);
          if (p < end) {
            state_ = State::quote_in_quoted;
            ++p;
          }
          continue;
        }
        case State::quote_in_quoted:
          if (*p == '"') {  // a doubled quote stands for one
            add(p, p + 1);
            state_ = State::quoted;
            ++p;
            continue;
          }
          // The closing quote; what follows up to the delimiter belongs to the cell.
          quote_.open = false;
          state_ = State::plain;
          continue;
      }
    }
    return true;
  }

  // The end of the file; answers the quote that was never closed, if one was.
  OpenQuote end() {
    if (state_ == State::quoted) {
      unclosed_ = true;
      end_record();
      return quote_;
    }
    if (state_ != State::after_cr && (row_open_ || !cell_.empty() || state_ != State::start)) {
      end_record();
    }
    return {};
  }

 private:
  enum class State { start, plain, quoted, quote_in_quoted, after_cr };

  void add(const char* from, const char* to) {
    const auto n = static_cast<std::size_t>(to - from);
    const std::size_t room = kMaxCellBytes - std::min(cell_.size(), kMaxCellBytes);
    if (n > room) cut_ = true;
    cell_.append(from, std::min(n, room));
  }
  void open_row() {
    if (row_open_) return;
    row_open_ = true;
    ++record_;
    sink_.begin_row(record_, false);
  }
  void end_cell(std::string_view text) {
    open_row();
    const bool blank =
        text.empty() || ((text.front() == ' ' || text.front() == '\t') && blank_only(text));
    if (column_ < kMaxColumns && (unclosed_ || (quoted_cell_ ? !text.empty() : !blank))) {
      Cell cell;
      cell.column = column_;
      cell.kind = CellKind::text;
      cell.text = text;
      cell.cut = cut_;
      cell.unclosed = unclosed_;
      sink_.cell(cell);
    }
    if (column_ < kMaxColumns) ++column_;
    if (!cell_.empty()) cell_.clear();
    cut_ = false;
    quoted_cell_ = false;
  }
  bool end_row() {
    row_open_ = false;
    column_ = 0;
    state_ = State::start;
    return sink_.end_row();
  }
  bool end_record() {
    end_cell(cell_);
    return end_row();
  }

  char delimiter_;
  std::array<bool, 256> special_{};  // the delimiter and the line ends
  CellSink& sink_;
  State state_ = State::start;
  std::string cell_;
  bool cut_ = false;
  bool quoted_cell_ = false;
  bool unclosed_ = false;
  bool row_open_ = false;
  std::uint32_t column_ = 0;
  std::int64_t record_ = 0;
  OpenQuote quote_;
};

// The byte after the line break that follows byte `at`; -1 when the file ends first.
std::int64_t next_line(Source& source, std::int64_t at) {
  std::array<char, 4096> block{};
  for (std::int64_t offset = at + 1;;) {
    const long n = source.read_at(offset, block);
    if (n <= 0) return -1;
    for (long k = 0; k < n; ++k) {
      if (block[static_cast<std::size_t>(k)] == '\n') return offset + k + 1;
      if (block[static_cast<std::size_t>(k)] == '\r') {
        std::array<char, 1> after{};
        const bool lf = source.read_at(offset + k + 1, after) == 1 && after[0] == '\n';
        return offset + k + 1 + (lf ? 1 : 0);
      }
    }
    offset += n;
  }
}

// Reads the file from byte `from`, rows numbered after `record`; answers why it cannot be
// read, and where a quote was left open.
std::string read_from(Source& source, char delimiter, CellSink& sink, std::int64_t from,
                      std::int64_t record, OpenQuote& open) {
  Parser parser(delimiter, sink, record);
  std::array<char, kBlock> block{};
  // UTF-16 text (with its byte-order mark, as spreadsheet programs save "Unicode text") is
  // read as the UTF-8 it converts to.
  lineio::TextDecoder decoder;
  std::array<char, kBlock> converted{};
  std::int64_t offset = from;
  for (;;) {
    const long n = source.read_at(offset, block);
    if (n == -os::kChangedWhileRead) {
      return "changed while it was read (another program may still be writing it); nothing of "
             "it is used";
    }
    if (n < 0) return "cannot be read to its end";
    std::string_view bytes(block.data(), static_cast<std::size_t>(n));
    std::int64_t base = offset;
    if (offset == 0) {
      const std::size_t mark = decoder.start(bytes);
      bytes.remove_prefix(mark);
      base = static_cast<std::int64_t>(mark);
      if (decoder.failed()) return "is not UTF-8 text: " + decoder.problem();
    }
    offset += n;
    if (!decoder.converting()) {
      if (n == 0) break;
      if (!parser.feed(bytes, base)) return {};
      continue;
    }
    do {
      const std::size_t made = decoder.convert(bytes, converted, n == 0);
      if (decoder.failed()) {
        return "cannot be read: " + decoder.problem() + "; save it as UTF-8 text";
      }
      // The converted text's bytes are not the file's: a quote left open in it ends the
      // reading at its row.
      if (!parser.feed({converted.data(), made}, 0)) return {};
    } while (!bytes.empty());
    if (n == 0) break;
  }
  open = parser.end();
  if (decoder.converting()) open.open = false;
  return {};
}

}  // namespace

std::string read_delimited(Source& source, char delimiter, CellSink& sink) {
  std::int64_t from = 0;
  std::int64_t record = 0;
  for (;;) {
    OpenQuote open;
    if (std::string why = read_from(source, delimiter, sink, from, record, open); !why.empty()) {
      return why;
    }
    if (!open.open) return {};
    // The row that opened the quote is told as such; the rows after it are read as they
    // stand.
    from = next_line(source, open.at);
    if (from < 0) return {};
    record = open.row;
  }
}

namespace {

// An item of a text list's line that the reader may take for a number or an expression
// ("1.5", "-2E3", "2*3", "PI/2", "SIN(0.5)").
bool number_like(std::string_view item) {
  bool digit = false;
  for (const char c : item) {
    if (c >= '0' && c <= '9') {
      digit = true;
      continue;
    }
    if (std::string_view(".+-*/()eEpPiIsSnNcCoO").find(c) == std::string_view::npos) return false;
  }
  return digit || item == "PI" || item == "pi";
}

// Whether a line reads as a weight line of a text list: a comment, or four numbers first,
// between blanks, tabs or single commas.
bool weight_line(std::string_view line) {
  if (line.starts_with("'")) return true;
  line = line.substr(0, line.find('!'));
  std::size_t numbers = 0;
  while (numbers < 4) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    line.remove_prefix(start);
    if (line.front() == ',') line.remove_prefix(1);
    const std::size_t end = std::min(line.find_first_of(" \t,"), line.size());
    if (end == 0 || !number_like(line.substr(0, end))) return false;
    ++numbers;
    line.remove_prefix(end);
  }
  return numbers == 4;
}

// Counts, for the first rows, the cells that hold numbers, by column.
class NumberCount final : public CellSink {
 public:
  explicit NumberCount(char decimal) : decimal_(decimal) {}
  void begin_row(std::int64_t /*row*/, bool /*hidden*/) override { in_row_ = 0; }
  void cell(const Cell& cell) override {
    double value = 0.0;
    if (!number_of_text(cell.text, decimal_, value)) return;
    ++in_row_;
    if (cell.column >= by_column.size()) by_column.resize(std::size_t{cell.column} + 1);
    ++by_column[cell.column];
  }
  bool end_row() override {
    ++rows;
    if (in_row_ >= 4) ++full_rows;
    return rows < kHeadingSearchRows;
  }
  std::vector<std::int64_t> by_column;
  std::int64_t rows = 0;
  std::int64_t full_rows = 0;

 private:
  char decimal_;
  std::int64_t in_row_ = 0;
};

}  // namespace

std::string no_heading_reason(Source& source, const ColumnChoice& choice) {
  // A line that reads as a weight line makes the file the text list it always was.
  std::array<char, kBlock> block{};
  const long n = source.read_at(0, block);
  if (n <= 0) return {};
  std::string_view text(block.data(), static_cast<std::size_t>(n));
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  for (std::int64_t lines = 0; !text.empty() && lines < kHeadingSearchRows;) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (blank_only(line)) continue;
    ++lines;
    if (weight_line(line)) return {};
  }
  // A row that names some of the columns: the refusal names it and what to give.
  std::string closest;
  std::size_t roles = 1;
  for (const char delimiter : {'\t', ';', ','}) {
    HeadingProbe probe;
    TableRows rows(probe, choice, std::string(), delimiter == ',' ? '.' : ',');
    if (!read_delimited(source, delimiter, rows).empty()) return {};
    if (rows.closest_roles() > roles) {
      roles = rows.closest_roles();
      closest = rows.finish();
    }
  }
  if (!closest.empty()) return closest;
  // Rows of numbers only: the columns that hold them.
  NumberCount best(',');
  for (const char delimiter : {'\t', ';', ','}) {
    NumberCount count(delimiter == ',' ? '.' : ',');
    if (!read_delimited(source, delimiter, count).empty()) return {};
    if (count.full_rows > best.full_rows) best = count;
  }
  if (best.full_rows == 0 || 2 * best.full_rows < best.rows) return {};
  std::vector<std::uint32_t> columns;
  for (std::uint32_t c = 0; c < best.by_column.size() && columns.size() < 4; ++c) {
    if (2 * best.by_column[c] >= best.rows) columns.push_back(c);
  }
  if (columns.size() < 4) return {};
  const bool together = columns[3] == columns[0] + 3;
  std::string where =
      together ? "columns " + column_letters(columns[0]) + "-" + column_letters(columns[3])
               : "columns " + column_letters(columns[0]) + ", " + column_letters(columns[1]) +
                     ", " + column_letters(columns[2]) + " and " + column_letters(columns[3]);
  return "has no heading row, and its lines are no weight lines; its rows hold numbers in " +
         where + ": name them with --columns mass=" + column_letters(columns[0]) +
         ",x=" + column_letters(columns[1]) + ",y=" + column_letters(columns[2]) +
         ",z=" + column_letters(columns[3]) + ", and the mass unit with -u";
}

char find_delimiter(Source& source, std::string_view /*name*/, const ColumnChoice& choice,
                    std::string& why) {
  for (const char delimiter : {'\t', ';', ','}) {
    HeadingProbe probe;
    TableRows rows(probe, choice, std::string(), delimiter == ',' ? '.' : ',');
    why = read_delimited(source, delimiter, rows);
    if (!why.empty()) return 0;
    if (rows.heading_decided()) return delimiter;
  }
  return 0;
}

}  // namespace sheet::detail
