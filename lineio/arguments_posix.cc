// The command-line arguments on POSIX systems: argv as given (its bytes are the names).
#include <span>

#include "lineio/arguments.h"

namespace lineio {

std::vector<std::string> program_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  if (argc < 1 || argv == nullptr) return arguments;
  for (const char* argument : std::span(argv, static_cast<std::size_t>(argc)).subspan(1)) {
    arguments.emplace_back(argument != nullptr ? argument : "");
  }
  return arguments;
}

}  // namespace lineio
