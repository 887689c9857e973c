// The program's command-line arguments as UTF-8 text, whatever the system passes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace os {

// The arguments after the program's name, each as UTF-8. On POSIX systems they are argv as
// given; on Windows they come from the wide command line, so that names in any language
// arrive whole, not through the ANSI code page.
std::vector<std::string> program_arguments(int argc, char** argv);

// The running program's name: its file name without the folder (and without ".exe"), as
// UTF-8, for the names of its temporary files ("kel2fram", "massplot").
std::string_view program_name();

}  // namespace os
