// The Map_Mass records, composed field by field in place.
#include <algorithm>
#include <span>
#include <string_view>

#include "lineio/lineio.h"
#include "tool/kel2fram.h"

namespace kel2fram {
namespace {

constexpr std::string_view kKeyword = " Map_Mass  ";
constexpr std::size_t kSpreadWidth = 4;
constexpr std::size_t kCoordinateWidth = 12;
constexpr int kCoordinateDecimals = 3;
constexpr std::size_t kMassWidth = 13;
constexpr int kMassDecimals = 4;

}  // namespace

RecordComposer::RecordComposer(std::int32_t spread) {
  std::copy(kKeyword.begin(), kKeyword.end(), prefix_.begin());
  prefix_fits_ =
      lineio::render_int(std::span(prefix_).subspan(kKeyword.size(), kSpreadWidth), spread);
}

bool RecordComposer::compose(std::span<char> record, const MassEntry& m) const {
  if (record.size() != kRecordSize) return false;
  std::copy(prefix_.begin(), prefix_.end(), record.begin());
  std::span<char> rest = record.subspan(prefix_.size());
  bool fits = prefix_fits_;
  for (const double coordinate : {m.x, m.y, m.z}) {
    fits =
        lineio::render_fixed(rest.first(kCoordinateWidth), coordinate, kCoordinateDecimals) && fits;
    rest = rest.subspan(kCoordinateWidth);
  }
  fits = lineio::render_sci(rest.first(kMassWidth), m.mass, kMassDecimals) && fits;
  rest[kMassWidth] = '\r';
  rest[kMassWidth + 1] = '\n';
  return fits;
}

}  // namespace kel2fram
