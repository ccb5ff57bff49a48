// The small engine-setting commands, the script-file list query and the argument-only commands.
#include "script/small_commands.h"

#include "core/error_report.h"
#include "core/frame_pacer.h"
#include "core/input_state.h"
#include "platform/platform.h"
#include "script/argument_decoder.h"
#include "script/decoded_arguments.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace korvel {

CommandSwitchTable g_command_switches{};

namespace {

// The first switch-table parameter and how many follow it.
constexpr uint8_t kFirstSwitchParam = 2;
constexpr int32_t kSwitchParamCount = 104;

// The pacer's counts of the running second become the last second's, and a new second starts now.
void RestartFrameCounts() {
  g_pacer.last_loop_frames = g_pacer.loop_frames;
  g_pacer.last_drawn_frames = g_pacer.drawn_frames;
  g_pacer.loop_frames = 0;
  g_pacer.drawn_frames = 0;
  g_pacer.second_stamp = platform::NowMs();
}

int32_t ArgsOnly(uint8_t command) { return DecodeCommandArguments(command) != 0 ? -1 : 0; }

}  // namespace

void InitCommandSwitchTable() {
  for (auto& entry : g_command_switches.entries) entry = 1;
}

int32_t RunFrameRateCommand() {
  if (DecodeCommandArguments(kCommandFrameRate) != 0) return -1;
  if (ArgGiven(0)) {
    const int64_t fps = ArgValue(0);
    if (!SetFrameRate(fps)) {
      // The pacer divides by the rate: refuse what it cannot use.
      ReportScriptError(101000, true, CommandName(kCommandFrameRate),
                        ParameterName(kCommandFrameRate, 0), fps, int64_t{kMinFrameRate},
                        int64_t{kMaxFrameRate});
      return -1;
    }
    RestartFrameCounts();
  }
  if (ArgGiven(1)) g_pacer.skip_enabled = ArgValue(1) != 0 ? 1 : 0;
  return 0;
}

int32_t RunCursorSettingsCommand() {
  if (DecodeCommandArguments(kCommandCursorSettings) != 0) return -1;
  if (ArgGiven(0)) g_input_switches.keyboard.store(ArgValue(0) != 0 ? 1 : 0);
  if (ArgGiven(1)) g_input_switches.joystick.store(ArgValue(1) != 0 ? 1 : 0);
  if (ArgGiven(2)) {
    const auto shown = static_cast<uint8_t>(ArgValue(2));
    if (shown == 0) {
      RequestCursorHide();
    } else {
      RequestCursorShow();
    }
    g_cursor.shown.store(shown);
  }
  return 0;
}

int32_t RunSwitchTableCommand() {
  if (DecodeCommandArguments(kCommandSwitchTable) != 0) return -1;
  for (int32_t k = 0; k < kSwitchParamCount; ++k) {
    const auto param = static_cast<uint8_t>(kFirstSwitchParam + k);
    if (ArgGiven(param)) g_command_switches.entries[k + 1] = static_cast<uint8_t>(ArgValue(param));
  }
  return 0;
}

int32_t RunScriptFileListCommand() {
  if (DecodeCommandArguments(kCommandScriptFileList) != 0) return -1;
  const DecodedArgument* out = FindArg(4);
  if (out == nullptr) return 0;
  const uint32_t number = out->var_number;
  const int64_t index = out->element_index;
  const uint32_t files = g_script.script_count;
  const int64_t n = ArgValue(3);
  const bool valid = ArgGiven(3) && n >= 1 && n <= int64_t{files};
  if (ArgGiven(1)) {
    SetVarNumberElement(number, index, files);
  } else if (ArgGiven(2)) {
    const auto entry = static_cast<size_t>(n - 1);
    const bool known = valid && entry < g_script.script_values.size();
    SetVarNumberElement(number, index, known ? g_script.script_values[entry] : 0);
  } else if (ArgGiven(0)) {
    SetVarStringElement(number, index, valid ? ScriptSourcePath(static_cast<uint32_t>(n - 1)) : "");
  } else {
    SetVarNumberElement(number, index, 0);
  }
  return 0;
}

int32_t RunArgsOnlyCommand14() { return ArgsOnly(kCommandArgsOnly14); }
int32_t RunArgsOnlyCommand52() { return ArgsOnly(kCommandArgsOnly52); }
int32_t RunArgsOnlyCommand53() { return ArgsOnly(kCommandArgsOnly53); }
int32_t RunArgsOnlyCommand54() { return ArgsOnly(kCommandArgsOnly54); }
int32_t RunArgsOnlyCommand59() { return ArgsOnly(kCommandArgsOnly59); }
int32_t RunArgsOnlyCommand71() { return ArgsOnly(kCommandArgsOnly71); }
int32_t RunArgsOnlyCommand84() { return ArgsOnly(kCommandArgsOnly84); }

}  // namespace korvel
