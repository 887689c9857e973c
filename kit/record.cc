// The record reader: RDLINE fetches the next significant record into RAWLIN and builds the
// processed line PRCLIN that the field scanners work on; ECHOLN echoes records; TXTLIN
// serves records from the in-memory text.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string_view>

#include "kit/kit.h"
#include "kit/processed_line.h"
#include "kit/quick_record.h"
#include "kit/reader_access.h"
#include "lineio/lineio.h"

namespace kit {

namespace {

using namespace detail;

constexpr char kLineComment = '!';
constexpr char kLineFeed = '\n';
constexpr char kTextEnd = '\0';  // ends the usable text of an in-memory line
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

enum class ReadOutcome { kRecord, kEndOfFile, kError };

// What a record holds beyond NCHLIN is read into RAWTAIL through this.
lineio::RecordTail record_tail{RDSTATE.RAWTAIL};

// Keeps where the record's tail begins in ITAIL and its length in NTAIL.
void keep_tail(const lineio::RecordTail& tail) {
  ReaderState& s = RDSTATE;
  if (tail.first == std::string_view::npos) {
    s.ITAIL = 0;
    return;
  }
  s.ITAIL = static_cast<std::int64_t>(tail.first) + 1;
  s.NTAIL = static_cast<std::int32_t>(tail.length);
}

// The current line of the in-memory text beyond NCHLIN, as a record read from a unit gives it.
void keep_memory_tail() {
  const ReaderState& s = RDSTATE;
  const std::string_view text = s.MEMTXT;
  const auto begin = static_cast<std::size_t>(std::max(s.MEMBEG - 1, 0));
  const std::size_t end =
      std::min(static_cast<std::size_t>(std::max(s.MEMEND - 1, 0)), text.size());
  std::string_view line = begin < end ? text.substr(begin, end - begin) : std::string_view{};
  // As TXTLIN takes it: a CR before the line feed, or ending the text, is not part of it.
  if ((end == text.size() || text[end] == kLineFeed) && line.ends_with(kCarriageReturn)) {
    line.remove_suffix(1);
  }
  record_tail.first = std::string_view::npos;
  const auto nch = static_cast<std::size_t>(line_length());
  if (line.size() > nch) lineio::keep_tail(record_tail, line.substr(nch), nch);
  keep_tail(record_tail);
}

// One record into RAWLIN positions 1..NCHLIN, blank padded. `filled` gets the number of
// positions the record filled (beyond them only padding), `code` the error code.
ReadOutcome read_raw_record(std::int32_t& filled, std::int32_t& code) {
  ReaderState& s = RDSTATE;
  const std::span<char> line(s.RAWLIN.data() + 1, static_cast<std::size_t>(line_length()));
  filled = line_length();
  if (s.LUNRD < 0) {
    std::int32_t status = 0;
    TXTLIN(line, line_length(), status);
    if (status == kMemoryEndStatus) return ReadOutcome::kEndOfFile;
    keep_memory_tail();
    return ReadOutcome::kRecord;
  }
  if (quick_raw_record(filled)) return ReadOutcome::kRecord;
  std::size_t length = 0;
  const int rc =
      lineio::read_record(s.LUNRD == 0 ? kConsoleIn : s.LUNRD, line, &length, &record_tail);
  keep_tail(record_tail);
  filled = static_cast<std::int32_t>(std::min(length, line.size()));
  if (rc == 0) return ReadOutcome::kRecord;
  if (rc < 0) return ReadOutcome::kEndOfFile;
  code = rc;
  return ReadOutcome::kError;
}

void write_line_heading(std::int32_t unit) {
  const ReaderState& s = RDSTATE;
  lineio::put_empty(unit);
  lineio::put(unit, lineio::Line()
                        .lit(" *** ERROR DURING READING OF LINE")
                        .i(s.NLINE, 6)
                        .lit("  ON UNIT")
                        .i(s.LUNRD, 4));
}

void report_read_error(std::int32_t code) {
  ReaderState& s = RDSTATE;
  s.ISTAT = -code;
  const std::int32_t unit = output_unit(s.LUNPR);
  if (unit == kNoUnit) return;
  write_line_heading(unit);
  lineio::put(unit, lineio::Line().x(5).lit("IOSTAT =").i(code, 4));
}

// An end of file within the tolerance passes quietly (ATEOF tells the caller). Beyond it
// ISTAT is set, the report written and, unless MAXEOF is 0, the run stops here.
void end_of_file() {
  ReaderState& s = RDSTATE;
  if (s.NEOF < std::numeric_limits<std::int32_t>::max()) ++s.NEOF;
  if (s.MAXEOF > 0 && s.NEOF <= s.MAXEOF) return;
  s.ISTAT = kEofStatus;
  const std::int32_t unit = output_unit(s.LUNPR);
  if (unit != kNoUnit) {
    write_line_heading(unit);
    lineio::put(unit, lineio::Line().x(5).lit("ATTEMPT TO READ THROUGH AN END OF FILE"));
    // The tolerance line always goes to the console.
    if (s.MAXEOF > 0) {
      lineio::put(kConsoleOut, lineio::Line().x(5).lit("(").i(s.MAXEOF, 5).lit(" TIMES )"));
    }
  }
  // The top level flushes every unit and ends the program with status 0.
  if (s.MAXEOF != 0) throw lineio::StopRun{0};
}

// The last position of RAWLIN 1..nch that holds neither a blank nor a tab (0 if none),
// where positions beyond `filled` are padding. Blanks are passed over eight at a time.
std::int32_t last_significant(std::int32_t filled, std::int32_t nch) {
  const ReaderState& s = RDSTATE;
  std::int32_t p = std::min(filled, nch);
  constexpr std::uint64_t kEightBlanks = 0x2020202020202020u;
  while (p >= 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, s.RAWLIN.data() + (p - 7), sizeof chunk);
    if (chunk != kEightBlanks) break;
    p -= 8;
  }
  while (p >= 1 && is_blank_or_tab(raw_at(p))) --p;
  return p;
}

// Builds PRCLIN from RAWLIN, whose first significant position is `first` and whose record
// filled positions up to `filled`: tabs become blanks, letters capitals (IUPCAS 1), a "!"
// ends the line; trailing blanks are not part of it. Sets ICUR and ILAST and puts the end
// mark after ILAST.
void build_processed_line(std::int32_t first, std::int32_t filled) {
  ReaderState& s = RDSTATE;
  const bool upcase = s.IUPCAS == 1;
  s.ICUR = first;
  std::fill(s.PRCLIN.begin() + 1, s.PRCLIN.begin() + first, kBlank);
  const std::int32_t last = last_significant(filled, line_length());
  if (!quick_processed_line(first, last, upcase)) general_processed_line(first, last, upcase);
}

}  // namespace

void detail::general_processed_line(std::int32_t first, std::int32_t last, bool upcase) {
  ReaderState& s = RDSTATE;
  s.ILAST = first;  // `first` is significant, so the loop sets it here again at once
  s.LTAB = false;
  std::int32_t p = first;
  while (p <= last) {
    const char c = raw_at(p);
    if (c >= 'a' && c <= 'z') {
      set_prc(p, upcase ? static_cast<char>(c - ('a' - 'A')) : c);
      s.ILAST = p++;
    } else if (is_blank_or_tab(c)) {
      bool two_tabs = false;
      std::int32_t q = p + 1;
      for (char d = raw_at(q); is_blank_or_tab(d); d = raw_at(++q)) {  // stops at `last`
        two_tabs = two_tabs || (d == kTab && raw_at(q - 1) == kTab);
      }
      s.LTAB = s.LTAB || two_tabs;
      std::fill(s.PRCLIN.begin() + s.ILAST + 1, s.PRCLIN.begin() + q, kBlank);
      p = q;
    } else if (c == kLineComment) {
      break;
    } else {
      set_prc(p, c);
      s.ILAST = p++;
    }
  }
  set_prc(s.ILAST + 1, kEndMark);
}

void RDLINE() {
  ReaderState& s = RDSTATE;
  s.ISTAT = 0;
  const std::int32_t nch = line_length();
  for (;;) {
    if (s.NLINE < std::numeric_limits<std::int32_t>::max()) ++s.NLINE;
    std::int32_t code = 0;
    std::int32_t filled = 0;
    switch (read_raw_record(filled, code)) {
      case ReadOutcome::kEndOfFile:
        end_of_file();
        return;
      case ReadOutcome::kError:
        report_read_error(code);
        return;
      case ReadOutcome::kRecord:
        break;
    }
    // Echoed when an echo unit is set (tested here, so that a run without echo makes no call).
    if (s.LUNECH >= 0) {
      ECHOLN(std::string_view(s.RAWLIN.data() + 1, static_cast<std::size_t>(nch)), s.LUNECH);
    }
    if (raw_at(1) == s.CMTCHR) continue;
    set_raw(nch + 1, kEndMark);
    std::int32_t p = 1;
    while (is_blank_or_tab(raw_at(p))) ++p;  // the end mark stops it at nch+1
    if (raw_at(p) == kLineComment) continue;
    if (p > nch) continue;  // a blank record
    build_processed_line(p, filled);
    return;
  }
}

void ECHOLN(std::string_view text, std::int32_t LUNECH) {
  const std::int32_t unit = output_unit(LUNECH);
  if (unit == kNoUnit) return;
  lineio::put(unit, lineio::Line().lit(" ").lit(text));
}

// The in-memory text is a sequence of lines ended by line feeds. MEMBEG is the 1-based
// position of the current line's first character (0: no line taken since the restart),
// MEMEND the position of the character that ended it. A NUL ends the usable text of a
// line; the next line still begins only after the next line feed. Two line feeds in a row
// hold an empty line; a last line without a line feed is still a line; a line feed at the
// very end of the text opens no further line. As in files, one carriage return before the
// line feed is not part of the line.
void TXTLIN(std::span<char> line, std::int32_t nchlin, std::int32_t& status) {
  ReaderState& s = RDSTATE;
  const std::size_t width = std::min(line.size(), static_cast<std::size_t>(std::max(nchlin, 0)));
  status = 0;
  std::fill_n(line.begin(), width, kBlank);
  const std::string_view text = s.MEMTXT;
  if (text.empty()) {
    status = kMemoryEndStatus;
    return;
  }
  std::size_t begin = 0;  // 0-based
  if (s.MEMBEG > 0) {
    const std::size_t feed = text.find(kLineFeed, static_cast<std::size_t>(s.MEMBEG - 1));
    if (feed == std::string_view::npos || feed + 1 >= text.size()) {
      status = kMemoryEndStatus;
      return;
    }
    begin = feed + 1;
  } else if (text.starts_with(kByteOrderMark)) {
    begin = kByteOrderMark.size();  // read like a file that starts with one
  }
  std::size_t end = begin;  // 0-based, one past the line's last character
  while (end < text.size() && text[end] != kLineFeed && text[end] != kTextEnd) ++end;
  // A CR before the line feed, or ending the text, is not part of the line.
  const bool line_end = end == text.size() || text[end] == kLineFeed;
  std::size_t length = end - begin;
  if (line_end && length > 0 && text[end - 1] == kCarriageReturn) --length;
  std::copy_n(text.begin() + static_cast<std::ptrdiff_t>(begin), std::min(length, width),
              line.begin());
  s.MEMBEG = static_cast<std::int32_t>(begin + 1);
  s.MEMEND = static_cast<std::int32_t>(end + 1);
}

}  // namespace kit
