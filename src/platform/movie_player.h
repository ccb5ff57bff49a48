// The movie player: one movie at a time, decoded on its own thread, its video drawn over a
// window's presented frame in a rectangle of the client area and its audio played through a voice
// of the sound device. The frame shown is the one whose time has come on the audio clock (the
// voice's play cursor, which follows the virtual clock when headless); without audio, on the
// millisecond clock.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace korvel::platform {

struct MovieRect {
  int32_t left = 0, top = 0, width = 0, height = 0;  // client coordinates
};

enum class MovieStartStatus : uint8_t {
  kStarted,
  kOpenFailed,    // the file cannot be opened or read as a movie
  kDecodeFailed,  // no stream of it can be decoded
};

struct MovieStartRequest {
  std::string path;  // real path, UTF-8
  WindowId window = kNoWindow;
  MovieRect rect;
  int32_t volume_mb = 0;  // kVolumeSilent..0
};

// Stops any running movie, opens the file and starts playing it. The end posts kMovieEnd with
// value 1 to the window.
MovieStartStatus StartMovie(const MovieStartRequest& request);
// Stops the movie, ends its thread and frees its voice; its picture leaves the window. No end
// event. Safe to call again.
void StopMovie();
// A movie is started and not stopped (also after it reached its end, until stopped).
bool MovieActive();
bool MovieEnded();
// The movie's volume in hundredths of a decibel (clamped to kVolumeSilent..0); kept for the next
// start when none plays.
void SetMovieVolume(int32_t millibels);
int32_t MovieVolume();

// Once per frame on the frame-step thread: feeds the voice, takes the frame whose time has come
// and, at the end, removes the picture and posts the end event. Headless, it first waits for the
// decoder to reach that time, so every run shows the same frames. True when the picture in the
// window changed (a new frame or the end).
bool PumpMovie();

// What one pump did, for a watcher (a benchmark's counts): the clock it took frames by, how often
// the picture changed and how many frames were passed over, and how far behind the clock the frames
// shown were (the last and the largest, in microseconds; 0 when none was shown).
struct MoviePumpReport {
  int64_t clock_us = 0;
  uint32_t frames_shown = 0;
  uint32_t frames_skipped = 0;
  int64_t last_lag_us = 0;
  int64_t max_lag_us = 0;
};
// Called at the end of every pump of a playing movie, on the frame-step thread (null: none; the
// program sets none).
using MoviePumpWatcher = void (*)(const MoviePumpReport& report);
void SetMoviePumpWatcher(MoviePumpWatcher watcher);

}  // namespace korvel::platform
