// KEL2FRAM: converts a weight list into Map_Mass records. The dialogue is its only
// interface; command-line arguments are not read.
#include "kit/kit.h"
#include "lineio/lineio.h"
#include "tool/kel2fram.h"

int main() {
  lineio::bind_standard_console();
  kit::reset_reader();
  return lineio::guarded_run(kel2fram::run_steps);
}
