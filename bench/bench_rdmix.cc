// RDMIX on weight lines, the record read from a buffered file included.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "kit/kit.h"
#include "lineio/lineio.h"

namespace {

constexpr std::int32_t kUnit = 88;
constexpr int kLines = 100000;

// One line over and over, or lines of varied numbers as an export holds them (a mass with
// four decimals, coordinates with three, signs and digit counts that change from line to
// line, so that the scanner's branches go both ways as they do on a real list).
std::string write_weight_list(bool varied) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "kel2fram_bench_rdmix.txt";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return {};
  std::minstd_rand random(2026);
  std::uniform_real_distribution<double> mass(0.001, 9.999);
  std::uniform_real_distribution<double> across(-100.0, 100.0);
  std::uniform_real_distribution<double> height(-20.0, 40.0);
  for (int k = 0; k < kLines; ++k) {
    if (varied) {
      // Drawn one by one: the order of a call's arguments is the compiler's.
      const double m = mass(random);
      const double x = across(random);
      const double y = across(random);
      const double z = height(random);
      std::fprintf(f, "  %.4f  %.3f  %.3f  %.3f\r\n", m, x, y, z);
    } else {
      std::fputs("  4.7366  -79.391  -7.356  8.331\r\n", f);
    }
  }
  std::fclose(f);
  return path.string();
}

void BM_RdmixWeightLine(benchmark::State& state, bool varied) {
  lineio::bind_standard_console();
  const std::string path = write_weight_list(varied);
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

BENCHMARK_CAPTURE(BM_RdmixWeightLine, same_line, false);
BENCHMARK_CAPTURE(BM_RdmixWeightLine, varied_lines, true);

}  // namespace
