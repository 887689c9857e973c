// Internal to the POSIX platform layer: what its files (platform, commit, attribute copy)
// share.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <string_view>

#include "os/platform.h"

namespace os {

inline int fd_of(Handle handle) {
  return static_cast<int>(handle);
}

// A name the system can be given: not empty (ENOENT), no NUL byte in it (EINVAL).
inline bool valid_name(std::string_view name, int& code) {
  if (name.empty()) {
    code = ENOENT;
    return false;
  }
  if (name.find('\0') != std::string_view::npos) {
    code = EINVAL;
    return false;
  }
  return true;
}

// The name through which a descriptor's file can be reached (while /proc is mounted).
inline std::array<char, 32> proc_name(int fd) {
  std::array<char, 32> name{};
  constexpr std::string_view kProc = "/proc/self/fd/";
  std::copy(kProc.begin(), kProc.end(), name.begin());
  *std::to_chars(name.data() + kProc.size(), name.data() + name.size() - 1, fd).ptr = '\0';
  return name;
}

inline Kind kind_of(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return Kind::regular;
  if (S_ISDIR(st.st_mode)) return Kind::directory;
  if (S_ISFIFO(st.st_mode)) return Kind::fifo;
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return Kind::device;
  return Kind::other;
}

// Makes every signal whose default action ends the process remove the pending temporary
// files first; a signal that is ignored or handled already stays as it is.
void remove_pending_files_on_signals();

}  // namespace os
