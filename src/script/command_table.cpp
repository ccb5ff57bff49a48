// The command handler table and the default handlers.
#include "script/command_table.h"

#include <cstdlib>
#include <cstring>

#include "core/error_report.h"
#include "script/argument_decoder.h"
#include "script/call_commands.h"
#include "script/decoded_arguments.h"
#include "script/flow_commands.h"
#include "script/quit_command.h"
#include "script/task_commands.h"
#include "script/task_runner.h"
#include "script/var_commands.h"
#include "script/wait_command.h"

namespace korvel {

CommandHandlerTable g_command_handlers{};
DecodedArguments g_args{};

namespace {

// Test overrides, kept across InitCommandHandlerTable.
CommandHandler g_overrides[kCommandSlotCount] = {};

constexpr uint8_t kEmptySlots[] = {9, 37, 60, 63, 65, 66, 67};

}  // namespace

ArgumentDecoder g_argument_decoder = DecodeCommandArguments;

int32_t RunUnknownCommand() {
  ReportScriptErrorPlain(900050, true);
  return -1;
}

int32_t EmptyCommandHandler() { return 0; }

void InitCommandHandlerTable() {
  auto& slots = g_command_handlers.slots;
  for (auto& slot : slots) slot = RunUnknownCommand;
  g_command_handlers.wrapper = StepCommand;
  g_argument_decoder = DecodeCommandArguments;
  for (uint8_t number : kEmptySlots) slots[number] = EmptyCommandHandler;
  slots[kCommandArgsOnly] = RunCommandArgsOnly;
  slots[kCommandElseIf] = RunElseIfCommand;
  slots[kCommandQuit] = RunQuitCommand;
  slots[kCommandJump] = RunJumpCommand;
  slots[kCommandCall] = RunCallCommand;
  slots[kCommandIf] = RunIfCommand;
  slots[kCommandElse] = RunElseCommand;
  slots[kCommandBlockBreak] = RunBlockBreakCommand;
  slots[kCommandBlockRetest] = RunBlockRetestCommand;
  slots[kCommandBlockEnd] = RunBlockEndCommand;
  slots[kCommandLabelLookup] = RunLabelLookupCommand;
  slots[kCommandLoop] = RunLoopCommand;
  slots[kCommandLoopBreak] = RunLoopBreakCommand;
  slots[kCommandLoopContinue] = RunLoopContinueCommand;
  slots[kCommandLoopEnd] = RunLoopEndCommand;
  slots[kCommandReturn] = RunReturnCommand;
  slots[kCommandTaskStart] = RunTaskStartCommand;
  slots[kCommandTaskStop] = RunTaskStopCommand;
  slots[kCommandTaskInfo] = RunTaskInfoCommand;
  slots[kCommandVarConvert] = RunVarConvertCommand;
  slots[kCommandVarInfo] = RunVarInfoCommand;
  slots[kCommandWait] = RunWaitCommand;
  for (int32_t i = 0; i < kCommandSlotCount; ++i) {
    if (g_overrides[i] != nullptr) slots[i] = g_overrides[i];
  }
}

void SetCommandHandlerOverride(uint8_t number, CommandHandler handler) {
  if (number < kCommandSlotCount) g_overrides[number] = handler;
}

void ClearCommandHandlerOverrides() {
  for (auto& h : g_overrides) h = nullptr;
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
