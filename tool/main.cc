// KEL2FRAM: converts a weight list into Map_Mass records. The dialogue is its interface; the
// command line can answer its questions beforehand.
#include "kit/kit.h"
#include "lineio/arguments.h"
#include "lineio/console_window.h"
#include "lineio/lineio.h"
#include "tool/kel2fram.h"

int main(int argc, char** argv) {
  lineio::bind_standard_console();
  kit::reset_reader();
  const std::vector<std::string> arguments = lineio::program_arguments(argc, argv);
  const int status = kel2fram::start(kel2fram::read_command_line(arguments));
  if (lineio::console_window_of_its_own()) kel2fram::wait_before_window_closes();
  return status;
}
