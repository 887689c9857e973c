// POSIX systems start console programs in the terminal of their caller.
#include "lineio/console_window.h"

namespace lineio {

bool console_window_of_its_own() {
  return false;
}

bool is_system_help_switch(std::string_view /*argument*/) {
  return false;
}

}  // namespace lineio
