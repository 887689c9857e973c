// Test support on Windows: the program runs as a child process with its standard streams on
// pipes; standard input is fed and standard error drained by threads of their own, so that
// no pipe fills up while another is waited for.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "support/subprocess.h"

namespace testing_support {
namespace {

std::wstring widen(std::string_view text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::filesystem::path path_of(std::string_view utf8) {
  return {std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size())};
}

// One argument as the C runtime of the child splits the command line again.
void append_quoted(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') backslashes = backslashes * 2 + 1;
    line.append(backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

struct Pipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  Pipe() {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (CreatePipe(&read, &write, &inherit, 0) == 0) throw std::runtime_error("CreatePipe failed");
  }
  static void close(HANDLE& h) {
    if (h != nullptr) CloseHandle(h);
    h = nullptr;
  }
};

void drain(HANDLE from, std::string& into, std::size_t stop_after = 0) {
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (ReadFile(from, buffer, sizeof buffer, &n, nullptr) == 0 || n == 0) return;
    into.append(buffer, n);
    if (stop_after > 0 && into.size() >= stop_after) return;
  }
}

}  // namespace

RunResult run_program(const std::string& exe, const std::vector<std::string>& args,
                      std::string_view stdin_bytes, const std::string& cwd,
                      std::size_t close_stdout_after) {
  Pipe in;
  Pipe out;
  Pipe err;
  // The parent's ends are not inherited.
  SetHandleInformation(in.write, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(out.read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err.read, HANDLE_FLAG_INHERIT, 0);

  std::wstring program = widen(exe);
  std::wstring full(MAX_PATH * 4, L'\0');
  const DWORD n =
      GetFullPathNameW(program.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n > 0 && n < full.size()) program.assign(full.data(), n);
  std::wstring line;
  append_quoted(line, program);
  for (const auto& a : args) {
    line += L' ';
    append_quoted(line, widen(a));
  }
  const std::wstring folder = widen(cwd);

  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = in.read;
  start.hStdOutput = out.write;
  start.hStdError = err.write;
  PROCESS_INFORMATION child{};
  // Under Wine a process start now and then fails for no reason of the test's (error 193 for
  // a sound program, once for some seconds on a first run while a package test ran beside);
  // more tries, longer and longer apart (about 13 s in all), tell such a hiccup from a real
  // failure.
  constexpr int kTries = 12;
  for (int attempt = 1;; ++attempt) {
    if (CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &start, &child) != 0) {
      break;
    }
    if (attempt == kTries) {
      throw std::runtime_error("CreateProcess failed, error " + std::to_string(GetLastError()));
    }
    Sleep(static_cast<DWORD>(200 * attempt));
  }
  CloseHandle(child.hThread);
  Pipe::close(in.read);
  Pipe::close(out.write);
  Pipe::close(err.write);

  RunResult result;
  std::thread feeder([&] {
    std::size_t sent = 0;
    while (sent < stdin_bytes.size()) {
      DWORD w = 0;
      const auto chunk =
          static_cast<DWORD>(std::min<std::size_t>(stdin_bytes.size() - sent, 65536));
      if (WriteFile(in.write, stdin_bytes.data() + sent, chunk, &w, nullptr) == 0) break;
      sent += w;
    }
    Pipe::close(in.write);
  });
  std::thread errors([&] { drain(err.read, result.err); });
  drain(out.read, result.out, close_stdout_after);
  Pipe::close(out.read);  // a closed console reader, when the run goes on writing
  WaitForSingleObject(child.hProcess, 120000);
  feeder.join();
  errors.join();
  Pipe::close(err.read);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hProcess);
  result.status = static_cast<int>(code);
  return result;
}

ScratchDir::ScratchDir() {
  static std::atomic<unsigned> count{0};
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto dir = base / ("kel2fram-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(count++) + "-" + std::to_string(GetTickCount64()));
    std::error_code ec;
    if (std::filesystem::create_directory(dir, ec)) {
      const std::u8string name = dir.u8string();
      path_.assign(reinterpret_cast<const char*>(name.data()), name.size());
      return;
    }
  }
  throw std::runtime_error("no scratch folder");
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(path_of(path_), ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_of(path_), ec);
}

void ScratchDir::write(std::string_view name, std::string_view bytes) const {
  std::ofstream f(path_of(file(name)), std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ScratchDir::read(std::string_view name) const {
  std::ifstream f(path_of(file(name)), std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool ScratchDir::exists(std::string_view name) const {
  return std::filesystem::exists(path_of(file(name)));
}

const char* const kLockedReason = "in use by another program that does not share it";
const char* const kErrEnd = "\r\n";

LockedFile::LockedFile(std::string path) : path_(std::move(path)) {
  HANDLE h = CreateFileW(path_of(path_).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot lock " + path_);
  handle_ = reinterpret_cast<std::intptr_t>(h);
}

LockedFile::~LockedFile() {
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::string crlf(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) {
    s += l;
    s += "\r\n";
  }
  return s;
}

}  // namespace testing_support
