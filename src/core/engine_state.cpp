// Engine-wide flags.
#include "core/engine_state.h"

namespace korvel {

EngineState g_engine;

std::recursive_mutex& EngineLock() {
  static std::recursive_mutex lock;
  return lock;
}

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
