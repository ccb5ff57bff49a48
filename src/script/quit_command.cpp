// The quit command.
#include "script/quit_command.h"

#include "core/engine_state.h"
#include "script/argument_decoder.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"

namespace korvel {

int32_t RunQuitCommand() {
  if (DecodeCommandArguments(kCommandQuit) != 0) return -1;
  if (ArgGiven(0)) g_engine.restart_flag.store(ArgValue(0) != 0 ? 1 : 0);
  SetQuitFlag();
  return 0;
}

}  // namespace korvel
