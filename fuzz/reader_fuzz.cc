// Fuzz target: arbitrary bytes read as a weight file by the KIT reader.
//
// The first bytes choose the settings, the rest is the file:
//   byte 0-1  line length NCHLIN, 1..2048
//   byte 2    bit 0: IUPCAS 1 (letters to capitals) or another value;
//             bit 1: read a real file on unit 88 instead of the in-memory text;
//             bit 2: messages (and the echo) on the console instead of nowhere;
//             bits 3-7: NCMTCH 1..32
//   byte 3    the comment-line character
//   byte 4    bits 0-6: capacity of the caller's arrays, 0..100 fields; bit 7: read once
//             more after the end, which must stop the run
//   byte 5    bits 0-6: element length of the caller's texts, 1..100; bit 7: read the same
//             bytes from the other source too and compare every result, and read a file
//             once more without the quick record read and compare every reader cell
// INIFII sets the reader up, then RDMIX is called until the end of the data. After every
// call the reader's invariants are checked; a broken one aborts.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "kit/kit.h"
#include "kit/quick_record.h"
#include "lineio/lineio.h"
#include "lineio/text_encoding.h"

namespace {

constexpr std::int32_t kUnit = 88;
constexpr std::int32_t kConsole = 6;
constexpr std::size_t kSettingBytes = 6;

// Console output that is thrown away: the reader's messages and echo are exercised, not kept.
class NullSink final : public lineio::ByteSink {
 public:
  int write(std::span<const char>) override { return 0; }
};

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "reader invariant broken: %s\n", what);
    std::abort();
  }
}

// The weight file of this process, removed when the process ends.
const std::string& file_path() {
  static const std::string path = "/tmp/kel2fram-fuzz-reader-" + std::to_string(::getpid());
  static const bool cleanup = std::atexit([] { ::unlink(file_path().c_str()); }) == 0;
  static_cast<void>(cleanup);
  return path;
}

bool write_file(std::string_view bytes) {
  std::FILE* f = std::fopen(file_path().c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

void check_state(std::int32_t nchlin) {
  const kit::ReaderState& s = kit::RDSTATE;
  check(s.ISTAT == 0, "ISTAT 0 after a successful read");
  check(s.NCHLIN == nchlin, "NCHLIN unchanged");
  check(s.ILAST >= 1 && s.ILAST <= s.NCHLIN, "ILAST within the line");
  check(s.ICUR >= 1 && s.ICUR <= s.ILAST + 1, "ICUR within the line or just after it");
  check(s.PRCLIN[static_cast<std::size_t>(s.ILAST) + 1] == 'S', "end mark after ILAST");
  check(s.PRCLIN[static_cast<std::size_t>(s.ILAST)] != ' ', "ILAST is significant");
  check(s.NAMLEN >= 0 && s.NAMLEN <= kit::kNameLength, "NAMLEN within NAMBUF");
  check(s.IWBEG >= 0 && s.IWEND >= 0 && s.IWEND <= s.NCHLIN + 1, "RDWORD positions");
}

struct Settings {
  std::int32_t nchlin;
  std::int32_t ncmtch;
  bool upcase;
  bool messages;
  char comment;
  std::size_t capacity;
  std::int32_t text_length;
};

// What one RDMIX call handed back: the field count, then per field its type, the bits of
// its value and its text.
struct CallResult {
  std::int32_t npar = 0;
  std::vector<std::int32_t> types;
  std::vector<std::uint64_t> values;
  std::string texts;
  bool operator==(const CallResult&) const = default;
};

// Sets the reader up on the text (in memory or as a file on unit 88) and calls RDMIX until
// the end of the data, checking the invariants after every call. With `past_end` it reads
// once more after the end, which must stop the run quietly.
// Whether a file holding text can be read to its end: UTF-16 without its mark, or with a
// broken pair, is refused by the line input.
bool file_text_readable(std::string_view text) {
  lineio::TextDecoder decoder;
  std::string_view raw = text.substr(decoder.start(text));
  std::array<char, 256> out{};
  while (decoder.converting() && !decoder.failed() && !raw.empty()) {
    const std::size_t before = raw.size();
    decoder.convert(raw, out, true);
    if (raw.size() == before) break;
  }
  return !decoder.failed();
}

// The reader cells after a call, in one string: the line buffers, the cursor cells and
// what the record held beyond the line.
std::string reader_cells() {
  const kit::ReaderState& s = kit::RDSTATE;
  std::string cells(s.RAWLIN.data(), s.RAWLIN.size());
  cells.append(s.PRCLIN.data(), s.PRCLIN.size());
  cells.append(s.RAWTAIL.data(), s.RAWTAIL.size());
  for (const std::int64_t cell :
       {std::int64_t{s.ISTAT}, std::int64_t{s.NLINE}, std::int64_t{s.NEOF}, std::int64_t{s.ICUR},
        std::int64_t{s.ILAST}, s.ITAIL, std::int64_t{s.NTAIL}, std::int64_t{s.IVALUE},
        std::int64_t{s.IACCUM}, std::int64_t{s.IDIGIT}, std::int64_t{s.IDBEG},
        std::int64_t{s.IDEND}, std::int64_t{s.LPLAIN}, std::int64_t{s.LCOMMA},
        std::int64_t{s.LTAB}}) {
    cells += std::to_string(cell) + ',';
  }
  return cells;
}

// With `cells`, the reader cells after every call are kept there.
std::vector<CallResult> read_all(const Settings& set, bool from_file, bool past_end,
                                 std::string_view text, std::vector<std::string>* cells = nullptr) {
  static NullSink sink;
  lineio::MemorySource console_in("");
  lineio::bind_console(console_in, sink, false);
  kit::reset_reader();

  std::int32_t lunrd = kit::kMemoryUnit;
  if (from_file) {
    check(write_file(text), "writing the weight file");
    std::int32_t flag = 0;
    kit::OPNFIL(file_path(), kUnit, 2, 10, 1, 0, 0, -1, -kConsole, flag);
    check(flag == 0, "the weight file opens");
    lunrd = kUnit;
  } else {
    kit::load_memory_text(text);
  }

  std::int32_t ierr = 0;
  kit::INIFII(lunrd, set.messages ? 0 : -kConsole, ierr);
  check(ierr == 0, "INIFII succeeds");
  kit::SETPAR(set.nchlin, 21);
  kit::SETPAR(set.ncmtch, 22);
  kit::SETPAR(set.upcase ? 1 : 0, 11);
  kit::SETCMT(std::string_view(&set.comment, 1));

  const std::size_t capacity = set.capacity;
  std::vector<std::int32_t> itype(capacity, -7);
  std::vector<double> value(capacity, -7.0);
  std::vector<char> chars(capacity * static_cast<std::size_t>(set.text_length), '?');
  const kit::TextArray texts(chars, set.text_length);
  const std::size_t most_fields = static_cast<std::size_t>(set.nchlin + 1) / 2;

  std::vector<CallResult> results;
  // Every call takes at least one record, and the text has at most size + 1 of them.
  std::int32_t npar = -99;
  std::int32_t last_nline = 0;
  for (std::size_t call = 0; call <= text.size() + 1; ++call) {
    try {
      kit::RDMIX(npar, itype, value, texts, kUnit, kConsole, ierr);
    } catch (const lineio::StopRun&) {
      check(false, "RDMIX does not stop before the end of the data");
    } catch (const lineio::TransferFailure&) {
      check(false, "RDMIX writes its messages");
    }
    if (ierr != 0) {
      check(from_file && !file_text_readable(text), "no read failure");
      results.emplace_back().npar = -2;
      break;
    }
    if (cells != nullptr) cells->push_back(reader_cells());
    CallResult& result = results.emplace_back();
    result.npar = npar;
    if (npar == -1) {
      check(kit::ATEOF(), "-1 only at the end of the data");
      break;
    }
    check_state(set.nchlin);
    check(kit::RDSTATE.NLINE > last_nline, "every call reads a record");
    last_nline = kit::RDSTATE.NLINE;
    check(npar >= 0, "field count not negative");
    const auto n = static_cast<std::size_t>(npar);
    check(n <= capacity, "field count within the caller's capacity");
    check(n <= most_fields, "field count within (NCHLIN+1)/2");
    for (std::size_t k = 0; k < n; ++k) {
      check(itype[k] >= 1 && itype[k] <= 3, "type code 1..3");
      const std::span<char> t = texts.at(k);
      if (itype[k] == 3) {
        check(value[k] == 0.0 && !std::signbit(value[k]), "text field value 0.0");
        check(t[0] != ' ', "text field holds its word");
        const std::size_t kept = std::min<std::size_t>(8, t.size());
        check(std::all_of(t.begin() + static_cast<std::ptrdiff_t>(kept), t.end(),
                          [](char c) { return c == ' '; }),
              "text field keeps at most 8 characters");
      } else {
        check(std::all_of(t.begin(), t.end(), [](char c) { return c == ' '; }),
              "numeric field text blank");
      }
      if (itype[k] == 1) {
        check(value[k] == std::trunc(value[k]) && std::fabs(value[k]) <= 2147483648.0,
              "integer field holds a 32-bit integer");
      }
      result.types.push_back(itype[k]);
      result.values.push_back(std::bit_cast<std::uint64_t>(value[k]));
      result.texts.append(t.data(), t.size());
    }
    for (std::size_t k = n; k < capacity; ++k) {
      // Entries beyond NPAR keep what the caller had, unless an earlier line filled them.
      check(itype[k] == -7 || (itype[k] >= 1 && itype[k] <= 3), "entries after NPAR");
    }
  }
  const bool read_failed = !results.empty() && results.back().npar == -2;
  check(npar == -1 || read_failed, "the data end within one call per record");
  if (past_end && !read_failed) {
    // One end of file is tolerated; reading through it stops the run with status 0.
    bool stopped = false;
    try {
      kit::RDMIX(npar, itype, value, texts, kUnit, kConsole, ierr);
    } catch (const lineio::StopRun& stop) {
      stopped = stop.status == 0;
    }
    check(stopped, "reading through the end stops the run with status 0");
  }
  lineio::finish_all();  // releases the units
  return results;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kSettingBytes) return 0;
  Settings set{};
  set.nchlin = static_cast<std::int32_t>((data[0] << 8 | data[1]) % 2048) + 1;
  set.upcase = (data[2] & 1) != 0;
  const bool from_file = (data[2] & 2) != 0;
  set.messages = (data[2] & 4) != 0;
  set.ncmtch = (data[2] >> 3) + 1;
  set.comment = static_cast<char>(data[3]);
  set.capacity = (data[4] & 0x7f) % 101;
  const bool past_end = (data[4] & 0x80) != 0;
  set.text_length = (data[5] & 0x7f) % 100 + 1;
  const bool both = (data[5] & 0x80) != 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + kSettingBytes,
                              size - kSettingBytes);

  std::vector<std::string> cells;
  const std::vector<CallResult> first = read_all(set, from_file, past_end, text, &cells);
  if (both && from_file) {
    // The quick record read must leave every reader cell as the general one does.
    kit::detail::quick_records = false;
    std::vector<std::string> general_cells;
    const std::vector<CallResult> general = read_all(set, true, false, text, &general_cells);
    kit::detail::quick_records = true;
    check(general == first && general_cells == cells, "quick and general record reads agree");
  }
  // Without NUL bytes (which end an in-memory line only) a file and the in-memory text
  // holding the same bytes read alike; a file that begins with a UTF-16 byte-order mark is
  // read as its UTF-8 text, which the in-memory text is not.
  const bool utf16_mark = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
  if (both && !utf16_mark && text.find('\0') == std::string_view::npos) {
    check(read_all(set, !from_file, false, text) == first, "file and in-memory text agree");
  }
  return 0;
}
