// Internal to os: the copy of a replaced file's extended attributes, ACL and mode onto the
// temporary file that replaces it (commit_posix.cc's first step, after the owner and group).
// attribute_copy_posix.cc does it with the system's own copy libraries (libattr, libacl);
// attribute_copy_modes.cc, built without them, copies the mode alone and refuses a file whose
// ACL it cannot copy.
#pragma once

namespace os {

// Gives `to` the extended attributes that the system's copy tools carry over (not those that
// describe or empower the former contents: hashes, signatures, capabilities), the ACL and the
// permission bits of `from`. With `by_path`, `from` is a handle that only names the former file
// (one the user may not read). An attribute this user or file system cannot give is passed
// over; an ACL that cannot be given fails, since the mode alone would grant more. Answers 0 or
// a code.
int copy_attributes(int from, bool by_path, int to);

}  // namespace os
