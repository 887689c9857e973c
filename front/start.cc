// The start and end of every program: the console, the arguments, help, version and usage
// errors, a run out of memory, and a console window of the program's own.
#include "front/start.h"

#include <cstdio>
#include <new>
#include <string>

#include "front/notice.h"
#include "front/version.h"
#include "lineio/lineio.h"
#include "os/arguments.h"
#include "terminal/console.h"
#include "terminal/console_window.h"

namespace front {
namespace {

constexpr int kDone = 0;
constexpr int kUsageError = 1;

// Help or version on standard output; one that cannot be written whole (a full disk, a closed
// stream) is a failed write.
int show(const std::string& text) {
  const bool written = std::fputs(text.c_str(), stdout) >= 0;
  return std::fflush(stdout) == 0 && written ? kDone : lineio::kFailedTransferStatus;
}

}  // namespace

int refuse_usage(const Program& program, const UsageError& error) {
  if (!program.help_on_usage_error) {
    notice(program, error.why);
    notice(program, "usage: " + std::string(program.name) + " " + std::string(program.arguments) +
                        " (" + std::string(program.name) + " --help lists the options)");
    return kUsageError;
  }
  if (error.kind == UsageError::Kind::option) notice(program, error.why);
  std::fputs(help_text(program).c_str(), stderr);
  return kUsageError;
}

int run_program(const Program& program, int argc, char** argv, Run run) {
  // Binding the console first puts its streams in binary mode (the help keeps its line ends on
  // Windows) and installs the interrupt handling that removes a pending temporary file.
  terminal::bind_standard_console();
  int status = lineio::kFailedTransferStatus;
  const bool own_window = terminal::console_window_of_its_own();
  Arguments arguments;  // outside the try: a notice out of memory names its first file
  try {
    arguments = read_arguments(program, os::program_arguments(argc, argv));
    switch (arguments.action) {
      case Arguments::Action::help:
        status = show(help_text(program));
        break;
      case Arguments::Action::version:
        status = show(std::string(program.name) + " " + std::string(kPackageVersion) + "\n");
        break;
      case Arguments::Action::usage_error:
        status = refuse_usage(program, arguments.error);
        break;
      case Arguments::Action::run:
        status = run(arguments);
        break;
    }
  } catch (const std::bad_alloc&) {
    // A failed run like any other: a file being replaced keeps its former contents.
    lineio::abandon_run();
    if (program.least_files > 0 && !arguments.files.empty()) {
      notice_without_memory(program, {arguments.files[0], ": ", program.out_of_memory});
    } else {
      notice_without_memory(program, {program.out_of_memory});
    }
    status = lineio::kFailedTransferStatus;
  }
  // A window that closes with the program would take the result, or the error, with it.
  if (own_window) terminal::wait_before_window_closes();
  return status;
}

}  // namespace front
