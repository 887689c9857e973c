// Reading a Map_Mass file: large blocks split into lines, each line offered to parse_record.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "os/platform.h"
#include "plot/records_file.h"

namespace plot {
namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;
constexpr std::uintmax_t kShortestRecord = 64;      // the tool's records and their line end
constexpr std::uintmax_t kMostReserved = 1u << 24;  // records reserved at most

}  // namespace

void MassReader::take_line(std::string_view line) {
  ++line_number_;
  Mass mass;
  switch (parse_record(line.substr(0, std::min(line.size(), kKeptLength)), mass)) {
    case RecordKind::other:
      return;
    case RecordKind::mass:
      ++list_.records;
      mass.line = line_number_;
      mass.record = list_.records;
      list_.masses.push_back(mass);
      return;
    case RecordKind::malformed:
      ++list_.records;
      ++list_.malformed;
      notice_.skipped(line_number_, "Map_Mass record whose fields are not numbers, skipped");
      return;
    case RecordKind::not_drawn:
      ++list_.records;
      ++list_.not_drawn;
      notice_.skipped(line_number_,
                      "Map_Mass record with a number that is not finite or "
                      "beyond 1e300, not drawn");
      return;
  }
}

void MassReader::feed(std::span<const char> bytes) {
  std::string_view rest(bytes.data(), bytes.size());
  // The LF of a CR LF whose CR ended the previous block.
  if (after_cr_ && !rest.empty()) {
    if (rest.front() == '\n') rest.remove_prefix(1);
    after_cr_ = false;
  }
  while (!rest.empty()) {
    // A line ends at LF, at CR LF, or at a lone CR (as an editor shows it).
    const std::size_t lf = rest.find('\n');
    const std::size_t before_lf = lf == std::string_view::npos ? rest.size() : lf;
    const void* const cr_at = std::memchr(rest.data(), '\r', before_lf);
    const std::size_t cr =
        cr_at == nullptr ? std::string_view::npos
                         : static_cast<std::size_t>(static_cast<const char*>(cr_at) - rest.data());
    const std::size_t end = cr != std::string_view::npos ? cr : lf;
    const std::string_view piece = rest.substr(0, end);
    if (end == std::string_view::npos) {
      // The line goes on in the next block: keep what fits of its start.
      const std::size_t take = std::min(piece.size(), kKeptLength - pending_length_);
      std::copy_n(piece.data(), take, pending_.data() + pending_length_);
      pending_length_ += take;
      pending_started_ = true;
      return;
    }
    if (pending_started_) {
      const std::size_t take = std::min(piece.size(), kKeptLength - pending_length_);
      std::copy_n(piece.data(), take, pending_.data() + pending_length_);
      pending_length_ += take;
      take_line({pending_.data(), pending_length_});
      pending_length_ = 0;
      pending_started_ = false;
    } else {
      take_line(piece);
    }
    std::size_t used = end + 1;
    if (end == cr) {
      if (used == rest.size()) after_cr_ = true;
      if (used < rest.size() && rest[used] == '\n') ++used;
    }
    rest.remove_prefix(used);
  }
}

void MassReader::finish() {
  if (pending_started_) take_line({pending_.data(), pending_length_});
  pending_length_ = 0;
  pending_started_ = false;
  after_cr_ = false;
}

int read_mass_file(const std::string& path, MassList& list, RecordNotice& notice) {
  // Through the system layer, as every file of the programs: names are UTF-8 on every
  // system, and a folder is refused as a folder.
  os::Opened file;
  if (const int code = os::open_existing(path, false, file); code != 0) return code;
  // Room for the records a file of this size holds when it is all records: no copying of
  // the table while it grows.
  std::error_code ec;
  const std::uintmax_t size =
      std::filesystem::file_size(std::u8string(path.begin(), path.end()), ec);
  if (!ec) list.masses.reserve(std::min<std::uintmax_t>(size / kShortestRecord, kMostReserved));
  const auto block = std::make_unique<char[]>(kBlockSize);
  MassReader reader(list, notice);
  int error = 0;
  for (;;) {
    const long got = os::read(file.handle, {block.get(), kBlockSize});
    if (got < 0) error = static_cast<int>(-got);
    if (got <= 0) break;
    reader.feed({block.get(), static_cast<std::size_t>(got)});
  }
  os::close(file.handle);
  if (error == 0) reader.finish();
  return error;
}

}  // namespace plot
