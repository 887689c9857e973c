// The programs' notices: one line each on standard error, beginning with the program's name,
// after the console's pending output, and ending as lineio ends the notices it writes (LF on
// POSIX systems, CR LF on Windows). Standard output stays the console's, or the program's
// result.
//
// Data flow: a reason (one line, the file's name in front) -> notice -> lineio::notice ->
// standard error.
#pragma once

#include <initializer_list>
#include <string_view>

#include "front/program.h"

namespace front {

// Writes "<program>: <text>" as one line on standard error.
void notice(const Program& program, std::string_view text);
// The same, of parts written one after the other, allocating nothing: the notice of a run
// that ran out of memory.
void notice_without_memory(const Program& program,
                           std::initializer_list<std::string_view> parts) noexcept;

}  // namespace front
