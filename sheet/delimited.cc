// Delimited text tables as spreadsheet programs write them: cells separated by a comma, a
// semicolon or a tab; a cell in double quotes may hold the delimiter, line breaks and doubled
// quotes; records end with LF, CR LF or CR. Read in blocks, one cell buffer reused; UTF-16
// text with its byte-order mark is converted to UTF-8 as it is read.
#include <array>
#include <string>
#include <string_view>

#include "lineio/text_encoding.h"
#include "os/platform.h"
#include "sheet/cells.h"

namespace sheet::detail {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 16;

// A RowSink that only looks for the heading.
class HeadingProbe final : public RowSink {
 public:
  bool heading(const Heading& /*heading*/) override { return false; }
  void row(const Row& /*row*/) override {}
  void note(std::string_view /*text*/) override {}
};

bool blank_only(std::string_view text) {
  return text.find_first_not_of(" \t") == std::string_view::npos;
}

class Parser {
 public:
  Parser(char delimiter, CellSink& sink) : delimiter_(delimiter), sink_(sink) {}

  // Answers false when the sink stops the reading.
  bool feed(std::string_view bytes) {
    for (const char c : bytes) {
      if (!step(c)) return false;
    }
    return true;
  }
  bool end() {
    if (state_ == State::after_cr) return true;
    if (row_open_ || !cell_.empty() || state_ != State::start) return end_record();
    return true;
  }

 private:
  enum class State { start, plain, quoted, quote_in_quoted, after_cr };

  void add(char c) {
    if (cell_.size() < kMaxCellBytes) {
      cell_ += c;
    } else {
      cut_ = true;
    }
  }
  void open_row() {
    if (row_open_) return;
    row_open_ = true;
    ++record_;
    sink_.begin_row(record_, false);
  }
  void end_cell() {
    open_row();
    if (column_ < kMaxColumns && (quoted_cell_ ? !cell_.empty() : !blank_only(cell_))) {
      Cell cell;
      cell.column = column_;
      cell.kind = CellKind::text;
      cell.text = cell_;
      cell.cut = cut_;
      sink_.cell(cell);
    }
    if (column_ < kMaxColumns) ++column_;
    cell_.clear();
    cut_ = false;
    quoted_cell_ = false;
  }
  bool end_record() {
    end_cell();
    row_open_ = false;
    column_ = 0;
    state_ = State::start;
    return sink_.end_row();
  }
  bool step(char c) {
    switch (state_) {
      case State::after_cr:
        state_ = State::start;
        if (c == '\n') return true;
        [[fallthrough]];
      case State::start:
        if (c == '"') {
          open_row();
          quoted_cell_ = true;
          state_ = State::quoted;
          return true;
        }
        state_ = State::plain;
        [[fallthrough]];
      case State::plain:
        if (c == delimiter_) {
          end_cell();
          state_ = State::start;
        } else if (c == '\n' || c == '\r') {
          const bool go_on = end_record();
          if (c == '\r') state_ = State::after_cr;
          return go_on;
        } else {
          open_row();
          add(c);
        }
        return true;
      case State::quoted:
        if (c == '"') {
          state_ = State::quote_in_quoted;
        } else {
          add(c);
        }
        return true;
      case State::quote_in_quoted:
        if (c == '"') {  // a doubled quote stands for one
          add(c);
          state_ = State::quoted;
          return true;
        }
        // The closing quote; what follows up to the delimiter belongs to the cell.
        state_ = State::plain;
        return step(c);
    }
    return true;
  }

  char delimiter_;
  CellSink& sink_;
  State state_ = State::start;
  std::string cell_;
  bool cut_ = false;
  bool quoted_cell_ = false;
  bool row_open_ = false;
  std::uint32_t column_ = 0;
  std::int64_t record_ = 0;
};

}  // namespace

std::string read_delimited(Source& source, char delimiter, CellSink& sink) {
  Parser parser(delimiter, sink);
  std::array<char, kBlock> block{};
  // UTF-16 text (with its byte-order mark, as spreadsheet programs save "Unicode text") is
  // read as the UTF-8 it converts to.
  lineio::TextDecoder decoder;
  std::array<char, kBlock> converted{};
  std::int64_t offset = 0;
  for (;;) {
    const long n = source.read_at(offset, block);
    if (n == -os::kChangedWhileRead) {
      return "changed while it was read (another program may still be writing it); nothing of "
             "it is used";
    }
    if (n < 0) return "cannot be read to its end";
    std::string_view bytes(block.data(), static_cast<std::size_t>(n));
    if (offset == 0) {
      bytes.remove_prefix(decoder.start(bytes));
      if (decoder.failed()) return "is not UTF-8 text: " + decoder.problem();
    }
    offset += n;
    if (!decoder.converting()) {
      if (n == 0) break;
      if (!parser.feed(bytes)) return {};
      continue;
    }
    do {
      const std::size_t made = decoder.convert(bytes, converted, n == 0);
      if (decoder.failed()) {
        return "cannot be read: " + decoder.problem() + "; save it as UTF-8 text";
      }
      if (!parser.feed({converted.data(), made})) return {};
    } while (!bytes.empty());
    if (n == 0) break;
  }
  parser.end();
  return {};
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
