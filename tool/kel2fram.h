// KEL2FRAM: the weight-data conversion tool. Run settings, mass table and the steps of a run.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kit/surprises.h"
#include "lineio/lineio.h"

namespace kel2fram {

using lineio::kConsoleIn;
using lineio::kConsoleOut;
inline constexpr std::int32_t kInputUnit = 88;
inline constexpr std::int32_t kOutputUnit = 17;
inline constexpr std::size_t kTextLength = 256;  // file names, answers, report lines
inline constexpr std::int32_t kFieldTextLength = 80;
inline constexpr std::size_t kFieldCount = 100;

// The default bounds: the single-precision value nearest to 1.0E+35, widened to double.
inline const double kDefaultMax = std::bit_cast<double>(std::uint64_t{0x4733426180000000});
inline const double kDefaultMin = std::bit_cast<double>(std::uint64_t{0xC733426180000000});

using Text = std::array<char, kTextLength>;
// A file name: 256 characters, each up to four bytes of UTF-8, padded with blanks.
inline constexpr std::size_t kNameBytes = 4 * kTextLength;
using NameText = std::array<char, kNameBytes>;

enum class MassUnit { tonnes, kg };

// Everything the dialogue settles.
struct RunSettings {
  NameText input_name{};
  NameText output_name{};
  Text answer{};
  MassUnit unit = MassUnit::tonnes;
  double unit_factor = 1000.0;
  std::int32_t spread = 1;
  std::array<double, 3> min{kDefaultMin, kDefaultMin, kDefaultMin};  // X, Y, Z
  std::array<double, 3> max{kDefaultMax, kDefaultMax, kDefaultMax};
  bool strict = false;          // a rejected line or a warning ends the run early (for scripts)
  bool output_in_full = false;  // the last line names the output by its full path
  bool unit_answered = false;   // the unit answer was not empty (a table's heading may decide)
  // Spreadsheets: a delimited file read as a table whatever its name, the columns of the
  // roles ("mass=D,x=E,y=F,z=G"), the sheet of a workbook (empty: the first).
  bool table = false;
  std::string columns;
  std::string sheet_name;
};

// The questions of the dialogue in the order asked; each range request follows its axis's
// skip question.
enum class Question : std::uint8_t {
  input,
  output,
  unit,
  spread,
  skip_x,
  range_x,
  skip_y,
  range_y,
  skip_z,
  range_z,
};
inline constexpr std::size_t kQuestionCount = 10;

// Answers given before the dialogue (on the command line), as typed answers would be; a
// question without one is asked on the console.
struct Answers {
  std::array<std::optional<std::string>, kQuestionCount> given;
  std::optional<std::string>& operator[](Question q) { return given[static_cast<std::size_t>(q)]; }
  const std::optional<std::string>& operator[](Question q) const {
    return given[static_cast<std::size_t>(q)];
  }
};

struct MassEntry {
  double mass;  // kilograms
  double x;
  double y;
  double z;
};

// Kept masses in reading order. The first block of 1,000,000 entries is reserved once; more
// masses add further blocks, so nothing is copied and none is lost. Memory is taken from the
// system only as entries are filled.
class MassTable {
 public:
  static constexpr std::size_t kBlockSize = 1'000'000;
  struct BlockRelease {
    void operator()(MassEntry* block) const;
  };
  MassTable();
  void clear();
  void add(const MassEntry& entry) {
    if (next_ == end_) open_next_block();
    *next_++ = entry;
    ++size_;
  }
  std::size_t size() const { return size_; }
  const MassEntry& operator[](std::size_t n) const {
    return blocks_[n / kBlockSize][n % kBlockSize];
  }
  // The entries in reading order, block by block: the filled part of block b.
  std::size_t block_count() const { return (size_ + kBlockSize - 1) / kBlockSize; }
  std::span<const MassEntry> block(std::size_t b) const;

 private:
  void open_next_block();

  std::vector<std::unique_ptr<MassEntry[], BlockRelease>> blocks_;
  std::size_t size_ = 0;
  // Where the next entry goes and the end of its block; no division per entry.
  MassEntry* next_ = nullptr;
  MassEntry* end_ = nullptr;
};

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The line an editor shows of each kept mass, held as the places where it stops following the
// table's order one by one: a list without comments or refused lines needs one mark.
class KeptLines {
 public:
  // The next entry of the table, in order, and its line.
  void add(std::size_t entry, std::int32_t line) {
    const std::int64_t step = std::int64_t{line} - static_cast<std::int64_t>(entry);
    if (step == step_) return;
    step_ = step;
    marks_.push_back({entry, line});
  }
  std::int32_t line_of(std::size_t entry) const;

 private:
  struct Mark {
    std::size_t entry;
    std::int32_t line;
  };
  std::int64_t step_ = std::numeric_limits<std::int64_t>::min();
  std::vector<Mark> marks_;
};

// Counters and sums of the processing. Counts are 64-bit so that they cannot wrap.
struct Totals {
  std::int64_t lines = 0;  // lines that yielded at least one field
  std::int64_t kept = 0;
  std::int64_t skipped = 0;  // dropped by the boundary test
  double skipped_weight = 0.0;
  double total_mass = 0.0;
  std::array<double, 3> moment{0.0, 0.0, 0.0};
  kit::LineTally rejected;  // lines left out, by the line numbers an editor shows
  // Every kept coordinate is finite and below 10^6 in magnitude and every kept mass finite,
  // so that each record can be written as it is (known only after processing).
  bool ordinary_values = false;
  // The line an editor shows of each kept mass.
  KeptLines kept_lines;
  // The least and the greatest kept X, Y and Z (NaNs left out): a list whose extremes lie
  // near the others needs no closer look for a coordinate far beyond them.
  std::array<double, 3> low{kInfinity, kInfinity, kInfinity};
  std::array<double, 3> high{-kInfinity, -kInfinity, -kInfinity};
};

// ---- Dialogue ------------------------------------------------------------------------------

// Writes one blank and min(length, 80) characters of text, leaving the line open.
void PROMPT(std::int32_t unit, std::string_view text);
void write_banner();
// Asks the seven questions, opens the input file on unit 88 and the output file on unit 17.
// A question answered beforehand is shown with its answer, as if typed, and not asked; a
// file named so that cannot be opened ends the run (status 2) instead of being asked again.
void run_dialogue(RunSettings& settings, const Answers& answers = {});

// ---- Processing ----------------------------------------------------------------------------

enum class Processed {
  kept,           // at least one mass kept: the result can be written
  nothing_kept,   // no usable line, every line rejected, or every mass outside the ranges
  reader_failed,  // the reader reported a failure (its own report is on the console)
};

// The console's notice that the weight data are being read, between empty lines.
void write_processing_notice();
// Sets up the reader, reads every line and keeps the masses inside the ranges. With
// `kept_lines`, the line an editor shows of each kept mass is added to it, in table order.
Processed process_weight_data(const RunSettings& settings, MassTable& table, Totals& totals,
                              std::vector<std::int32_t>* kept_lines = nullptr);

// One mass and its point, read from a line or a row: kept and summed when inside the ranges,
// counted as skipped otherwise. Answers whether it was kept.
inline bool take_mass(const RunSettings& s, MassTable& table, Totals& t, double mass, double x,
                      double y, double z) {
  if (x < s.min[0] || x > s.max[0] || y < s.min[1] || y > s.max[1] || z < s.min[2] ||
      z > s.max[2]) {
    ++t.skipped;
    t.skipped_weight += mass;
    return false;
  }
  ++t.kept;
  table.add({mass, x, y, z});
  // A mass and point that a record holds as they are. (A comparison with a NaN is false.)
  constexpr double kLimit = 1.0e6;
  t.ordinary_values = t.ordinary_values && std::isfinite(mass) && std::fabs(x) < kLimit &&
                      std::fabs(y) < kLimit && std::fabs(z) < kLimit;
  t.moment[0] += mass * x;
  t.moment[1] += mass * y;
  t.moment[2] += mass * z;
  t.total_mass += mass;
  return true;
}

// Every line the program writes on standard error starts so.
inline constexpr std::string_view kNoticePrefix = "kel2fram: ";

// What a caller that names the rows of a table (massplot) sets before it is read, and learns
// of it besides its masses.
struct TableReading {
  std::string_view prefix = kNoticePrefix;         // begins each line told on standard error
  std::vector<std::int32_t>* kept_rows = nullptr;  // receives each kept mass's row, in order
  std::string_view form;                           // what the file is ("delimited text")
  std::string sheet;                               // the sheet read; empty for delimited text
  bool unit_from_heading = false;                  // the mass heading decided the unit
  bool unit_column = false;                        // a unit column gives each row's unit
  std::uint32_t mass_column = 0;                   // the mass's column, from 0
};

// A weight list that is a spreadsheet or a delimited table: read by its headings, each row
// handed on as a weight line's four numbers are, and each kept mass's row added to
// totals.kept_lines. `why` receives the reason, to follow the file's name, when the table is
// refused or unreadable (also when the run's settings disagree with it).
enum class TableRead { processed, not_a_table, refused, unreadable };
TableRead process_table(RunSettings& settings, MassTable& table, Totals& totals,
                        Processed& processed, std::string& why, TableReading* reading = nullptr);

// ---- Warnings: readings that differ from what a list or an answer looks like ---------------

// The run's log of them on standard error.
kit::SurpriseLog& surprise_log();
// The dialogue's answers, each checked as typed right after it was read.
void check_unit_answer(const Text& answer);
void check_skip_answer(std::size_t axis, const Text& answer);
// A range answer as typed (its lines, each ended by a line feed) against the bounds read from it.
void check_range_answer(std::size_t axis, std::string_view typed, std::span<const double> bounds);
void check_spread_answer(std::int32_t spread);
// Of at least kFarMinimum kept masses, each coordinate far beyond the others: beyond the
// middle 96 % of the masses on its axis by more than kFarFactor times the widest such spread
// of the three axes. Told with its line and the centre of gravity with and without the mass.
inline constexpr std::size_t kFarMinimum = 100;
inline constexpr double kFarFactor = 10.0;
void check_far_masses(const MassTable& table, const Totals& totals);

// The line that ends every run that got through the processing: `outcome` (what was written,
// or why nothing was, from the notice prefix on), then the rejected lines and the warnings.
std::string run_summary(std::string_view outcome, const Totals& totals);
// The outcome of a run that wrote its result: "kel2fram: 2 records written to out.txt".
std::string records_written(const RunSettings& settings, const Totals& totals);
inline constexpr std::string_view kStrictRefusal =
    "nothing written: --strict refuses a list or answers with warnings or rejected lines; the "
    "output file is left as it was";

// ---- Checks before the output file is written ------------------------------------------------

// Why no mass was kept, as one line for standard error.
std::string why_nothing_kept(const RunSettings& settings, const Totals& totals);
// The first value of the result that cannot be written faithfully (not finite, or too wide
// for its columns), as one line for standard error; empty when every value can be.
std::string first_unwritable(const RunSettings& settings, const MassTable& table,
                             const Totals& totals);

// ---- Records -------------------------------------------------------------------------------

// A Map_Mass record: the keyword, the spread count (4 columns), X, Y, Z (12 columns, 3
// decimals each) and the mass (13 columns, scientific with 4 decimals), then CR LF.
inline constexpr std::size_t kRecordLength = 64;
inline constexpr std::size_t kRecordSize = kRecordLength + 2;

class RecordComposer {
 public:
  explicit RecordComposer(std::int32_t spread);
  // Writes the record of one mass into `record` (kRecordSize characters). Answers false when
  // a field shows asterisks, Infinity or NaN instead of the value's digits.
  bool compose(std::span<char> record, const MassEntry& m) const;

 private:
  static constexpr std::size_t kPrefixLength = 15;  // keyword and spread count
  std::array<char, kPrefixLength> prefix_{};
  bool prefix_fits_ = false;
};

// ---- Report --------------------------------------------------------------------------------

// Position of the last character that is not a blank, 0 when all are blanks.
std::int32_t LENTRM(std::string_view text);
// The text without the blanks that pad it (a name or an answer as typed).
std::string_view trimmed(std::string_view text);
// The centre of gravity of the kept masses; 0 on every axis for a total mass of 0.
std::array<double, 3> centre_of_gravity(const Totals& totals);
// Writes the report block on the console and, with to_file, in the output file followed by
// the records and the closing lines.
void write_report(const RunSettings& settings, const MassTable& table, const Totals& totals,
                  bool to_file = true);

// ---- A whole run ---------------------------------------------------------------------------

// Exit statuses: the result written completely and durably; an early end that wrote
// nothing; a failed transfer (also a weight list that could not be read).
inline constexpr int kWritten = 0;
inline constexpr int kNothingWritten = 1;
inline constexpr int kFailed = lineio::kFailedTransferStatus;

// ---- Command line --------------------------------------------------------------------------

// What the command line asks for: a run with the settings its options give and the answers
// they and the named files give, the help, the version, or nothing (a usage error).
struct CommandLine {
  enum class Action { run, help, version, usage_error };
  Action action = Action::run;
  std::string error;  // the usage error, one line after the program's prefix
  RunSettings settings;
  Answers answers;
};

// Reads kel2fram [OPTIONS] [WEIGHT-LIST [OUTPUT]]. Option values are checked here, by the
// rules of the typed answers, so that a bad one is found before anything is opened.
CommandLine read_command_line(std::span<const std::string> arguments);
// The usage text of --help.
std::string help_text();
// Carries out the command line on the bound console: help, version, a usage error (status 1,
// nothing written) or a run. Answers the exit status.
int start(const CommandLine& command);
// A run with a console window of its own and a weight list named (dropped on the program):
// works in the list's folder, so that names typed in the dialogue are taken beside it, and
// names the output by its full path in its last line. Names given with the list keep the
// meaning they had in the folder the program started in.
void work_beside_named_list(CommandLine& command);
// A file name as a full path, as UTF-8 (the name itself when the system cannot tell).
std::string full_path(std::string_view name);

// One run on the given console; answers the exit status.
int run(lineio::ByteSource& console_in, lineio::ByteSink& console_out, bool interactive);
// The steps of a run on an already bound console (used by run and by start); answers the
// exit status.
int run_steps(const CommandLine& command = {});

}  // namespace kel2fram
