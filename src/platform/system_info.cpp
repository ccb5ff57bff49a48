// Processor count, physical memory and rights from sysconf, sysinfo and the effective user.
#include "platform/system_info.h"

#include <sys/sysinfo.h>
#include <unistd.h>

namespace korvel::platform {

int32_t OnlineProcessorCount() {
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int32_t>(online) : 1;
}

bool GetMemoryStatus(MemoryStatus* status) {
  *status = MemoryStatus{};
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return false;
  const uint64_t unit = info.mem_unit != 0 ? info.mem_unit : 1;
  status->total_bytes = static_cast<uint64_t>(info.totalram) * unit;
  status->free_bytes = static_cast<uint64_t>(info.freeram) * unit;
  return true;
}

bool UserIsAdministrator() { return geteuid() == 0; }

}  // namespace korvel::platform
