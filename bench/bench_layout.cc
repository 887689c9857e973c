// Rendering one Map_Mass record (an integer, three fixed-point fields and a scientific one)
// into the line buffer.
#include <benchmark/benchmark.h>

#include "lineio/lineio.h"

namespace {

void BM_MapMassRecord(benchmark::State& state) {
  double x = 1234.5678;
  for (auto _ : state) {
    lineio::Line line;
    line.lit(" Map_Mass  ").i(1, 4).f(x, 12, 3).f(-79.391, 12, 3).f(-7.356, 12, 3).e(8331.0, 13, 4);
    benchmark::DoNotOptimize(line.view().data());
    x += 0.001;
  }
}
BENCHMARK(BM_MapMassRecord);

void BM_ReportLineFixed(benchmark::State& state) {
  double v = 0.0625;
  for (auto _ : state) {
    lineio::Line line;
    line.f(v, 12, 3);
    benchmark::DoNotOptimize(line.view().data());
    v += 1.0;
  }
}
BENCHMARK(BM_ReportLineFixed);

}  // namespace
