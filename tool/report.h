// What a run writes of the masses it kept: the report block (console and output file), the
// Map_Mass records and the closing lines; the checks before anything is written; the last
// line on standard error.
//
// Data flow: RunSettings + MassTable + Totals -> first_unwritable (a value that cannot be
// written faithfully ends the run) -> write_report -> output unit; run_summary -> standard
// error.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tool/intake.h"
#include "tool/mass_table.h"
#include "tool/settings.h"

namespace tool {

// Every line the program writes on standard error starts so.
inline constexpr std::string_view kNoticePrefix = "kel2fram: ";

// Position of the last character that is not a blank, 0 when all are blanks.
std::int32_t LENTRM(std::string_view text);
// The text without the blanks that pad it (a name or an answer as typed).
std::string_view trimmed(std::string_view text);

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

// The centre of gravity of the kept masses; 0 on every axis for a total mass of 0.
std::array<double, 3> centre_of_gravity(const Totals& totals);
// Writes the report block on the console and, with to_file, in the output file followed by
// the records and the closing lines. `unit` is the one the masses were read in.
void write_report(const RunSettings& settings, MassUnit unit, const MassTable& table,
                  const Totals& totals, bool to_file = true);

// ---- Checks before the output file is written ------------------------------------------------

// Why no mass was kept, as one line for standard error.
std::string nothing_kept_line(const RunSettings& settings, const Totals& totals);
// The first value of the result that cannot be written faithfully (not finite, or too wide
// for its columns), as one line for standard error; empty when every value can be.
std::string first_unwritable(const RunSettings& settings, const MassTable& table,
                             const Totals& totals);

// ---- The last line -------------------------------------------------------------------------

// The line that ends every run that got through the processing: `outcome` (what was written,
// or why nothing was, from the notice prefix on), then the rejected lines and the warnings.
std::string run_summary(std::string_view outcome, const Totals& totals);
// The outcome of a run that wrote its result: "kel2fram: 2 records written to out.txt".
std::string records_written(const RunSettings& settings, const Totals& totals);
inline constexpr std::string_view kStrictRefusal =
    "nothing written: --strict refuses a list or answers with warnings or rejected lines; the "
    "output file is left as it was";

}  // namespace tool
