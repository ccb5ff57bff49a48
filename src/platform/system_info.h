// What the machine reports about itself: processors, memory, the user's rights.
#pragma once

#include <cstdint>

namespace korvel::platform {

// Processors online, at least 1.
int32_t OnlineProcessorCount();

// Physical memory in bytes; false (both 0) when the system does not tell.
struct MemoryStatus {
  uint64_t total_bytes = 0;
  uint64_t free_bytes = 0;
};
bool GetMemoryStatus(MemoryStatus* status);

// True when the engine runs with the rights of the system's administrator (root).
bool UserIsAdministrator();

}  // namespace korvel::platform
