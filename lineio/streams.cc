// Byte streams behind the console units: descriptors for a real run, memory for tests and
// in-process runs.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "lineio/lineio.h"
#include "os/platform.h"

namespace lineio {

long FdSource::read(std::span<char> into) {
  return os::read(handle_, into);
}

int FdSink::write(std::span<const char> bytes) {
  return os::write_all(handle_, bytes);
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
