// The end of a run in a console window of the program's own, which closes with the program:
// the report, or the error that ended the run, stays readable until Enter is pressed.
#include <array>

#include "lineio/lineio.h"
#include "terminal/console_window.h"

namespace terminal {

void wait_before_window_closes() {
  try {
    lineio::put_open(lineio::kConsoleOut, lineio::Line().lit(" Press Enter to close this window."));
    std::array<char, 1> line{};
    static_cast<void>(lineio::read_record(lineio::kConsoleIn, line));  // any line, or the end
  } catch (const lineio::TransferFailure&) {
    // A console that can no longer be written has nothing left to show.
  }
}

}  // namespace terminal
