// massplot's side of a weight list read by kel2fram's own reading: masses that cannot be
// drawn, told by their places, and the masses put into the picture's list.
#include "programs/weight_list.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "front/notice.h"
#include "lineio/text_encoding.h"

namespace massplot {
namespace {

using tool::Question;

constexpr std::int64_t kMostNotices = 100;

}  // namespace

void Notices::name_rows(std::string_view sheet) {
  rows_ = true;
  sheet_ = sheet;
}

void Notices::skipped(std::int64_t line_number, std::string_view reason) {
  if (++count_ > kMostNotices) return;
  std::string line = file_;
  line += rows_ ? ": row " : ":";
  line += std::to_string(line_number);
  // A sheet's name comes from the file: a control character in it is shown escaped.
  if (rows_ && !sheet_.empty()) line += " of sheet " + lineio::escape_controls(sheet_);
  line += ": ";
  line += reason;
  front::notice(program_, line);
}

void Notices::finish() const {
  if (count_ > kMostNotices) {
    front::notice(program_, file_ + ": " + std::to_string(count_ - kMostNotices) + " more " +
                                (rows_ ? "rows" : "records") + " skipped");
  }
}

void add_masses(std::span<const tool::PlacedMass> masses, plot::MassList& list,
                plot::RecordNotice& notice) {
  const auto drawn = [](double v) {
    return std::isfinite(v) && std::fabs(v) <= plot::kLargestDrawn;
  };
  list.masses.reserve(list.masses.size() + masses.size());
  for (const tool::PlacedMass& placed : masses) {
    const tool::MassEntry& e = placed.mass;
    ++list.records;
    if (!drawn(e.mass) || !drawn(e.x) || !drawn(e.y) || !drawn(e.z)) {
      ++list.not_drawn;
      notice.skipped(placed.place,
                     "a mass or coordinate that is not finite or beyond 1e300, not drawn");
      continue;
    }
    list.masses.push_back({e.x, e.y, e.z, e.mass, placed.place, 0});
  }
}

bool list_options_given(const tool::Answers& answers) {
  return answers.has(Question::unit) || answers.has(Question::spread) ||
         answers.has(Question::skip_x) || answers.has(Question::skip_y) ||
         answers.has(Question::skip_z);
}

}  // namespace massplot
