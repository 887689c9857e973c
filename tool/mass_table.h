// The mass table: every kept mass in reading order, and the line or row each stands on.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace tool {

struct MassEntry {
  double mass;  // kilograms
  double x;
  double y;
  double z;
};

// Kept masses in reading order. The first block of 1,000,000 entries is reserved once; more
// masses add further blocks, so nothing is copied and none is lost. Memory is taken from the
// system only as entries are filled.
class MassTable {
 public:
  static constexpr std::size_t kBlockSize = 1'000'000;
  struct BlockRelease {
    void operator()(MassEntry* block) const;
  };
  MassTable();
  void clear();
  void add(const MassEntry& entry) {
    if (next_ == end_) open_next_block();
    *next_++ = entry;
    ++size_;
  }
  std::size_t size() const { return size_; }
  const MassEntry& operator[](std::size_t n) const {
    return blocks_[n / kBlockSize][n % kBlockSize];
  }
  // The entries in reading order, block by block: the filled part of block b.
  std::size_t block_count() const { return (size_ + kBlockSize - 1) / kBlockSize; }
  std::span<const MassEntry> block(std::size_t b) const;

 private:
  void open_next_block();

  std::vector<std::unique_ptr<MassEntry[], BlockRelease>> blocks_;
  std::size_t size_ = 0;
  // Where the next entry goes and the end of its block; no division per entry.
  MassEntry* next_ = nullptr;
  MassEntry* end_ = nullptr;
};

// The line an editor shows (or the row a spreadsheet program shows) of each kept mass, held
// as the places where it stops following the table's order one by one: a list without
// comments or refused lines needs one mark.
class KeptPlaces {
 public:
  // The next entry of the table, in order, and its line or row.
  void add(std::size_t entry, std::int32_t place) {
    const std::int64_t step = std::int64_t{place} - static_cast<std::int64_t>(entry);
    if (step == step_) return;
    step_ = step;
    marks_.push_back({entry, place});
  }
  // The line or row of entry `entry`; 0 for an entry never added.
  std::int32_t place_of(std::size_t entry) const;
  void clear() { *this = KeptPlaces{}; }

 private:
  struct Mark {
    std::size_t entry;
    std::int32_t place;
  };
  std::int64_t step_ = std::numeric_limits<std::int64_t>::min();
  std::vector<Mark> marks_;
};

}  // namespace tool
