// The sound engine: its state, the sound thread's start and stop, one pass of it (focus pause,
// requests, fades, play positions, refills), the release of every channel at its end, and the
// error box that ends it.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "sound/sound_channel.h"

namespace korvel {

inline constexpr int64_t kRootSoundOrderKey = 999999999;
inline constexpr uint32_t kSoundBusyPeriodMs = 3;   // requests are waiting
inline constexpr uint32_t kSoundIdlePeriodMs = 20;

struct SoundEngineState {
  uint8_t started;        // the ring and the thread are up
  uint8_t sound_on;       // the settings' sound-on byte was set and the device opened
  uint8_t focus_paused;   // the tree is paused because the main window lost the focus
};

extern SoundEngineState g_sound_engine;

// Sound is on: the settings ask for it and the device opened. Commands and system variable 4 read it.
bool SoundEnabled();

// Start-up: empties the ring, starts the sound thread and, with sound on, makes "ROOT". 0, or -1
// when "ROOT" could not be made.
int32_t StartSoundEngine();
// Sets the quit flag, waits until the thread has ended and joins it. Nothing when it is not running.
void StopSoundEngine();
// Joins a sound thread that has raised its ended flag (shutdown, after waiting for the flag while
// serving the main thread's requests). Nothing when there is none.
void JoinSoundThread();
// State back to start-up (tests).
void InitSoundEngine();

// Creates "ROOT" (order key 999999999, a WAV channel with an empty name) and posts volume 2, the
// load of the silent sound and play, so the device always plays a silent loop.
int32_t CreateRootSoundNode();

// One pass of the sound thread under the engine lock: the focus pause, the queued requests, fades,
// play positions, stream refills and a recorded error. 0 to go on, 1 when the quit flag was set,
// or the negative code that ends the thread.
int32_t RunSoundPass();
// The sleep before the next pass: short while requests wait.
uint32_t SoundPassPeriod();
// Runs the requests in the ring; negative ends the thread.
int32_t RunSoundCommands();

// Releases every channel of the tree (end of the sound thread).
void StopAllSounds();

// The message the error box shows for a sound-thread error code (UTF-8, "%d" for the number), and
// whether the number is shown.
const char* SoundErrorText(int32_t code);
// Shows the "DEBUG Message" box for `code` (on the main thread) and sets the quit flag.
void ShowSoundError(int32_t code);

}  // namespace korvel
