// Dialogs kept back while their thread holds the engine lock, shown once it lets the lock go.
#pragma once

#include <functional>

namespace korvel {

// When the calling thread holds the engine lock, keeps `show` for later and returns true; else
// returns false and the caller shows its dialog now. A dialog waits for the player and, off the
// main thread, for the main thread, which may itself be waiting for the engine lock.
bool DeferDialogWhileLocked(std::function<void()> show);

// Shows the calling thread's kept dialogs in the order they were raised. The engine lock calls
// this when the thread's last hold is released.
void ShowDeferredDialogs();

}  // namespace korvel
