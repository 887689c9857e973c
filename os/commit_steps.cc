// The commit's table of steps that can be made to fail once: one entry per step.
#include "os/commit_steps.h"

#include <array>
#include <cstddef>

namespace os {
namespace {

constexpr std::size_t kSteps = static_cast<std::size_t>(Step::attributes) + 1;
std::array<int, kSteps> step_faults{};
void (*step_observer)(Step) = nullptr;

}  // namespace

int begin_step(Step step) {
  if (step_observer != nullptr) step_observer(step);
  const auto n = static_cast<std::size_t>(step);
  const int code = step_faults[n];
  step_faults[n] = 0;
  return code;
}

void fail_step_once(Step step, int code) {
  step_faults[static_cast<std::size_t>(step)] = code;
}

void observe_steps(void (*observer)(Step)) {
  step_observer = observer;
}

}  // namespace os
