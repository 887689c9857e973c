// Internal to the terminal room: the console of a terminal read through a line editor, which
// bind_standard_console binds to units 5 and 6 when standard input and standard output are both
// terminals. One implementation per build (line_editor_libedit.cc, line_editor_none.cc).
#pragma once

#include "lineio/lineio.h"

namespace terminal::line_editor {

struct Console {
  lineio::ByteSource& in;  // one typed line at a time, with its line feed
  lineio::ByteSink& out;   // the console output; an open line (a prompt) is shown by the editor
};

// The editor's console streams, or nullptr when lines are read plainly: no editor built in,
// or a terminal that cannot be edited on (TERM unset or "dumb"). The editor itself starts at
// the first line read, so a program that never reads the console never starts it.
const Console* terminal_console();

}  // namespace terminal::line_editor
