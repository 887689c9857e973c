// Inputs that once broke a whole conversion run, replayed through the run fuzz target's checks
// (fuzz/run_fuzz.cc, compiled here under another name).
#include <unistd.h>

#include <climits>
#include <string>

#include "fuzz_regression_replay.h"

#define LLVMFuzzerTestOneInput replay_run_input
#include "../fuzz/run_fuzz.cc"
#undef LLVMFuzzerTestOneInput

namespace {

TEST(RunRegression, KeptInputsPassTheRunChecks) {
  // The target works in a scratch folder of its own; the test program's folder comes back.
  char cwd[PATH_MAX];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  fuzz_replay::replay_all("run", replay_run_input);
  ASSERT_EQ(::chdir(cwd), 0);
}

}  // namespace
