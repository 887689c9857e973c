// Fuzz target: the plain-number scanner of RDMIX against the general recognisers, line by
// line on the same bytes, with the checks of surprising readings finding the same on the line
// however it was read; the processed line of every record against its definition; and the
// quick build of the processed line against the character-by-character one, on a PRCLIN filled
// beforehand with two patterns in turn, so that a position written by one and not the other
// shows. For every
// line the general recognisers read it from the same reader state; when the plain scanner takes the
// line, the field count, types, values (bit for bit), texts and every reader cell must be the same;
// when it gives the line up, the reader state must be untouched and the general recognisers must
// then give what they give on their own.
//
// The first two bytes choose the settings, the rest is the in-memory text:
//   byte 0      bits 0-6: capacity of the caller's arrays, 0..100 fields;
//               bit 7: letters to capitals (IUPCAS 1)
//   byte 1      bits 0-3: NCMTCH 0..15 (0 makes a sign an abbreviation: never plain);
//               bits 4-7: line length, 16 * (1 + value) characters
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "kit/fields.h"
#include "kit/kit.h"
#include "kit/processed_line.h"
#include "kit/surprises.h"
#include "lineio/lineio.h"

namespace {

constexpr std::size_t kFields = 100;
constexpr std::int32_t kTextLength = 9;

struct Fields {
  std::int32_t npar = -7;
  std::array<std::int32_t, kFields> type;
  std::array<double, kFields> value;
  std::array<char, kFields * kTextLength> text;

  // A pattern that no scanner writes, so that a field written by one and not the other shows.
  Fields() {
    type.fill(-5);
    value.fill(-12345.678);
    text.fill('#');
  }
};

void fail(const char* what) {
  std::fprintf(stderr, "plain scanner differs: %s\n", what);
  std::abort();
}

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool same_state(const kit::ReaderState& a, const kit::ReaderState& b) {
  return a.NCHLIN == b.NCHLIN && a.NCMTCH == b.NCMTCH && a.LUNRD == b.LUNRD && a.LUNPR == b.LUNPR &&
         a.LUNECH == b.LUNECH && a.IUPCAS == b.IUPCAS && a.MAXEOF == b.MAXEOF &&
         a.CMTCHR == b.CMTCHR && a.ISTAT == b.ISTAT && a.NLINE == b.NLINE && a.NEOF == b.NEOF &&
         a.RAWLIN == b.RAWLIN && a.PRCLIN == b.PRCLIN && a.ICUR == b.ICUR && a.ILAST == b.ILAST &&
         a.CURCHR == b.CURCHR && a.NAMBUF == b.NAMBUF && a.NAMLEN == b.NAMLEN &&
         a.IWBEG == b.IWBEG && a.IWEND == b.IWEND && a.IVALUE == b.IVALUE && a.IACCUM == b.IACCUM &&
         a.IDIGIT == b.IDIGIT && a.IEXPO == b.IEXPO && same_bits(a.RVALUE, b.RVALUE) &&
         a.IACCUM_WIDE == b.IACCUM_WIDE && a.IDBEG == b.IDBEG && a.IDEND == b.IDEND &&
         a.MEMTXT == b.MEMTXT && a.MEMBEG == b.MEMBEG && a.MEMEND == b.MEMEND && a.LTAB == b.LTAB;
}

// The checks of surprising readings, once after each way of reading a line.
kit::SurpriseLog& log_of(bool plain_way) {
  static kit::SurpriseLog logs[2];
  static const bool started = [] {
    for (kit::SurpriseLog& log : logs) log.start("plain_fields fuzz: ", "list");
    return true;
  }();
  static_cast<void>(started);
  return logs[plain_way ? 1 : 0];
}

// Checks the line just read as RDMIX would after reading it this way.
void check_surprises(bool plain_way, bool plain_read, const Fields& f) {
  kit::RDSTATE.LPLAIN = plain_read;
  log_of(plain_way).check_line(f.npar, f.type, f.value);
}

bool same_surprises() {
  for (std::size_t kind = 0; kind < kit::SurpriseLog::kKinds; ++kind) {
    const auto k = static_cast<kit::SurpriseLog::Kind>(kind);
    if (log_of(false).count(k) != log_of(true).count(k)) return false;
  }
  return log_of(false).count() == log_of(true).count();
}

bool same_fields(const Fields& a, const Fields& b) {
  if (a.npar != b.npar || a.type != b.type || a.text != b.text) return false;
  for (std::size_t n = 0; n < kFields; ++n) {
    if (!same_bits(a.value[n], b.value[n])) return false;
  }
  return true;
}

// The processed line as the record reader defines it, built here the plain way from the raw
// one: from the first character that is not a blank or a tab up to the last such character
// before any "!", tabs as blanks, small letters as capitals when asked for, the end mark after.
void check_processed_line(bool upcase) {
  const kit::ReaderState& s = kit::RDSTATE;
  const std::int32_t nch = std::clamp(s.NCHLIN, 1, kit::kMaxLine);
  const auto raw = [](std::int32_t p) { return kit::RDSTATE.RAWLIN[static_cast<std::size_t>(p)]; };
  std::int32_t first = 1;
  while (first <= nch && (raw(first) == ' ' || raw(first) == '\t')) ++first;
  std::int32_t stop = first;
  while (stop <= nch && raw(stop) != '!') ++stop;
  std::int32_t last = stop - 1;
  while (last >= first && (raw(last) == ' ' || raw(last) == '\t')) --last;
  if (s.ICUR != first || s.ILAST != last) fail("cursor or end of the processed line");
  for (std::int32_t p = first; p <= last; ++p) {
    char c = raw(p) == '\t' ? ' ' : raw(p);
    if (upcase && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (s.PRCLIN[static_cast<std::size_t>(p)] != c) fail("processed line");
  }
  if (s.PRCLIN[static_cast<std::size_t>(last) + 1] != 'S') fail("end mark");
  // LTAB: two tabs in a row from the first significant character up to the "!" or the last
  // significant character of the record.
  std::int32_t end = std::min(stop - 1, nch);
  while (end >= first && (raw(end) == ' ' || raw(end) == '\t')) --end;
  if (stop <= nch) end = stop - 1;
  bool tab = false;
  for (std::int32_t p = first + 1; p <= end; ++p) {
    tab = tab || (raw(p) == '\t' && raw(p - 1) == '\t');
  }
  if (s.LTAB != tab) fail("tab flag of the processed line");
}

// Builds the current record's processed line both ways over the same PRCLIN and compares them;
// the reader state is then as it was.
void check_quick_processed_line(bool upcase) {
  kit::ReaderState& s = kit::RDSTATE;
  const std::int32_t nch = std::clamp(s.NCHLIN, 1, kit::kMaxLine);
  std::int32_t last = nch;
  while (last >= 1 && (s.RAWLIN[static_cast<std::size_t>(last)] == ' ' ||
                       s.RAWLIN[static_cast<std::size_t>(last)] == '\t')) {
    --last;
  }
  const std::int32_t first = s.ICUR;
  static kit::ReaderState read;
  static kit::ReaderState by_general;
  read = s;
  for (const char pattern : {'\0', '\xff'}) {
    s.PRCLIN.fill(pattern);
    kit::detail::general_processed_line(first, last, upcase);
    by_general = s;
    s.PRCLIN.fill(pattern);
    s.ILAST = read.ILAST + 1;
    if (kit::detail::quick_processed_line(first, last, upcase) &&
        (s.PRCLIN != by_general.PRCLIN || s.ILAST != by_general.ILAST ||
         s.LTAB != by_general.LTAB)) {
      fail("quick processed line");
    }
    s = read;
  }
}

void general(Fields& f, std::size_t capacity) {
  kit::detail::general_fields(f.npar, f.type, f.value, kit::TextArray(f.text, kTextLength),
                              capacity);
}

bool plain(Fields& f, std::size_t capacity) {
  return kit::detail::plain_fields(f.npar, f.type, f.value, kit::TextArray(f.text, kTextLength),
                                   capacity);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static lineio::MemorySource keyboard("");
  static lineio::MemorySink screen;
  static const bool bound = [] {
    lineio::bind_console(keyboard, screen, false);
    return true;
  }();
  static_cast<void>(bound);
  if (size < 2) return 0;
  const std::size_t capacity = std::min<std::size_t>(data[0] & 0x7f, kFields);
  const bool upcase = (data[0] & 0x80) != 0;
  const std::int32_t ncmtch = data[1] & 0x0f;
  const std::int32_t nchlin = 16 * (1 + (data[1] >> 4));

  kit::reset_reader();
  kit::load_memory_text(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));
  std::int32_t ierr = 0;
  kit::FIIOPN(nchlin, 8, kit::kMemoryUnit, -1, -1, ierr);
  if (ierr != 0) return 0;
  kit::SETPAR(upcase ? 1 : 0, 11);
  kit::RDSTATE.NCMTCH = ncmtch;  // FIIOPN takes 1 and more only; 0 must be refused by the scanner

  static kit::ReaderState before;
  static kit::ReaderState after_general;
  for (;;) {
    kit::RDLINE();
    if (kit::GETSTS() != 0 || kit::ATEOF()) break;
    check_processed_line(upcase);
    check_quick_processed_line(upcase);
    before = kit::RDSTATE;
    Fields by_general;
    general(by_general, capacity);
    after_general = kit::RDSTATE;
    check_surprises(false, false, by_general);

    kit::RDSTATE = before;
    Fields by_plain;
    const bool plain_read = plain(by_plain, capacity);
    if (plain_read) {
      if (!same_fields(by_plain, by_general)) fail("fields");
      if (!same_state(kit::RDSTATE, after_general)) fail("reader state after the line");
    } else {
      if (!same_state(kit::RDSTATE, before)) fail("reader state changed by a line given up");
      general(by_plain, capacity);
      if (!same_fields(by_plain, by_general)) fail("fields after a line given up");
      if (!same_state(kit::RDSTATE, after_general)) fail("reader state after a line given up");
    }
    check_surprises(true, plain_read, by_plain);
    if (!same_surprises()) fail("surprising readings");
  }
  return 0;
}
