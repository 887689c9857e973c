// The bytes of a file on POSIX systems: opened without waiting (a pipe is no table), read by
// position.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "os/platform.h"
#include "sheet/sheet.h"

namespace sheet {
namespace {

class FileSource final : public Source {
 public:
  FileSource(int fd, std::int64_t size) : fd_(fd), size_(size) {
    static_cast<void>(os::file_stamp(fd_, stamp_));
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  ~FileSource() override { ::close(fd_); }
  std::int64_t size() const override { return size_; }
  long read_at(std::int64_t offset, std::span<char> into) override {
    for (;;) {
      const ssize_t n = ::pread(fd_, into.data(), into.size(), static_cast<off_t>(offset));
      if (n >= 0) return changed(offset, n) ? -os::kChangedWhileRead : static_cast<long>(n);
      if (errno != EINTR) return -errno;
    }
  }

 private:
  // Whether the file is no longer what it was when opened (grown, truncated or rewritten by
  // another program): bytes beyond its size, or at its end a size or time that differs.
  bool changed(std::int64_t offset, ssize_t n) const {
    if (offset + n > size_) return true;
    if (n > 0) return false;
    os::FileStamp now;
    return offset < size_ || os::file_stamp(fd_, now) != 0 || now != stamp_;
  }

  int fd_;
  std::int64_t size_;
  os::FileStamp stamp_;
};

}  // namespace

std::unique_ptr<Source> open_file(std::string_view name, int& error) {
  error = 0;
  const std::string path(name);
  if (path.empty() || path.find('\0') != std::string::npos) {
    error = ENOENT;
    return nullptr;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<FileSource>(fd, static_cast<std::int64_t>(st.st_size));
}

}  // namespace sheet
