// Windows: a program started from the desktop gets a console window that closes as it ends.
#include <windows.h>

#include <array>

#include "lineio/console_window.h"

namespace lineio {

bool console_window_of_its_own() {
  // A console shared with cmd, PowerShell or another program lists them too; a pipe or a
  // redirected run without a console lists nothing.
  std::array<DWORD, 2> processes{};
  return GetConsoleProcessList(processes.data(), static_cast<DWORD>(processes.size())) == 1;
}

bool is_system_help_switch(std::string_view argument) {
  return argument == "/?";
}

}  // namespace lineio
