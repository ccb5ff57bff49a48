// The command handler table and the default handlers.
#include "script/command_table.h"

#include <cstdlib>
#include <cstring>

#include "core/error_report.h"
#include "script/decoded_arguments.h"
#include "script/var_commands.h"

namespace korvel {

CommandHandlerTable g_command_handlers{};
DecodedArguments g_args{};

namespace {

int32_t LeaveArgumentsAsTheyStand(int32_t) { return 0; }
int32_t EndTurn() { return 1; }

}  // namespace

ArgumentDecoder g_argument_decoder = LeaveArgumentsAsTheyStand;

int32_t RunUnknownCommand() {
  ReportScriptErrorPlain(900050, true);
  return -1;
}

int32_t EmptyCommandHandler() { return 0; }

void InitCommandHandlerTable() {
  for (auto& slot : g_command_handlers.slots) slot = RunUnknownCommand;
  g_command_handlers.wrapper = EndTurn;
  g_command_handlers.slots[kCommandVarConvert] = RunVarConvertCommand;
  g_command_handlers.slots[kCommandVarInfo] = RunVarInfoCommand;
}

void ClearDecodedArguments() {
  std::memset(g_args.presence, 0, sizeof g_args.presence);
  g_args.count = 0;
  for (auto& a : g_args.at) {
    char* text = a.text;
    a = DecodedArgument{};
    a.text = text;
  }
}

void FreeDecodedArguments() {
  for (auto& a : g_args.at) {
    std::free(a.text);
    a.text = nullptr;
  }
  ClearDecodedArguments();
}

}  // namespace korvel
