// The reader state and its set-up: FIIOPN, INIFII, SETPAR, GETPAR, SETCMT, GETSTS, RWDINP,
// and the small text helpers shared with the tool (UPCASE) and with tests.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "kit/kit.h"
#include "kit/reader_access.h"
#include "lineio/lineio.h"

namespace kit {

ReaderState RDSTATE;

namespace {

using detail::kNoUnit;
using detail::output_unit;

// The settings INIFII installs.
constexpr std::int32_t kStandardLineLength = 132;
constexpr std::int32_t kStandardMatchLength = 8;
constexpr std::int32_t kStandardEofTolerance = 1;
constexpr std::string_view kStandardCommentChar = "'";
constexpr char kDefaultCommentChar = '*';

// SETPAR codes.
enum SetCode : std::int32_t {
  kSetReadUnit = 1,
  kSetMessageUnit = 2,
  kSetEchoUnit = 3,
  kSetUpcase = 11,
  kSetMaxEof = 12,
  kSetEofCount = 13,
  kSetLineLength = 21,
  kSetMatchLength = 22,
};

// GETPAR codes.
enum GetCode : std::int32_t {
  kGetCursor = 1,
  kGetLineLength = 2,
  kGetMatchLength = 3,
  kGetUpcase = 4,
  kGetReadUnit = 5,
  kGetMessageUnit = 6,
  kGetEchoUnit = 7,
  kGetMaxEof = 8,
  kGetLineCount = 9,
  kGetLast = 10,
};

void report_fiiopn(std::int32_t unit, std::int32_t nchlin, std::int32_t ncmtch,
                   std::int32_t lunrd) {
  if (unit == kNoUnit) return;
  lineio::put_empty(unit, 3);
  lineio::put_line(unit, " *** ERROR RETURN FROM  K I T  LIBRARY ROUTINE FIIOPN");
  lineio::put(unit, lineio::Line().x(5).lit("ILLEGAL PARAMETER(S) :  NCHLIN =").i(nchlin, 5));
  lineio::put(unit, lineio::Line().x(29).lit("NCMTCH =").i(ncmtch, 5));
  lineio::put(unit, lineio::Line().x(29).lit("LUNRD  =").i(lunrd, 5));
}

// Minus the absolute value, without overflow for the most negative unit.
std::int32_t negative_of(std::int32_t v) {
  return v < 0 ? v : -v;
}

}  // namespace

void reset_reader() {
  RDSTATE = ReaderState{};
}

void load_memory_text(std::string_view text) {
  // Positions into the text are 32-bit cells; a longer text is cut.
  constexpr std::size_t kMaxText = std::numeric_limits<std::int32_t>::max() - 2;
  RDSTATE.MEMTXT.assign(text.substr(0, kMaxText));
  RDSTATE.MEMBEG = 0;
  RDSTATE.MEMEND = 0;
}

void UPCASE(std::span<char> text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  }
}

void FIIOPN(std::int32_t NCHLIN, std::int32_t NCMTCH, std::int32_t LUNRD, std::int32_t LUNPR,
            std::int32_t LUNECH, std::int32_t& IERR) {
  ReaderState& s = RDSTATE;
  IERR = 0;
  // The report goes where messages went before this call.
  const std::int32_t report_unit = output_unit(s.LUNPR);
  bool ok = NCHLIN >= 1 && NCHLIN <= kMaxLine;
  if (ok) {
    s.NCHLIN = NCHLIN;
    ok = NCMTCH >= 1;
  }
  if (ok) {
    s.NCMTCH = NCMTCH;
    ok = LUNRD >= 0 || LUNRD == kMemoryUnit;
  }
  if (!ok) {
    IERR = -1;
    report_fiiopn(report_unit, NCHLIN, NCMTCH, LUNRD);
    return;
  }
  s.LUNRD = LUNRD;
  s.LUNPR = LUNPR;
  s.LUNECH = LUNECH;
  // A fresh start: counters, status and the numeric cells. The cursor, ILAST, the line
  // buffers and the RDWORD positions stay.
  s.ISTAT = 0;
  s.NLINE = 0;
  s.NEOF = 0;
  s.MAXEOF = 0;
  s.NAMLEN = 0;
  s.IVALUE = 0;
  s.IACCUM = 0;
  s.IDIGIT = 0;
  s.IEXPO = 0;
  s.IACCUM_WIDE = false;
  s.IDBEG = 0;
  s.IDEND = 0;
  s.RVALUE = 0.0;
  s.IUPCAS = 1;
  s.NAMBUF.fill(' ');
  s.CURCHR = ' ';
  s.CMTCHR = kDefaultCommentChar;
}

void INIFII(std::int32_t LUNRD, std::int32_t LUNPR, std::int32_t& IERR) {
  if (LUNRD > 0 || LUNRD == kMemoryUnit) {
    std::int32_t status = 0;
    // Echo only when messages go to the console, and then on the console.
    FIIOPN(kStandardLineLength, kStandardMatchLength, LUNRD, LUNPR, negative_of(LUNPR), status);
    if (status != 0) {
      detail::count_failure(IERR);
      return;
    }
    SETPAR(kStandardEofTolerance, kSetMaxEof);
    SETCMT(kStandardCommentChar);
    SETPAR(LUNRD, kSetReadUnit);
    RWDINP();
    return;
  }
  const std::int32_t unit = output_unit(LUNPR);
  if (unit != kNoUnit) {
    lineio::put_empty(unit);
    lineio::put_line(unit, "  *** ERROR IN INIFII ***");
  }
  detail::count_failure(IERR);
}

void SETPAR(std::int32_t value, std::int32_t code) {
  ReaderState& s = RDSTATE;
  switch (code) {
    case kSetReadUnit:
      s.LUNRD = value;
      break;
    case kSetMessageUnit:
      s.LUNPR = value;
      break;
    case kSetEchoUnit:
      s.LUNECH = value;
      break;
    case kSetUpcase:
      s.IUPCAS = value;
      break;
    case kSetMaxEof:
      s.MAXEOF = value;
      break;
    case kSetEofCount:
      s.NEOF = value;
      break;
    // A line length below 1 would leave the record reader nothing to read into.
    case kSetLineLength:
      s.NCHLIN = std::clamp(value, 1, kMaxLine);
      break;
    case kSetMatchLength:
      s.NCMTCH = value < 1 ? 1 : value;
      break;
    default:
      break;
  }
}

std::int32_t GETPAR(std::int32_t code) {
  const ReaderState& s = RDSTATE;
  switch (code) {
    case kGetCursor:
      return s.ICUR;
    case kGetLineLength:
      return s.NCHLIN;
    case kGetMatchLength:
      return s.NCMTCH;
    case kGetUpcase:
      return s.IUPCAS;
    case kGetReadUnit:
      return s.LUNRD;
    case kGetMessageUnit:
      return s.LUNPR;
    case kGetEchoUnit:
      return s.LUNECH;
    case kGetMaxEof:
      return s.MAXEOF;
    case kGetLineCount:
      return s.NLINE;
    case kGetLast:
      return s.ILAST;
    default:
      return 0;
  }
}

void SETCMT(std::string_view chr) {
  // An empty text names no character: the comment-line character stays.
  if (!chr.empty()) RDSTATE.CMTCHR = chr.front();
}

std::int32_t GETSTS() {
  return RDSTATE.ISTAT;
}

void RWDINP() {
  ReaderState& s = RDSTATE;
  if (s.LUNRD < 0) {
    s.MEMBEG = 0;
    s.MEMEND = 0;
  } else if (s.LUNRD > 0) {
    // The unit is expected to be open; a unit that cannot be rewound shows up as a read
    // error at the next record.
    static_cast<void>(lineio::rewind_unit(s.LUNRD));
  }
  // Standard input (LUNRD 0) cannot be restarted: reading simply goes on.
}

}  // namespace kit
