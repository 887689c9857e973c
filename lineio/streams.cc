// Byte streams behind the console units: descriptors for a real run, memory for tests and
// in-process runs.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "lineio/lineio.h"

namespace lineio {

long FdSource::read(std::span<char> into) {
  for (;;) {
    ssize_t n = ::read(fd_, into.data(), into.size());
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -static_cast<long>(errno);
  }
}

int FdSink::write(std::span<const char> bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

long MemorySource::read(std::span<char> into) {
  std::size_t n = std::min(into.size(), bytes_.size() - pos_);
  if (n > 0) std::copy_n(bytes_.data() + pos_, n, into.data());
  pos_ += n;
  return static_cast<long>(n);
}

int MemorySink::write(std::span<const char> bytes) {
  if (error_ != 0) {
    std::size_t n = std::min(allowed_, bytes.size());
    bytes_.append(bytes.data(), n);
    allowed_ -= n;
    if (n < bytes.size()) return error_;
    return 0;
  }
  bytes_.append(bytes.data(), bytes.size());
  return 0;
}

}  // namespace lineio
