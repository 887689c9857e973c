// The attribute copy by the system's own libraries: libattr's attr_copy_fd with its
// permission filter (the attributes that the ACL copy carries, and those the system's
// xattr.conf says not to copy, stay out), then libacl's perm_copy_fd for the ACL and the mode.
#include <acl/libacl.h>
#include <attr/error_context.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <string_view>

#include "os/attribute_copy.h"
#include "os/platform_posix.h"

namespace os {
namespace {

// The first failure a library reports, with its system code (0: none).
struct Failures {
  error_context context{};
  int code = 0;
  bool strict = false;  // every failure counts (the ACL); else those of permission pass over
};

// A failure that says this user, or this file system, cannot read or give an attribute.
bool not_allowed(int code) {
  // ENOTSUP is EOPNOTSUPP on Linux.
  return code == EPERM || code == EACCES || code == ENOTSUP || code == ENODATA || code == ERANGE ||
         code == EINVAL;
}

// The libraries' error report: its message is not needed, its errno is the cause. The context
// is the first member of Failures.
extern "C" void note_failure(error_context* context, const char* /*format*/, ...) {
  const int code = errno;
  auto* failures = reinterpret_cast<Failures*>(context);  // NOLINT: the first member
  if (failures->code == 0 && (failures->strict || !not_allowed(code))) {
    failures->code = code != 0 ? code : EIO;
  }
}

// Attributes that describe the former contents (integrity hashes and signatures) or grant
// privileges to them (file capabilities): the new contents do not inherit them. The rest as
// the system's permission filter decides.
extern "C" int copied(const char* name, error_context* context) {
  const std::string_view n(name);
  if (n == "security.capability" || n == "security.ima" || n == "security.evm") return 0;
  return attr_copy_check_permissions(name, context);
}

}  // namespace

int copy_attributes(int from, bool by_path, int to) {
  const std::array<char, 32> from_path = proc_name(from);
  const std::array<char, 32> to_path = proc_name(to);
  Failures failures;
  failures.context.error = note_failure;
  const int attributes =
      by_path ? attr_copy_file(from_path.data(), to_path.data(), copied, &failures.context)
              : attr_copy_fd(from_path.data(), from, to_path.data(), to, copied, &failures.context);
  static_cast<void>(attributes);  // only the failures noted count
  if (failures.code != 0) return failures.code;
  failures.strict = true;
  const int acl = by_path
                      ? perm_copy_file(from_path.data(), to_path.data(), &failures.context)
                      : perm_copy_fd(from_path.data(), from, to_path.data(), to, &failures.context);
  if (acl != 0) return failures.code != 0 ? failures.code : EIO;
  return 0;
}

}  // namespace os
