// A conversion allocates nothing per line: the heap allocations of a whole run do not grow
// with the number of weight lines.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "lineio/lineio.h"
#include "support/subprocess.h"
#include "tool/run.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

// Allocations made by one in-process run over a weight list of `lines` mass lines.
long allocations_for(int lines) {
  testing_support::ScratchDir dir;
  std::string weights;
  for (int n = 0; n < lines; ++n) {
    weights += "  4.7366  -79.391  -7.356  8.331 ! mass " + std::to_string(n) + "\n";
    if (n % 7 == 0) weights += "' a comment line\n2 1 1\nabc 1 2 3\n";
  }
  dir.write("w.txt", weights);
  const std::string answers =
      dir.file("w.txt") + "\n" + dir.file("out.txt") + "\nkg\n2\ny\n-100 100\n\n\n";
  lineio::MemorySource in(answers);
  lineio::MemorySink out;
  const long before = allocations.load();
  const int status = tool::run(in, out, false);
  const long used = allocations.load() - before;
  EXPECT_EQ(status, 0);
  EXPECT_NE(dir.read("out.txt").find(" Map_Mass     2"), std::string::npos);
  return used;
}

TEST(Allocation, RunAllocatesNothingPerLine) {
  allocations_for(10);  // the mass table's first block and other one-time storage
  const long small = allocations_for(1000);
  const long large = allocations_for(20000);
  // The console sink grows with the messages of rejected lines; everything else is fixed.
  EXPECT_LT(large - small, 64) << "small run " << small << ", large run " << large;
  RecordProperty("allocations_small", std::to_string(small));
  RecordProperty("allocations_large", std::to_string(large));
}

}  // namespace
