// Command 87: a task waits a number of frames or milliseconds before its next turn.
#pragma once

#include <cstdint>

namespace korvel {

// Parameter 0 (frames) or else parameter 1 (milliseconds), when given and not 0, sets the task's
// wait and ends its turn (-1); otherwise the task goes on (0).
int32_t RunWaitCommand();

}  // namespace korvel
