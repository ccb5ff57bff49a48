// The engine timers with pause accounting.
#include "core/engine_timers.h"

#include "core/engine_state.h"
#include "platform/platform.h"

namespace korvel {

EngineTimers g_engine_timers;
std::atomic<uint8_t> g_keep_running_inactive{0};

void SetTimerStartStamps(uint32_t now) {
  for (auto& stamp : g_engine.start_stamps) stamp = now;
}

void StartTimerPause() {
  if (g_engine_timers.paused != 0) return;
  g_engine_timers.paused = 1;
  g_engine_timers.pause_start = platform::NowMs();
}

void EndTimerPause() {
  const uint32_t paused_for = platform::NowMs() - g_engine_timers.pause_start;
  for (int32_t i = 0; i < kEngineTimerCount; ++i) {
    if (g_engine_timers.enabled[i] != 0) g_engine.start_stamps[i] += paused_for;
  }
  g_engine_timers.paused = 0;
  g_engine_timers.pause_start = 0;
}

void UpdatePauseTimers(bool main_window_focused) {
  if (g_keep_running_inactive.load() != 0) {
    g_engine_timers.paused = 0;
    return;
  }
  if (!main_window_focused && g_engine_timers.paused == 0) {
    StartTimerPause();
  } else if (main_window_focused && g_engine_timers.paused != 0) {
    EndTimerPause();
  }
}

void SwitchEngineTimer(int32_t timer, bool on) {
  if (timer < 0 || timer >= kEngineTimerCount) return;
  uint8_t& enabled = g_engine_timers.enabled[timer];
  const uint32_t now = platform::NowMs();
  if (enabled != 0 && !on) {
    g_engine_timers.stopped_at[timer] = g_engine_timers.paused != 0 ? g_engine_timers.pause_start : now;
  }
  // The time it stood still does not count. Switched on during a pause, it stands still until the
  // pause ends, whose end shifts every running timer by the pause's length.
  if (enabled == 0 && on) {
    const uint32_t until = g_engine_timers.paused != 0 ? g_engine_timers.pause_start : now;
    g_engine.start_stamps[timer] += until - g_engine_timers.stopped_at[timer];
  }
  enabled = on ? 1 : 0;
}

uint32_t EngineTimerElapsed(int32_t timer) {
  if (timer < 0 || timer >= kEngineTimerCount) return 0;
  uint32_t until = platform::NowMs();
  if (g_engine_timers.enabled[timer] == 0) {
    until = g_engine_timers.stopped_at[timer];
  } else if (g_engine_timers.paused != 0) {
    until = g_engine_timers.pause_start;
  }
  return until - g_engine.start_stamps[timer];
}

void InitEngineTimers() {
  for (auto& e : g_engine_timers.enabled) e = 1;
  for (auto& s : g_engine_timers.stopped_at) s = 0;
  g_engine_timers.paused = 0;
  g_engine_timers.pause_start = 0;
  g_keep_running_inactive.store(0);
}

}  // namespace korvel
