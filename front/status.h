// The exit status of each program. The three share the meaning of each number: 0 the result
// was written (or shown) completely, 1 an early end that wrote nothing, 2 a failed transfer.
// --help and --version end with 0 (2 when they cannot be written), a usage error with 1.
//
// Data flow: a program's run -> its status type -> exit_code -> run_program -> main.
#pragma once

#include "tool/run.h"

namespace front {

// kel2fram: the run of the conversion decides it (tool/run.h).
using ConversionStatus = tool::Status;

// kitdump.
enum class DumpStatus : int {
  dumped = 0,   // the list was read to its end (or to a reader failure, shown by IERR=)
  refused = 1,  // the file cannot be opened, or a table does not say what its columns are
  failed = 2,   // the console cannot be written, text that cannot be decoded, a damaged table
};

// massplot.
enum class PictureStatus : int {
  written = 0,  // the picture was written whole
  refused = 1,  // SVGFILE is a file that is no picture: it is left as it was
  failed = 2,   // FILE cannot be read or holds nothing to draw, or the picture was not written
};

// The status as the process ends with it.
template <class Status>
constexpr int exit_code(Status status) {
  return static_cast<int>(status);
}

}  // namespace front
