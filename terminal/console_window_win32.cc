// Windows: a program started from the desktop gets a console window that closes as it ends.
#include <windows.h>

#include <array>

#include "terminal/console_window.h"

namespace terminal {

bool console_window_of_its_own() {
  // Only a run that reads and writes the console window itself can wait for Enter there; a
  // pipe may never send the line. A console shared with cmd, PowerShell or another program
  // lists them too.
  DWORD mode = 0;
  if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) == 0 ||
      GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) == 0) {
    return false;
  }
  std::array<DWORD, 2> processes{};
  return GetConsoleProcessList(processes.data(), static_cast<DWORD>(processes.size())) == 1;
}

bool is_system_help_switch(std::string_view argument) {
  return argument == "/?";
}

}  // namespace terminal
