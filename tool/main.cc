// KEL2FRAM: converts a weight list into Map_Mass records. The dialogue is its only
// interface; command-line arguments are not read.
#include <cstdio>
#include <new>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "tool/kel2fram.h"

int main() {
  lineio::bind_standard_console();
  kit::reset_reader();
  try {
    return lineio::guarded_run(kel2fram::run_steps);
  } catch (const std::bad_alloc&) {
    // A failed run like any other: the output file keeps its former contents.
    lineio::abandon_run();
    std::fputs("kel2fram: not enough memory; the output file is left as it was\r\n", stderr);
    return lineio::kFailedTransferStatus;
  }
}
