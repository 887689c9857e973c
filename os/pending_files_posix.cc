// The temporary names of outputs not yet committed, and the signal handlers that remove them
// (POSIX). A signal that ends the program removes every name still entered and then takes its
// own course; a signal the caller set to be ignored stays ignored.
#include "os/pending_files_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <csignal>
#include <cstddef>
#include <string>

#include "os/platform.h"

namespace os {
namespace {

constexpr std::size_t kSlots = 128;

struct Pending {
  volatile std::sig_atomic_t valid = 0;
  int folder = -1;
  std::array<char, NAME_MAX + 1> name{};
};
std::array<Pending, kSlots> pending;

extern "C" void remove_pending_and_end(int signal_number) {
  for (const Pending& p : pending) {
    if (p.valid != 0) ::unlinkat(p.folder, p.name.data(), 0);
  }
  // The handler ran once (SA_RESETHAND): the signal's own action now ends the process.
  static_cast<void>(std::raise(signal_number));
}

void take_over(int signal_number) {
  struct sigaction former {};
  if (::sigaction(signal_number, nullptr, &former) != 0) return;
  // Ignored by the caller (as under nohup), or handled by a run-time checker: left so.
  if (former.sa_handler != SIG_DFL) return;
  struct sigaction action {};
  action.sa_handler = remove_pending_and_end;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_NODEFER;
  static_cast<void>(::sigaction(signal_number, &action, nullptr));
}

}  // namespace

int register_pending(int folder, const std::string& name) {
  if (name.size() > NAME_MAX) return -1;
  for (std::size_t n = 0; n < kSlots; ++n) {
    if (pending[n].valid != 0) continue;
    pending[n].folder = folder;
    std::copy_n(name.c_str(), name.size() + 1, pending[n].name.data());
    pending[n].valid = 1;
    return static_cast<int>(n);
  }
  return -1;
}

void forget_pending(int slot) {
  if (slot >= 0 && static_cast<std::size_t>(slot) < kSlots) {
    pending[static_cast<std::size_t>(slot)].valid = 0;
  }
}

void remove_pending_files_on_signals() {
  for (const int signal_number :
       {SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP,   SIGABRT, SIGBUS, SIGFPE, SIGUSR1,
        SIGSEGV,   SIGUSR2, SIGALRM, SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS, SIGIO,
#ifdef SIGSTKFLT
        SIGSTKFLT,
#endif
#ifdef SIGPWR
        SIGPWR,
#endif
        SIGTERM}) {
    take_over(signal_number);
  }
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
    take_over(signal_number);
  }
}

}  // namespace os
