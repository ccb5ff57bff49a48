// The four engine timers: start stamps that stand still while the main window lacks the focus
// (unless the engine keeps running while inactive), on the platform's millisecond clock.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvel {

inline constexpr int32_t kEngineTimerCount = 4;

struct EngineTimers {
  uint8_t enabled[kEngineTimerCount];  // 1: the timer's stamp moves forward by paused time
  uint32_t stopped_at[kEngineTimerCount];  // when each timer was switched off (valid while off)
  // A pause is running: the engine's pause byte. The frame step's thread sets it; the sound thread
  // reads it to hold every sound while the engine is paused.
  std::atomic<uint8_t> paused;
  uint32_t pause_start;                // clock time when it began
};

extern EngineTimers g_engine_timers;

// "Keep running while inactive" (default 0): the runner's wrapper table, the sound thread's focus
// pause and the engine timers all follow it; a script command sets it.
extern std::atomic<uint8_t> g_keep_running_inactive;

// The timers' start stamps are the engine's start stamps (g_engine.start_stamps).
void SetTimerStartStamps(uint32_t now);

// With keep-running on, clears the pause flag; otherwise starts a pause when the main window has no
// focus and none runs, and ends it when the focus is back.
void UpdatePauseTimers(bool main_window_focused);
// Starts a pause at the current clock time; nothing when one is already running.
void StartTimerPause();
// Adds the paused time to the stamp of each enabled timer and clears the pause.
void EndTimerPause();

// Switches timer `timer` (0..3) on or off. Off, it stands at the moment it was stopped (the pause
// start when a pause holds it); on again, its stamp moves forward by the time it stood still.
void SwitchEngineTimer(int32_t timer, bool on);
// The time timer `timer` (0..3) has run: up to now, or to where a pause or its switch stopped it.
uint32_t EngineTimerElapsed(int32_t timer);

// Enable bytes to 1, no pause, keep-running off.
void InitEngineTimers();

}  // namespace korvel
