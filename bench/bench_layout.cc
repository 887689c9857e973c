// Rendering one Map_Mass record (an integer, three fixed-point fields and a scientific one):
// through a Line, as report lines are made, and through the record composer, as the output
// file's records are.
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>

#include "lineio/lineio.h"
#include "tool/report.h"

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

// Records of a thousand masses with varied signs and magnitudes, composed one after the other.
void BM_RecordComposer(benchmark::State& state) {
  std::array<tool::MassEntry, 1000> masses{};
  for (std::size_t n = 0; n < masses.size(); ++n) {
    const double k = static_cast<double>(n);
    masses[n] = {0.5 + k * 7.25, (n % 2 == 0 ? 1 : -1) * k * 0.731, -k * 0.157, k * 0.043 - 20};
  }
  const tool::RecordComposer composer(1);
  std::array<char, tool::kRecordSize> record{};
  std::size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(composer.compose(record, masses[n]));
    benchmark::DoNotOptimize(record.data());
    n = n + 1 == masses.size() ? 0 : n + 1;
  }
}
BENCHMARK(BM_RecordComposer);

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
