// Binding the standard console: the line editor where the run is typed at a terminal, the
// plain streams of lineio otherwise.
#include "lineio/lineio.h"
#include "os/platform.h"
#include "terminal/console.h"
#include "terminal/line_editor.h"

namespace terminal {

void bind_standard_console() {
  // The plain binding prepares the process once (on Windows a second console handler would
  // wait on a commit lock that the first one already holds); the editor then takes its place.
  lineio::bind_standard_console();
  if (os::is_terminal(os::standard_input()) && os::is_terminal(os::standard_output())) {
    if (const line_editor::Console* editor = line_editor::terminal_console()) {
      lineio::bind_console(editor->in, editor->out, true, true);
    }
  }
}

}  // namespace terminal
