// Every signal held back for the life of a scope (POSIX): the durable commit and the answer
// history hold them while a temporary name is made, renamed or removed, so that a signal never
// ends the run between those steps and leaves the name behind.
#pragma once

#include <signal.h>

namespace os {

class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t all{};
    sigfillset(&all);
    static_cast<void>(::sigprocmask(SIG_BLOCK, &all, &former_));
  }
  ~SignalsHeld() { static_cast<void>(::sigprocmask(SIG_SETMASK, &former_, nullptr)); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t former_{};
};

}  // namespace os
