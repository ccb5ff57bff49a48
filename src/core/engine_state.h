// Engine-wide flags of the application shell: quitting, running, threads, restart and exit status.
// Plain records with init functions so tests can start the engine again in one process.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/platform.h"

namespace korvel {

struct EngineState {
  std::atomic<uint8_t> quit_flag{0};      // the program is to end; every loop polls it
  std::atomic<uint8_t> running_flag{1};   // cleared when the queue yields the quit message
  uint8_t threaded_flag = 0;              // the frame loop runs on the game thread
  // 0 while the thread runs, 1 once it ended, 255 when it was never started. Atomic, so a wait
  // for a thread's end never needs the engine lock (the ending thread may hold it).
  std::atomic<uint8_t> game_thread_ended{255};
  std::atomic<uint8_t> sound_thread_ended{255};
  std::atomic<uint8_t> restart_flag{0};
  uint32_t exit_code = 0;
  // 1 while the quit flag stands because of a fatal error report (exit status 1).
  std::atomic<uint8_t> fatal_quit{0};
  platform::LocalTime start_time{};
  uint32_t start_stamps[4] = {};
};

extern EngineState g_engine;

// The engine lock: one recursive lock for all sound state, the request ring and the data-file
// sources. It counts the calling thread's holds (a main-thread request made under it aborts the run
// in debug and threaded-test builds), and error dialogs raised under it are shown once the thread's
// last hold is released.
//
// Rules while the engine lock is held:
// - No thread waits for the main thread: no dialog, no message box and no RunOnMainThread request.
//   The main thread may itself be waiting for the engine lock, so such a wait could last for ever.
//   In debug builds RunOnMainThread ends the program when the calling thread holds the lock.
// - An error found under the lock is recorded, and its dialog is shown after the last hold is
//   released (core/deferred_dialogs.h): report functions may be called under the lock for that.
// - Holds may be long: the sound pass holds the lock for its whole pass, loading a sound file
//   included, so the main thread takes the lock only where it must and never while it is asked to
//   serve another thread.
class EngineMutex {
 public:
  void lock();
  bool try_lock();
  void unlock();

 private:
  std::recursive_mutex mutex_;
};
EngineMutex& EngineLock();
// True while the calling thread holds the engine lock.
bool EngineLockHeld();

// Sets the quit flag as an error report does: the fatal argument is assigned, so a non-fatal report
// withdraws a pending request.
void SetQuitFromReport(bool fatal);
// Sets the quit flag (any other cause: frame result, close, command, frame limit).
inline void SetQuitFlag() { g_engine.quit_flag.store(1); }
inline bool QuitRequested() { return g_engine.quit_flag.load() != 0; }

// Resets every field to its start-up value.
void InitEngineState();

}  // namespace korvel
