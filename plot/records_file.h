// The records file: the Map_Mass records of a file kel2fram wrote (or one written so), read
// line by line into the masses the picture draws.
//
// Data flow: bytes of the file -> MassReader (one line at a time, parse_record) -> MassList.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plot {

// ---------------------------------------------------------------------------------------
// Records.

struct Mass {
  double x = 0;
  double y = 0;
  double z = 0;
  double kg = 0;
  std::int64_t line = 0;    // the line an editor shows it on (from 1), 0 if none
  std::int64_t record = 0;  // of a records file: its number among the Map_Mass lines (from 1)
};

// Coordinates and masses beyond this magnitude are not drawn (no page can show them beside
// anything else, and the arithmetic of the picture keeps a safe distance from overflow).
inline constexpr double kLargestDrawn = 1e300;

enum class RecordKind {
  other,      // not a Map_Mass record (report lines, header, end marker)
  mass,       // a record with finite numbers within kLargestDrawn: `mass` holds it
  malformed,  // a record whose fields are not numbers (for instance a field of asterisks)
  not_drawn,  // a record with numbers, one of them not finite or beyond kLargestDrawn
};

// Reads one line (without its line end; a trailing CR is ignored). A record is the keyword
// "Map_Mass" after optional blanks, then the spread count, x, y, z and the mass in kg,
// either as blank-separated numbers (further items are ignored) or in the tool's fixed
// columns 12-15, 16-27, 28-39, 40-51, 52-64 (which may touch). Numbers may carry an
// exponent with E or D. Writes `mass` only for RecordKind::mass.
RecordKind parse_record(std::string_view line, Mass& mass);

// ---------------------------------------------------------------------------------------
// Reading a file.

struct MassList {
  std::vector<Mass> masses;    // the drawable records, in file order
  std::int64_t records = 0;    // every Map_Mass line, drawable or not
  std::int64_t malformed = 0;  // records skipped: fields not numbers
  std::int64_t not_drawn = 0;  // records skipped: not finite or beyond kLargestDrawn
};

// Told about each record that is skipped: its line number (from 1) and why.
class RecordNotice {
 public:
  virtual ~RecordNotice() = default;
  virtual void skipped(std::int64_t line_number, std::string_view reason) = 0;
};

// Splits bytes into lines (LF, CR LF or a lone CR; a last line without one counts) and
// gathers their records. Only the first kKeptLength characters of a line are looked at. No
// allocation per line: lines are parsed where they lie, or from one fixed buffer when they
// straddle two blocks.
class MassReader {
 public:
  static constexpr std::size_t kKeptLength = 4096;
  MassReader(MassList& list, RecordNotice& notice) : list_(list), notice_(notice) {}
  void feed(std::span<const char> bytes);  // the next bytes of the file
  void finish();                           // the end of the file

 private:
  void take_line(std::string_view line);
  MassList& list_;
  RecordNotice& notice_;
  std::int64_t line_number_ = 0;
  std::array<char, kKeptLength> pending_{};  // start of a line that straddles blocks
  std::size_t pending_length_ = 0;
  bool pending_started_ = false;
  bool after_cr_ = false;  // the last block ended in CR: an LF that follows belongs to it
};

// Reads the file named `path` through a MassReader. Answers 0 or an errno value.
int read_mass_file(const std::string& path, MassList& list, RecordNotice& notice);

}  // namespace plot
