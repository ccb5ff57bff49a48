// The movie player's counts over a run, gathered from its pump reports: frames shown and passed
// over, how far behind the clock the shown frames were, and the clock itself.
#pragma once

#include <cstdint>

namespace korvel::test {

struct MovieStats {
  uint64_t frames_shown = 0;
  uint64_t frames_skipped = 0;
  int64_t last_lag_us = 0;  // of the last frame shown
  int64_t max_lag_us = 0;
};

// Starts counting afresh (and watching the player's pumps, from the first call on).
void WatchMoviePumps();
// The counts since WatchMoviePumps.
MovieStats GetMovieStats();
// The movie's clock in microseconds from its start, as the last pump took it (0 before one).
int64_t MovieClockUs();

}  // namespace korvel::test
