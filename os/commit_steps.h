// Internal to os: the durable commit's table of steps, shared by commit_posix.cc and
// commit_win32.cc. Each step of a commit announces itself here before it acts; a test can make
// any step fail once with a code of its choosing (fail_step_once) and watch the steps go by
// (observe_steps), on both systems alike.
#pragma once

#include "os/platform.h"

namespace os {

// Announces that `step` starts; answers the failure injected for it (once), or 0.
int begin_step(Step step);

}  // namespace os
