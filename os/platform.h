// The few operating-system services that the unit table needs, behind one small interface.
// One implementation per system (platform_posix.cc, platform_win32.cc); nothing above this
// header knows which system it runs on.
//
// Codes: 0 is success; a failure answers a positive error code (an errno value, or on
// Windows the errno value nearest to the system's error), so that messages read alike.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace os {

// A descriptor (POSIX) or a handle value (Windows).
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Refusals of an output that no errno value names (all below the file opening's own 901 and
// 902, so that they pass through its error flag as any code does).
inline constexpr int kOwnerNotKept = 801;              // its owner or group cannot be kept
inline constexpr int kOthersFileInStickyFolder = 802;  // only its owner may replace it
inline constexpr int kChangedWhileRead = 803;          // a file read changed meanwhile

// ---- The process and its console ------------------------------------------------------

// Once, before the first transfer: console streams in binary mode; console streams that the
// caller left closed are opened on the null device (no file the run opens takes their
// place); a closed console reader and a file-size limit become write failures instead of
// ending the process; every other signal that would end the process removes the pending
// temporary files first. A signal that the caller set to be ignored stays ignored.
void prepare_process();
Handle standard_input();
Handle standard_output();
Handle standard_error();
bool is_terminal(Handle handle);
// How a line on standard error ends: LF on POSIX systems, where tools and logs read lines so;
// CR LF on Windows. (The console's own lines end CR LF everywhere.)
std::string_view error_line_end();
// Whether the caller started the program with standard output closed (it then writes to the
// null device, and a result meant for it is lost).
bool standard_output_was_closed();

// ---- Transfers ------------------------------------------------------------------------

// Fills up to into.size() bytes; answers the count, 0 at the end, or minus a code.
long read(Handle handle, std::span<char> into);
// Writes every byte (retrying short writes and interruptions); answers 0 or a code.
int write_all(Handle handle, std::span<const char> bytes);
// Positioned transfers of direct-access files; read_at answers a count as read does.
long read_at(Handle handle, std::int64_t offset, std::span<char> into);
int write_at(Handle handle, std::int64_t offset, std::span<const char> bytes);
// What tells whether a regular file changed: its size and its time of last change. Two stamps
// of one file are equal while nothing writes it.
struct FileStamp {
  std::int64_t size = -1;
  std::int64_t modified = 0;        // the time of the last write, in the system's units
  std::int64_t status_changed = 0;  // POSIX: the last change of the file's status (0 on Windows)
  bool operator==(const FileStamp&) const = default;
};
// The stamp of an open regular file; answers 0 or a code.
int file_stamp(Handle handle, FileStamp& stamp);
// Moves to the first byte; answers 0 or a code (a pipe cannot go back).
int rewind(Handle handle);
// Cuts a file to length 0 at its current position 0; answers 0 or a code.
int truncate(Handle handle);
void close(Handle handle);

// ---- Files read, or updated in place --------------------------------------------------

enum class Kind { regular, directory, fifo, device, other };

struct Opened {
  Handle handle = kNoHandle;
  Kind kind = Kind::other;
  bool writable = false;  // opened for writing too
};

// Whether two names open the same existing file, however spelled: through links, hard
// links, or another path to it. False when either opens nothing.
bool same_file(std::string_view a, std::string_view b);
// Opens an existing file to read; with `update`, to read and write when that is allowed
// (direct access), else to read only. A directory is refused (EISDIR), and so is a regular
// file whose permissions let nobody read it (EACCES), even for a privileged user.
int open_existing(std::string_view name, bool update, Opened& file);
// Opens a file to read and write in place, creating it when absent (direct access);
// `exclusive` refuses an existing file (EEXIST).
int open_update(std::string_view name, bool exclusive, Opened& file);
// An unnamed read-write file that disappears when closed or when the program ends.
int open_scratch(Opened& file);

// ---- Output that replaces a file only when committed ----------------------------------

enum class Route {
  replace,          // a regular file, or none yet: written to a temporary file beside it
  direct,           // a FIFO, a device or a socket: opened write-only and written as it goes
  standard_stream,  // the very file that standard output or standard error is: written
                    // through that descriptor, after what is already there
};

struct Output {
  Handle handle = kNoHandle;  // where written bytes go
  Route route = Route::direct;
  bool target_existed = false;  // the target was there when the output was opened
  std::string target;           // the file a commit replaces (links resolved)
  std::string temp;             // the named temporary file (POSIX: its name in `folder`);
                                // empty for an unnamed one
  int slot = -1;                // registration of the pending file for interrupt clean-up
  Handle folder = kNoHandle;    // the target's folder, held from the open to the end
  bool in_place = false;        // after a commit: the new contents are under the target's
                                // name, also when the last step failed
};

// Prepares output to `name`, classified by what the name opens (not by how it is spelled):
// a regular file, or a name that does not exist yet, gets a temporary file in the same
// folder (so that a folder that refuses new files fails here, at the open); a link whose
// target is missing makes that target; standard output and standard error are written
// through their descriptors; FIFOs, devices and sockets are opened write-only (a FIFO waits
// for its reader). The file or pipe that standard input reads is refused (EBUSY), and so is
// a file or folder that allows no replacement (append-only or immutable: EPERM). On POSIX
// the folder is held open from here on, and every later step works in it, wherever it
// moves. `exclusive` refuses an existing target (EEXIST). A file whose owner and group the
// replacement could not keep is refused (kOwnerNotKept: someone would gain or lose access),
// and so is another user's file in a sticky folder (kOthersFileInStickyFolder). Answers 0 or
// a code; on a failure nothing is left behind.
int open_output(std::string_view name, bool exclusive, Output& out);

// Makes what was written the target's contents, durably. For Route::replace:
//   1. give the temporary file the owner and group (where allowed), the ACL, the extended
//      attributes and the mode of the file now under the target's name (on Windows: the
//      owner, the group where allowed, and the DACL);
//   2. sync the temporary file to the disk;
//   3. give an unnamed temporary file a name in the target's folder, one nobody can foresee;
//   4. close the temporary file;
//   5. rename it over the target (atomic: the target is old or new, never partial);
//   6. sync the folder, so that the new name survives a power cut (the whole file system
//      when the folder may be searched and written but not read).
// A failure in steps 1 to 5 removes the temporary file and leaves the target untouched. A
// failure in step 6 is reported with out.in_place set: the target already holds the new
// contents, which may not be durable. An owner or group that can no longer be kept fails
// step 1 with kOwnerNotKept. For
// Route::direct the file is closed; for Route::standard_stream nothing is left to do.
// Answers 0 or the code of the failed step.
int commit(Output& out);
// Drops the output: the temporary file is removed, the target keeps its former contents.
void discard(Output& out);

// ---- Fault injection for the tests of the commit sequence -----------------------------

enum class Step { sync, name, close, rename, sync_folder, attributes };

// A table of the steps, one entry each, on every system: the next time `step` runs, it fails
// with `code` instead (0 clears). Each entry fails once, independently of the others.
void fail_step_once(Step step, int code);
// Calls `observer` as each step of a commit starts (nullptr: none).
void observe_steps(void (*observer)(Step));

}  // namespace os
