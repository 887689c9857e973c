// The run's warnings on standard error: the reader's (kit::SurpriseLog, readings of a line
// that differ from what it looks like) and the tool's own: dialogue answers that read
// otherwise than typed, a coordinate far beyond the other masses, what a table's headings and
// rows say. Each line begins with the program's prefix and names the file and the line or
// cell; of each kind told line by line at most kShownPerKind are shown, the rest summed up.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kit/surprises.h"
#include "tool/settings.h"

namespace tool {

class MassTable;
struct Totals;

class Warnings {
 public:
  static constexpr std::int64_t kShownPerKind = kit::SurpriseLog::kShownPerKind;
  // The tool's own kinds told line by line: a coordinate far beyond the others, what a
  // table's headings or rows may not mean as read, the reasons for rows left out (told, not
  // counted: a rejected row is counted as such).
  enum Kind : std::size_t { kFar, kTable, kRowReason, kKinds };

  // Starts afresh: `prefix` begins every line ("kel2fram: ").
  void start(std::string_view prefix);
  // The list read from now on, as its name is shown (escaped).
  void name_file(std::string_view file);
  kit::SurpriseLog& reader() { return reader_; }
  std::string_view prefix() const { return prefix_; }
  std::string_view file() const { return file_; }
  // A finding of the tool's own, without a place (a dialogue answer, a total); counted.
  void tell(std::string_view text);
  // A finding of the tool's own on a list's line (or a table's row), flood-limited by kind.
  void tell_at(Kind kind, std::int32_t line, std::string_view text);
  // A finding about a table's cell ("Deck!C14"), flood-limited by kind; counted as a warning
  // unless it is a row's reason.
  void tell_cell(Kind kind, std::string_view cell, std::string_view text);
  // A note about the list that is no warning ("reading sheet ...").
  void note(std::string_view text) const;
  // Sums up what was not shown, the reader's first.
  void finish();
  // Every warning given, shown or not.
  std::int64_t count() const;

 private:
  bool counted(Kind kind) { return ++counts_[kind] <= kShownPerKind; }

  kit::SurpriseLog reader_;
  std::string prefix_;
  std::string file_;
  std::array<std::int64_t, kKinds> counts_{};
  std::int64_t own_ = 0;
};

// The run's warnings.
Warnings& warnings();

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

}  // namespace tool
