// RDMIX on a typical weight line, the record read from a buffered file included.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "kit/kit.h"
#include "lineio/lineio.h"

namespace {

constexpr std::int32_t kUnit = 88;
constexpr int kLines = 100000;

std::string write_weight_list() {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "kel2fram_bench_rdmix.txt";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return {};
  for (int k = 0; k < kLines; ++k) std::fputs("  4.7366  -79.391  -7.356  8.331\r\n", f);
  std::fclose(f);
  return path.string();
}

void BM_RdmixWeightLine(benchmark::State& state) {
  lineio::bind_standard_console();
  const std::string path = write_weight_list();
  std::int32_t ierr = 0;
  kit::OPNFIL(path, kUnit, 2, 10, 1, 0, 0, -1, -6, ierr);
  if (ierr != 0) {
    state.SkipWithError("cannot open the weight list");
    return;
  }
  kit::INIFII(kUnit, -6, ierr);
  std::array<std::int32_t, 100> itype{};
  std::array<double, 100> value{};
  std::array<char, 100 * 80> chars{};
  const kit::TextArray text(chars, 80);
  std::int32_t npar = 0;
  for (auto _ : state) {
    kit::RDMIX(npar, itype, value, text, kUnit, -6, ierr);
    if (npar < 0) {
      // End of the list (one call in 100001): start it again.
      kit::SETPAR(0, 13);
      kit::RWDINP();
    }
    benchmark::DoNotOptimize(value.data());
  }
  if (ierr != 0) state.SkipWithError("read failure");
  lineio::finish_all();
  std::filesystem::remove(path);
}

BENCHMARK(BM_RdmixWeightLine);

}  // namespace
