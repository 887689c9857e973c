// The table of kept masses over several blocks: every entry kept once, in reading order,
// after a clear too.
#include "tool/mass_table.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

using tool::MassEntry;
using tool::MassTable;

MassEntry entry(std::size_t n) {
  const auto v = static_cast<double>(n);
  return {v, -v, v + 0.5, v * 2};
}

TEST(MassTable, KeepsEveryEntryInOrderAcrossBlocks) {
  constexpr std::size_t kCount = 2 * MassTable::kBlockSize + 12345;
  MassTable table;
  for (int round = 0; round < 2; ++round) {  // the second after a clear, in the same blocks
    table.clear();
    for (std::size_t n = 0; n < kCount; ++n) table.add(entry(n + round));
    ASSERT_EQ(table.size(), kCount);
    ASSERT_EQ(table.block_count(), 3u);
    std::size_t n = 0;
    for (std::size_t b = 0; b < table.block_count(); ++b) {
      for (const MassEntry& m : table.block(b)) {
        const MassEntry want = entry(n + round);
        ASSERT_EQ(m.mass, want.mass) << n;
        ASSERT_EQ(m.z, want.z) << n;
        ASSERT_EQ(&table[n], &m) << n;
        ++n;
      }
    }
    EXPECT_EQ(n, kCount);
    EXPECT_TRUE(table.block(3).empty());
  }
}

}  // namespace
