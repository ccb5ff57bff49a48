// The script commands on tasks: start (78), stop (79) and information (80).
#pragma once

#include <cstdint>

namespace korvel {

// Creates or finds a task by path and sets its order, label, flags or position code. Returns 0 (the
// starting task goes on), or -1 after a failure.
int32_t RunTaskStartCommand();
// Stops a task by path, or the running task itself; -1 when the running task's turn ends.
int32_t RunTaskStopCommand();
// Stores one fact about a task, or its position code, into a variable element.
int32_t RunTaskInfoCommand();

}  // namespace korvel
