#include "lineio/failure.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>

#include "lineio/lineio.h"
#include "os/platform.h"

namespace lineio {

std::string describe_error(int code) {
  // The refusals of an output file that no system code names.
  if (code == os::kOwnerNotKept) {
    return "its owner or group cannot be kept by a replacement from this user, so it is not "
           "replaced (who may read and write it would change)";
  }
  if (code == os::kOthersFileInStickyFolder) {
    return "another user's file in a folder that lets only its owner replace it";
  }
  if (code == os::kChangedWhileRead) {
    return "changed while it was read (another program may still be writing it)";
  }
#ifdef _WIN32
  // Windows' C library has no text for some codes the programs use, and a misleading one for
  // others; these are what the codes stand for there.
  switch (code) {
    case EBUSY:
      return "in use by another program that does not share it";
    case EROFS:
      return "read-only";
    case ETXTBSY:
      return "the file that standard input reads";
    default:
      break;
  }
#endif
  return std::strerror(code);
}

void fail_transfer(std::string_view what, std::int32_t unit, std::string_view file,
                   std::string_view reason) {
  std::string message = " *** ERROR: ";
  message += what;
  message += " ON UNIT ";
  char digits[16];
  auto r = std::to_chars(digits, digits + sizeof digits, unit);
  message.append(digits, r.ptr);
  message += " (";
  message += file;
  message += ")";
  if (!reason.empty()) {
    message += ": ";
    message += reason;
  }
  throw TransferFailure(std::move(message), unit);
}

void fail_transfer(std::string_view what, std::int32_t unit, std::string_view file, int error) {
  fail_transfer(what, unit, file, error != 0 ? describe_error(error) : std::string());
}

}  // namespace lineio
