// Engine-wide flags.
#include "core/engine_state.h"

#include "core/deferred_dialogs.h"

namespace korvel {

EngineState g_engine;

void EngineMutex::lock() {
  mutex_.lock();
  platform::NoteEngineLockHold(1);
}

bool EngineMutex::try_lock() {
  if (!mutex_.try_lock()) return false;
  platform::NoteEngineLockHold(1);
  return true;
}

void EngineMutex::unlock() {
  platform::NoteEngineLockHold(-1);
  mutex_.unlock();
  // Reports made under the lock kept their dialogs back: nobody may wait for the main thread (or
  // for a player) while holding it.
  if (platform::EngineLockHolds() == 0) ShowDeferredDialogs();
}

EngineMutex& EngineLock() {
  static EngineMutex lock;
  return lock;
}

bool EngineLockHeld() { return platform::EngineLockHolds() > 0; }

void SetQuitFromReport(bool fatal) {
  g_engine.fatal_quit.store(fatal ? 1 : 0);
  g_engine.quit_flag.store(fatal ? 1 : 0);
}

void InitEngineState() {
  g_engine.quit_flag.store(0);
  g_engine.running_flag.store(1);
  g_engine.threaded_flag = 0;
  g_engine.game_thread_ended = 255;
  g_engine.sound_thread_ended = 255;
  g_engine.restart_flag.store(0);
  g_engine.exit_code = 0;
  g_engine.fatal_quit.store(0);
  g_engine.start_time = {};
  for (auto& s : g_engine.start_stamps) s = 0;
}

}  // namespace korvel
