// The programs started without waiting: each has a thread of its own that reaps it the moment it
// ends. Those threads outlive the player when a started program stays open after it quits, so the
// record they edit is never destroyed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace korvel::platform {

struct StartedPrograms {
  std::mutex mutex;
  std::condition_variable ended;  // told each time one is reaped
  std::vector<int64_t> pids;      // still running
  size_t started = 0;             // tracked since the count was last taken
};

StartedPrograms& TheStartedPrograms();

}  // namespace korvel::platform
