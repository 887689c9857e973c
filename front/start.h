// The start and end every program shares: the standard console bound, the arguments read,
// --help, --version and a usage error answered, the program's run, a run out of memory, and a
// console window of the program's own kept open until Enter.
//
// Data flow: argc, argv -> os::program_arguments -> read_arguments -> help | version | usage
// error | the program's run -> exit status.
#pragma once

#include "front/command_line.h"
#include "front/program.h"

namespace front {

// A program's run of what its arguments give; answers the exit status.
using Run = int (*)(const Arguments& arguments);

// Binds the standard console, reads the arguments by the program's table and answers the
// help or the version on standard output (status 0, or 2 when it cannot be written) or a
// usage error on standard error (status 1); otherwise runs `run`. Out of memory, what is
// being written is dropped and one notice says so (status 2). In a console window of the
// program's own, asks for Enter before the window closes. Answers the exit status.
int run_program(const Program& program, int argc, char** argv, Run run);
// Tells a usage error as the program tells them (one line and a pointer to --help, or the
// line and the whole help); answers the status of a usage error, 1.
int refuse_usage(const Program& program, const UsageError& error);

}  // namespace front
