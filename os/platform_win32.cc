// The system services of the unit table on Windows: the process and its console, transfers,
// and files read or updated in place (output that replaces a file is commit_win32.cc's).
//
// Names are UTF-8 in the program and UTF-16 at the system boundary (the ...W calls); a name
// that is not valid UTF-8 is taken in the system's ANSI code page, as a batch file written
// by an older editor would give it. Standard streams are transferred as bytes: the program
// writes its own CR LF, and an interactive console is read and written in UTF-16, so that
// typed names with non-ASCII letters arrive as UTF-8 whatever the console's code page.
#include <fcntl.h>
#include <io.h>

#include "os/win32.h"
// After windows.h, whose declarations it uses.
#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "os/arguments.h"
#include "os/platform.h"

namespace os {
namespace {

using namespace win32;  // NOLINT(google-build-using-namespace)

bool is_directory_name(const std::wstring& name) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Ctrl-C, Ctrl-Break or a closing console: the temporary files go by themselves when the
// process ends (the system deletes them as their handles close); a commit under way is
// finished first.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      finish_commit_first();
      break;
    default:
      break;
  }
  return FALSE;  // the default handling ends the process
}

// ---- The interactive console ------------------------------------------------------------

bool is_console(HANDLE h) {
  DWORD mode = 0;
  return GetConsoleMode(h, &mode) != 0;
}

constexpr char kCtrlZ = '\x1a';

// Reads typed text as UTF-16 and gives it as UTF-8. Ctrl-Z at the start of a line is the end
// of input, as in any console program.
long read_console(HANDLE h, std::span<char> into) {
  static wchar_t held = 0;  // a high surrogate whose partner has not been read yet
  std::array<wchar_t, 4096> wide{};
  const std::size_t room = std::min(wide.size() - 1, into.size() / 3);
  if (room == 0) return -EINVAL;
  std::size_t have = 0;
  if (held != 0) {
    wide[have++] = held;
    held = 0;
  }
  for (;;) {
    DWORD got = 0;
    if (ReadConsoleW(h, wide.data() + have, static_cast<DWORD>(room - have), &got, nullptr) == 0) {
      if (GetLastError() == ERROR_OPERATION_ABORTED) continue;  // Ctrl-C while reading
      return -last_code();
    }
    if (got == 0 && have == 0) return 0;
    have += got;
    break;
  }
  if (wide[0] == static_cast<wchar_t>(kCtrlZ)) return 0;
  if (have > 1 && IS_HIGH_SURROGATE(wide[have - 1])) held = wide[--have];
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(have), into.data(),
                                    static_cast<int>(into.size()), nullptr, nullptr);
  return n > 0 ? n : -last_code();
}

// Writes UTF-8 text to the console as UTF-16. A character cut at the end of one write is
// completed by the next.
int write_console(HANDLE h, std::span<const char> bytes) {
  static std::string held;  // the start of a cut character
  std::string text = held + std::string(bytes.data(), bytes.size());
  held.clear();
  std::size_t end = text.size();
  // Keep back an unfinished multi-byte sequence at the end (at most 3 bytes).
  for (std::size_t back = 1; back <= std::min<std::size_t>(3, text.size()); ++back) {
    const auto c = static_cast<unsigned char>(text[text.size() - back]);
    if ((c & 0xC0) == 0x80) continue;  // continuation byte: look further back
    const std::size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (need > back) end = text.size() - back;
    break;
  }
  held = text.substr(end);
  std::wstring wide;
  if (!convert(CP_UTF8, 0, std::string_view(text).substr(0, end), wide)) return EIO;
  std::size_t done = 0;
  while (done < wide.size()) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 16384));
    if (WriteConsoleW(h, wide.data() + done, chunk, &n, nullptr) == 0) return last_code();
    if (n == 0) return EIO;
    done += n;
  }
  return 0;
}

}  // namespace

// ---- The process and its console ------------------------------------------------------

void prepare_process() {
  // The C library's streams too pass bytes unchanged: CR LF is written by the program itself.
  for (FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
  // A missing disk in a drive is a failed open, not a dialogue box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  SetConsoleCtrlHandler(on_console_event, TRUE);
  // A closed console reader shows up as a failed write (ERROR_NO_DATA); files have no size
  // limit that ends the process: nothing more to set up.
}

Handle standard_input() {
  HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
  return h == nullptr ? kNoHandle : as_value(h);
}
Handle standard_output() {
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  return h == nullptr ? kNoHandle : as_value(h);
}
Handle standard_error() {
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  return h == nullptr ? kNoHandle : as_value(h);
}

std::string_view error_line_end() {
  return "\r\n";
}

bool same_file(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE x = open_handle(system_name(a), 0, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  HANDLE y = open_handle(system_name(b), 0, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  const bool same =
      x != INVALID_HANDLE_VALUE && y != INVALID_HANDLE_VALUE && win32::same_file(x, y);
  if (x != INVALID_HANDLE_VALUE) CloseHandle(x);
  if (y != INVALID_HANDLE_VALUE) CloseHandle(y);
  return same;
}

bool standard_output_was_closed() {
  return standard_output() == kNoHandle;
}

bool is_terminal(Handle handle) {
  return handle != kNoHandle && is_console(as_handle(handle));
}

// ---- Transfers ------------------------------------------------------------------------

namespace {

long read_file(HANDLE h, std::span<char> into) {
  const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1U << 30));
  for (;;) {
    DWORD got = 0;
    if (ReadFile(h, into.data(), want, &got, nullptr) != 0) return static_cast<long>(got);
    const DWORD error = GetLastError();
    // A pipe whose writer has gone, or a file at its end, is the end of the input.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    if (error == ERROR_OPERATION_ABORTED) continue;
    return -code_of(error);
  }
}

}  // namespace

int file_stamp(Handle handle, FileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(as_handle(handle), &info) == 0) return EIO;
  stamp.size =
      static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  stamp.modified =
      static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                info.ftLastWriteTime.dwLowDateTime);
  stamp.status_changed = 0;
  return 0;
}

long read(Handle handle, std::span<char> into) {
  if (handle == kNoHandle) return -EBADF;
  HANDLE h = as_handle(handle);
  if (is_console(h)) return read_console(h, into);
  return read_file(h, into);
}

int write_all(Handle handle, std::span<const char> bytes) {
  if (handle == kNoHandle) return EBADF;
  HANDLE h = as_handle(handle);
  if (is_console(h)) return write_console(h, bytes);
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1U << 30));
    if (WriteFile(h, p, chunk, &n, nullptr) == 0) return last_code();
    if (n == 0) return EIO;
    p += n;
    left -= n;
  }
  return 0;
}

long read_at(Handle handle, std::int64_t offset, std::span<char> into) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFU);
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  DWORD got = 0;
  const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1U << 30));
  if (ReadFile(as_handle(handle), into.data(), want, &got, &at) != 0) return got;
  if (GetLastError() == ERROR_HANDLE_EOF) return 0;
  return -last_code();
}

int write_at(Handle handle, std::int64_t offset, std::span<const char> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const auto position = static_cast<std::uint64_t>(offset) + done;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFU);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1U << 30));
    if (WriteFile(as_handle(handle), bytes.data() + done, chunk, &n, &at) == 0) {
      return last_code();
    }
    if (n == 0) return EIO;
    done += n;
  }
  return 0;
}

int rewind(Handle handle) {
  HANDLE h = as_handle(handle);
  if (GetFileType(h) != FILE_TYPE_DISK) return ESPIPE;
  LARGE_INTEGER start{};
  return SetFilePointerEx(h, start, nullptr, FILE_BEGIN) != 0 ? 0 : last_code();
}

int truncate(Handle handle) {
  HANDLE h = as_handle(handle);
  LARGE_INTEGER start{};
  if (SetFilePointerEx(h, start, nullptr, FILE_BEGIN) == 0) return last_code();
  return SetEndOfFile(h) != 0 ? 0 : last_code();
}

void close(Handle handle) {
  if (handle != kNoHandle) CloseHandle(as_handle(handle));
}

// ---- Files read, or updated in place --------------------------------------------------

int open_existing(std::string_view name, bool update, Opened& file) {
  const std::wstring wide = system_name(name);
  if (wide.empty()) return ENOENT;
  if (is_directory_name(wide)) return EISDIR;
  bool writable = update;
  HANDLE h =
      open_handle(wide, GENERIC_READ | (update ? GENERIC_WRITE : 0), kShareAll, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE && update) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
        error == ERROR_WRITE_PROTECT) {
      writable = false;
      h = open_handle(wide, GENERIC_READ, kShareAll, OPEN_EXISTING);
    } else {
      SetLastError(error);
    }
  }
  if (h == INVALID_HANDLE_VALUE) return last_code();
  const Kind kind = kind_of(h);
  if (kind == Kind::directory) {
    CloseHandle(h);
    return EISDIR;
  }
  file = Opened{as_value(h), kind, writable};
  return 0;
}

int open_update(std::string_view name, bool exclusive, Opened& file) {
  const std::wstring wide = system_name(name);
  if (wide.empty()) return ENOENT;
  if (is_directory_name(wide)) return EISDIR;
  HANDLE h = open_handle(wide, GENERIC_READ | GENERIC_WRITE, kShareAll,
                         exclusive ? CREATE_NEW : OPEN_ALWAYS);
  if (h == INVALID_HANDLE_VALUE) return last_code();
  file = Opened{as_value(h), kind_of(h), true};
  return 0;
}

int open_scratch(Opened& file) {
  std::wstring folder(MAX_PATH + 1, L'\0');
  const DWORD n = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  if (n == 0 || n > folder.size()) return last_code();
  folder.resize(n);
  const std::wstring stem = folder + widen(program_name()) + L"-scratch-";
  // Unpredictable names from the system's random source, tried until one is free.
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    const std::wstring letters = random_letters(kRandomLetters);
    if (letters.empty()) return EIO;
    // Deleted by the system when closed, also when the program is ended from outside.
    HANDLE h = open_handle(stem + letters, GENERIC_READ | GENERIC_WRITE | DELETE, 0, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
    if (h != INVALID_HANDLE_VALUE) {
      file = Opened{as_value(h), Kind::regular, true};
      return 0;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return last_code();
  }
  return EEXIST;
}

}  // namespace os
