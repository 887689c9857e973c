// The Map_Mass records, composed field by field in place.
#include <algorithm>
#include <span>
#include <string_view>

#include "lineio/lineio.h"
#include "lineio/record_fields.h"
#include "tool/report.h"

namespace tool {
namespace {

constexpr std::string_view kKeyword = " Map_Mass  ";
constexpr std::size_t kSpreadWidth = 4;
// Where the fields start: X, Y and Z in F12.3, the mass in E13.4.
constexpr std::size_t kXAt = kKeyword.size() + kSpreadWidth;
constexpr std::size_t kYAt = kXAt + 12;
constexpr std::size_t kZAt = kYAt + 12;
constexpr std::size_t kMassAt = kZAt + 12;
constexpr std::size_t kLineEndAt = kMassAt + 13;
static_assert(kLineEndAt + 2 == kRecordSize);

}  // namespace

RecordComposer::RecordComposer(std::int32_t spread) {
  std::copy(kKeyword.begin(), kKeyword.end(), prefix_.begin());
  prefix_fits_ =
      lineio::render_int(std::span(prefix_).subspan(kKeyword.size(), kSpreadWidth), spread);
}

bool RecordComposer::compose(std::span<char> record, const MassEntry& m) const {
  if (record.size() != kRecordSize) return false;
  std::copy(prefix_.begin(), prefix_.end(), record.begin());
  // The fields are made one after the other with no test between them, so that the
  // processor can work on all four at once.
  const bool x_fits = lineio::render_f12_3(record.subspan<kXAt, 12>(), m.x);
  const bool y_fits = lineio::render_f12_3(record.subspan<kYAt, 12>(), m.y);
  const bool z_fits = lineio::render_f12_3(record.subspan<kZAt, 12>(), m.z);
  const bool mass_fits = lineio::render_e13_4(record.subspan<kMassAt, 13>(), m.mass);
  record[kLineEndAt] = '\r';
  record[kLineEndAt + 1] = '\n';
  return prefix_fits_ && x_fits && y_fits && z_fits && mass_fits;
}

}  // namespace tool
