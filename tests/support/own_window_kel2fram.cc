// kel2fram as the desktop starts it, in a console window of its own (a double click, or a
// file dropped on it), which Wine without a display cannot give a program: the same steps as
// the program's run with that answer fixed, on the standard streams. The arguments are the
// files named (a dropped list); no option is read.
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
  const std::vector<std::string> files = os::program_arguments(argc, argv);
  tool::CommandLine command;
  tool::name_files(command, files);
  tool::work_beside_named_list(command);
  const int status = tool::exit_code(tool::start(command));
  terminal::wait_before_window_closes();
  return status;
}
