// A hook on the engine's file writes that counts them, over the file writer's fault injector.
#include "support/platform/file_write_hook.h"

#include "platform/file_writer.h"

namespace korvel::test {
namespace {

FileWriteHook g_hook = nullptr;
uint64_t g_write_index = 0;

int CountedStep(platform::FileWriteStep step) {
  if (step == platform::FileWriteStep::kFolderFlush) return g_hook(kFolderFlushStep);
  return g_hook(g_write_index++);
}

}  // namespace

void SetFileWriteHook(FileWriteHook hook) {
  g_hook = hook;
  g_write_index = 0;
  platform::g_file_write_fault = hook != nullptr ? CountedStep : nullptr;
}

}  // namespace korvel::test
