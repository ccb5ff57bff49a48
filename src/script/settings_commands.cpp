// Engine-setting commands: frame rate and skipping, input polling and the cursor switch.
#include "script/settings_commands.h"

#include "core/error_report.h"
#include "core/frame_pacer.h"
#include "core/input_state.h"
#include "platform/platform.h"
#include "script/argument_decoder.h"
#include "script/decoded_arguments.h"
#include "script/script_data.h"

namespace korvel {

namespace {

// The pacer's counts of the running second become the last second's, and a new second starts now.
void RestartFrameCounts() {
  g_pacer.last_loop_frames = g_pacer.loop_frames;
  g_pacer.last_drawn_frames = g_pacer.drawn_frames;
  g_pacer.loop_frames = 0;
  g_pacer.drawn_frames = 0;
  g_pacer.second_stamp = platform::NowMs();
}

}  // namespace

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

}  // namespace korvel
