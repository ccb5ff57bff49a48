// The programs the engine started without waiting: how many still run, and waiting for them all.
#pragma once

#include <cstddef>

namespace korvel::test {

// The number of started programs still running (not yet reaped).
size_t RunningStartedPrograms();
// Waits until every started program has ended and been reaped; returns how many were started
// without waiting since the last call.
size_t WaitStartedPrograms();

}  // namespace korvel::test
