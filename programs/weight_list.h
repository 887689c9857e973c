// massplot's side of a weight list read by kel2fram's own reading (tool::read_for_picture):
// the masses the picture cannot draw, told by the line or the row they stand on, and the
// masses put into the picture's list.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "front/program.h"
#include "plot/picture.h"
#include "tool/processing.h"
#include "tool/settings.h"

namespace massplot {

// Masses skipped, on standard error one line each, by the line of the file or the row of the
// table; a flood of them is cut short.
class Notices final : public plot::RecordNotice {
 public:
  Notices(const front::Program& program, const std::string& file)
      : program_(program), file_(file) {}
  // From now on places are the rows of a table, of `sheet` when it is not empty.
  void name_rows(std::string_view sheet);
  void skipped(std::int64_t line_number, std::string_view reason) override;
  void finish() const;

 private:
  const front::Program& program_;
  const std::string& file_;
  bool rows_ = false;
  std::string sheet_;
  std::int64_t count_ = 0;
};

// Whether an answer that concerns weight lists only (--unit, --spread, a range) was given.
bool list_options_given(const tool::Answers& answers);

// Puts the masses read into `list`, each at its place (the line or row an editor or a
// spreadsheet program shows); one that the picture cannot draw (not finite, or beyond
// plot::kLargestDrawn) is counted and told through `notice` instead.
void add_masses(std::span<const tool::PlacedMass> masses, plot::MassList& list,
                plot::RecordNotice& notice);

}  // namespace massplot
