// POSIX systems start console programs in the terminal of their caller.
#include "terminal/console_window.h"

namespace terminal {

bool console_window_of_its_own() {
  return false;
}

bool is_system_help_switch(std::string_view /*argument*/) {
  return false;
}

}  // namespace terminal
