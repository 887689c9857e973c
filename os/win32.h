// Internal to the Windows implementation of platform.h: what its files share.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00  // declares the newer information classes; older systems refuse them
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "os/platform.h"

namespace os::win32 {

inline HANDLE as_handle(Handle h) {
  return reinterpret_cast<HANDLE>(h);  // NOLINT(performance-no-int-to-ptr)
}
inline Handle as_value(HANDLE h) {
  return reinterpret_cast<Handle>(h);
}

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The errno value nearest to a system error, so that messages read as on other systems.
// Another program's hold on a file (a sharing or lock violation) is EBUSY, a read-only file
// or medium EROFS.
int code_of(DWORD error);
int last_code();

// Text in the given code page to UTF-16 (MultiByteToWideChar's flags); false when the system
// refuses it.
bool convert(UINT code_page, DWORD flags, std::string_view name, std::wstring& wide);
// UTF-8 to UTF-16; a name that is not valid UTF-8 is taken in the system's ANSI code page
// (the one its older programs write, whatever code page this program runs with).
std::wstring widen(std::string_view name);
std::string narrow(std::wstring_view wide);

// The full path of a name (the current folder's, for a relative one).
std::wstring full_path(const std::wstring& name);
// A full path in the \\?\ form, which every system call takes at any length.
std::wstring long_form(const std::wstring& full);
// The name as the system calls take it: as given when short, in the \\?\ form when its full
// path, or that of a temporary file beside it, would pass the classic 260 characters.
std::wstring system_name(std::string_view name);

// The path of an open file or folder, links followed: with VOLUME_NAME_DOS in the \\?\ form,
// with VOLUME_NAME_NT as the native calls take it ("\Device\..."); empty when unknown.
std::wstring final_path(HANDLE h, DWORD volume);

HANDLE open_handle(const std::wstring& name, DWORD access, DWORD share, DWORD disposition,
                   DWORD flags = FILE_ATTRIBUTE_NORMAL);
Kind kind_of(HANDLE h);
bool same_file(HANDLE a, HANDLE b);

// Temporary names: this many random letters and digits (about 52 bits), and this many tries
// before a folder that refuses every name is given up.
inline constexpr std::size_t kRandomLetters = 10;
inline constexpr int kNameTries = 1000;
// n letters and digits from the system's random source (empty when it fails).
std::wstring random_letters(std::size_t n);

// Gives the file `to` (opened with WRITE_OWNER and WRITE_DAC) the owner, group and DACL of
// `from` (opened with READ_CONTROL), exactly as they are (security_copy_win32.cc). A file
// whose permissions do not let this user write it is EACCES, an owner that this user may not
// give kOwnerNotKept; a file system without permissions has nothing to give. Answers 0 or a
// code.
int copy_security(HANDLE from, HANDLE to);

// The console control handler's part in a commit: it waits until a commit under way is done,
// so that Ctrl-C never ends the process between its steps.
void finish_commit_first();

}  // namespace os::win32
