// kel2fram as the desktop starts it, in a console window of its own (a double click, or a
// file dropped on it), which Wine without a display cannot give a program: the same steps as
// the program's main with that answer fixed, on the standard streams.
#include <string>
#include <vector>

#include "kit/kit.h"
#include "os/arguments.h"
#include "terminal/console.h"
#include "terminal/console_window.h"
#include "tool/command_line.h"
#include "tool/run.h"

int main(int argc, char** argv) {
  terminal::bind_standard_console();
  kit::reset_reader();
  const std::vector<std::string> arguments = os::program_arguments(argc, argv);
  tool::CommandLine command = tool::read_command_line(arguments);
  tool::work_beside_named_list(command);
  const int status = tool::start(command);
  terminal::wait_before_window_closes();
  return status;
}
