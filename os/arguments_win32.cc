// The command-line arguments on Windows: the wide command line, split by the system's own
// rules and turned into UTF-8 once, so that no name passes through the ANSI code page.
#include <windows.h>
// After windows.h, whose declarations it uses.
#include <shellapi.h>

#include <climits>
#include <span>

#include "os/arguments.h"

namespace os {
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

std::string_view program_name() {
  static const std::string name = [] {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n == 0) return std::string("kel2fram");
      if (n < path.size()) {
        path.resize(n);
        break;
      }
      path.resize(path.size() * 2);
    }
    std::wstring base = path.substr(path.find_last_of(L"\\/") + 1);  // npos + 1 == 0
    if (base.size() > 4 &&
        CompareStringOrdinal(base.c_str() + base.size() - 4, 4, L".exe", 4, TRUE) == CSTR_EQUAL) {
      base.resize(base.size() - 4);
    }
    return utf8_of(base.c_str());
  }();
  return name;
}

}  // namespace os
