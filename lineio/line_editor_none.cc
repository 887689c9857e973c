// No line editor: the console is read as plain lines (a build without libedit, and Windows,
// whose console edits and recalls lines itself).
#include "lineio/line_editor.h"
#include "lineio/lineio.h"

namespace lineio {

void next_line_answers(std::string_view /*question*/, bool /*names_file*/) {}

namespace line_editor {

const Console* terminal_console() {
  return nullptr;
}

}  // namespace line_editor
}  // namespace lineio
