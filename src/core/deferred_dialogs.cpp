// Dialogs raised under the engine lock, kept per thread until the lock is released.
#include "core/deferred_dialogs.h"

#include <utility>
#include <vector>

#include "core/engine_state.h"

namespace korvel {

namespace {
thread_local std::vector<std::function<void()>> t_deferred;
}  // namespace

bool DeferDialogWhileLocked(std::function<void()> show) {
  if (!EngineLockHeld()) return false;
  t_deferred.push_back(std::move(show));
  return true;
}

void ShowDeferredDialogs() {
  // A kept dialog may take the lock and raise more: they are kept and shown by this loop.
  while (!t_deferred.empty()) {
    std::vector<std::function<void()>> pending;
    pending.swap(t_deferred);
    for (const auto& show : pending) show();
  }
}

}  // namespace korvel
