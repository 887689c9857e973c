// No line editor: the console is read as plain lines (a build without libedit, and Windows,
// whose console edits and recalls lines itself).
#include "terminal/console.h"
#include "terminal/line_editor.h"

namespace terminal {

void next_line_answers(std::string_view /*question*/, bool /*names_file*/) {}

namespace line_editor {

const Console* terminal_console() {
  return nullptr;
}

}  // namespace line_editor
}  // namespace terminal
