// Output that replaces a file only when committed, on Windows.
//
// When the output is opened (at the output question), the folder that will hold the file is
// opened and held without sharing deletion, so that no other program can rename, move or
// replace it until the run ends; every later step names files relative to that handle. The
// temporary file is made there under a random name, hidden and marked temporary, and its
// delete disposition is set at once: whatever ends the process before the commit (taskkill
// /F, a crash, Ctrl-C, a closed console window) makes the system delete it as the handle
// closes. Only the commit clears the disposition, just before the file takes the target's
// name. The file takes the owner, group and DACL of the file it replaces (at the question, so
// that a file whose owner this user cannot give is refused there, and again at the commit).
#include "os/win32.h"
// After windows.h, whose declarations they use.
#include <winioctl.h>
#include <winternl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
#include <vector>

#include "os/arguments.h"
#include "os/commit_steps.h"
#include "os/platform.h"

namespace os {
namespace {

using namespace win32;  // NOLINT(google-build-using-namespace)

// Held from the first step of a commit to its end: the console control handler takes it
// too, and so waits for a commit under way before the process ends.
SRWLOCK commit_lock = SRWLOCK_INIT;

// ---- Files named relative to a folder handle (the system's native calls) ----------------

constexpr auto kRenameInformation = static_cast<FILE_INFORMATION_CLASS>(10);
constexpr auto kRenameInformationEx = static_cast<FILE_INFORMATION_CLASS>(65);
constexpr ULONG kRenameReplaceIfExists = 0x1;
constexpr ULONG kRenamePosixSemantics = 0x2;
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS kAccessDenied = static_cast<NTSTATUS>(0xC0000022);
constexpr NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043);
constexpr NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
constexpr NTSTATUS kNotSupported = static_cast<NTSTATUS>(0xC00000BB);
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);

int code_of_status(NTSTATUS status) {
  return code_of(RtlNtStatusToDosError(status));
}

// Opens or creates `name` in `folder`.
NTSTATUS open_in(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                 ULONG disposition, ULONG attributes, HANDLE& file) {
  UNICODE_STRING text{};
  text.Buffer = const_cast<PWSTR>(name.c_str());
  text.Length = static_cast<USHORT>(std::min<std::size_t>(name.size(), 32000) * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES where{};
  InitializeObjectAttributes(&where, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io{};
  file = nullptr;
  return NtCreateFile(&file, access | SYNCHRONIZE, &where, &io, nullptr, attributes, share,
                      disposition, FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr,
                      0);
}

// Gives the open file `file` the name `name` in `folder` (or, with no folder, the full name
// `name`). `flags` are those of the extended rename (replace, POSIX semantics); with
// `extended` false the plain rename is used, which only knows whether to replace.
NTSTATUS rename_to(HANDLE file, HANDLE folder, const std::wstring& name, ULONG flags,
                   bool extended) {
  struct RenameInformation {
    ULONG flags;  // the plain rename reads its first byte as "replace if exists"
    HANDLE root;
    ULONG length;
    WCHAR name[1];
  };
  const std::size_t size = offsetof(RenameInformation, name) + name.size() * sizeof(wchar_t);
  std::vector<std::byte> buffer(std::max(size, sizeof(RenameInformation)));
  auto* info = reinterpret_cast<RenameInformation*>(buffer.data());
  info->flags = flags;
  info->root = folder;
  info->length = static_cast<ULONG>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end(), static_cast<WCHAR*>(info->name));
  IO_STATUS_BLOCK io{};
  return NtSetInformationFile(file, &io, info, static_cast<ULONG>(buffer.size()),
                              extended ? kRenameInformationEx : kRenameInformation);
}

// The same, relative to the held folder; where the file system takes no name relative to a
// folder (some network redirectors), by the full name of the same place.
NTSTATUS rename_in(HANDLE file, HANDLE folder, const std::wstring& name, ULONG flags,
                   bool extended) {
  const NTSTATUS status = rename_to(file, folder, name, flags, extended);
  if (status != kInvalidParameter && status != kNotSupported) return status;
  std::wstring full = final_path(folder, VOLUME_NAME_NT);
  if (full.empty()) return status;
  if (!full.ends_with(L'\\')) full += L'\\';
  return rename_to(file, nullptr, full + name, flags, extended);
}

bool set_delete_disposition(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = remove ? TRUE : FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) !=
         0;
}

// ---- Names ----------------------------------------------------------------------------

std::size_t last_separator(const std::wstring& path) {
  return path.find_last_of(L"\\/");
}

// A symbolic link that the name opens (when the name is one): its target, or empty.
std::wstring link_target(const std::wstring& full) {
  HANDLE h = open_handle(long_form(full), FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  if (h == INVALID_HANDLE_VALUE) return {};
  struct SymbolicLink {  // the symbolic-link form of the system's reparse data
    ULONG tag;
    USHORT data_length;
    USHORT reserved;
    USHORT substitute_offset;
    USHORT substitute_length;
    USHORT print_offset;
    USHORT print_length;
    ULONG flags;
  };
  constexpr ULONG kRelative = 0x1;
  std::vector<std::byte> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD got = 0;
  const bool read = DeviceIoControl(h, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                                    static_cast<DWORD>(data.size()), &got, nullptr) != 0;
  CloseHandle(h);
  if (!read || got < sizeof(SymbolicLink)) return {};
  const auto* link = reinterpret_cast<const SymbolicLink*>(data.data());
  const std::size_t start = sizeof(SymbolicLink) + link->substitute_offset;
  if (link->tag != IO_REPARSE_TAG_SYMLINK || start + link->substitute_length > got) return {};
  std::wstring target(link->substitute_length / sizeof(wchar_t), L'\0');
  std::copy_n(data.data() + start, target.size() * sizeof(wchar_t),
              reinterpret_cast<std::byte*>(target.data()));
  if ((link->flags & kRelative) != 0) {
    const std::size_t cut = last_separator(full);
    return full_path(full.substr(0, cut + 1) + target);
  }
  if (target.starts_with(L"\\??\\UNC\\")) return L"\\\\" + target.substr(8);
  if (target.starts_with(L"\\??\\")) return target.substr(4);
  return target;
}

// Where a name that opens nothing puts its file: the name itself, or, for a symbolic link
// whose target does not exist yet, that target (so that the link stays and the target is
// made), followed through at most 31 more links.
std::wstring made_through_links(const std::wstring& wide) {
  std::wstring place = full_path(wide);
  for (int depth = 0; depth < 32; ++depth) {
    std::wstring next = link_target(place);
    if (next.empty()) return place;
    place = std::move(next);
  }
  return place;
}

// ---- The temporary file ---------------------------------------------------------------

// The temporary file's name beside the target `base`: at most 200 characters of it, so that
// the folder entry stays within 255, the program's name, and random letters.
std::wstring temporary_name(const std::wstring& base) {
  const std::wstring letters = random_letters(kRandomLetters);
  if (letters.empty()) return {};
  std::wstring program = widen(program_name());
  program.resize(std::min<std::size_t>(program.size(), 16));
  return L"." + base.substr(0, 200) + L"." + program + L"-" + letters;
}

// Gives the temporary file `file` the owner, group and DACL of the file under the name `base`
// in `folder`; with no file under that name, it keeps those the folder gave it.
int take_former_security(HANDLE folder, const std::wstring& base, HANDLE file) {
  HANDLE former = nullptr;
  const NTSTATUS status = open_in(folder, base, READ_CONTROL, kShareAll, FILE_OPEN, 0, former);
  if (status == kNameNotFound) return 0;
  if (!NT_SUCCESS(status)) return code_of_status(status);
  const int code = copy_security(former, file);
  CloseHandle(former);
  return code;
}

// Opens the folder of `target` (a full path) and makes the temporary file in it, with the
// security of the file under that name: one whose owner this user cannot give is refused.
int open_temporary(const std::wstring& target, Output& out) {
  const std::size_t cut = last_separator(target);
  if (cut == std::wstring::npos || cut + 1 == target.size()) return ENOENT;
  const std::wstring folder = long_form(target.substr(0, cut + 1));
  const std::wstring base = target.substr(cut + 1);
  // Held without sharing deletion: the folder cannot be renamed or replaced meanwhile.
  HANDLE held =
      open_handle(folder, FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (held == INVALID_HANDLE_VALUE) return last_code();
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    const std::wstring name = temporary_name(base);
    if (name.empty()) {
      CloseHandle(held);
      return EIO;  // the system's random source failed
    }
    HANDLE h = nullptr;
    const NTSTATUS status =
        open_in(held, name, GENERIC_READ | GENERIC_WRITE | DELETE | WRITE_DAC | WRITE_OWNER,
                FILE_SHARE_READ, FILE_CREATE, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, h);
    if (status == kNameCollision) continue;
    if (!NT_SUCCESS(status)) {
      CloseHandle(held);
      return code_of_status(status);
    }
    // Deleted by the system when its handle closes, unless the commit clears this.
    set_delete_disposition(h, true);
    if (const int code = take_former_security(held, base, h); code != 0) {
      CloseHandle(h);
      CloseHandle(held);
      return code;
    }
    out.handle = as_value(h);
    out.folder = as_value(held);
    out.route = Route::replace;
    out.target = narrow(long_form(target));
    out.temp = narrow(name);
    return 0;
  }
  CloseHandle(held);
  return EEXIST;
}

HANDLE folder_of(const Output& out) {
  return as_handle(out.folder);
}

std::wstring base_of(const Output& out) {
  const std::wstring target = widen(out.target);
  return target.substr(last_separator(target) + 1);
}

// Removes the temporary file and lets go of the folder.
void remove_temporary(Output& out) {
  if (out.handle != kNoHandle) {
    HANDLE h = as_handle(out.handle);
    set_delete_disposition(h, true);  // also after a commit step cleared it
    CloseHandle(h);
  } else if (!out.temp.empty() && out.folder != kNoHandle) {
    HANDLE h = nullptr;
    if (NT_SUCCESS(open_in(folder_of(out), widen(out.temp), DELETE, kShareAll, FILE_OPEN, 0, h))) {
      set_delete_disposition(h, true);
      CloseHandle(h);
    }
  }
  if (out.folder != kNoHandle) CloseHandle(folder_of(out));
  out.handle = kNoHandle;
  out.folder = kNoHandle;
  out.temp.clear();
}

// Where the system refuses to replace a file that another program holds open (sharing
// deletion), and offers no POSIX-style rename: the former file moves aside under a name of
// its own, the new one takes its name, and the former one is deleted (it goes when its last
// handle closes). Should the second move fail, the former file moves back.
NTSTATUS swap_in(HANDLE file, HANDLE folder, const std::wstring& base) {
  HANDLE former = nullptr;
  NTSTATUS status =
      open_in(folder, base, DELETE | FILE_WRITE_ATTRIBUTES, kShareAll, FILE_OPEN, 0, former);
  if (!NT_SUCCESS(status)) return status;
  const std::wstring aside = temporary_name(base);
  status = rename_in(former, folder, aside, 0, false);
  if (NT_SUCCESS(status)) {
    status = rename_in(file, folder, base, 0, false);
    if (!NT_SUCCESS(status)) {
      rename_in(former, folder, base, 0, false);
    } else if (!set_delete_disposition(former, true)) {
      FILE_BASIC_INFO plain{};  // a read-only former file
      plain.FileAttributes = FILE_ATTRIBUTE_NORMAL;
      SetFileInformationByHandle(former, FileBasicInfo, &plain, sizeof plain);
      set_delete_disposition(former, true);
    }
  }
  CloseHandle(former);
  return status;
}

// Gives the temporary file the target's name, replacing the former file in one step.
int rename_over_target(HANDLE file, HANDLE folder, const std::wstring& base) {
  // POSIX semantics (Windows 10 and later) replace also a file that is open elsewhere.
  NTSTATUS status =
      rename_in(file, folder, base, kRenameReplaceIfExists | kRenamePosixSemantics, true);
  if (NT_SUCCESS(status)) return 0;
  status = rename_in(file, folder, base, kRenameReplaceIfExists, false);
  if (NT_SUCCESS(status)) return 0;
  // Refused because the target is open: one held without sharing deletion (an editor or a
  // spreadsheet locking it) stays refused, and untouched.
  if (status == kAccessDenied || status == kSharingViolation) status = swap_in(file, folder, base);
  return NT_SUCCESS(status) ? 0 : code_of_status(status);
}

// The steps of a commit of Route::replace (see platform.h), the commit lock held.
int commit_replacement(Output& out) {
  HANDLE h = as_handle(out.handle);
  // 1. The owner, group and DACL of the file under the target's name now.
  int code = begin_step(Step::attributes);
  if (code == 0) code = take_former_security(folder_of(out), base_of(out), h);
  // 2. A file like any other, its data on the disk.
  if (code == 0) code = begin_step(Step::sync);
  FILE_BASIC_INFO plain{};
  plain.FileAttributes = FILE_ATTRIBUTE_ARCHIVE;
  if (code == 0 && SetFileInformationByHandle(h, FileBasicInfo, &plain, sizeof plain) == 0) {
    code = last_code();
  }
  if (code == 0 && FlushFileBuffers(h) == 0) code = last_code();
  // 3. The file has its name from the start: nothing to give it.
  // 4. Closed so that it stays (its deletion on close cleared first); it is opened again by
  //    its name in the held folder for the rename.
  if (code == 0) {
    code = begin_step(Step::close);
    if (code == 0 && !set_delete_disposition(h, false)) code = last_code();
    if (code == 0) {
      if (CloseHandle(h) == 0) code = last_code();
      out.handle = kNoHandle;  // gone either way; a failure removes the file by its name
    }
  }
  HANDLE renamed = nullptr;
  if (code == 0) {
    // A virus scanner may be looking at the closed file for a moment.
    NTSTATUS status = kSharingViolation;
    for (int attempt = 0; attempt < 20 && status == kSharingViolation; ++attempt) {
      if (attempt > 0) Sleep(50);
      status = open_in(folder_of(out), widen(out.temp), GENERIC_WRITE | DELETE,
                       FILE_SHARE_READ | FILE_SHARE_DELETE, FILE_OPEN, 0, renamed);
    }
    if (!NT_SUCCESS(status)) code = code_of_status(status);
  }
  // 5. Over the target in one step.
  if (code == 0) code = begin_step(Step::rename);
  if (code == 0) code = rename_over_target(renamed, folder_of(out), base_of(out));
  if (code != 0) {
    if (renamed != nullptr) {
      set_delete_disposition(renamed, true);
      CloseHandle(renamed);
      out.temp.clear();
    }
    remove_temporary(out);
    return code;
  }
  out.temp.clear();
  out.in_place = true;  // a failure from here on leaves the new contents under the name
  // 6. The new name on the disk too: flushing the renamed file writes the folder's journal;
  //    the folder itself is flushed where the file system allows it.
  code = begin_step(Step::sync_folder);
  if (code == 0 && FlushFileBuffers(renamed) == 0) code = last_code();
  FlushFileBuffers(folder_of(out));
  CloseHandle(renamed);
  remove_temporary(out);  // lets go of the folder
  return code;
}

}  // namespace

namespace win32 {

void finish_commit_first() {
  // Taken and kept: the process is on its way out.
  AcquireSRWLockExclusive(&commit_lock);
}

}  // namespace win32

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
    if (error == ERROR_FILE_NOT_FOUND) return open_temporary(made_through_links(wide), out);
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
  // The file that the answers or the weight list come through standard input from would be
  // lost as it is read.
  if (HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
      in != nullptr && in != INVALID_HANDLE_VALUE && same_file(probe, in)) {
    CloseHandle(probe);
    return ETXTBSY;
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
  // The file's own path once links are followed: a link stays a link.
  std::wstring target = final_path(probe, VOLUME_NAME_DOS);
  if (target.empty()) target = full_path(wide);
  CloseHandle(probe);
  // A file that cannot be replaced is refused now rather than after the run: read-only, or
  // held open by another program that does not share its deletion.
  if (read_only) return EROFS;
  HANDLE held =
      open_handle(long_form(target), DELETE, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (held == INVALID_HANDLE_VALUE) return last_code();
  CloseHandle(held);
  const int code = open_temporary(target, out);
  out.target_existed = true;
  return code;
}

int commit(Output& out) {
  if (out.route == Route::standard_stream) {
    // The file that standard output or standard error writes is made durable too; a pipe or
    // a console has nothing to flush.
    HANDLE h = as_handle(out.handle);
    out.handle = kNoHandle;
    if (GetFileType(h) == FILE_TYPE_DISK && FlushFileBuffers(h) == 0) return last_code();
    return 0;
  }
  if (out.route == Route::direct) {
    CloseHandle(as_handle(out.handle));
    out.handle = kNoHandle;
    return 0;
  }
  AcquireSRWLockExclusive(&commit_lock);
  const int code = commit_replacement(out);
  ReleaseSRWLockExclusive(&commit_lock);
  return code;
}

void discard(Output& out) {
  if (out.route == Route::replace) {
    remove_temporary(out);
  } else if (out.route == Route::direct && out.handle != kNoHandle) {
    CloseHandle(as_handle(out.handle));
  }
  out.handle = kNoHandle;
}

}  // namespace os
