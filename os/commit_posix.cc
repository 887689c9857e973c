// The durable replacement of an output file on POSIX systems (Linux).
//
// The output's folder is opened when the output is, and every later step works relative to
// that handle (openat, fstatat, linkat, renameat, unlinkat): a folder that is renamed, or
// swapped for a link to another folder, while the run goes on changes nothing. The temporary
// file is unnamed where the file system allows it; a name, when one is needed, comes from
// the system's random source, so that nobody can set a trap under it. At the commit the new
// file takes the owner, group, ACL, extended attributes and mode of the file it replaces.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "os/arguments.h"
#include "os/attribute_copy.h"
#include "os/commit_steps.h"
#include "os/descriptor_posix.h"
#include "os/pending_files_posix.h"
#include "os/platform.h"
#include "os/platform_posix.h"
#include "os/signals_held_posix.h"

namespace os {
namespace {

// ---- Names -----------------------------------------------------------------------------

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string_view base_of(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A temporary name beside the target: at most 200 characters of the target's name (so that
// it stays within the 255 a folder entry may have) and 12 letters and digits from the
// system's random source (60 bits), which another user cannot foresee.
int random_name(const std::string& target, std::string& name) {
  constexpr std::size_t kKeptNameLength = 200;
  constexpr std::size_t kLetters = 12;
  constexpr std::string_view kAlphabet = "abcdefghijklmnopqrstuvwxyz234567";
  std::array<unsigned char, kLetters> bytes{};
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::getrandom(bytes.data() + got, bytes.size() - got, 0);
    if (n < 0 && errno != EINTR) return errno;
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  name = ".";
  name += base_of(target).substr(0, kKeptNameLength);
  name += '.';
  name += program_name();  // whose file it is: kel2fram's, massplot's
  name += '-';
  for (const unsigned char b : bytes) name += kAlphabet[b % kAlphabet.size()];
  return 0;
}

// A name that is taken is tried again with another; a folder that answers "taken" this
// often is not one a name can be made in.
constexpr int kNameAttempts = 1000;

// ---- What a name stands for --------------------------------------------------------------

constexpr int kMostLinks = 40;  // as the system's own limit for one name

struct Target {
  std::string path;           // the file to replace, or the name a new file takes
  bool exists = false;        // path names an existing file (st describes it)
  bool through_link = false;  // the name is a link whose target is missing
  struct stat st {};
};

// Follows the name as an open would. A name that opens nothing yet is made; a link whose
// target is missing (also through further links) makes that target, so that the link stays.
int find_target(const std::string& name, Target& t) {
  if (::stat(name.c_str(), &t.st) == 0) {
    t.exists = true;
    t.path = name;
    std::array<char, PATH_MAX> resolved{};
    if (S_ISREG(t.st.st_mode) && ::realpath(name.c_str(), resolved.data()) != nullptr) {
      t.path = resolved.data();
    }
    return 0;
  }
  if (errno != ENOENT) return errno;
  std::string path = name;
  for (int hops = 0; hops <= kMostLinks; ++hops) {
    struct stat here {};
    if (::lstat(path.c_str(), &here) != 0) {
      if (errno != ENOENT) return errno;
      t.path = std::move(path);
      return 0;
    }
    if (!S_ISLNK(here.st_mode)) return EAGAIN;  // made meanwhile: the name is asked again
    t.through_link = true;
    std::array<char, PATH_MAX> to{};
    const ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
    if (n < 0) return errno;
    if (n == 0 || static_cast<std::size_t>(n) == to.size()) return ENAMETOOLONG;
    std::string next(to.data(), static_cast<std::size_t>(n));
    if (next.front() != '/') {
      std::string joined = folder_of(path);
      joined += '/';
      joined += next;
      next = std::move(joined);
    }
    path = std::move(next);
  }
  return ELOOP;
}

// The file or pipe that standard input reads: written, it would feed the run its own
// records or replace the answers being read. A terminal (or another device) is written as
// any device is.
bool read_by_standard_input(const struct stat& st) {
  struct stat in {};
  if (::fstat(0, &in) != 0 || S_ISCHR(in.st_mode) || S_ISBLK(in.st_mode)) return false;
  return in.st_dev == st.st_dev && in.st_ino == st.st_ino;
}

// An append-only or immutable file or folder (base empty: the folder itself): no name in
// it can be replaced, and a temporary name made in it could not be removed again.
bool allows_no_replacement(int folder, const char* base) {
  struct statx sx {};
  const int flags = *base == '\0' ? AT_EMPTY_PATH : AT_SYMLINK_NOFOLLOW;
  if (::statx(folder, base, flags, STATX_TYPE, &sx) != 0) return false;
  constexpr auto kFixed = static_cast<std::uint64_t>(STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE);
  return (sx.stx_attributes & sx.stx_attributes_mask & kFixed) != 0;
}

// The folder, opened to be read (so that it can be synced) or, where it may be searched and
// written but not read (a drop box), only to work in.
int open_folder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return fd;
}

bool folder_readable(int folder) {
  const int flags = ::fcntl(folder, F_GETFL);
  return flags >= 0 && (flags & O_PATH) == 0;
}

mode_t current_umask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// Makes a named temporary file in the folder where no unnamed one can be made.
int make_named_temp(Output& out, mode_t mode) {
  const int folder = fd_of(out.folder);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name;
    if (const int code = random_name(out.target, name); code != 0) return code;
    const SignalsHeld held;
    const int fd = ::openat(folder, name.c_str(),
                            O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
    if (fd >= 0) {
      out.handle = fd;
      out.slot = register_pending(folder, name);
      out.temp = std::move(name);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// Makes the temporary file of a replacement in the held folder: unnamed where the system
// offers it, so that not even a killed process leaves a file behind. A file that replaces
// another is private until the commit gives it the former file's owner and permissions; a
// new one is made as any new file (the umask, or the folder's default ACL).
int make_temp(Output& out, bool replaces) {
  const mode_t mode = replaces ? 0600 : 0666;
  out.route = Route::replace;
#ifdef O_TMPFILE
  const int fd = ::openat(fd_of(out.folder), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd >= 0) {
    out.handle = fd;
    return 0;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
#endif
  return make_named_temp(out, mode);
}

// Whether the temporary file can have the owner and group of the file it replaces: the same
// already, or given now (a privileged user; the group where the user belongs to it).
bool may_take_owner(int fd, const struct stat& former) {
  struct stat mine {};
  if (::fstat(fd, &mine) != 0) return false;
  if (mine.st_uid == former.st_uid && mine.st_gid == former.st_gid) return true;
  const uid_t owner = mine.st_uid == former.st_uid ? static_cast<uid_t>(-1) : former.st_uid;
  const gid_t group = mine.st_gid == former.st_gid ? static_cast<gid_t>(-1) : former.st_gid;
  return ::fchown(fd, owner, group) == 0;
}

// The replacement of a regular file, or the making of a new one, in the folder of its path.
int open_replacement(const Target& t, Output& out) {
  const std::string base(base_of(t.path));
  Descriptor folder(open_folder(folder_of(t.path)));
  if (folder.get() < 0) return errno;
  if (base.empty() || base == "." || base == "..") return EISDIR;
  // The name as the held folder has it now must still be what was classified above.
  struct stat here {};
  const bool present = ::fstatat(folder.get(), base.c_str(), &here, AT_SYMLINK_NOFOLLOW) == 0;
  if (!present && errno != ENOENT) return errno;
  if (present != t.exists || (present && (!S_ISREG(here.st_mode) || here.st_dev != t.st.st_dev ||
                                          here.st_ino != t.st.st_ino))) {
    return EAGAIN;
  }
  if (present) {
    // A file the user may not write is not replaced behind its back.
    if (::faccessat(folder.get(), base.c_str(), W_OK, 0) != 0) return errno;
    if (allows_no_replacement(folder.get(), base.c_str())) return EPERM;
    // A sticky folder (as /tmp) lets only a file's owner, or the folder's, replace it.
    struct stat folder_st {};
    if (::fstat(folder.get(), &folder_st) != 0) return errno;
    const uid_t me = ::geteuid();
    if ((folder_st.st_mode & S_ISVTX) != 0 && me != 0 && here.st_uid != me &&
        folder_st.st_uid != me) {
      return kOthersFileInStickyFolder;
    }
  }
  if (allows_no_replacement(folder.get(), "")) return EPERM;
  out.target = t.path;
  out.target_existed = present;
  out.folder = folder.release();
  int code = make_temp(out, present);
  // A replacement that could not have the former file's owner and group would change who may
  // read and write it: refused now, at the question, rather than at the commit.
  if (code == 0 && present && !may_take_owner(fd_of(out.handle), here)) code = kOwnerNotKept;
  if (code != 0) {
    discard(out);
    out = Output{};
  }
  return code;
}

// ---- The former file's attributes --------------------------------------------------------

// The file under the target's name, opened to read its attributes: for reading where the
// user may, else only to name it (its attributes are then read by name, through /proc).
struct Former {
  Descriptor fd;
  bool by_path = false;
};

// Opens the former file; answers 0 (former.fd < 0 when there is no regular file) or a code.
int open_former(int folder, const char* base, Former& former, struct stat& st) {
  constexpr int kNoSurprises = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::openat(folder, base, O_RDONLY | kNoSurprises);
  if (fd < 0 && (errno == EACCES || errno == EPERM)) {
    fd = ::openat(folder, base, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    former.by_path = fd >= 0;
  }
  if (fd < 0) return errno == ENOENT || errno == ELOOP ? 0 : errno;
  Descriptor opened(fd);
  if (::fstat(fd, &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return 0;
  former.fd.reset(opened.release());
  return 0;
}

// The owner and group of the former file. The open made sure they can be given; a former file
// that has changed hands since fails the commit rather than change who may use it.
int take_owner(int fd, const struct stat& from) {
  struct stat mine {};
  if (::fstat(fd, &mine) != 0) return errno;
  if (mine.st_uid == from.st_uid && mine.st_gid == from.st_gid) return 0;
  if (::fchown(fd, from.st_uid, from.st_gid) == 0) return 0;
  return errno == EPERM || errno == EINVAL ? kOwnerNotKept : errno;
}

// Gives the temporary file what the file under the target's name has now, in the held
// folder. Nothing there (or no regular file): a file made private at the open gets the
// permissions of any new file.
int take_former_attributes(const Output& out) {
  const int fd = fd_of(out.handle);
  const std::string base(base_of(out.target));
  Former former;
  struct stat st {};
  if (const int code = open_former(fd_of(out.folder), base.c_str(), former, st); code != 0) {
    return code;
  }
  if (former.fd.get() < 0) {
    if (!out.target_existed) return 0;
    return ::fchmod(fd, 0666 & ~current_umask()) != 0 ? errno : 0;
  }
  if (const int code = take_owner(fd, st); code != 0) return code;
  if (const int code = copy_attributes(former.fd.get(), former.by_path, fd); code != 0) {
    return code;
  }
  // The mode last: it sets the ACL's mask and other entries to the former file's bits, and
  // gives back the set-user and set-group bits that a change of owner clears.
  if (::fchmod(fd, st.st_mode & 07777) != 0 && errno != EPERM) return errno;
  return 0;
}

// ---- The commit's own steps ------------------------------------------------------------

// Gives an unnamed temporary file a name in the held folder, so that it can be renamed.
int name_unnamed(Output& out) {
  const int fd = fd_of(out.handle);
  const int folder = fd_of(out.folder);
  const std::array<char, 32> proc = proc_name(fd);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const int injected = attempt == 0 ? begin_step(Step::name) : 0;
    std::string name;
    if (const int code = random_name(out.target, name); code != 0) return code;
    int code = injected;
    if (code == 0) {
      const SignalsHeld held;
      int rc = ::linkat(AT_FDCWD, proc.data(), folder, name.c_str(), AT_SYMLINK_FOLLOW);
      if (rc != 0 && errno == ENOENT) rc = ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH);
      code = rc == 0 ? 0 : errno;
      if (rc == 0) out.slot = register_pending(folder, name);
    }
    if (code == 0) {
      out.temp = std::move(name);
      return 0;
    }
    if (code != EEXIST) return code;
  }
  return EEXIST;
}

int rename_over_target(Output& out) {
  const int folder = fd_of(out.folder);
  const std::string base(base_of(out.target));
  const SignalsHeld held;
  if (::renameat(folder, out.temp.c_str(), folder, base.c_str()) != 0) return errno;
  forget_pending(out.slot);
  out.slot = -1;
  out.temp.clear();
  return 0;
}

// The new name made durable: the folder synced, or, for a folder that cannot be opened to
// be read, the whole file system through the new file.
int sync_folder(int folder, int file) {
  if (file >= 0) return ::syncfs(file) != 0 ? errno : 0;
  // Some file systems cannot sync a folder at all; that is no failure of this run.
  if (::fsync(folder) != 0 && errno != EINVAL && errno != EROFS) return errno;
  return 0;
}

}  // namespace

// ---- Output that replaces a file only when committed --------------------------------------

int open_output(std::string_view name, bool exclusive, Output& out) {
  out = Output{};
  int code = 0;
  if (!valid_name(name, code)) return code;
  const std::string path(name);
  Target t;
  if (code = find_target(path, t); code != 0) return code;
  if (exclusive && (t.exists || t.through_link)) return EEXIST;
  if (!t.exists) return open_replacement(t, out);

  const Kind kind = kind_of(t.st);
  if (kind == Kind::directory) return EISDIR;
  if (read_by_standard_input(t.st)) return EBUSY;
  // The file that standard output or standard error already writes: written through that
  // descriptor, so that nothing already there is overwritten.
  for (const int fd : {1, 2}) {
    struct stat stream {};
    if (::fstat(fd, &stream) == 0 && stream.st_dev == t.st.st_dev && stream.st_ino == t.st.st_ino) {
      out.handle = fd;
      out.route = Route::standard_stream;
      out.target_existed = true;
      out.target = path;
      return 0;
    }
  }
  if (kind != Kind::regular) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno;
    out.handle = fd;
    out.route = Route::direct;
    out.target_existed = true;
    out.target = path;
    return 0;
  }
  return open_replacement(t, out);
}

int commit(Output& out) {
  if (out.route == Route::standard_stream) {
    // The file that standard output or standard error writes is made durable too (a pipe or
    // a terminal has nothing to sync).
    const int fd = fd_of(out.handle);
    out = Output{};
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) return errno;
    return 0;
  }
  if (out.route == Route::direct) {
    const int code = out.handle != kNoHandle && ::close(fd_of(out.handle)) != 0 ? errno : 0;
    out = Output{};
    return code;
  }
  const int fd = fd_of(out.handle);
  int code = begin_step(Step::attributes);
  if (code == 0) code = take_former_attributes(out);
  if (code == 0) code = begin_step(Step::sync);
  if (code == 0 && ::fsync(fd) != 0) code = errno;
  if (code == 0 && out.temp.empty()) code = name_unnamed(out);
  // A folder that cannot be read is made durable through the file: a handle on it is kept.
  const bool through_file = code == 0 && !folder_readable(fd_of(out.folder));
  const Descriptor kept(through_file ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1);
  if (through_file && kept.get() < 0) code = errno;
  if (code == 0) {
    code = begin_step(Step::close);
    out.handle = kNoHandle;
    if (::close(fd) != 0 && code == 0) code = errno;
  }
  if (code == 0) {
    code = begin_step(Step::rename);
    if (code == 0) code = rename_over_target(out);
  }
  if (code != 0) {
    discard(out);
    return code;
  }
  code = begin_step(Step::sync_folder);
  if (code == 0) code = sync_folder(fd_of(out.folder), kept.get());
  ::close(fd_of(out.folder));
  out = Output{};
  out.in_place = true;
  return code;
}

void discard(Output& out) {
  if (out.route != Route::standard_stream && out.handle != kNoHandle) ::close(fd_of(out.handle));
  if (!out.temp.empty() && out.folder != kNoHandle) {
    const SignalsHeld held;
    ::unlinkat(fd_of(out.folder), out.temp.c_str(), 0);
    forget_pending(out.slot);
  }
  forget_pending(out.slot);
  if (out.folder != kNoHandle) ::close(fd_of(out.folder));
  out = Output{};
}

}  // namespace os
