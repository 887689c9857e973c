// The security of a replaced file on Windows: the file that takes its name gets its owner,
// group and DACL, byte for byte (explicit and inherited entries, and whether the DACL is
// protected from inheritance), so that the replacement changes nobody's access. A file made
// in the folder would otherwise have the folder's inherited permissions and the user as its
// owner: entries set on the former file alone would be lost, and the owner's implicit right
// to change the permissions would pass to the user.
#include <cerrno>
#include <cstddef>
#include <vector>

#include "os/win32.h"

namespace os::win32 {
namespace {

// The parts of a security descriptor that decide who may open the file, read here with
// READ_CONTROL (the system ACL needs a privilege, and only audits).
constexpr SECURITY_INFORMATION kKept =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// A file system that keeps no permissions (FAT, some network shares) has nothing to carry.
bool keeps_no_permissions(DWORD error) {
  return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
         error == ERROR_CALL_NOT_IMPLEMENTED;
}

// The self-relative security descriptor of `file`, or empty with `error` set.
std::vector<std::byte> descriptor_of(HANDLE file, DWORD& error) {
  std::vector<std::byte> descriptor(512);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD needed = 0;
    if (GetKernelObjectSecurity(file, kKept, descriptor.data(),
                                static_cast<DWORD>(descriptor.size()), &needed) != 0) {
      return descriptor;
    }
    error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size()) break;
    descriptor.resize(needed);
  }
  if (error == 0) error = ERROR_INSUFFICIENT_BUFFER;
  return {};
}

// Whether the permissions in `descriptor` let this user write the file: a file that the
// user may delete but not write (a right of the folder's) is not replaced either, as on other
// systems; the new file, with the same permissions, could not be opened again for the commit.
// Where the system cannot tell, the opening decides.
bool may_write(std::vector<std::byte>& descriptor) {
  HANDLE process_token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process_token) == 0) {
    return true;
  }
  HANDLE token = nullptr;
  const bool duplicated = DuplicateToken(process_token, SecurityImpersonation, &token) != 0;
  CloseHandle(process_token);
  if (!duplicated) return true;
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                          FILE_ALL_ACCESS};
  PRIVILEGE_SET privileges{};
  DWORD size = sizeof privileges;
  DWORD granted = 0;
  BOOL allowed = FALSE;
  const BOOL checked = AccessCheck(descriptor.data(), token, FILE_GENERIC_WRITE, &mapping,
                                   &privileges, &size, &granted, &allowed);
  CloseHandle(token);
  return checked == 0 || allowed != 0;
}

// The privilege to restore files (which lets a process give a file any owner), enabled for
// as long as this lives where the user holds it (an administrator's elevated program, as root
// on other systems), and put back as it was.
class RestorePrivilege {
 public:
  RestorePrivilege() {
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_) ==
        0) {
      token_ = nullptr;
      return;
    }
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, L"SeRestorePrivilege", &wanted.Privileges[0].Luid) == 0) {
      return;
    }
    DWORD size = 0;
    // Succeeds also when the user does not hold it, telling so by the last error.
    enabled_ =
        AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof former_, &former_, &size) != 0 &&
        GetLastError() == ERROR_SUCCESS;
  }
  ~RestorePrivilege() {
    if (enabled_) AdjustTokenPrivileges(token_, FALSE, &former_, 0, nullptr, nullptr);
    if (token_ != nullptr) CloseHandle(token_);
  }
  RestorePrivilege(const RestorePrivilege&) = delete;
  RestorePrivilege& operator=(const RestorePrivilege&) = delete;
  bool enabled() const { return enabled_; }

 private:
  HANDLE token_ = nullptr;
  TOKEN_PRIVILEGES former_{};  // only what the enabling changed
  bool enabled_ = false;
};

// Failures that say this user may not give the owner.
bool owner_refused(DWORD error) {
  return error == ERROR_INVALID_OWNER || error == ERROR_ACCESS_DENIED ||
         error == ERROR_PRIVILEGE_NOT_HELD;
}

}  // namespace

int copy_security(HANDLE from, HANDLE to) {
  DWORD error = 0;
  std::vector<std::byte> former = descriptor_of(from, error);
  if (former.empty()) return keeps_no_permissions(error) ? 0 : code_of(error);
  if (!may_write(former)) return EACCES;
  // The owner first and apart: only a user who may own files as that user or group can give
  // it, or one who holds the privilege to restore files.
  if (SetKernelObjectSecurity(to, OWNER_SECURITY_INFORMATION, former.data()) == 0) {
    error = GetLastError();
    if (keeps_no_permissions(error)) return 0;
    if (!owner_refused(error)) return code_of(error);
    const RestorePrivilege privilege;
    if (!privilege.enabled() ||
        SetKernelObjectSecurity(to, OWNER_SECURITY_INFORMATION, former.data()) == 0) {
      return kOwnerNotKept;
    }
  }
  if (SetKernelObjectSecurity(to, DACL_SECURITY_INFORMATION, former.data()) == 0) {
    return code_of(GetLastError());
  }
  // The primary group takes no part in Windows' access checks: given where the system allows.
  SetKernelObjectSecurity(to, GROUP_SECURITY_INFORMATION, former.data());
  return 0;
}

}  // namespace os::win32
