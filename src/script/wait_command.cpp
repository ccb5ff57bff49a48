// The wait command: the runner counts frame waits down and compares wake-up times with the clock.
#include "script/wait_command.h"

#include "platform/platform.h"
#include "script/argument_decoder.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/script_tasks.h"

namespace korvel {

int32_t RunWaitCommand() {
  if (DecodeCommandArguments(kCommandWait) != 0) return -1;
  ScriptTask* task = CurrentTask();
  if (task == nullptr) return 0;
  if (ArgGiven(0) && ArgValue(0) != 0) {
    task->frame_wait = static_cast<uint32_t>(ArgValue(0));
    return -1;
  }
  if (ArgGiven(1) && ArgValue(1) != 0) {
    const uint32_t wake = platform::NowMs() + static_cast<uint32_t>(ArgValue(1));
    task->wake_time = wake != 0 ? wake : 1;  // 0 means no wait
    return -1;
  }
  return 0;
}

}  // namespace korvel
