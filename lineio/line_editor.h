// The console of a terminal read through a line editor: the unit table binds units 5 and 6 to
// these streams when standard input and standard output are both terminals. One
// implementation per system and build (line_editor_libedit.cc, line_editor_none.cc).
#pragma once

#include "lineio/lineio.h"

namespace lineio::line_editor {

struct Console {
  ByteSource& in;  // one typed line at a time, with its line feed
  ByteSink& out;   // the console output; an open line (a prompt) is shown by the editor
};

// The editor's console streams, or nullptr when lines are read plainly: no editor built in,
// or a terminal that cannot be edited on (TERM unset or "dumb"). The editor itself starts at
// the first line read, so a program that never reads the console never starts it.
const Console* terminal_console();

}  // namespace lineio::line_editor
