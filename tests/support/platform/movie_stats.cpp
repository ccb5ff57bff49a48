// The movie player's counts over a run, gathered from its pump reports.
#include "support/platform/movie_stats.h"

#include <algorithm>
#include <mutex>

#include "platform/movie_player.h"

namespace korvel::test {
namespace {

struct Watch {
  std::mutex lock;
  MovieStats stats;
  int64_t clock_us = 0;
};

Watch g_watch;

void CountPump(const platform::MoviePumpReport& report) {
  std::lock_guard lock(g_watch.lock);
  MovieStats& s = g_watch.stats;
  g_watch.clock_us = report.clock_us;
  s.frames_shown += report.frames_shown;
  s.frames_skipped += report.frames_skipped;
  if (report.frames_shown > 0) {
    s.last_lag_us = report.last_lag_us;
    s.max_lag_us = std::max(s.max_lag_us, report.max_lag_us);
  }
}

}  // namespace

void WatchMoviePumps() {
  {
    std::lock_guard lock(g_watch.lock);
    g_watch.stats = MovieStats{};
    g_watch.clock_us = 0;
  }
  platform::SetMoviePumpWatcher(CountPump);
}

MovieStats GetMovieStats() {
  std::lock_guard lock(g_watch.lock);
  return g_watch.stats;
}

int64_t MovieClockUs() {
  std::lock_guard lock(g_watch.lock);
  return g_watch.clock_us;
}

}  // namespace korvel::test
