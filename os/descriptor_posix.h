// A file descriptor closed when it goes out of scope (POSIX): the durable commit and the
// answer history hold their folders and files by it.
#pragma once

#include <unistd.h>

#include <utility>

namespace os {

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { reset(-1); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd_, -1));
    return *this;
  }
  int get() const { return fd_; }
  // Hands the descriptor over; it is no longer closed here.
  int release() { return std::exchange(fd_, -1); }
  // Closes the descriptor held, if any, and holds `fd`.
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

}  // namespace os
