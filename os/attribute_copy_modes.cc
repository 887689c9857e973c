// The attribute copy of a build without libattr and libacl: the permission bits alone. A former
// file with an ACL is not replaced by one without (the mode would grant its group what the
// ACL's mask allows); an ACL that the new file took from its folder's default ACL is removed.
#include <sys/stat.h>
#include <sys/xattr.h>

#include <array>
#include <cerrno>
#include <string_view>

#include "os/attribute_copy.h"
#include "os/platform_posix.h"

namespace os {
namespace {

constexpr const char* kAccessAcl = "system.posix_acl_access";

}  // namespace

int copy_attributes(int from, bool by_path, int to) {
  const ssize_t acl = by_path ? ::getxattr(proc_name(from).data(), kAccessAcl, nullptr, 0)
                              : ::fgetxattr(from, kAccessAcl, nullptr, 0);
  if (acl >= 0) return ENOTSUP;
  if (::fremovexattr(to, kAccessAcl) != 0 && errno != ENODATA && errno != ENOTSUP) return errno;
  struct stat st {};
  if (::fstat(from, &st) != 0) return errno;
  return ::fchmod(to, st.st_mode & 0777) != 0 ? errno : 0;
}

}  // namespace os
