// The intake's rejections and notices: the console's messages for rejected lines and rows,
// numbered as the console always numbered them, and the reasons for rows left out.
#include "tool/intake.h"

#include <array>

#include "lineio/lineio.h"
#include "tool/warnings.h"

namespace tool {
namespace {

using lineio::Line;

constexpr std::string_view kNotice = "       Processing Weight Data ... ";

}  // namespace

Intake::Intake(const RunSettings& settings, MassTable& table, Console console)
    : s_(settings), table_(table), console_(console) {}

void Intake::start(MassUnit unit) {
  t_ = Totals{};
  table_.clear();
  set_unit(unit);
}

void Intake::set_unit(MassUnit unit) {
  unit_ = unit;
  unit_factor_ = unit_factor_of(unit);
}

void Intake::reject(Rejection why, std::int32_t fields, std::int64_t shown, std::int32_t place) {
  if (console_ == Console::written) {
    if (why == Rejection::illegal) {
      lineio::put(kConsoleOut, Line().lit(" Illegal character in line").i(shown, 7));
    } else {
      lineio::put(kConsoleOut,
                  Line().lit(" Too few parameters, (").i(fields, 2).lit(" ), on line").i(shown, 7));
    }
  }
  t_.rejected.add(place);
}

void Intake::tell_row(std::string_view cell, std::string_view reason) {
  warnings().tell_cell(Warnings::kRowReason, cell, reason);
}

void Intake::finish() {
  std::array<double, 3> low{kInfinity, kInfinity, kInfinity};
  std::array<double, 3> high{-kInfinity, -kInfinity, -kInfinity};
  for (std::size_t b = 0; b < table_.block_count(); ++b) {
    for (const MassEntry& m : table_.block(b)) {
      low[0] = m.x < low[0] ? m.x : low[0];
      low[1] = m.y < low[1] ? m.y : low[1];
      low[2] = m.z < low[2] ? m.z : low[2];
      high[0] = m.x > high[0] ? m.x : high[0];
      high[1] = m.y > high[1] ? m.y : high[1];
      high[2] = m.z > high[2] ? m.z : high[2];
    }
  }
  t_.low = low;
  t_.high = high;
}

void Intake::write_notice() const {
  if (console_ == Console::quiet) return;
  lineio::put_empty(kConsoleOut);
  lineio::put_line(kConsoleOut, kNotice);
  lineio::put_empty(kConsoleOut);
}

}  // namespace tool
