// The table of kept masses: blocks of entries, each taken from the system in one piece; the
// places of the kept masses.
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstddef>
#include <new>

#include "tool/mass_table.h"

namespace tool {
namespace {

// A block starts on a large-page boundary, and the system is asked to back it with large
// pages where it can: a full block is then 16 page faults instead of about 8,000, which on a
// million-line list is a tenth of the run.
constexpr std::size_t kLargePage = std::size_t{1} << 21;
constexpr std::size_t kBlockBytes = MassTable::kBlockSize * sizeof(MassEntry);

MassEntry* new_block() {
  void* block = ::operator new[](kBlockBytes, std::align_val_t{kLargePage});
#if defined(MADV_HUGEPAGE)
  // Only advice: where the system declines, the block works the same with small pages.
  static_cast<void>(::madvise(block, kBlockBytes, MADV_HUGEPAGE));
#endif
  return static_cast<MassEntry*>(block);
}

}  // namespace

void MassTable::BlockRelease::operator()(MassEntry* block) const {
  ::operator delete[](block, std::align_val_t{kLargePage});
}

MassTable::MassTable() {
  blocks_.emplace_back(new_block());
  clear();
}

void MassTable::clear() {
  size_ = 0;
  next_ = blocks_.front().get();
  end_ = next_ + kBlockSize;
}

void MassTable::open_next_block() {
  // Called when the current block is full: size_ is a whole number of blocks.
  const std::size_t b = size_ / kBlockSize;
  if (b == blocks_.size()) blocks_.emplace_back(new_block());
  next_ = blocks_[b].get();
  end_ = next_ + kBlockSize;
}

std::int32_t KeptPlaces::place_of(std::size_t entry) const {
  const auto after = std::upper_bound(marks_.begin(), marks_.end(), entry,
                                      [](std::size_t e, const Mark& m) { return e < m.entry; });
  if (after == marks_.begin()) return 0;
  const Mark& mark = *(after - 1);
  return static_cast<std::int32_t>(mark.place + static_cast<std::int64_t>(entry - mark.entry));
}

std::span<const MassEntry> MassTable::block(std::size_t b) const {
  if (b >= block_count()) return {};
  return {blocks_[b].get(), std::min(kBlockSize, size_ - b * kBlockSize)};
}

}  // namespace tool
