// Internal to os (POSIX): the temporary names of outputs not yet committed, held where a
// signal handler can reach them without allocating, so that a signal that ends the program
// removes them first.
#pragma once

#include <string>

namespace os {

// Enters the temporary name `name` in the folder `folder`; answers its slot, or -1 when the
// table is full or the name too long (the name is then not removed on a signal).
int register_pending(int folder, const std::string& name);
// The name of `slot` is committed or removed: a signal leaves it alone. -1 is no slot.
void forget_pending(int slot);

}  // namespace os
