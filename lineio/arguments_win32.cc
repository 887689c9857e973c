// The command-line arguments on Windows: the wide command line, split by the system's own
// rules and turned into UTF-8 once, so that no name passes through the ANSI code page.
#include <windows.h>
// After windows.h, whose declarations it uses.
#include <shellapi.h>

#include <climits>
#include <span>

#include "lineio/arguments.h"

namespace lineio {
namespace {

std::string utf8_of(const wchar_t* wide) {
  std::string text;
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return text;
  text.assign(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
  text.pop_back();  // the terminating NUL
  return text;
}

}  // namespace

std::vector<std::string> program_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    // Without the wide form, the bytes the C run-time gave are all there is.
    if (argc > 1 && argv != nullptr) {
      for (const char* a : std::span(argv, static_cast<std::size_t>(argc)).subspan(1)) {
        arguments.emplace_back(a != nullptr ? a : "");
      }
    }
    return arguments;
  }
  for (int k = 1; k < count; ++k) arguments.push_back(utf8_of(wide[k]));
  LocalFree(static_cast<HLOCAL>(wide));
  return arguments;
}

}  // namespace lineio
