// KEL2FRAM: converts a weight list into Map_Mass records. The dialogue is its interface; of
// the command line only the word --strict is read (refuse to write a result with warnings or
// rejected lines).
#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "kit/kit.h"
#include "lineio/arguments.h"
#include "lineio/lineio.h"
#include "tool/kel2fram.h"

int main(int argc, char** argv) {
  lineio::bind_standard_console();
  kit::reset_reader();
  const std::vector<std::string> arguments = lineio::program_arguments(argc, argv);
  const bool strict = std::find(arguments.begin(), arguments.end(), "--strict") != arguments.end();
  try {
    return lineio::guarded_run([strict] { return kel2fram::run_steps(strict); });
  } catch (const std::bad_alloc&) {
    // A failed run like any other: the output file keeps its former contents.
    lineio::abandon_run();
    std::fputs("kel2fram: not enough memory; the output file is left as it was\r\n", stderr);
    return lineio::kFailedTransferStatus;
  }
}
