// Inputs that once broke a whole conversion run, replayed through the run fuzz target's checks
// (fuzz/run_fuzz.cc, compiled here under another name).
#include <filesystem>
#include <string>

#include "fuzz_regression_replay.h"

#define LLVMFuzzerTestOneInput replay_run_input
#include "fuzz/run_fuzz.cc"
#undef LLVMFuzzerTestOneInput

namespace {

TEST(RunRegression, KeptInputsPassTheRunChecks) {
  // The target works in a scratch folder of its own; the test program's folder comes back.
  const std::filesystem::path cwd = std::filesystem::current_path();
  fuzz_replay::replay_all("run", replay_run_input);
  std::filesystem::current_path(cwd);
}

}  // namespace
