// The programs the engine started without waiting, read from their record.
#include "support/platform/started_programs_probe.h"

#include <mutex>

#include "platform/started_programs.h"

namespace korvel::test {

size_t RunningStartedPrograms() {
  platform::StartedPrograms& children = platform::TheStartedPrograms();
  std::lock_guard<std::mutex> lock(children.mutex);
  return children.pids.size();
}

size_t WaitStartedPrograms() {
  platform::StartedPrograms& children = platform::TheStartedPrograms();
  std::unique_lock<std::mutex> lock(children.mutex);
  children.ended.wait(lock, [&children] { return children.pids.empty(); });
  // Counted when started, not when found running: a quick child may be reaped before this call.
  const size_t count = children.started;
  children.started = 0;
  return count;
}

}  // namespace korvel::test
