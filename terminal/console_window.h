// The console window the program runs in, where the system gives a program one of its own.
#pragma once

#include <string_view>

namespace terminal {

// Whether the program has a console window of its own, which closes when the program ends,
// and reads and writes it: on Windows, started from the desktop (a double click, or a file
// dropped on the program), so that the console holds this process alone. Never so for a run
// from a shell or with its input or output redirected.
bool console_window_of_its_own();

// Whether an argument is the system's own way of asking a program for help ("/?" on
// Windows).
bool is_system_help_switch(std::string_view argument);

// At the end of a run in a console window of the program's own, which closes with the
// program: asks for Enter, so that the report, or the error that ended the run, stays
// readable until then.
void wait_before_window_closes();

}  // namespace terminal
