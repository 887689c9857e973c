// KEL2FRAM: converts a weight list into Map_Mass records. The dialogue is its interface; the
// command line can answer its questions beforehand.
#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "kit/kit.h"
#include "lineio/lineio.h"
#include "os/arguments.h"
#include "os/platform.h"
#include "terminal/console.h"
#include "terminal/console_window.h"
#include "tool/command_line.h"
#include "tool/run.h"

int main(int argc, char** argv) {
  terminal::bind_standard_console();
  kit::reset_reader();
  int status = lineio::kFailedTransferStatus;
  const bool own_window = terminal::console_window_of_its_own();
  try {
    const std::vector<std::string> arguments = os::program_arguments(argc, argv);
    tool::CommandLine command = tool::read_command_line(arguments);
    if (own_window) tool::work_beside_named_list(command);
    status = tool::start(command);
  } catch (const std::bad_alloc&) {
    // A failed run like any other: the output file keeps its former contents.
    lineio::abandon_run();
    std::fputs("kel2fram: not enough memory; the output file is left as it was", stderr);
    const std::string_view end = os::error_line_end();
    static_cast<void>(std::fwrite(end.data(), 1, end.size(), stderr));
  }
  if (own_window) terminal::wait_before_window_closes();
  return status;
}
