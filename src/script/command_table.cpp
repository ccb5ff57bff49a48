// The command handler table and the default handlers.
#include "script/command_table.h"

#include <cstdlib>
#include <cstring>

#include "core/error_report.h"
#include "script/args_only_commands.h"
#include "script/argument_decoder.h"
#include "script/assign_command.h"
#include "script/call_commands.h"
#include "script/declare_commands.h"
#include "script/decoded_arguments.h"
#include "script/flow_commands.h"
#include "script/math_command.h"
#include "script/projection_command.h"
#include "script/quit_command.h"
#include "script/script_list_command.h"
#include "script/settings_commands.h"
#include "script/switch_table_command.h"
#include "script/system_variables.h"
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
  // The system-variable readers and the commands' engine values start afresh with the table.
  InstallSystemVariableReaders();
  InitSystemVariableState();
  InitCommandSwitchTable();
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
  slots[kCommandAssign] = RunAssignCommand;
  slots[kCommandDeclareInt] = RunCommand36;
  slots[kCommandDeclareReal] = RunDeclareRealVarCommand;
  slots[kCommandDeclareString] = RunVariableDeclareCommand;
  slots[kCommandFrameRate] = RunFrameRateCommand;
  slots[kCommandCursorSettings] = RunCursorSettingsCommand;
  slots[kCommandSwitchTable] = RunSwitchTableCommand;
  slots[kCommandScriptFileList] = RunScriptFileListCommand;
  slots[kCommandArgsOnly7] = RunArgsOnlyCommand7;
  slots[kCommandArgsOnly14] = RunArgsOnlyCommand14;
  slots[kCommandArgsOnly52] = RunArgsOnlyCommand52;
  slots[kCommandArgsOnly53] = RunArgsOnlyCommand53;
  slots[kCommandArgsOnly54] = RunArgsOnlyCommand54;
  slots[kCommandArgsOnly59] = RunArgsOnlyCommand59;
  slots[kCommandArgsOnly71] = RunArgsOnlyCommand71;
  slots[kCommandArgsOnly84] = RunArgsOnlyCommand84;
  slots[kCommandMath] = RunMathCommand;
  slots[kCommandProjection] = RunProjectionCommand;
  for (int32_t i = 0; i < kCommandSlotCount; ++i) {
    if (g_overrides[i] != nullptr) slots[i] = g_overrides[i];
  }
}

void SetCommandHandlerOverride(uint8_t number, CommandHandler handler) {
  if (number < kCommandSlotCount) g_overrides[number] = handler;
}

void RegisterCommandHandler(uint8_t number, CommandHandler handler) {
  if (number >= kCommandSlotCount) return;
  g_overrides[number] = handler;
  g_command_handlers.slots[number] = handler;
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
