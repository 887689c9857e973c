// The run's warnings: the reader's and the tool's own, each line after the program's prefix
// and the file, the flood of one kind cut short and summed up at the end.
#include "tool/warnings.h"

#include <array>
#include <string>

#include "lineio/lineio.h"

namespace tool {
namespace {

// What finish() sums up of each kind not shown, in Kind order.
constexpr std::array<std::string_view, Warnings::kKinds> kRestOf = {
    "coordinates far beyond the other masses",
    "warnings about the table",
    "reasons for rows left out",
};

}  // namespace

Warnings& warnings() {
  static Warnings log;
  return log;
}

void Warnings::start(std::string_view prefix) {
  prefix_ = prefix;
  file_.clear();
  counts_.fill(0);
  own_ = 0;
  reader_.start(prefix);
}

void Warnings::name_file(std::string_view file) {
  file_ = file;
  reader_.name_file(file);
}

void Warnings::tell(std::string_view text) {
  ++own_;
  lineio::notice(prefix_ + std::string(text));
}

void Warnings::tell_at(Kind kind, std::int32_t line, std::string_view text) {
  if (!counted(kind)) return;
  lineio::notice(prefix_ + file_ + ":" + std::to_string(line) + ": " + std::string(text));
}

void Warnings::tell_cell(Kind kind, std::string_view cell, std::string_view text) {
  if (!counted(kind)) return;
  lineio::notice(prefix_ + file_ + ": " + std::string(cell) + ": " + std::string(text));
}

void Warnings::note(std::string_view text) const {
  lineio::notice(prefix_ + file_ + ": " + std::string(text));
}

void Warnings::finish() {
  reader_.finish();
  for (std::size_t kind = 0; kind < kKinds; ++kind) {
    if (counts_[kind] > kShownPerKind) {
      lineio::notice(prefix_ + file_ + ": " + std::to_string(counts_[kind] - kShownPerKind) +
                     " more " + std::string(kRestOf[kind]) + ", not shown");
    }
  }
}

std::int64_t Warnings::count() const {
  return reader_.count() + own_ + counts_[kFar] + counts_[kTable];
}

}  // namespace tool
