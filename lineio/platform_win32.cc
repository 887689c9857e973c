// The system services of the unit table on Windows.
//
// Names are UTF-8 in the program and UTF-16 at the system boundary (the ...W calls); a name
// that is not valid UTF-8 is taken in the system's ANSI code page, as a batch file written
// by an older editor would give it. Standard streams are transferred as bytes: the program
// writes its own CR LF, and an interactive console is read and written in UTF-16, so that
// typed names with non-ASCII letters arrive as UTF-8 whatever the console's code page.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00  // declares the rename flags; older systems refuse them at run time
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lineio/platform.h"

namespace lineio::platform {
namespace {

HANDLE as_handle(Handle h) {
  return reinterpret_cast<HANDLE>(h);  // NOLINT(performance-no-int-to-ptr)
}
Handle as_value(HANDLE h) {
  return reinterpret_cast<Handle>(h);
}

// The errno value nearest to a system error, so that messages read as on other systems.
int code_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_NETWORK_ACCESS_DENIED:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
      return ESPIPE;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    default:
      return EIO;
  }
}

int last_code() {
  return code_of(GetLastError());
}

// ---- Names ------------------------------------------------------------------------------

bool convert(UINT code_page, DWORD flags, std::string_view name, std::wstring& wide) {
  if (name.empty()) {
    wide.clear();
    return true;
  }
  const int length = static_cast<int>(std::min<std::size_t>(name.size(), INT_MAX / 2));
  const int n = MultiByteToWideChar(code_page, flags, name.data(), length, nullptr, 0);
  if (n <= 0) return false;
  wide.assign(static_cast<std::size_t>(n), L'\0');
  return MultiByteToWideChar(code_page, flags, name.data(), length, wide.data(), n) == n;
}

std::wstring widen(std::string_view name) {
  std::wstring wide;
  if (!convert(CP_UTF8, MB_ERR_INVALID_CHARS, name, wide)) convert(CP_ACP, 0, name, wide);
  return wide;
}

std::string narrow(std::wstring_view wide) {
  std::string text;
  if (wide.empty()) return text;
  const int length = static_cast<int>(std::min<std::size_t>(wide.size(), INT_MAX / 4));
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return text;
  text.assign(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, text.data(), n, nullptr, nullptr);
  return text;
}

// The name as the system calls take it: long absolute names get the \\?\ form, which lifts
// the 260-character limit. Device names (CON, NUL) and short names are passed as given.
std::wstring system_name(std::string_view name) {
  std::wstring wide = widen(name);
  constexpr std::size_t kShortEnough = MAX_PATH - 14;  // room for a temporary name's suffix
  if (wide.size() < kShortEnough || wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) {
    return wide;
  }
  const DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (need == 0) return wide;
  std::wstring full(need, L'\0');
  const DWORD got = GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return wide;
  full.resize(got);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE open_handle(const std::wstring& name, DWORD access, DWORD share, DWORD disposition,
                   DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return CreateFileW(name.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

Kind kind_of(HANDLE h) {
  switch (GetFileType(h)) {
    case FILE_TYPE_DISK: {
      BY_HANDLE_FILE_INFORMATION info{};
      if (GetFileInformationByHandle(h, &info) != 0 &&
          (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Kind::directory;
      }
      return Kind::regular;
    }
    case FILE_TYPE_CHAR:
      return Kind::device;
    case FILE_TYPE_PIPE:
      return Kind::fifo;
    default:
      return Kind::other;
  }
}

bool is_directory_name(const std::wstring& name) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool same_file(HANDLE a, HANDLE b) {
  if (GetFileType(a) != FILE_TYPE_DISK || GetFileType(b) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION x{};
  BY_HANDLE_FILE_INFORMATION y{};
  if (GetFileInformationByHandle(a, &x) == 0 || GetFileInformationByHandle(b, &y) == 0) {
    return false;
  }
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

// The path a handle's file has once links are followed, or empty.
std::wstring final_name(HANDLE h) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                      FILE_NAME_NORMALIZED);
  if (n >= path.size()) {
    path.assign(n + 1, L'\0');
    n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                  FILE_NAME_NORMALIZED);
  }
  if (n == 0 || n >= path.size()) return {};
  path.resize(n);
  return path;
}

// A name no other run is likely to pick: the process number and a running count, mixed with
// the clock. Creation refuses an existing name, so a clash only costs another try.
std::wstring unique_suffix() {
  static unsigned count = 0;
  LARGE_INTEGER clock{};
  QueryPerformanceCounter(&clock);
  std::uint64_t x = (std::uint64_t{GetCurrentProcessId()} << 32) ^
                    static_cast<std::uint64_t>(clock.QuadPart) ^ (std::uint64_t{++count} << 20);
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  constexpr std::wstring_view kLetters = L"abcdefghijklmnopqrstuvwxyz0123456789";
  std::wstring suffix;
  for (int k = 0; k < 6; ++k) {
    suffix += kLetters[x % kLetters.size()];
    x /= kLetters.size();
  }
  return suffix;
}

// ---- Pending temporary files, removed on Ctrl-C, Ctrl-Break or a closing console ---------
// The console control handler runs on a thread of its own while the program goes on; the
// lock keeps it and the registrations from seeing a half-made entry.

constexpr std::size_t kSlots = 100;
SRWLOCK pending_lock = SRWLOCK_INIT;
std::array<std::wstring, kSlots> pending_names;

int note_pending(const std::wstring& temp) {
  AcquireSRWLockExclusive(&pending_lock);
  int slot = -1;
  for (std::size_t n = 0; n < kSlots; ++n) {
    if (pending_names[n].empty()) {
      pending_names[n] = temp;
      slot = static_cast<int>(n);
      break;
    }
  }
  ReleaseSRWLockExclusive(&pending_lock);
  return slot;
}

void forget_pending(int slot) {
  if (slot < 0 || static_cast<std::size_t>(slot) >= kSlots) return;
  AcquireSRWLockExclusive(&pending_lock);
  pending_names[static_cast<std::size_t>(slot)].clear();
  ReleaseSRWLockExclusive(&pending_lock);
}

BOOL WINAPI remove_pending_files(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  // Held to the end: the process is on its way out, and no file may be registered after.
  AcquireSRWLockExclusive(&pending_lock);
  for (const std::wstring& name : pending_names) {
    // The writer's open handle allows deletion: the name goes now, the file at exit.
    if (!name.empty()) DeleteFileW(name.c_str());
  }
  return FALSE;  // the default handling ends the process
}

// ---- Fault injection --------------------------------------------------------------------

Step injected_step = Step::sync;
int injected_code = 0;
void (*step_observer)(Step) = nullptr;

// Announces a commit step; answers the injected failure for it, or 0.
int step_begins(Step step) {
  if (step_observer != nullptr) step_observer(step);
  if (injected_code != 0 && injected_step == step) {
    const int code = injected_code;
    injected_code = 0;
    return code;
  }
  return 0;
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
  SetConsoleCtrlHandler(remove_pending_files, TRUE);
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

// Answers piped from a file that an editor saved with the UTF-8 signature (EF BB BF) start
// with it; it is not part of the first answer.
long skip_signature(HANDLE h, std::span<char> into, long n) {
  constexpr std::string_view kSignature = "\xEF\xBB\xBF";
  if (n < 3 || std::string_view(into.data(), 3) != kSignature) return n;
  std::memmove(into.data(), into.data() + 3, static_cast<std::size_t>(n - 3));
  n -= 3;
  return n > 0 ? n : read_file(h, into);
}

}  // namespace

long read(Handle handle, std::span<char> into) {
  if (handle == kNoHandle) return -EBADF;
  HANDLE h = as_handle(handle);
  if (is_console(h)) return read_console(h, into);
  static bool input_started = false;
  long n = read_file(h, into);
  if (!input_started && n > 0 && h == GetStdHandle(STD_INPUT_HANDLE)) {
    input_started = true;
    n = skip_signature(h, into, n);
  }
  return n;
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
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring name = folder + L"kel2fram-scratch-" + unique_suffix();
    // Deleted by the system when closed, also when the program is ended from outside.
    HANDLE h = open_handle(name, GENERIC_READ | GENERIC_WRITE | DELETE, 0, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
    if (h != INVALID_HANDLE_VALUE) {
      file = Opened{as_value(h), Kind::regular, true};
      return 0;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return last_code();
  }
  return EEXIST;
}

// ---- Output that replaces a file only when committed ----------------------------------

namespace {

// Makes the temporary file beside `target` (an existing file's final path, or the name as
// given for a new one).
int open_temporary(const std::wstring& target, Output& out) {
  const std::size_t cut = target.find_last_of(L"\\/:");
  std::wstring folder;
  std::wstring base = target;
  if (cut != std::wstring::npos) {
    folder = target.substr(0, cut + 1);
    base = target.substr(cut + 1);
  }
  // At most 200 characters of the target's name, so that a folder entry stays within 255.
  std::wstring stem = folder;
  stem += L'.';
  stem.append(base, 0, 200);
  stem += L".kel2fram-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring temp = stem + unique_suffix();
    // Shared for deletion, so that Ctrl-C can remove it while it is open here.
    HANDLE h = open_handle(temp, GENERIC_READ | GENERIC_WRITE | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return last_code();
    }
    out.handle = as_value(h);
    out.route = Route::replace;
    out.target = narrow(target);
    out.temp = narrow(temp);
    out.slot = note_pending(temp);
    return 0;
  }
  return EEXIST;
}

void remove_temporary(Output& out) {
  if (out.handle != kNoHandle) CloseHandle(as_handle(out.handle));
  out.handle = kNoHandle;
  if (!out.temp.empty()) DeleteFileW(widen(out.temp).c_str());
  forget_pending(out.slot);
  out.slot = -1;
  out.temp.clear();
}

// Renames over a target that this program (or another, sharing it for deletion) still holds
// open, as with input = output: the replacement that newer systems offer for this case,
// atomic like the plain rename. Answers whether it was done.
bool rename_over_open_target(const std::wstring& temp, const std::wstring& target) {
  // FileRenameInfoEx (Windows 10 1607 and later); the headers declare it for newer targets only.
  constexpr auto kRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
  HANDLE h = open_handle(temp, DELETE | SYNCHRONIZE, kShareAll, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return false;
  const std::size_t bytes = sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t);
  std::vector<char> buffer(bytes, 0);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
  info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::copy(target.begin(), target.end(), info->FileName);
  const bool done =
      SetFileInformationByHandle(h, kRenameInfoEx, info, static_cast<DWORD>(bytes)) != 0;
  CloseHandle(h);
  return done;
}

// Where that is not offered: the open target moves aside to a name of its own (which open
// handles allow when they share deletion), the temporary file takes its name, and the former
// file is deleted (it goes when its last handle closes). Should the second move fail, the
// former file moves back. Answers 0 or the code of the first failure.
int swap_in(const std::wstring& temp, const std::wstring& target) {
  constexpr DWORD kMove = MOVEFILE_WRITE_THROUGH;
  const std::wstring aside = temp + L"-former";
  if (MoveFileExW(target.c_str(), aside.c_str(), kMove) == 0) return last_code();
  if (MoveFileExW(temp.c_str(), target.c_str(), kMove) == 0) {
    const int code = last_code();
    MoveFileExW(aside.c_str(), target.c_str(), kMove);
    return code;
  }
  if (DeleteFileW(aside.c_str()) == 0) {
    SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only former file
    DeleteFileW(aside.c_str());
  }
  return 0;
}

// Puts the temporary file in the target's place, written through to the disk. The pending
// list stays locked meanwhile, so that Ctrl-C cannot remove the file half-way.
int replace_target(Output& out) {
  const std::wstring temp = widen(out.temp);
  const std::wstring target = widen(out.target);
  AcquireSRWLockExclusive(&pending_lock);
  int code = 0;
  if (MoveFileExW(temp.c_str(), target.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    const DWORD error = GetLastError();
    code = code_of(error);
    // Refused because the target is open: a target held without sharing for deletion (an
    // editor or a spreadsheet locking it) stays refused, and untouched.
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
      code = rename_over_open_target(temp, target) ? 0 : swap_in(temp, target);
    }
  }
  if (code == 0 && out.slot >= 0 && static_cast<std::size_t>(out.slot) < kSlots) {
    pending_names[static_cast<std::size_t>(out.slot)].clear();
    out.slot = -1;
  }
  ReleaseSRWLockExclusive(&pending_lock);
  return code;
}

}  // namespace

int open_output(std::string_view name, bool exclusive, Output& out) {
  out = Output{};
  const std::wstring wide = system_name(name);
  if (wide.empty()) return ENOENT;
  // What the name opens, without claiming it: asking for its attributes only does not clash
  // with another program's sharing.
  HANDLE probe =
      open_handle(wide, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return open_temporary(wide, out);
    // A device such as CON opens only for a transfer.
    HANDLE device =
        open_handle(wide, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (device != INVALID_HANDLE_VALUE && GetFileType(device) != FILE_TYPE_DISK) {
      if (exclusive) {
        CloseHandle(device);
        return EEXIST;
      }
      out.handle = as_value(device);
      out.route = Route::direct;
      out.target_existed = true;
      out.target = narrow(wide);
      return 0;
    }
    if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
    return code_of(error);
  }
  if (exclusive) {
    CloseHandle(probe);
    return EEXIST;
  }
  out.target_existed = true;
  const Kind kind = kind_of(probe);
  if (kind == Kind::directory) {
    CloseHandle(probe);
    return EISDIR;
  }
  if (kind != Kind::regular) {
    // NUL, CON, a serial line or a named pipe: written as it goes.
    CloseHandle(probe);
    HANDLE h = open_handle(wide, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) return last_code();
    out.handle = as_value(h);
    out.route = Route::direct;
    out.target = narrow(wide);
    return 0;
  }
  for (HANDLE stream : {GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)}) {
    if (stream != nullptr && stream != INVALID_HANDLE_VALUE && same_file(probe, stream)) {
      CloseHandle(probe);
      out.handle = as_value(stream);
      out.route = Route::standard_stream;
      out.target = narrow(wide);
      return 0;
    }
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool read_only = GetFileInformationByHandle(probe, &info) != 0 &&
                         (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  std::wstring target = final_name(probe);
  CloseHandle(probe);
  // A read-only file cannot be replaced; it is refused now rather than after the run.
  if (read_only) return EACCES;
  if (target.empty()) target = wide;
  const int code = open_temporary(target, out);
  out.target_existed = true;
  return code;
}

int commit(Output& out) {
  if (out.route == Route::standard_stream) {
    out.handle = kNoHandle;
    return 0;
  }
  if (out.route == Route::direct) {
    close(out.handle);
    out.handle = kNoHandle;
    return 0;
  }
  // 1. The data reach the disk.
  int code = step_begins(Step::sync);
  if (code == 0 && FlushFileBuffers(as_handle(out.handle)) == 0) code = last_code();
  if (code != 0) {
    remove_temporary(out);
    return code;
  }
  // 2. The temporary file was made with its name: nothing to give it.
  // 3. Closed, so that the rename is not refused for an open handle.
  code = step_begins(Step::close);
  // Closed whatever the outcome: a handle that failed to close is gone all the same.
  if (CloseHandle(as_handle(out.handle)) == 0 && code == 0) code = last_code();
  out.handle = kNoHandle;
  if (code != 0) {
    remove_temporary(out);
    return code;
  }
  // 4. Over the target in one step, written through to the disk before the call returns.
  code = step_begins(Step::rename);
  if (code == 0) code = replace_target(out);
  if (code != 0) {
    remove_temporary(out);
    return code;
  }
  out.temp.clear();
  // 5. The write-through rename has already made the new name durable; a failure injected
  //    here is still reported, with the target holding the new contents.
  return step_begins(Step::sync_folder);
}

void discard(Output& out) {
  if (out.route == Route::replace) {
    remove_temporary(out);
  } else if (out.route == Route::direct) {
    close(out.handle);
  }
  out.handle = kNoHandle;
}

// ---- Fault injection for the tests of the commit sequence -----------------------------

void fail_step_once(Step step, int code) {
  injected_step = step;
  injected_code = code;
}

void observe_steps(void (*observer)(Step)) {
  step_observer = observer;
}

}  // namespace lineio::platform
