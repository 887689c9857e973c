#include "lineio/failure.h"

#include <charconv>
#include <cstring>
#include <string>

#include "lineio/lineio.h"

namespace lineio {

void fail_transfer(std::string_view what, std::int32_t unit, std::string_view file, int error) {
  std::string message = " *** ERROR: ";
  message += what;
  message += " ON UNIT ";
  char digits[16];
  auto r = std::to_chars(digits, digits + sizeof digits, unit);
  message.append(digits, r.ptr);
  message += " (";
  message += file;
  message += ")";
  if (error != 0) {
    message += ": ";
    message += std::strerror(error);
  }
  throw TransferFailure(std::move(message), unit);
}

}  // namespace lineio
