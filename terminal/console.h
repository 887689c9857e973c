// The terminal room: the programs' standard console, edited at a terminal.
//
// Data flow: a program binds the console once at start-up (bind_standard_console); the
// dialogue says before each console read what the line answers (next_line_answers), so that
// the line editor recalls earlier answers to the same question and completes file names; the
// units of lineio then read and write the console as any other.
#pragma once

#include <string_view>

namespace terminal {

// Binds units 5 and 6 to standard input and standard output: through the line editor when
// both are a terminal it can edit on, as plain streams otherwise.
void bind_standard_console();

// What the console's next line answers, for a terminal's line editor: a short name of the
// question (earlier answers are recalled per name, also from earlier runs) and whether the
// answer names a file (Tab completes file names). Without an editor it changes nothing.
void next_line_answers(std::string_view question, bool names_file);

}  // namespace terminal
