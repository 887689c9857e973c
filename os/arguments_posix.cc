// The command-line arguments on POSIX systems: argv as given (its bytes are the names).
#include <unistd.h>

#include <array>
#include <span>

#include "os/arguments.h"

namespace os {

std::vector<std::string> program_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  if (argc < 1 || argv == nullptr) return arguments;
  for (const char* argument : std::span(argv, static_cast<std::size_t>(argc)).subspan(1)) {
    arguments.emplace_back(argument != nullptr ? argument : "");
  }
  return arguments;
}

std::string_view program_name() {
  static const std::string name = [] {
    std::array<char, 4096> path{};
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return std::string("kel2fram");
    const std::string_view full(path.data(), static_cast<std::size_t>(n));
    return std::string(full.substr(full.rfind('/') + 1));  // npos + 1 == 0
  }();
  return name;
}

}  // namespace os
